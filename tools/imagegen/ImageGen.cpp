// Draws the editor's five images and writes them as PNG files:
//   orvanta_imagegen <output folder>
// The images are committed in editor/images; a test redraws them and checks
// that the committed files still match.
//
// What the images carry is tied to the editor's layout: rows 40 pixels
// apart from the first slider top (46 stereo, 42 in 5.1), the slider track
// one pixel above the slider, the value well around the value display, and
// the product name centred in the credits click area.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidthPx = 380;
constexpr int kBorderPx = 13;         // dark frame around the panel
constexpr double kPanelRadiusPx = 10;
constexpr int kRowPitchPx = 40;
constexpr int kTrackLeftPx = 28, kTrackRightPx = 270;  // exclusive right edge
constexpr int kWellLeftPx = 281, kWellRightPx = 353;
constexpr int kRecessHeightPx = 16;
constexpr int kLabelLeftPx = 29;
constexpr int kLabelBaselineAboveSliderPx = 5;
constexpr int kVersionLeftPx = 316, kVersionRightPx = 351;
constexpr const char* kFontFamily = "Liberation Sans";  // metric twin of Arial

struct Rgb {
    double r, g, b;
};
Rgb grey(int level) { return {level / 255.0, level / 255.0, level / 255.0}; }

struct Box {
    double left, top, right, bottom;
};

struct Layout {
    const char* backgroundFile;
    const char* creditsFile;
    int heightPx;
    int firstSliderTopPx;
    Box creditsClickArea;
    const char* productName;
    std::vector<const char*> labels;
};

const std::vector<const char*> kStereoLabels = {
    "Target Level:",    "True Peak:",       "Max Gain:",
    "Freeze Level:",    "Input Level:",     "Correction High:",
    "Correction Low:",  "Correction Mix Mode:"};

std::vector<const char*> surroundLabels() {
    std::vector<const char*> labels = kStereoLabels;
    labels.push_back("LFE Gain:");
    return labels;
}

void setColor(cairo_t* cr, Rgb color, double alpha = 1.0) {
    cairo_set_source_rgba(cr, color.r, color.g, color.b, alpha);
}

void fillBox(cairo_t* cr, Box box, Rgb color) {
    setColor(cr, color);
    cairo_rectangle(cr, box.left, box.top, box.right - box.left, box.bottom - box.top);
    cairo_fill(cr);
}

void selectFont(cairo_t* cr, double sizePx, bool bold) {
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, sizePx);
}

// The dark frame and the rounded panel with its top-to-bottom gradient.
void drawPanel(cairo_t* cr, int heightPx) {
    fillBox(cr, {0, 0, double(kWidthPx), double(heightPx)}, grey(30));
    const double left = kBorderPx, top = kBorderPx;
    const double right = kWidthPx - kBorderPx, bottom = heightPx - kBorderPx;
    const double r = kPanelRadiusPx;
    cairo_new_sub_path(cr);
    cairo_arc(cr, right - r, top + r, r, -M_PI / 2, 0);
    cairo_arc(cr, right - r, bottom - r, r, 0, M_PI / 2);
    cairo_arc(cr, left + r, bottom - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, left + r, top + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, top, 0, bottom);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 74 / 255.0, 74 / 255.0, 74 / 255.0);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 41 / 255.0, 41 / 255.0, 41 / 255.0);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
}

// A recessed strip: dark inside, a shadow line along the top and a light
// line along the bottom, as if pressed into the panel.
void drawRecess(cairo_t* cr, Box box, int insideGrey) {
    fillBox(cr, box, grey(insideGrey));
    fillBox(cr, {box.left, box.top, box.right, box.top + 1}, grey(insideGrey - 12));
    fillBox(cr, {box.left, box.bottom - 1, box.right, box.bottom}, grey(92));
}

// The product name, centred in the click area, in letters shading from
// orange to red.
void drawProductName(cairo_t* cr, const Layout& layout) {
    selectFont(cr, 14, true);
    cairo_text_extents_t text;
    cairo_text_extents(cr, layout.productName, &text);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const Box& area = layout.creditsClickArea;
    const double x = std::round(area.left + (area.right - area.left - text.x_advance) / 2);
    const double baseline =
        std::round(area.top + (area.bottom - area.top + font.ascent - font.descent) / 2);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(x, 0, x + text.x_advance, 0);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 1.0, 0.62, 0.0);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.86, 0.12, 0.0);
    cairo_set_source(cr, gradient);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, layout.productName);
    cairo_pattern_destroy(gradient);
}

double productNameBaseline(cairo_t* cr, const Layout& layout) {
    selectFont(cr, 14, true);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const Box& area = layout.creditsClickArea;
    return std::round(area.top + (area.bottom - area.top + font.ascent - font.descent) / 2);
}

// "v1.15" filling x 316 to 351 on the product name's line: the font size is
// chosen so the text is exactly that wide.
void drawVersion(cairo_t* cr, const Layout& layout) {
    const char* version = "v1.15";
    selectFont(cr, 12, false);
    cairo_text_extents_t text;
    cairo_text_extents(cr, version, &text);
    const double sizePx = 12.0 * (kVersionRightPx - kVersionLeftPx) / text.x_advance;
    const double baseline = productNameBaseline(cr, layout);
    selectFont(cr, sizePx, false);
    setColor(cr, grey(128));
    cairo_move_to(cr, kVersionLeftPx, baseline);
    cairo_show_text(cr, version);
}

cairo_surface_t* drawBackground(const Layout& layout) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidthPx,
                                                          layout.heightPx);
    cairo_t* cr = cairo_create(surface);
    drawPanel(cr, layout.heightPx);
    for (size_t row = 0; row < layout.labels.size(); ++row) {
        const int sliderTop = layout.firstSliderTopPx + kRowPitchPx * int(row);
        selectFont(cr, 12, true);
        setColor(cr, grey(205));
        cairo_move_to(cr, kLabelLeftPx, sliderTop - kLabelBaselineAboveSliderPx);
        cairo_show_text(cr, layout.labels[row]);
        const double recessTop = sliderTop - 1;
        drawRecess(cr, {double(kTrackLeftPx), recessTop, double(kTrackRightPx),
                        recessTop + kRecessHeightPx}, 34);
        drawRecess(cr, {double(kWellLeftPx), recessTop, double(kWellRightPx),
                        recessTop + kRecessHeightPx}, 22);
    }
    drawProductName(cr, layout);
    drawVersion(cr, layout);
    cairo_destroy(cr);
    return surface;
}

cairo_surface_t* drawCredits(const Layout& layout) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidthPx,
                                                          layout.heightPx);
    cairo_t* cr = cairo_create(surface);
    drawPanel(cr, layout.heightPx);
    const char* lines[] = {
        "Real-time loudness leveler",
        "",
        "K-weighted loudness measurement,",
        "a gain that rides toward the target level,",
        "and a look-ahead true-peak limiter.",
        "",
        "Version 1.15",
        "Copyright Veltrano",
        "",
        "Click to return to the controls.",
    };
    const double lineHeightPx = 20;
    const double firstBaseline = layout.creditsClickArea.top - lineHeightPx * 12;
    double baseline = firstBaseline;
    for (const char* line : lines) {
        const bool heading = baseline == firstBaseline;
        selectFont(cr, heading ? 16 : 12, heading);
        cairo_text_extents_t text;
        cairo_text_extents(cr, line, &text);
        setColor(cr, grey(heading ? 225 : 190));
        cairo_move_to(cr, std::round((kWidthPx - text.x_advance) / 2), baseline);
        cairo_show_text(cr, line);
        baseline += lineHeightPx;
    }
    drawProductName(cr, layout);
    cairo_destroy(cr);
    return surface;
}

// The handle: an opaque grey cap, 19 x 12, lighter at the top, with a dark
// centre line, over a six-pixel black shadow that fades downwards.
cairo_surface_t* drawHandle() {
    constexpr int kHandleWidthPx = 19, kCapHeightPx = 12, kShadowHeightPx = 6;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kHandleWidthPx,
                                                          kCapHeightPx + kShadowHeightPx);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, kCapHeightPx);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 215 / 255.0, 215 / 255.0, 215 / 255.0);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 125 / 255.0, 125 / 255.0, 125 / 255.0);
    cairo_set_source(cr, gradient);
    cairo_rectangle(cr, 0, 0, kHandleWidthPx, kCapHeightPx);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
    fillBox(cr, {9, 1, 10, kCapHeightPx - 1.0}, grey(45));
    static const double kShadowAlpha[kShadowHeightPx] = {0.45, 0.34, 0.24, 0.15, 0.08, 0.03};
    for (int row = 0; row < kShadowHeightPx; ++row) {
        cairo_set_source_rgba(cr, 0, 0, 0, kShadowAlpha[row]);
        cairo_rectangle(cr, 0, kCapHeightPx + row, kHandleWidthPx, 1);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return surface;
}

bool writePng(cairo_surface_t* surface, const std::string& path) {
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(),
                     cairo_status_to_string(status));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const Layout stereo{"ov_background.png", "ov_splashscreen.png", 390, 46,
                        {150, 350, 230, 369}, "Orvanta", kStereoLabels};
    const Layout surround{"ov_background51.png", "ov_splashscreen51.png", 420, 42,
                          {135, 384, 245, 400}, "Orvanta 5.1", surroundLabels()};
    bool ok = true;
    for (const Layout* layout : {&stereo, &surround}) {
        ok = writePng(drawBackground(*layout), folder + "/" + layout->backgroundFile) && ok;
        ok = writePng(drawCredits(*layout), folder + "/" + layout->creditsFile) && ok;
    }
    ok = writePng(drawHandle(), folder + "/ov_slider.png") && ok;
    return ok ? 0 : 1;
}
