// Compares the Windows editor's captures (written by editor_wine_host under
// Wine) with the Linux module's editor in the same three states:
//
//   compare_editor_with_linux LINUX_MODULE.so CAPTURE_FOLDER
//
// The images and handles must match pixel for pixel (within a rounding step
// of the alpha blending); the texts come from two different font
// rasterisers, so inside each value display only the text's presence, ink
// and extent are compared. Needs an X display with XTEST ($DISPLAY).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "EditorHost.h"
#include "EditorLayout.h"
#include "ProgramChecks.h"
#include "WindowCapture.h"

namespace {

using programchecks::check;
using programchecks::failures;

capture::Image fromHost(const WindowCapture& shown) {
    capture::Image image(shown.width(), shown.height());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const Pixel p = shown.at(x, y);
            image.set(x, y, {p.r, p.g, p.b});
        }
    return image;
}

struct TextBox {
    int ink = 0;  // pixels brighter than the well by a clear margin
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
};

TextBox textIn(const capture::Image& image, int left, int top, int right, int bottom) {
    // The well is dark grey; the text is white at half opacity over it.
    constexpr int kInkAboveWell = 40;
    const int well = image.at(left, top).luminance();
    TextBox box;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (image.at(x, y).luminance() > well + kInkAboveWell) {
                ++box.ink;
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

bool insideADisplay(const EditorLayout& layout, int x, int y) {
    if (x < kDisplayLeftPx || x >= kDisplayRightPx) return false;
    for (int row = 0; row < layout.rowCount; ++row) {
        const int top = int(layout.firstSliderTopPx + kRowPitchPx * row);
        if (y >= top + kDisplayTopOffsetPx && y < top + kDisplayBottomOffsetPx) return true;
    }
    return false;
}

void compare(const capture::Image& windows, const capture::Image& linux,
             const EditorLayout& layout, bool withDisplays, const std::string& state) {
    if (windows.width() != linux.width() || windows.height() != linux.height()) {
        check(false, state + ": the Windows capture is missing or has another size");
        return;
    }
    // Images and handles: equal within a rounding step of the blending.
    int differing = 0;
    for (int y = 0; y < linux.height(); ++y)
        for (int x = 0; x < linux.width(); ++x) {
            if (withDisplays && insideADisplay(layout, x, y)) continue;
            const capture::Pixel a = windows.at(x, y), b = linux.at(x, y);
            if (std::abs(a.r - b.r) > 2 || std::abs(a.g - b.g) > 2 || std::abs(a.b - b.b) > 2)
                ++differing;
        }
    check(differing == 0,
          state + ": " + std::to_string(differing) + " pixels outside the texts differ");
    if (!withDisplays) return;
    // Texts: present, with about the same ink, at about the same place.
    for (int row = 0; row < layout.rowCount; ++row) {
        const int top = int(layout.firstSliderTopPx + kRowPitchPx * row);
        const int l = int(kDisplayLeftPx), r = int(kDisplayRightPx);
        const TextBox w = textIn(windows, l, top + 1, r, top + 13);
        const TextBox x = textIn(linux, l, top + 1, r, top + 13);
        const std::string where = state + ", text of row " + std::to_string(row);
        check(w.ink > 0, where + ": no text on Windows");
        if (w.ink == 0 || x.ink == 0) continue;
        check(w.ink * 2 > x.ink && w.ink < x.ink * 2,
              where + ": ink " + std::to_string(w.ink) + " against " + std::to_string(x.ink));
        check(std::abs(w.left - x.left) <= 3 && std::abs(w.right - x.right) <= 3,
              where + ": runs " + std::to_string(w.left) + ".." + std::to_string(w.right) +
                  " against " + std::to_string(x.left) + ".." + std::to_string(x.right));
        check(std::abs(w.top - x.top) <= 2 && std::abs(w.bottom - x.bottom) <= 2,
              where + ": stands " + std::to_string(w.top) + ".." + std::to_string(w.bottom) +
                  " against " + std::to_string(x.top) + ".." + std::to_string(x.bottom));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LINUX_MODULE CAPTURE_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string module = argv[1], folder = argv[2];
    const EditorLayout& layout = module.find("_51") != std::string::npos
                                     ? surround51EditorLayout()
                                     : stereoEditorLayout();
    EditorHost host(module);
    if (!host.effect() || !host.hasXTest() || !host.openEditor()) {
        std::fprintf(stderr, "cannot open the editor of %s with XTEST\n", module.c_str());
        return 2;
    }
    host.idle();
    const int width = int(layout.windowWidthPx), height = int(layout.windowHeightPx);
    auto shoot = [&](const char* name) {
        const capture::Image linux = fromHost(host.capture(width, height));
        linux.writePpm(folder + "/linux_" + name + ".ppm");
        return linux;
    };
    auto windows = [&](const char* name) {
        return capture::Image::readPpm(folder + "/" + name + ".ppm");
    };

    compare(windows("defaults"), shoot("defaults"), layout, true, "defaults");
    for (const capture::HostValue& change : capture::kHostValues)
        host.setParameter(change.index, change.value);
    host.idle();
    compare(windows("host_values"), shoot("host_values"), layout, true, "host values");
    const VSTGUI::CRect& area = layout.creditsClickArea;
    host.click(int((area.left + area.right) / 2), int((area.top + area.bottom) / 2));
    compare(windows("credits"), shoot("credits"), layout, false, "credits");
    host.closeEditor();
    std::printf("%s: the Windows editor %s the Linux rendering\n", module.c_str(),
                failures ? "DIFFERS FROM" : "matches");
    return failures ? 1 : 0;
}
