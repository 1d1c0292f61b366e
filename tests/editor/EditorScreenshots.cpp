// Writes PNG screenshots of the stereo and 5.1 editors and of their credits
// view, for people to look at:
//   editor_screenshots OUTPUT_FOLDER STEREO_MODULE SURROUND51_MODULE
// Needs an X display with the XTEST extension ($DISPLAY).
#include <cstdio>
#include <string>

#include "EditorHost.h"
#include "EditorLayout.h"

namespace {

bool shoot(const std::string& module, const EditorLayout& layout, const std::string& folder,
           const std::string& name) {
    EditorHost host(module);
    if (!host.effect() || !host.openEditor()) {
        std::fprintf(stderr, "cannot open the editor of %s\n", module.c_str());
        return false;
    }
    host.idle();
    const int width = int(layout.windowWidthPx), height = int(layout.windowHeightPx);
    bool ok = host.capture(width, height).writePng(folder + "/" + name + ".png");
    if (host.hasXTest()) {
        const VSTGUI::CRect& area = layout.creditsClickArea;
        host.click(int((area.left + area.right) / 2), int((area.top + area.bottom) / 2));
        ok = host.capture(width, height).writePng(folder + "/" + name + "_credits.png") && ok;
    }
    host.closeEditor();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER STEREO_MODULE SURROUND51_MODULE\n", argv[0]);
        return 2;
    }
    const bool stereo = shoot(argv[2], stereoEditorLayout(), argv[1], "editor_stereo");
    const bool surround = shoot(argv[3], surround51EditorLayout(), argv[1], "editor_51");
    return stereo && surround ? 0 : 1;
}
