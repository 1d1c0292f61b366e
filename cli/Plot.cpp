#include "Plot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "AudioFile.h"

namespace {

constexpr int kWidthPx = 1400;
constexpr int kHeightPx = 720;
constexpr double kLeftPx = 86, kRightPx = 86, kTopPx = 84, kBottomPx = 110;
// Lowest loudness drawn: below it short-term loudness is silence for a listener.
constexpr double kFloorLufs = -70.0;

struct Colour { double r, g, b; };
constexpr Colour kInputColour{0.55, 0.60, 0.68};
constexpr Colour kOutputColour{0.10, 0.30, 0.65};
constexpr Colour kTargetColour{0.0, 0.0, 0.0};
constexpr Colour kGainColour{0.12, 0.58, 0.22};
constexpr Colour kReductionColour{0.84, 0.15, 0.16};

void setColour(cairo_t* cr, Colour c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double niceStep(double span, int ticks) {
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power) return m * power;
    return 10.0 * power;
}

std::string timeLabel(double seconds, bool minutes) {
    char text[32];
    if (minutes) std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
    else std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

void text(cairo_t* cr, double x, double y, const std::string& s, double alignX = 0.0, double alignY = 0.0) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x - e.width * alignX - e.x_bearing * (1.0 - alignX), y + e.height * alignY);
    cairo_show_text(cr, s.c_str());
}

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void drawPlot(const JobResult& r, const std::string& path) {
    const PlotSeries& s = r.series;
    const double target = r.settings.value(ParamId::TargetLevel);
    const double duration = std::max(r.durationSeconds(), s.stepSeconds);

    // Left axis: loudness around the target and the measured curves.
    double lowest = target - 20.0, highest = target + 8.0;
    for (const auto* curve : {&s.inputShortTerm, &s.outputShortTerm})
        for (float v : *curve)
            if (std::isfinite(v) && v >= kFloorLufs) {
                lowest = std::min(lowest, static_cast<double>(v));
                highest = std::max(highest, static_cast<double>(v));
            }
    const double loudLow = std::max(kFloorLufs, std::floor(lowest / 10.0) * 10.0);
    const double loudHigh = std::min(0.0, std::ceil((highest + 1.0) / 5.0) * 5.0);
    // Right axis: gain in dB, zero included, reduction drawn below zero.
    double gainLow = -6.0, gainHigh = 6.0;
    for (size_t i = 0; i < s.gainDb.size(); ++i) {
        if (std::isfinite(s.gainDb[i])) {
            gainLow = std::min(gainLow, static_cast<double>(s.gainDb[i]));
            gainHigh = std::max(gainHigh, static_cast<double>(s.gainDb[i]));
        }
        gainLow = std::min(gainLow, -static_cast<double>(s.reductionDb[i]));
    }
    gainLow = std::floor((gainLow - 1.0) / 3.0) * 3.0;
    gainHigh = std::ceil((gainHigh + 1.0) / 3.0) * 3.0;

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidthPx, kHeightPx);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    const double plotW = kWidthPx - kLeftPx - kRightPx, plotH = kHeightPx - kTopPx - kBottomPx;
    auto xOf = [&](double t) { return kLeftPx + t / duration * plotW; };
    auto yLoud = [&](double v) { return kTopPx + (loudHigh - v) / (loudHigh - loudLow) * plotH; };
    auto yGain = [&](double v) { return kTopPx + (gainHigh - v) / (gainHigh - gainLow) * plotH; };

    // Grid and axes.
    cairo_set_font_size(cr, 13);
    cairo_set_line_width(cr, 1);
    const double loudStep = niceStep(loudHigh - loudLow, 8);
    for (double v = std::ceil(loudLow / loudStep) * loudStep; v <= loudHigh + 1e-9; v += loudStep) {
        cairo_set_source_rgb(cr, 0.90, 0.90, 0.90);
        cairo_move_to(cr, kLeftPx, std::round(yLoud(v)) + 0.5);
        cairo_line_to(cr, kLeftPx + plotW, std::round(yLoud(v)) + 0.5);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        char label[16];
        std::snprintf(label, sizeof label, "%g", v);
        text(cr, kLeftPx - 8, yLoud(v), label, 1.0, 0.5);
    }
    const double gainStep = niceStep(gainHigh - gainLow, 8);
    for (double v = std::ceil(gainLow / gainStep) * gainStep; v <= gainHigh + 1e-9; v += gainStep) {
        setColour(cr, kGainColour);
        char label[16];
        std::snprintf(label, sizeof label, "%+g", v);
        text(cr, kLeftPx + plotW + 8, yGain(v), v == 0 ? "0" : label, 0.0, 0.5);
    }
    const bool minutes = duration > 120.0;
    const double timeStep = minutes ? std::max(60.0, niceStep(duration / 60.0, 10) * 60.0) : niceStep(duration, 10);
    for (double t = 0; t <= duration + 1e-9; t += timeStep) {
        cairo_set_source_rgb(cr, 0.90, 0.90, 0.90);
        cairo_move_to(cr, std::round(xOf(t)) + 0.5, kTopPx);
        cairo_line_to(cr, std::round(xOf(t)) + 0.5, kTopPx + plotH);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        text(cr, xOf(t), kTopPx + plotH + 8, timeLabel(t, minutes), 0.5, 1.0);
    }
    // Zero of the gain axis: no change.
    setColour(cr, kGainColour, 0.5);
    const double dashes[] = {2.0, 3.0};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_move_to(cr, kLeftPx, yGain(0));
    cairo_line_to(cr, kLeftPx + plotW, yGain(0));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);

    cairo_save(cr);
    cairo_rectangle(cr, kLeftPx, kTopPx, plotW, plotH);
    cairo_clip(cr);
    // Limiter reduction: a red area hanging down from 0 dB.
    setColour(cr, kReductionColour, 0.55);
    for (size_t i = 0; i < s.reductionDb.size(); ++i) {
        if (!(s.reductionDb[i] > 0.01f)) continue;
        const double x0 = xOf(i * s.stepSeconds), x1 = xOf((i + 1) * s.stepSeconds);
        cairo_rectangle(cr, x0, yGain(0), std::max(1.0, x1 - x0), yGain(-s.reductionDb[i]) - yGain(0));
    }
    cairo_fill(cr);
    auto drawCurve = [&](const std::vector<float>& values, bool loudness, Colour colour, double width) {
        setColour(cr, colour);
        cairo_set_line_width(cr, width);
        auto usable = [&](size_t i) {
            return i < values.size() && std::isfinite(values[i]) && !(loudness && values[i] < kFloorLufs);
        };
        for (size_t i = 0; i < values.size(); ++i) {
            if (!usable(i)) continue;
            const double x = xOf((i + 1) * s.stepSeconds), y = loudness ? yLoud(values[i]) : yGain(values[i]);
            const bool joined = i > 0 && usable(i - 1);
            if (joined) cairo_line_to(cr, x, y);
            else cairo_move_to(cr, x, y);
            // A point with no neighbour gets a dot, or it would not show.
            if (!joined && !usable(i + 1)) {
                cairo_stroke(cr);
                cairo_arc(cr, x, y, width * 1.5, 0, 2 * M_PI);
                cairo_fill(cr);
            }
        }
        cairo_stroke(cr);
    };
    drawCurve(s.gainDb, false, kGainColour, 1.6);
    drawCurve(s.inputShortTerm, true, kInputColour, 1.4);
    drawCurve(s.outputShortTerm, true, kOutputColour, 1.8);
    setColour(cr, kTargetColour);
    cairo_set_line_width(cr, 1.2);
    const double targetDashes[] = {8.0, 5.0};
    cairo_set_dash(cr, targetDashes, 2, 0);
    cairo_move_to(cr, kLeftPx, yLoud(target));
    cairo_line_to(cr, kLeftPx + plotW, yLoud(target));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_restore(cr);

    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, kLeftPx + 0.5, kTopPx + 0.5, plotW, plotH);
    cairo_stroke(cr);

    // Axis titles.
    cairo_set_font_size(cr, 14);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    text(cr, kLeftPx + plotW / 2, kTopPx + plotH + 36, minutes ? "time (min:s)" : "time (s)", 0.5, 1.0);
    cairo_save(cr);
    cairo_translate(cr, 26, kTopPx + plotH / 2);
    cairo_rotate(cr, -M_PI / 2);
    text(cr, 0, 0, "short-term loudness (LUFS)", 0.5, 0.5);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, kWidthPx - 24, kTopPx + plotH / 2);
    cairo_rotate(cr, M_PI / 2);
    setColour(cr, kGainColour);
    text(cr, 0, 0, "gain (dB)", 0.5, 0.5);
    cairo_restore(cr);

    // Title: file and settings; subtitle: the figures.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    text(cr, kLeftPx, 30, baseName(r.input) + "  (" + layoutName(r.layout) + ", " + std::to_string(r.rateHz) +
                              " Hz)  levelled with preset " + r.settings.presetName);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    // Long lines (5.1 settings) shrink to the width of the plot.
    auto fitted = [&](double y, const std::string& line) {
        cairo_set_font_size(cr, 13);
        cairo_text_extents_t e;
        cairo_text_extents(cr, line.c_str(), &e);
        const double room = kWidthPx - kLeftPx - 20;
        // Hinted glyph widths do not scale exactly with the size: keep a margin.
        if (e.x_advance > room) cairo_set_font_size(cr, 13 * 0.96 * room / e.x_advance);
        text(cr, kLeftPx, y, line);
        cairo_set_font_size(cr, 13);
    };
    // The settings the engine ran with (the landing moves some of them).
    Settings engine = r.settings;
    for (int32_t i = 0; i < kParamCount; ++i) engine.values[i] = r.engine.values[i];
    fitted(52, describeSettings(engine, r.layout));
    auto level = [](double v) {
        char t[16];
        if (std::isfinite(v)) std::snprintf(t, sizeof t, "%.1f", v);
        else std::snprintf(t, sizeof t, "-inf");
        return std::string(t);
    };
    char figures[320];
    std::snprintf(figures, sizeof figures,
                  "integrated %s -> %s LUFS,  loudness range %.1f -> %.1f LU,  true peak %s -> %s dBTP,  "
                  "leveler gain %+.1f..%+.1f dB,  deepest limiting %.1f dB",
                  level(r.in.integratedLufs).c_str(), level(r.out.integratedLufs).c_str(), r.in.rangeLu,
                  r.out.rangeLu, level(r.in.truePeakDbtp).c_str(), level(r.out.truePeakDbtp).c_str(), r.gainMinDb,
                  r.gainMaxDb, r.reductionMaxDb);
    fitted(72, figures);

    // Legend under the time axis.
    struct Entry { const char* label; Colour colour; int kind; };  // 0 line, 1 dashed, 2 area
    char targetLabel[64];
    std::snprintf(targetLabel, sizeof targetLabel, "target %.1f LUFS", target);
    const Entry entries[] = {{"input short-term loudness", kInputColour, 0},
                             {"output short-term loudness", kOutputColour, 0},
                             {targetLabel, kTargetColour, 1},
                             {"leveler gain (right axis)", kGainColour, 0},
                             {"limiter gain reduction (right axis)", kReductionColour, 2}};
    double x = kLeftPx;
    const double y = kHeightPx - 26;
    for (const Entry& e : entries) {
        if (e.kind == 2) {
            setColour(cr, e.colour, 0.55);
            cairo_rectangle(cr, x, y - 6, 28, 12);
            cairo_fill(cr);
        } else {
            setColour(cr, e.colour);
            cairo_set_line_width(cr, 2);
            if (e.kind == 1) cairo_set_dash(cr, targetDashes, 2, 0);
            cairo_move_to(cr, x, y);
            cairo_line_to(cr, x + 28, y);
            cairo_stroke(cr);
            cairo_set_dash(cr, nullptr, 0, 0);
        }
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        text(cr, x + 34, y, e.label, 0.0, 0.4);
        cairo_text_extents_t ext;
        cairo_text_extents(cr, e.label, &ext);
        x += 34 + ext.x_advance + 28;
    }

    std::string png;
    cairo_surface_flush(surface);
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendPng, &png);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) throw FileError{path + ": cannot draw the plot (" + cairo_status_to_string(status) + ")"};
    writeFileAtomically(path, png);
}

void releasePlotCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}
