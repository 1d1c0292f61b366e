// What distinguishes the stereo editor from the 5.1 editor: the number of
// rows, the images, and where the rows and the credits click area lie.
#pragma once

#include <cstdint>

#include "vstguibase.h"

struct EditorLayout {
    int32_t rowCount;              // one row per parameter
    const char* backgroundImage;   // carries every label and decoration
    const char* creditsImage;      // shown over the whole window
    VSTGUI::CCoord windowWidthPx;  // the background's size
    VSTGUI::CCoord windowHeightPx;
    VSTGUI::CCoord firstSliderTopPx;
    VSTGUI::CRect creditsClickArea;  // under the product name
};

// Rows are 40 pixels apart; a slider is 17 pixels high and its handle
// travels 220 pixels, from 29 to 249, which leaves the 19-pixel handle
// inside the 242-pixel slider.
constexpr VSTGUI::CCoord kRowPitchPx = 40;
constexpr VSTGUI::CCoord kSliderLeftPx = 29;
constexpr VSTGUI::CCoord kSliderRightPx = 271;
constexpr VSTGUI::CCoord kSliderHeightPx = 17;
constexpr int32_t kHandleMinLeftPx = 29;
constexpr int32_t kHandleMaxLeftPx = 249;
// The value display sits one pixel below the slider's top, 70 x 12, inside
// the dark well of the background.
constexpr VSTGUI::CCoord kDisplayLeftPx = 282;
constexpr VSTGUI::CCoord kDisplayRightPx = 352;
constexpr VSTGUI::CCoord kDisplayTopOffsetPx = 1;
constexpr VSTGUI::CCoord kDisplayBottomOffsetPx = 13;

// One row per parameter of the layout (OVEditor.cpp holds them to the table).
constexpr int32_t kStereoRows = 8;
constexpr int32_t kSurround51Rows = 9;

inline const EditorLayout& stereoEditorLayout() {
    static const EditorLayout layout{kStereoRows, "ov_background.png", "ov_splashscreen.png", 380, 390,
                                     46,  VSTGUI::CRect(150, 350, 230, 369)};
    return layout;
}

inline const EditorLayout& surround51EditorLayout() {
    static const EditorLayout layout{kSurround51Rows, "ov_background51.png", "ov_splashscreen51.png", 380, 420,
                                     42,  VSTGUI::CRect(135, 384, 245, 400)};
    return layout;
}
