#include "Report.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "AudioFile.h"

namespace {

std::string format(const char* fmt, ...) {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

// A loudness or level figure; silence has none.
std::string figure(double value, const char* fmt = "%.1f") {
    return std::isfinite(value) ? format(fmt, value) : std::string("-inf");
}

std::string settingsLine(const JobResult& r) {
    std::string changed;
    for (int32_t i = 0; i < paramCount(r.layout); ++i)
        if (r.settings.changed[i]) changed += (changed.empty() ? "" : ", ") + std::string(paramTable[i].vstName);
    std::string line = "preset " + r.settings.presetName;
    if (!changed.empty()) line += " (changed: " + changed + ")";
    return line + ": " + describeSettings(r.settings, r.layout);
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') { out += '\\'; out += static_cast<char>(c); }
        else if (c < 0x20) out += format("\\u%04x", c);
        else out += static_cast<char>(c);
    }
    return out + "\"";
}

// Full precision, so a script gets exactly the measured value; null for -inf.
std::string jsonNumber(double v) {
    return std::isfinite(v) ? format("%.17g", v) : std::string("null");
}

std::string jsonFigures(const LoudnessFigures& f) {
    return "{\"integrated_lufs\": " + jsonNumber(f.integratedLufs) + ", \"loudness_range_lu\": " +
           jsonNumber(f.rangeLu) + ", \"true_peak_dbtp\": " + jsonNumber(f.truePeakDbtp) + "}";
}

}  // namespace

std::string fileReport(const JobResult& r) {
    std::string t;
    t += r.input + " -> " + r.output + "\n";
    t += format("  %s, %d Hz, %.1f s%s; latency %u samples removed\n", layoutName(r.layout), r.rateHz,
                r.durationSeconds(), r.channelOrderChanged ? " (written in the order FL FR FC LFE BL BR: the format cannot keep the input's channel map)"
                : r.reordered ? " (channels reordered by the file's map)" : "",
                r.latencyFrames);
    t += "  " + r.inputFormat + " -> " + r.outputFormat + "\n";
    t += "  " + settingsLine(r) + "\n";
    t += format("  %-32s %9s %9s\n", "", "input", "output");
    t += format("  %-32s %9s %9s\n", "integrated loudness (LUFS)", figure(r.in.integratedLufs).c_str(),
                figure(r.out.integratedLufs).c_str());
    t += format("  %-32s %9s %9s\n", "loudness range (LU)", figure(r.in.rangeLu).c_str(),
                figure(r.out.rangeLu).c_str());
    t += format("  %-32s %9s %9s\n", "maximum true peak (dBTP)", figure(r.in.truePeakDbtp).c_str(),
                figure(r.out.truePeakDbtp).c_str());
    t += format("  %-32s %19s\n", "largest leveler gain (dB)", figure(r.gainMaxDb, "%+.1f").c_str());
    t += format("  %-32s %19s\n", "smallest leveler gain (dB)", figure(r.gainMinDb, "%+.1f").c_str());
    t += format("  %-32s %19s\n", "deepest limiter reduction (dB)", figure(r.reductionMaxDb).c_str());
    t += format("  %-32s %19s\n", "duration (s)", format("%.1f", r.durationSeconds()).c_str());
    t += format("  %-32s %19s\n", "speed (x real time)", format("%.1f", r.speed()).c_str());
    if (r.outputMeasuredFromFile) t += "  (output measured by decoding the written file)\n";
    if (!r.plotFile.empty()) t += "  plot: " + r.plotFile + "\n";
    return t;
}

std::string batchSummary(const std::vector<JobResult>& results, double wallSeconds) {
    size_t ok = 0;
    double audioSeconds = 0;
    size_t nameWidth = 4;
    for (const JobResult& r : results) {
        if (r.ok) { ++ok; audioSeconds += r.durationSeconds(); }
        nameWidth = std::max(nameWidth, baseName(r.input).size());
    }
    nameWidth = std::min<size_t>(nameWidth, 40);
    std::string t = format("Summary: %zu files, %zu levelled, %zu failed; %.1f s of audio in %.1f s (%.1fx real time)\n",
                           results.size(), ok, results.size() - ok, audioSeconds, wallSeconds,
                           wallSeconds > 0 ? audioSeconds / wallSeconds : 0.0);
    const int w = static_cast<int>(nameWidth);
    t += format("  %-*s %9s %9s %8s %9s %9s %9s\n", w, "file", "in LUFS", "out LUFS", "out LU", "out dBTP",
                "gain max", "limiter");
    for (const JobResult& r : results) {
        const std::string name = baseName(r.input).substr(0, nameWidth);
        if (!r.ok) {
            t += format("  %-*s failed: %s\n", w, name.c_str(), r.error.c_str());
            continue;
        }
        t += format("  %-*s %9s %9s %8s %9s %9s %9s\n", w, name.c_str(), figure(r.in.integratedLufs).c_str(),
                    figure(r.out.integratedLufs).c_str(), figure(r.out.rangeLu).c_str(),
                    figure(r.out.truePeakDbtp).c_str(), figure(r.gainMaxDb, "%+.1f").c_str(),
                    figure(-r.reductionMaxDb).c_str());
    }
    return t;
}

std::string jsonReport(const std::vector<JobResult>& results, double wallSeconds, int jobs) {
    std::string t = "{\n  \"tool\": \"orvanta-level\",\n  \"files\": [";
    size_t ok = 0;
    double audioSeconds = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        const JobResult& r = results[i];
        if (r.ok) { ++ok; audioSeconds += r.durationSeconds(); }
        t += i ? ",\n    {" : "\n    {";
        t += "\"input\": " + jsonString(r.input) + ", \"output\": " + jsonString(r.output);
        t += std::string(", \"status\": ") + (r.ok ? "\"ok\"" : r.interrupted ? "\"interrupted\"" : "\"failed\"");
        if (!r.ok) { t += ", \"error\": " + jsonString(r.error) + "}"; continue; }
        t += ",\n     \"settings\": {\"preset\": " + jsonString(r.settings.presetName);
        for (int32_t p = 0; p < paramCount(r.layout); ++p)
            t += ", " + jsonString(optionName(static_cast<ParamId>(p))) + ": " +
                 jsonNumber(r.settings.values[p]);
        t += "},\n";
        t += format("     \"layout\": \"%s\", \"channels\": %d, \"sample_rate_hz\": %d, \"frames\": %lld, "
                    "\"duration_s\": %s, \"latency_samples\": %u, \"channels_reordered\": %s, \"written_in_engine_order\": %s,\n",
                    layoutName(r.layout), r.channels, r.rateHz, static_cast<long long>(r.frames),
                    jsonNumber(r.durationSeconds()).c_str(), r.latencyFrames, r.reordered ? "true" : "false",
                    r.channelOrderChanged ? "true" : "false");
        t += "     \"input_format\": " + jsonString(r.inputFormat) + ", \"output_format\": " +
             jsonString(r.outputFormat) + ",\n";
        t += "     \"input_loudness\": " + jsonFigures(r.in) + ",\n";
        t += "     \"output_loudness\": " + jsonFigures(r.out) + ",\n";
        t += "     \"leveler_gain_max_db\": " + jsonNumber(r.gainMaxDb) + ", \"leveler_gain_min_db\": " +
             jsonNumber(r.gainMinDb) + ", \"limiter_reduction_max_db\": " + jsonNumber(r.reductionMaxDb) + ",\n";
        t += "     \"elapsed_s\": " + jsonNumber(r.seconds) + ", \"speed_x_real_time\": " + jsonNumber(r.speed());
        if (!r.plotFile.empty()) t += ", \"plot\": " + jsonString(r.plotFile);
        t += "}";
    }
    t += "\n  ],\n";
    t += format("  \"summary\": {\"files\": %zu, \"levelled\": %zu, \"failed\": %zu, \"jobs\": %d, "
                "\"audio_s\": %s, \"elapsed_s\": %s, \"speed_x_real_time\": %s}\n}\n",
                results.size(), ok, results.size() - ok, jobs, jsonNumber(audioSeconds).c_str(),
                jsonNumber(wallSeconds).c_str(),
                jsonNumber(wallSeconds > 0 ? audioSeconds / wallSeconds : 0.0).c_str());
    return t;
}
