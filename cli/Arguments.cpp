#include "Arguments.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ParamTable.h"

namespace {

bool parseNumber(const char* text, double& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *end == '\0' && std::isfinite(value);
}

std::string formatBound(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v) == 0.0 ? 0.0 : static_cast<double>(v));
    return text;
}

// Sets one parameter the way its LADSPA control port would: clamped to the
// port's range, Corr Mix Mode rounded to the nearest mode.
void setParameter(Options& options, ParamId id, const char* text, double number) {
    const float requested = static_cast<float>(number);
    const float applied = plainFromPort(id, requested);
    const ParamInfo& row = paramTable[static_cast<int32_t>(id)];
    if (applied != requested && !(id == ParamId::CorrMixMode && applied == std::trunc(requested + 0.5f)))
        options.warnings.push_back(std::string("--") + optionName(id) + " " + text + " is outside " +
                                   formatBound(row.lower) + ".." + formatBound(row.upper) +
                                   (row.vstLabel[0] ? std::string(" ") + row.vstLabel : std::string()) +
                                   "; using " + formatBound(applied));
    options.settings.values[static_cast<int32_t>(id)] = applied;
    options.settings.changed[static_cast<int32_t>(id)] = true;
}

// Words of `text` on lines of at most kHelpColumns, each line indented.
constexpr size_t kHelpColumns = 79;
std::string wrap(const std::string& text, size_t indent) {
    std::string out, line(indent, ' ');
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (line.size() > indent && line.size() + 1 + word.size() > kHelpColumns) {
            out += line + "\n";
            line = std::string(indent, ' ');
        }
        if (line.size() > indent) line += ' ';
        line += word;
        start = end + 1;
    }
    return out + line + "\n";
}

}  // namespace

std::string helpText() {
    std::string text =
        "Usage: orvanta-level [options] INPUT -o OUTPUT\n"
        "       orvanta-level [options] INPUT... -d OUTDIR\n"
        "       orvanta-level --check PRESET INPUT...\n"
        "\n"
        "Levels audio files to a target loudness under a true-peak ceiling with the\n"
        "Orvanta engine, removes the engine's latency (the output is aligned with the\n"
        "input and as long), and reports loudness before and after (EBU R128) with a\n"
        "verdict against the delivery preset.\n"
        "\n"
        "Landing: the file is measured first, then levelled in passes, each with the\n"
        "engine's target moved by the previous pass's miss, until the integrated\n"
        "loudness is within 0.1 LU of the target. Where Max Gain keeps a quiet\n"
        "programme from reaching it, Max Gain is raised (up to 30 dB) unless it was\n"
        "given; the report and the JSON say what was changed. A file that cannot land\n"
        "is not written (exit status 3). The detector starts from the programme's\n"
        "measured loudness, so room tone before the first words is not lifted. For\n"
        "speech a trial pass's short-term loudness also gives a ride of the engine's\n"
        "target (at most 6 dB, smoothed over 2 s), the way an engineer rides the fader\n"
        "where the words after applause or a louder voice would come out quiet.\n"
        "\n"
        "Files: what libsndfile reads and writes (WAV, WAVE_FORMAT_EXTENSIBLE, FLAC,\n"
        "AIFF, Ogg Vorbis, CAF, W64, RF64, ...). Mono, stereo or 5.1 (FL FR FC LFE\n"
        "BL BR); a channel map in the file is followed. 8000 to 384000 Hz. ADPCM and\n"
        "other block codecs are written as 16-bit PCM (they would pad the end).\n"
        "\n"
        "Output:\n"
        "  -o, --output FILE     the levelled file (one input)\n"
        "  -d, --output-dir DIR  one levelled file per input, same name, in DIR\n"
        "  -f, --force           replace existing output files\n"
        "      --format NAME     container (wav, wavex, flac, aiff, ogg, caf, w64, rf64,\n"
        "                        au, ...; 'list' shows all); default: as the input\n"
        "      --bits B          8, 16, 24, 32 (integer) or 32f, 64f (float);\n"
        "                        default: as the input\n"
        "      --no-dither       no TPDF dither on integer output of 16 bits or fewer\n"
        "      --single-pass     one pass with the settings exactly as given: the\n"
        "                        LADSPA plug-in's output (float bit for bit), no landing\n"
        "      --no-ride         land without riding the target (speech)\n"
        "\n"
        "Delivery presets (target, ceiling, the tolerance the verdict allows):\n"
        "  -p, --preset NAME     start from a preset (default: podcast)\n"
        "      --check PRESET    measure the inputs against a preset, write nothing;\n"
        "                        exit status 0 only when every file complies\n";
    for (const Preset& preset : kPresets) {
        char line[512];
        char shortTerm[64] = "";
        if (!std::isnan(preset.maxShortTermLufs))
            std::snprintf(shortTerm, sizeof shortTerm, ", short-term <= %.0f LUFS",
                          static_cast<double>(preset.maxShortTermLufs));
        std::snprintf(line, sizeof line, "      %-14s %.0f LUFS +-%.1f LU, %.0f dBTP%s; %s;\n",
                      preset.name, static_cast<double>(preset.targetLufs), static_cast<double>(preset.toleranceLu),
                      static_cast<double>(preset.truePeakDbtp), shortTerm, materialName(preset.material));
        char engine[128];
        std::snprintf(engine, sizeof engine, " Max Gain %.0f dB, Freeze %.0f LUFS.",
                      static_cast<double>(preset.maxGainDb), static_cast<double>(preset.freezeLufs));
        text += line + wrap(std::string(preset.why) + "." + engine, 21);
    }
    text +=
        "\n"
        "Levelling style:\n"
        "      --material M      speech, music or mixed (default: the preset's)\n"
        "        speech          full correction: every passage and every voice is\n"
        "                        brought to the target, near and far speakers alike\n"
        "        music           the dynamics stay: the loudness range (LRA) is kept up\n"
        "                        to 15 LU; only a wider range is narrowed to it\n"
        "        mixed           speech over music, magazine shows, films: the range is\n"
        "                        kept up to 8 LU\n"
        "      --lra-target LU   the widest loudness range music or mixed keeps\n"
        "  For music and mixed the leveler corrects the share 1 - LRA target / input LRA\n"
        "  of each passage's deviation from the programme loudness (none when the\n"
        "  input's range is within the target), with Input Level set to the measured\n"
        "  programme loudness and the logarithmic law (Corr Mix Mode 3).\n"
        "\n"
        "Engine settings (ranges and clamping as the LADSPA plug-in's controls):\n";
    for (int32_t i = 0; i < kParamCount; ++i) {
        const auto id = static_cast<ParamId>(i);
        const ParamInfo& row = paramTable[i];
        char line[256];
        if (id == ParamId::CorrMixMode)
            std::snprintf(line, sizeof line,
                          "      --%-15s %s: 0..3; which correction (LL low, HL high)\n"
                          "                        uses the linear (i) or the logarithmic (g) law\n",
                          optionName(id), row.portName);
        else
            std::snprintf(line, sizeof line, "      --%-15s %s: %s..%s%s\n", optionName(id), row.portName,
                          formatBound(row.lower).c_str(), formatBound(row.upper).c_str(),
                          id == ParamId::LfeGain ? " (5.1 only)" : "");
        text += line;
    }
    text +=
        "  Input Level is the loudness the programme is expected to have: the share of\n"
        "  the deviation that Correction High and Low leave uncorrected is measured\n"
        "  from it. Unless given, it is set to the programme's measured loudness; with\n"
        "  --single-pass (as in the plug-in) set it to that loudness yourself whenever\n"
        "  a correction is below 100 %, or the output misses the target.\n"
        "\n"
        "Reports:\n"
        "      --json FILE       write the report's numbers, the verdict, the passes and\n"
        "                        what the landing changed as JSON\n"
        "      --plot PATH       draw loudness and gain over time as PNG: a file for one\n"
        "                        input, a folder (one NAME.png per input) for several\n"
        "                        (the JSON file and plots are replaced if they exist)\n"
        "  -q, --quiet           no progress bar and no report on stdout\n"
        "  -j, --jobs N          files levelled at once (default: number of cores)\n"
        "  -h, --help            this text\n"
        "\n"
        "Loudness is measured with libebur128 (its histogram mode: memory stays flat\n"
        "however long the file); a mono file counts as dual mono, as the engine\n"
        "measures it (played on two loudspeakers).\n"
        "\n"
        "Exit status: 0 every file levelled (or checked) and compliant, 1 a file\n"
        "failed, 2 usage error, 3 a file missed its delivery target (not written,\n"
        "or with --single-pass written but not compliant; --check: not compliant);\n"
        "interrupted by SIGINT or SIGTERM: no output is left behind, and the tool ends\n"
        "by that signal.\n";
    return text;
}

ParseOutcome parseArguments(int argc, char** argv, Options& options, std::string& error) {
    options.settings = Settings::fromPreset(kPresets[0]);
    // Explicit settings apply on top of the preset wherever --preset stands.
    struct Pending { ParamId id; const char* text; double number; };
    std::vector<Pending> pending;
    // The style options, too, apply on top of the preset's.
    struct Style { Material material = Material::Speech; bool materialGiven = false; float rangeTargetLu = 0; } style;
    bool rideOff = false;
    bool optionsEnded = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") { optionsEnded = true; continue; }
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        if (arg.compare(0, 2, "--") == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
                hasInline = true;
            }
        }
        auto value = [&](const char*& out) {
            if (hasInline) { out = argv[i] + name.size() + 1; return true; }
            if (i + 1 >= argc) { error = name + " needs a value"; return false; }
            out = argv[++i];
            return true;
        };
        const char* text = nullptr;
        if (name == "-h" || name == "--help") return ParseOutcome::Help;
        if (name == "-f" || name == "--force") { options.force = true; continue; }
        if (name == "-q" || name == "--quiet") { options.quiet = true; continue; }
        if (name == "--no-dither") { options.dither = false; continue; }
        if (name == "--single-pass") { options.singlePass = true; continue; }
        if (name == "--no-ride") { options.settings.ride = false; rideOff = true; continue; }
        if (name == "-o" || name == "--output") {
            if (!value(text)) return ParseOutcome::UsageError;
            options.outputFile = text;
            continue;
        }
        if (name == "-d" || name == "--output-dir") {
            if (!value(text)) return ParseOutcome::UsageError;
            options.outputDir = text;
            continue;
        }
        if (name == "--format") { if (!value(text)) return ParseOutcome::UsageError; options.format = text; continue; }
        if (name == "--bits") {
            if (!value(text)) return ParseOutcome::UsageError;
            const std::string b = text;
            if (b != "8" && b != "16" && b != "24" && b != "32" && b != "32f" && b != "64f") {
                error = "--bits " + b + ": use 8, 16, 24, 32, 32f or 64f";
                return ParseOutcome::UsageError;
            }
            options.bits = b;
            continue;
        }
        if (name == "--json") { if (!value(text)) return ParseOutcome::UsageError; options.jsonFile = text; continue; }
        if (name == "--plot") { if (!value(text)) return ParseOutcome::UsageError; options.plotPath = text; continue; }
        if (name == "-j" || name == "--jobs") {
            if (!value(text)) return ParseOutcome::UsageError;
            double n = 0;
            if (!parseNumber(text, n) || n < 1 || n > 1024 || n != std::floor(n)) {
                error = std::string("--jobs ") + text + ": use a whole number from 1 to 1024";
                return ParseOutcome::UsageError;
            }
            options.jobs = static_cast<int>(n);
            continue;
        }
        if (name == "-p" || name == "--preset" || name == "--check") {
            if (!value(text)) return ParseOutcome::UsageError;
            const Preset* preset = findPreset(text);
            if (preset == nullptr) {
                error = name + " " + text + ": unknown preset (" + presetNames() + ")";
                return ParseOutcome::UsageError;
            }
            options.settings = Settings::fromPreset(*preset);
            options.checkOnly = options.checkOnly || name == "--check";
            continue;
        }
        if (name == "--material") {
            if (!value(text)) return ParseOutcome::UsageError;
            if (!findMaterial(text, style.material)) {
                error = std::string("--material ") + text + ": use speech, music or mixed";
                return ParseOutcome::UsageError;
            }
            style.materialGiven = true;
            continue;
        }
        if (name == "--lra-target") {
            if (!value(text)) return ParseOutcome::UsageError;
            double lu = 0;
            if (!parseNumber(text, lu) || lu < 1 || lu > 40) {
                error = std::string("--lra-target ") + text + ": use a loudness range from 1 to 40 LU";
                return ParseOutcome::UsageError;
            }
            style.rangeTargetLu = static_cast<float>(lu);
            continue;
        }
        bool isParameter = false;
        for (int32_t p = 0; p < kParamCount; ++p) {
            const auto id = static_cast<ParamId>(p);
            if (name != std::string("--") + optionName(id)) continue;
            isParameter = true;
            if (!value(text)) return ParseOutcome::UsageError;
            double number = 0;
            if (!parseNumber(text, number)) {
                error = name + " " + text + ": not a number";
                return ParseOutcome::UsageError;
            }
            pending.push_back({id, text, number});
        }
        if (isParameter) continue;
        error = "unknown option " + arg + " (see --help)";
        return ParseOutcome::UsageError;
    }
    for (const Pending& p : pending) setParameter(options, p.id, p.text, p.number);
    Settings& settings = options.settings;
    settings.ride = !rideOff;  // a --preset after --no-ride starts the settings anew
    if (style.materialGiven) {
        settings.material = style.material;
        settings.materialChanged = true;
        settings.rangeTargetLu = defaultRangeTargetLu(style.material);
    }
    if (style.rangeTargetLu > 0) {
        settings.rangeTargetLu = style.rangeTargetLu;
        settings.rangeTargetChanged = true;
    }

    if (options.format == "list") return ParseOutcome::Run;  // main lists the formats
    if (options.inputs.empty()) { error = "no input file (see --help)"; return ParseOutcome::UsageError; }
    if (options.checkOnly) {
        if (!options.outputFile.empty() || !options.outputDir.empty() || options.singlePass) {
            error = "--check measures and writes nothing: drop -o, -d and --single-pass";
            return ParseOutcome::UsageError;
        }
        return ParseOutcome::Run;
    }
    if (settings.rangeTargetChanged && settings.material == Material::Speech) {
        error = "--lra-target applies to music and mixed material; speech is corrected fully";
        return ParseOutcome::UsageError;
    }
    if (options.outputFile.empty() == options.outputDir.empty()) {
        error = "give either -o OUTPUT (one input) or -d OUTDIR";
        return ParseOutcome::UsageError;
    }
    if (!options.outputFile.empty() && options.inputs.size() != 1) {
        error = "-o takes one input; use -d OUTDIR for several";
        return ParseOutcome::UsageError;
    }
    return ParseOutcome::Run;
}
