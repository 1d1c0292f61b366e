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
    std::string t = "{\"integrated_lufs\": " + jsonNumber(f.integratedLufs) + ", \"loudness_range_lu\": " +
                    jsonNumber(f.rangeLu) + ", \"true_peak_dbtp\": " + jsonNumber(f.truePeakDbtp);
    if (std::isfinite(f.maxShortTermLufs)) t += ", \"max_short_term_lufs\": " + jsonNumber(f.maxShortTermLufs);
    return t + "}";
}

const char* passFail(bool ok) { return ok ? "pass" : "FAIL"; }

std::string specLine(const JobResult& r) {
    std::string line = format("%.1f LUFS +-%.1f LU, true peak <= %.1f dBTP", r.goal.targetLufs, r.goal.toleranceLu,
                              r.goal.ceilingDbtp);
    if (!std::isnan(r.goal.maxShortTermLufs)) line += format(", short-term <= %.1f LUFS", r.goal.maxShortTermLufs);
    return line;
}

// The verdict per criterion, judged on `f` (the output, or the input for --check).
std::string verdictLines(const JobResult& r, const LoudnessFigures& f) {
    std::string t = "  verdict (" + r.settings.presetName + ": " + specLine(r) + "): " +
                    (r.verdict.compliant() ? "compliant" : "NOT COMPLIANT") + "\n";
    t += format("    %-18s %8s LUFS  %s\n", "integrated", figure(f.integratedLufs, "%.2f").c_str(),
                passFail(r.verdict.integratedOk));
    t += format("    %-18s %8s dBTP  %s\n", "true peak", figure(f.truePeakDbtp, "%.2f").c_str(),
                passFail(r.verdict.truePeakOk));
    if (r.verdict.shortTermJudged)
        t += format("    %-18s %8s LUFS  %s\n", "short-term maximum", figure(f.maxShortTermLufs, "%.2f").c_str(),
                    passFail(r.verdict.shortTermOk));
    return t;
}

std::string landingLines(const JobResult& r) {
    if (r.singlePass) return "  single pass: the settings as given, as the plug-in levels\n";
    std::string t = format("  landed in %d pass%s over the engine; %s style", r.passes, r.passes == 1 ? "" : "es",
                           materialName(r.settings.material));
    if (r.settings.material != Material::Speech) t += format(" (loudness range kept up to %.1f LU)", r.settings.rangeTargetLu);
    t += format("; detector started at %s LUFS", figure(r.engine.startLufs).c_str());
    if (!r.engine.rideDb.empty()) t += format("; target ridden by up to %.1f dB", r.largestRideDb);
    t += "\n";
    for (const SettingChange& c : r.changes)
        t += format("    %-16s %7.2f -> %7.2f  %s\n", paramTable[static_cast<int32_t>(c.id)].vstName,
                    static_cast<double>(c.from), static_cast<double>(c.to), c.why.c_str());
    return t;
}

std::string checkReport(const JobResult& r) {
    std::string t = r.input + " (measured only)\n";
    t += format("  %s, %d Hz, %.1f s; %s\n", layoutName(r.layout), r.rateHz, r.durationSeconds(), r.inputFormat.c_str());
    t += format("  %-32s %9s\n", "loudness range (LU)", figure(r.in.rangeLu).c_str());
    return t + verdictLines(r, r.in);
}

std::string jsonVerdict(const JobResult& r, const LoudnessFigures& f) {
    std::string t = std::string("{\"compliant\": ") + (r.verdict.compliant() ? "true" : "false") +
                    ", \"preset\": " + jsonString(r.settings.presetName) +
                    ", \"integrated\": {\"lufs\": " + jsonNumber(f.integratedLufs) +
                    ", \"target_lufs\": " + jsonNumber(r.goal.targetLufs) +
                    ", \"tolerance_lu\": " + jsonNumber(r.goal.toleranceLu) +
                    ", \"pass\": " + (r.verdict.integratedOk ? "true" : "false") + "}" +
                    ", \"true_peak\": {\"dbtp\": " + jsonNumber(f.truePeakDbtp) +
                    ", \"ceiling_dbtp\": " + jsonNumber(r.goal.ceilingDbtp) +
                    ", \"pass\": " + (r.verdict.truePeakOk ? "true" : "false") + "}";
    if (r.verdict.shortTermJudged)
        t += ", \"max_short_term\": {\"lufs\": " + jsonNumber(f.maxShortTermLufs) +
             ", \"limit_lufs\": " + jsonNumber(r.goal.maxShortTermLufs) +
             ", \"pass\": " + (r.verdict.shortTermOk ? "true" : "false") + "}";
    return t + "}";
}

}  // namespace

std::string fileReport(const JobResult& r) {
    if (r.checkOnly) return checkReport(r);
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
    t += landingLines(r);
    t += verdictLines(r, r.out);
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
    t += format("  %-*s %9s %9s %8s %9s %9s %9s  %s\n", w, "file", "in LUFS", "out LUFS", "out LU", "out dBTP",
                "gain max", "limiter", "verdict");
    for (const JobResult& r : results) {
        const std::string name = baseName(r.input).substr(0, nameWidth);
        if (!r.ok) {
            t += format("  %-*s %s: %s\n", w, name.c_str(), r.missed ? "missed" : "failed", r.error.c_str());
            continue;
        }
        const LoudnessFigures& judged = r.checkOnly ? r.in : r.out;  // --check: the input is the delivery
        t += format("  %-*s %9s %9s %8s %9s %9s %9s  %s\n", w, name.c_str(), figure(r.in.integratedLufs).c_str(),
                    figure(judged.integratedLufs).c_str(), figure(judged.rangeLu).c_str(),
                    figure(judged.truePeakDbtp).c_str(), r.checkOnly ? "" : figure(r.gainMaxDb, "%+.1f").c_str(),
                    r.checkOnly ? "" : figure(-r.reductionMaxDb).c_str(),
                    r.verdict.compliant() ? "compliant" : "NOT COMPLIANT");
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
        t += std::string(", \"status\": ") +
             (r.ok ? (r.missed ? "\"not compliant\"" : "\"ok\"")
                   : r.interrupted ? "\"interrupted\"" : r.missed ? "\"missed\"" : "\"failed\"");
        if (!r.ok) {
            t += ", \"error\": " + jsonString(r.error);
            if (r.missed) t += ", \"passes\": " + std::to_string(r.passes);
            t += "}";
            continue;
        }
        if (r.checkOnly) {
            t += ",\n     \"input_loudness\": " + jsonFigures(r.in) + ",\n     \"verdict\": " + jsonVerdict(r, r.in) + "}";
            continue;
        }
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
        t += "     \"material\": " + jsonString(materialName(r.settings.material)) + ", \"loudness_range_target_lu\": " +
             (r.settings.material == Material::Speech ? std::string("null") : jsonNumber(r.settings.rangeTargetLu)) +
             ", \"single_pass\": " + (r.singlePass ? "true" : "false") + ", \"passes\": " + std::to_string(r.passes) +
             ", \"detector_start_lufs\": " + jsonNumber(r.engine.startLufs) +
             ", \"ride_largest_db\": " + (r.engine.rideDb.empty() ? std::string("null") : jsonNumber(r.largestRideDb)) +
             ",\n";
        t += "     \"engine_settings\": {";
        for (int32_t p = 0; p < paramCount(r.layout); ++p)
            t += std::string(p ? ", " : "") + jsonString(optionName(static_cast<ParamId>(p))) + ": " +
                 jsonNumber(r.engine.values[p]);
        t += "},\n     \"changed\": [";
        for (size_t c = 0; c < r.changes.size(); ++c)
            t += std::string(c ? ", " : "") + "{\"setting\": " + jsonString(optionName(r.changes[c].id)) +
                 ", \"from\": " + jsonNumber(r.changes[c].from) + ", \"to\": " + jsonNumber(r.changes[c].to) +
                 ", \"why\": " + jsonString(r.changes[c].why) + "}";
        t += "],\n     \"verdict\": " + jsonVerdict(r, r.out) + ",\n";
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
