// The Win32 backend of the window seam: the editor window as a child of the
// host's HWND, drawn with GDI+ into an off-screen bitmap and copied to the
// window in one go; images from the module's "PNG" resources.
//
// Threads: every call comes from the thread that opened the editor (the
// host's user-interface thread); the window's messages arrive on it through
// the host's message loop. GDI+ is started when the first editor window or
// image needs it and shut down when the last one is gone, never from
// DllMain (the loader lock forbids it).
#include "PlatformWin32.h"

// GDI+'s headers expect min and max and the COM stream declarations.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include <cctype>
#include <cmath>
#include <cwchar>
#include <cstring>
#include <string>
#include <vector>

#include "../cbitmap.h"
#include "../cdrawcontext.h"
#include "../cview.h"
#include "Platform.h"

namespace VSTGUI {

HINSTANCE moduleInstance = nullptr;

namespace {

// ---------------------------------------------------------------- GDI+

ULONG_PTR gdiplusToken = 0;
int gdiplusUsers = 0;

// One use of GDI+ (a window or an image); the first use starts it.
bool acquireGdiplus() {
    if (gdiplusUsers == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) return false;
    }
    ++gdiplusUsers;
    return true;
}

// The last use shuts it down again.
void releaseGdiplus() {
    if (gdiplusUsers > 0 && --gdiplusUsers == 0) Gdiplus::GdiplusShutdown(gdiplusToken);
}

// ---------------------------------------------------------------- fonts

// GDI+ knows only the families it can enumerate itself. Under Wine there is
// no family named "Arial" (FontFamilyNotFound, and then no text at all), but
// GDI maps the name to a face it has (Liberation Sans, its metric twin):
// that face is asked for instead. On Windows Arial is always there.
std::wstring resolveFamilyName(const wchar_t* preferred) {
    {
        Gdiplus::FontFamily family(preferred);
        if (family.GetLastStatus() == Gdiplus::Ok) return preferred;
    }
    std::wstring mapped;
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, preferred);
        if (font) {
            HGDIOBJ previous = SelectObject(dc, font);
            wchar_t face[LF_FACESIZE] = {};
            if (GetTextFaceW(dc, LF_FACESIZE, face) > 0) mapped = face;
            SelectObject(dc, previous);
            DeleteObject(font);
        }
        DeleteDC(dc);
    }
    if (!mapped.empty()) {
        Gdiplus::FontFamily family(mapped.c_str());
        if (family.GetLastStatus() == Gdiplus::Ok) return mapped;
    }
    return std::wstring();  // GDI+'s generic sans-serif family
}

// The family name to use for `utf8Name`, resolved once per name.
const std::wstring& familyFor(const char* utf8Name) {
    static std::string askedFor;
    static std::wstring resolved;
    static bool known = false;
    const std::string name = utf8Name ? utf8Name : "Arial";
    if (!known || name != askedFor) {
        std::wstring wide(name.begin(), name.end());
        resolved = resolveFamilyName(wide.c_str());
        askedFor = name;
        known = true;
    }
    return resolved;
}

std::wstring toWide(const char* utf8Text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

Gdiplus::Color toGdiplus(const CColor& color) {
    return Gdiplus::Color(color.alpha, color.red, color.green, color.blue);
}

Gdiplus::RectF toGdiplus(const CRect& area) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(area.left),
                          static_cast<Gdiplus::REAL>(area.top),
                          static_cast<Gdiplus::REAL>(area.getWidth()),
                          static_cast<Gdiplus::REAL>(area.getHeight()));
}

// --------------------------------------------------------------- images

// A PNG resource decoded by GDI+. GDI+ may read the stream again for as long
// as the bitmap lives, so the stream (with its copy of the bytes) is kept.
class Win32Bitmap : public IPlatformBitmap {
public:
    Win32Bitmap(IStream* stream, Gdiplus::Bitmap* bitmap) : stream_(stream), bitmap_(bitmap) {}
    ~Win32Bitmap() override {
        delete bitmap_;
        stream_->Release();
        releaseGdiplus();
    }
    Win32Bitmap(const Win32Bitmap&) = delete;
    Win32Bitmap& operator=(const Win32Bitmap&) = delete;
    int getWidth() const override { return static_cast<int>(bitmap_->GetWidth()); }
    int getHeight() const override { return static_cast<int>(bitmap_->GetHeight()); }
    Gdiplus::Bitmap* bitmap() const { return bitmap_; }

private:
    IStream* stream_;
    Gdiplus::Bitmap* bitmap_;
};

// A copy of the resource's bytes in a movable global block, as a stream that
// owns the block.
IStream* streamOfResource(const char* name) {
    // Resource names are stored in capitals; FindResource compares without
    // regard to case anyway.
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HRSRC resource = FindResourceA(moduleInstance, upper.c_str(), "PNG");
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(moduleInstance, resource);
    HGLOBAL loaded = LoadResource(moduleInstance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return nullptr;
    void* target = GlobalLock(copy);
    if (!target) {
        GlobalFree(copy);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(copy, TRUE, &stream) != S_OK) {
        GlobalFree(copy);
        return nullptr;
    }
    return stream;
}

// --------------------------------------------------------- drawing context

class GdiplusDrawContext : public CDrawContext {
public:
    explicit GdiplusDrawContext(Gdiplus::Graphics& graphics) : graphics_(graphics) {}

    void drawBitmap(CBitmap* bitmap, const CRect& destination, const CPoint& offset) override {
        if (!bitmap || !bitmap->isLoaded() || destination.isEmpty()) return;
        Gdiplus::Bitmap* image = static_cast<Win32Bitmap*>(bitmap->getPlatformBitmap())->bitmap();
        save(destination);
        // 1:1 at whole pixels, source rectangle in pixels, so the image's own
        // resolution (dots per inch) cannot scale it.
        const INT width = static_cast<INT>(image->GetWidth());
        const INT height = static_cast<INT>(image->GetHeight());
        const Gdiplus::Rect target(static_cast<INT>(destination.left - offset.x),
                                   static_cast<INT>(destination.top - offset.y), width, height);
        graphics_.DrawImage(image, target, 0, 0, width, height, Gdiplus::UnitPixel);
        restore();
    }

    void fillRect(const CRect& area, const CColor& color) override {
        if (color.alpha == 0 || area.isEmpty()) return;
        Gdiplus::SolidBrush brush(toGdiplus(color));
        graphics_.FillRectangle(&brush, toGdiplus(area));
    }

    void frameRect(const CRect& area, const CColor& color) override {
        if (color.alpha == 0 || area.isEmpty()) return;
        Gdiplus::Pen pen(toGdiplus(color), 1.0f);
        // Pixel centres lie at whole coordinates plus one half (the graphics'
        // pixel offset mode), so the line covers exactly the border pixels.
        graphics_.DrawRectangle(&pen, static_cast<Gdiplus::REAL>(area.left + 0.5),
                                static_cast<Gdiplus::REAL>(area.top + 0.5),
                                static_cast<Gdiplus::REAL>(area.getWidth() - 1),
                                static_cast<Gdiplus::REAL>(area.getHeight() - 1));
    }

    void drawString(const char* utf8Text, const CRect& area, CHoriTxtAlign alignment,
                    const CFontDesc& font, const CColor& color, bool antialias) override {
        if (!utf8Text || !*utf8Text || area.isEmpty()) return;
        const std::wstring text = toWide(utf8Text);
        if (text.empty()) return;
        const std::wstring& familyName = familyFor(font.name);
        Gdiplus::FontFamily named(familyName.c_str());
        const Gdiplus::FontFamily* family =
            familyName.empty() || named.GetLastStatus() != Gdiplus::Ok
                ? Gdiplus::FontFamily::GenericSansSerif()
                : &named;
        const auto size = static_cast<Gdiplus::REAL>(font.size);
        Gdiplus::Font gdiFont(family, size, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        if (gdiFont.GetLastStatus() != Gdiplus::Ok) return;
        graphics_.SetTextRenderingHint(antialias ? Gdiplus::TextRenderingHintAntiAliasGridFit
                                                 : Gdiplus::TextRenderingHintSingleBitPerPixelGridFit);

        // Typographic layout: no padding around the text, so the measured
        // advance and the drawn position match the cairo backend's.
        Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
        format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                              Gdiplus::StringFormatFlagsNoWrap);
        Gdiplus::RectF box;
        graphics_.MeasureString(text.c_str(), static_cast<INT>(text.size()), &gdiFont,
                                Gdiplus::PointF(0, 0), &format, &box);
        const double emHeight = family->GetEmHeight(Gdiplus::FontStyleRegular);
        const double ascent = size * family->GetCellAscent(Gdiplus::FontStyleRegular) / emHeight;
        const double descent = size * family->GetCellDescent(Gdiplus::FontStyleRegular) / emHeight;

        double x = area.left;
        if (alignment == kCenterText)
            x = area.left + (area.getWidth() - box.Width) / 2.0;
        else if (alignment == kRightText)
            x = area.right - box.Width;
        // The line box (ascent + descent) is centred vertically in the area;
        // the baseline is snapped to a whole pixel so the glyphs stay sharp.
        const double baseline =
            std::round(area.top + (area.getHeight() + ascent - descent) / 2.0);
        Gdiplus::SolidBrush brush(toGdiplus(color));
        // A typographic string's layout origin is the top of its line cell,
        // one ascent above the baseline.
        graphics_.DrawString(text.c_str(), static_cast<INT>(text.size()), &gdiFont,
                             Gdiplus::PointF(static_cast<Gdiplus::REAL>(std::round(x)),
                                             static_cast<Gdiplus::REAL>(baseline - ascent)),
                             &format, &brush);
    }

    void save(const CRect& area) override {
        states_.push_back(graphics_.Save());
        graphics_.SetClip(toGdiplus(area), Gdiplus::CombineModeIntersect);
    }

    void restore() override {
        if (states_.empty()) return;
        graphics_.Restore(states_.back());
        states_.pop_back();
    }

private:
    Gdiplus::Graphics& graphics_;
    std::vector<Gdiplus::GraphicsState> states_;
};

// ---------------------------------------------------------------- window

CButtonState buttonStateFrom(WPARAM keys) {
    int32_t state = 0;
    if (keys & MK_LBUTTON) state |= kLButton;
    if (keys & MK_MBUTTON) state |= kMButton;
    if (keys & MK_RBUTTON) state |= kRButton;
    if (keys & MK_SHIFT) state |= kShift;
    if (keys & MK_CONTROL) state |= kControl;
    if (GetKeyState(VK_MENU) < 0) state |= kAlt;
    return CButtonState(state);
}

CPoint pointFrom(LPARAM position) {
    return CPoint(static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position)));
}

// The VST 2.4 virtual key of a Windows key that the views use; 0 for others.
unsigned char vstVirtualKey(WPARAM key) {
    switch (key) {
        case VK_LEFT: return kVirtualKeyLeft;
        case VK_UP: return kVirtualKeyUp;
        case VK_RIGHT: return kVirtualKeyRight;
        case VK_DOWN: return kVirtualKeyDown;
        default: return 0;
    }
}

class Win32Frame : public IPlatformFrame {
public:
    Win32Frame(IPlatformFrameCallback* owner, int width, int height)
        : owner_(owner), width_(width), height_(height) {}

    // Creates the window and the off-screen buffer; false when either fails.
    bool create(HWND parent);

    ~Win32Frame() override {
        if (window_) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
        if (classRegistered_) releaseWindowClass();
        if (bufferDc_) {
            SelectObject(bufferDc_, previousBitmap_);
            DeleteDC(bufferDc_);
        }
        if (bufferBitmap_) DeleteObject(bufferBitmap_);
        if (gdiplusAcquired_) releaseGdiplus();
    }

    // The host's message loop delivers the window's messages; nothing is
    // queued here.
    void processEvents() override {}

    void invalidRect(const CRect& area) override {
        if (!window_) return;
        RECT rect{static_cast<LONG>(std::floor(area.left)), static_cast<LONG>(std::floor(area.top)),
                  static_cast<LONG>(std::ceil(area.right)), static_cast<LONG>(std::ceil(area.bottom))};
        InvalidateRect(window_, &rect, FALSE);
    }

    void drawDirty() override {
        if (!window_) return;
        UpdateWindow(window_);  // paints the invalid region now, if any
        GdiFlush();
    }

    uintptr_t getNativeHandle() const override { return reinterpret_cast<uintptr_t>(window_); }

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

private:
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    static bool acquireWindowClass();
    static void releaseWindowClass();

    IPlatformFrameCallback* owner_;
    int width_;
    int height_;
    HWND window_ = nullptr;
    HDC bufferDc_ = nullptr;
    HBITMAP bufferBitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    bool gdiplusAcquired_ = false;
    bool classRegistered_ = false;
    int buttonsDown_ = 0;
    static int classUsers_;
};

int Win32Frame::classUsers_ = 0;

// One window class per module: the stereo and the 5.1 DLL may both be loaded.
const wchar_t* windowClassName() {
    static wchar_t name[64] = {};
    if (!name[0]) {
        swprintf(name, sizeof name / sizeof name[0], L"OrvantaEditor%p",
                 static_cast<void*>(moduleInstance));
    }
    return name;
}

// The class is registered while any editor window of this module exists: the
// system does not unregister a DLL's classes when the DLL is unloaded.
bool Win32Frame::acquireWindowClass() {
    if (classUsers_ > 0) {
        ++classUsers_;
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Win32Frame::windowProcedure;
    windowClass.hInstance = moduleInstance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = windowClassName();
    if (!RegisterClassExW(&windowClass)) return false;
    classUsers_ = 1;
    return true;
}

void Win32Frame::releaseWindowClass() {
    if (classUsers_ > 0 && --classUsers_ == 0) UnregisterClassW(windowClassName(), moduleInstance);
}

bool Win32Frame::create(HWND parent) {
    gdiplusAcquired_ = acquireGdiplus();
    if (!gdiplusAcquired_) return false;
    classRegistered_ = acquireWindowClass();
    if (!classRegistered_) return false;

    // The off-screen buffer: a 32-bit top-down DIB section the size of the
    // window, drawn by GDI+ and copied to the window with one BitBlt.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bufferDc_ = CreateCompatibleDC(nullptr);
    bufferBitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bufferDc_ || !bufferBitmap_) return false;
    previousBitmap_ = SelectObject(bufferDc_, bufferBitmap_);

    window_ = CreateWindowExW(0, windowClassName(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                              0, 0, width_, height_, parent, nullptr, moduleInstance, this);
    return window_ != nullptr;
}

LRESULT CALLBACK Win32Frame::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(created->lpCreateParams));
    }
    auto* frame = reinterpret_cast<Win32Frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) frame->window_ = window;
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return frame->handle(window, message, wParam, lParam);
}

void Win32Frame::paint() {
    PAINTSTRUCT paintStruct;
    HDC windowDc = BeginPaint(window_, &paintStruct);
    const RECT& dirty = paintStruct.rcPaint;
    const CRect area(dirty.left, dirty.top, dirty.right, dirty.bottom);
    if (windowDc && !area.isEmpty()) {
        {
            Gdiplus::Graphics graphics(bufferDc_);
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
            graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
            GdiplusDrawContext context(graphics);
            context.save(area);
            owner_->platformDrawRect(context, area);
            context.restore();
        }
        BitBlt(windowDc, dirty.left, dirty.top, dirty.right - dirty.left,
               dirty.bottom - dirty.top, bufferDc_, dirty.left, dirty.top, SRCCOPY);
    }
    EndPaint(window_, &paintStruct);
}

LRESULT Win32Frame::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // every pixel is painted from the buffer
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            // The drag continues outside the window until the release.
            if (buttonsDown_++ == 0) SetCapture(window_);
            SetFocus(window_);
            owner_->platformOnMouseDown(pointFrom(lParam), buttonStateFrom(wParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            // The button that went up is no longer in wParam's state.
            int32_t state = buttonStateFrom(wParam);
            if (message == WM_LBUTTONUP) state |= kLButton;
            if (message == WM_MBUTTONUP) state |= kMButton;
            if (message == WM_RBUTTONUP) state |= kRButton;
            if (buttonsDown_ > 0 && --buttonsDown_ == 0) ReleaseCapture();
            owner_->platformOnMouseUp(pointFrom(lParam), CButtonState(state));
            return 0;
        }
        case WM_CAPTURECHANGED:
            buttonsDown_ = 0;
            return 0;
        case WM_MOUSEMOVE:
            owner_->platformOnMouseMoved(pointFrom(lParam), buttonStateFrom(wParam));
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel's position comes in screen coordinates.
            POINT where{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ScreenToClient(window_, &where);
            const float notches =
                static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / static_cast<float>(WHEEL_DELTA);
            owner_->platformOnMouseWheel(CPoint(where.x, where.y), notches,
                                         buttonStateFrom(GET_KEYSTATE_WPARAM(wParam)));
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            VstKeyCode key;
            key.virt = vstVirtualKey(wParam);
            if (GetKeyState(VK_SHIFT) < 0) key.modifier |= kModifierShift;
            if (key.virt == 0) break;
            const bool taken = message == WM_KEYDOWN ? owner_->platformOnKeyDown(key)
                                                     : owner_->platformOnKeyUp(key);
            if (taken) return 0;
            break;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_DESTROY:
            // The host destroyed its window, and ours with it.
            window_ = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

IPlatformFrame* IPlatformFrame::create(IPlatformFrameCallback* owner, void* parentWindow,
                                       const CRect& size) {
    HWND parent = static_cast<HWND>(parentWindow);
    const int width = static_cast<int>(size.getWidth());
    const int height = static_cast<int>(size.getHeight());
    if (!owner || !parent || !IsWindow(parent) || width <= 0 || height <= 0) return nullptr;
    auto* frame = new Win32Frame(owner, width, height);
    if (!frame->create(parent)) {
        delete frame;
        return nullptr;
    }
    return frame;
}

IPlatformBitmap* IPlatformBitmap::createFromResource(const char* name) {
    if (!name || !moduleInstance) return nullptr;
    IStream* stream = streamOfResource(name);
    if (!stream) return nullptr;
    if (!acquireGdiplus()) {
        stream->Release();
        return nullptr;
    }
    Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromStream(stream);
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        delete bitmap;
        stream->Release();
        releaseGdiplus();
        return nullptr;
    }
    return new Win32Bitmap(stream, bitmap);
}

// The module's images are its resources; a table is not needed.
void setEmbeddedResources(const EmbeddedResource*, size_t) {}
const EmbeddedResource* findEmbeddedResource(const char*) { return nullptr; }

bool beginEditorThread() {
    // S_OK and S_FALSE (already initialised on this thread) both count and
    // are balanced; a thread in another COM mode is left alone.
    const HRESULT result = OleInitialize(nullptr);
    return result == S_OK || result == S_FALSE;
}

void endEditorThread() { OleUninitialize(); }

}  // namespace VSTGUI
