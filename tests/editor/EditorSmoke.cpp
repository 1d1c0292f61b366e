// Loads one VST module, opens its editor in a window of $DISPLAY, and checks
// that it drew its rows where they belong; built for both architectures
// (the i386 one runs under qemu-i386). Exit status 0 when all is well.
//   editor_smoke MODULE
#include <cmath>
#include <cstdio>

#include "EditorHost.h"
#include "EditorLayout.h"

namespace {

int failures = 0;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

// The first bright pixel along the row's handle cap, or -1.
int handleLeft(EditorHost& host, const EditorLayout& layout, int row) {
    const WindowCapture capture =
        host.capture(int(layout.windowWidthPx), int(layout.windowHeightPx));
    const int y = int(layout.firstSliderTopPx + kRowPitchPx * row) + 3;
    for (int x = 20; x < 280; ++x)
        if (capture.at(x, y).luminance() > 100) return x;
    return -1;
}

int expectedLeft(float value) { return 29 + int(std::floor(double(value) * 220)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
        return 2;
    }
    EditorHost host(argv[1]);
    if (!host.effect() || !host.display()) {
        std::fprintf(stderr, "cannot load %s or reach the X display\n", argv[1]);
        return 1;
    }
    check((host.effect()->flags & effFlagsHasEditor) != 0, "the effect has an editor");
    ERect rect{};
    check(host.editorRect(rect), "effEditGetRect answers");
    const EditorLayout& layout =
        rect.bottom == 420 ? surround51EditorLayout() : stereoEditorLayout();
    check(rect.right == 380 && rect.bottom == layout.windowHeightPx, "rectangle before open");
    check(host.openEditor(), "effEditOpen answers 1");
    host.idle();
    for (int row = 0; row < layout.rowCount; ++row)
        check(handleLeft(host, layout, row) == expectedLeft(host.getParameter(row)),
              "a handle at its value's position");
    host.setParameter(0, 0.0f);
    check(handleLeft(host, layout, 0) == 29, "a host change moves the handle at once");
    host.closeEditor();
    check(host.openEditor(), "effEditOpen again");
    check(handleLeft(host, layout, 0) == 29, "the reopened window shows the current value");
    host.closeEditor();
    if (failures == 0) std::printf("editor of %s: ok\n", argv[1]);
    return failures == 0 ? 0 : 1;
}
