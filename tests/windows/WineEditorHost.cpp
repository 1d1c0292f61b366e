// The editor of a Windows module in a Windows host window, run under Wine on
// a (virtual) X display:
//
//   editor_wine_host MODULE.dll CAPTURE_FOLDER
//
// Opens the editor into a host window; drags a slider (also out of the
// window) and Ctrl + clicks one with real input (SendInput), checking the host's begin-edit, automation
// and end-edit calls; shows and hides the credits; closes and reopens; sets
// a parameter from a second thread. It checks the handles' positions in the
// window's pixels itself and writes captures of three states (PPM files) for
// the comparison with the Linux rendering: defaults.ppm, host_values.ppm
// (the values of kHostValues) and credits.ppm. Exit code 0 when every
// check passed.
#include <windows.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EditorLayout.h"
#include "ProgramChecks.h"
#include "VstHost.h"
#include "WindowCapture.h"

using namespace vsthost;

namespace {

using programchecks::check;
using programchecks::failures;

using capture::handleLeftOnScreen;
using capture::HostValue;
using capture::kHostValues;
using WindowCapture = capture::Image;

// The face that text in "Arial" is drawn with: Arial when GDI+ knows the
// family, otherwise the face GDI maps the name to (the backend's fallback).
std::string fontFaceForArial() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return "(no GDI+)";
    std::string result;
    {
        Gdiplus::FontFamily arial(L"Arial");
        if (arial.GetLastStatus() == Gdiplus::Ok) result = "Arial (GDI+ knows the family)";
    }
    Gdiplus::GdiplusShutdown(token);
    if (!result.empty()) return result;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, L"Arial");
    HGDIOBJ previous = SelectObject(dc, font);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return std::string(face) + " (GDI+ has no family Arial; GDI maps Arial to it)";
}

class Host {
public:
    Host(AEffect* effect, const EditorLayout& layout) : effect_(effect), layout_(layout) {}
    ~Host() {
        if (parent_) DestroyWindow(parent_);
    }

    bool open() {
        if (!parent_) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            // Blue: anything the editor does not cover shows.
            windowClass.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
            windowClass.lpszClassName = L"OrvantaTestHost";
            RegisterClassW(&windowClass);
            parent_ = CreateWindowExW(WS_EX_TOPMOST, L"OrvantaTestHost", L"host",
                                      WS_POPUP | WS_VISIBLE, 0, 0, 480, 480, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
            SetForegroundWindow(parent_);
        }
        const bool opened = dispatch(effect_, effEditOpen, 0, 0, parent_) != 0;
        idle();
        return opened;
    }
    void close() { dispatch(effect_, effEditClose); }

    // Hands the thread's messages to their windows and the editor its idle
    // calls, for a while, so input has arrived and been drawn.
    void idle(int rounds = 6) {
        for (int round = 0; round < rounds; ++round) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            dispatch(effect_, effEditIdle);
            Sleep(15);
        }
    }

    WindowCapture capture() const {
        const int width = int(layout_.windowWidthPx), height = int(layout_.windowHeightPx);
        WindowCapture result(width, height);
        HDC windowDc = GetDC(parent_);
        HDC memoryDc = CreateCompatibleDC(windowDc);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t p = pixels[y * width + x];
                result.set(x, y, {int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff)});
            }
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
        DeleteDC(memoryDc);
        ReleaseDC(parent_, windowDc);
        return result;
    }

    // Real input through SendInput, in window (= screen) coordinates.
    void moveMouse(int x, int y) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        // Absolute coordinates run 0..65535 over the screen; rounding up
        // makes the system's conversion land exactly on the pixel.
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = (x * 65536 + width - 1) / width;
        input.mi.dy = (y * 65536 + height - 1) / height;
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof input);
        idle(3);
    }
    void button(bool down) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        SendInput(1, &input, sizeof input);
        idle(3);
    }
    void key(WORD virtualKey, bool down) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &input, sizeof input);
        idle(2);
    }
    void click(int x, int y) {
        moveMouse(x, y);
        button(true);
        button(false);
    }

private:
    AEffect* effect_;
    const EditorLayout& layout_;
    HWND parent_ = nullptr;
};

int sliderTop(const EditorLayout& layout, int row) {
    return int(layout.firstSliderTopPx + kRowPitchPx * row);
}

int expectedHandleLeft(float value) {
    return kHandleMinLeftPx + int(std::floor(double(value) * (kHandleMaxLeftPx - kHandleMinLeftPx)));
}

void checkHandles(AEffect* effect, const EditorLayout& layout, const WindowCapture& capture,
                  const std::string& when) {
    for (int row = 0; row < layout.rowCount; ++row) {
        const int shown = handleLeftOnScreen(capture, sliderTop(layout, row));
        const int expected = expectedHandleLeft(effect->getParameter(effect, row));
        check(shown == expected, when + ": handle of row " + std::to_string(row) + " at " +
                                     std::to_string(shown) + ", expected " +
                                     std::to_string(expected));
    }
}

std::vector<HostCall> editCalls() {
    std::vector<HostCall> calls;
    for (const HostCall& call : recordedCalls())
        if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
            call.opcode == audioMasterEndEdit)
            calls.push_back(call);
    recordedCalls().clear();
    return calls;
}

// begin-edit, at least one automation, end-edit, all for `row`.
void checkGesture(const std::vector<HostCall>& calls, int row, const std::string& what) {
    check(calls.size() >= 3, what + ": begin, automation and end reach the host");
    if (calls.size() < 3) return;
    check(calls.front().opcode == audioMasterBeginEdit, what + ": begins with begin-edit");
    check(calls.back().opcode == audioMasterEndEdit, what + ": ends with end-edit");
    bool automated = false;
    for (const HostCall& call : calls) {
        check(call.index == row, what + ": every call is for row " + std::to_string(row));
        automated = automated || call.opcode == audioMasterAutomate;
    }
    check(automated, what + ": automation");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MODULE.dll CAPTURE_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1], folder = argv[2];
    const EditorLayout& layout =
        path.find("_51") != std::string::npos ? surround51EditorLayout() : stereoEditorLayout();
    std::printf("Arial is drawn as: %s\n", fontFaceForArial().c_str());

    Library library(path);
    if (!library.ok()) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), library.error().c_str());
        return 2;
    }
    answers().sampleRate = 44100;
    AEffect* effect = library.instantiate();
    if (!effect) return 2;
    {
        Host host(effect, layout);
        check(host.open(), "the editor opens in the host window");
        const WindowCapture defaults = host.capture();
        checkHandles(effect, layout, defaults, "after open");
        check(defaults.writePpm(folder + "/defaults.ppm"), "write defaults.ppm");

        // Host changes on the window's thread are drawn at once.
        for (const HostValue& change : kHostValues)
            effect->setParameter(effect, change.index, change.value);
        const WindowCapture hostValues = host.capture();
        checkHandles(effect, layout, hostValues, "after host changes");
        check(hostValues.writePpm(folder + "/host_values.ppm"), "write host_values.ppm");

        // A drag on row 2 through real mouse input.
        recordedCalls().clear();
        const int dragRow = 2, y = sliderTop(layout, dragRow) + 6;
        const int handleLeft = expectedHandleLeft(effect->getParameter(effect, dragRow));
        host.moveMouse(handleLeft + 9, y);
        host.button(true);
        for (int step = 1; step <= 4; ++step) host.moveMouse(handleLeft + 9 + 20 * step, y);
        host.button(false);
        checkGesture(editCalls(), dragRow, "drag");
        const float dragged = effect->getParameter(effect, dragRow);
        check(std::fabs(dragged - float(handleLeft + 80 - kHandleMinLeftPx) / 220.0f) < 1e-6f,
              "the drag moves the value by 80 pixels' worth");
        checkHandles(effect, layout, host.capture(), "after the drag");

        // A drag that leaves the editor's window keeps going (the window
        // captures the mouse) and ends where the button goes up.
        const int captureRow = 3, captureY = sliderTop(layout, captureRow) + 6;
        const int captureLeft = expectedHandleLeft(effect->getParameter(effect, captureRow));
        host.moveMouse(captureLeft + 9, captureY);
        host.button(true);
        host.moveMouse(int(layout.windowWidthPx) + 40, captureY);
        host.moveMouse(int(layout.windowWidthPx) + 60, captureY + 30);
        host.button(false);
        checkGesture(editCalls(), captureRow, "drag out of the window");
        check(effect->getParameter(effect, captureRow) == 1.0f,
              "a drag beyond the window's edge ends at the top of the range");

        // Ctrl + click sets the top of the range.
        host.moveMouse(60, sliderTop(layout, 0) + 6);
        host.key(VK_CONTROL, true);
        host.button(true);
        host.button(false);
        host.key(VK_CONTROL, false);
        checkGesture(editCalls(), 0, "Ctrl + click");
        check(effect->getParameter(effect, 0) == 1.0f, "Ctrl + click sets 1.0");
        check(text(effect, effGetParamDisplay, 0) == "-10.0", "Ctrl + click sets -10.0 LUFS");

        // The credits show over the whole window and hide again; neither
        // click reaches the host.
        for (const HostValue& change : kHostValues)
            effect->setParameter(effect, change.index, change.value);
        effect->setParameter(effect, dragRow, 0.25f);
        effect->setParameter(effect, 0, 0.0f);
        host.idle();
        const VSTGUI::CRect& area = layout.creditsClickArea;
        host.click(int((area.left + area.right) / 2), int((area.top + area.bottom) / 2));
        const WindowCapture credits = host.capture();
        check(credits.writePpm(folder + "/credits.ppm"), "write credits.ppm");
        check(handleLeftOnScreen(credits, sliderTop(layout, 0)) < 0,
              "no handle shows through the credits");
        host.click(100, sliderTop(layout, 0) + 6);
        checkHandles(effect, layout, host.capture(), "after hiding the credits");
        check(editCalls().empty(), "the credits clicks reach no host");

        // Close and reopen: the current values, no credits.
        host.close();
        host.close();
        effect->setParameter(effect, 3, 0.25f);
        check(host.open(), "the editor reopens");
        checkHandles(effect, layout, host.capture(), "after reopening");

        // A change from another thread is drawn by the next idle call.
        const int before = handleLeftOnScreen(host.capture(), sliderTop(layout, 4));
        std::thread automation([&] { effect->setParameter(effect, 4, 0.0f); });
        automation.join();
        check(handleLeftOnScreen(host.capture(), sliderTop(layout, 4)) == before,
              "another thread's change waits for idle");
        host.idle(1);
        checkHandles(effect, layout, host.capture(), "after the idle call");
        host.close();
    }
    check(dispatch(effect, effClose) == 1, "effClose");
    std::printf("%s: %s\n", path.c_str(), failures ? "FAILED" : "all editor checks passed");
    return failures ? 1 : 0;
}
