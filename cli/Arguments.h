// Command line of orvanta-level.
//
//   orvanta-level [options] INPUT -o OUTPUT
//   orvanta-level [options] INPUT... -d OUTDIR
//   orvanta-level --check PRESET INPUT...
#pragma once

#include <string>
#include <vector>

#include "Settings.h"

struct Options {
    std::vector<std::string> inputs;
    std::string outputFile;  // -o: one input
    std::string outputDir;   // -d: one or more inputs
    Settings settings;
    std::string format;      // --format: container name ("" = as the input)
    std::string bits;        // --bits: "8", "16", "24", "32", "32f", "64f" ("" = as the input)
    bool dither = true;
    bool force = false;
    bool quiet = false;
    std::string jsonFile;
    std::string plotPath;    // a PNG file (one input) or a folder (several)
    int jobs = 0;            // 0: one per core
    bool singlePass = false; // the plug-in's output: one pass, the settings as given
    bool checkOnly = false;  // --check: measure and judge, write nothing
    std::vector<std::string> warnings;  // clamped values, for stderr
};

enum class ParseOutcome { Run, Help, UsageError };

// Parses argv. On a usage error, `error` says what is wrong in one line.
ParseOutcome parseArguments(int argc, char** argv, Options& options, std::string& error);

// The --help text.
std::string helpText();
