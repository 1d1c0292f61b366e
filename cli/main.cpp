// orvanta-level: levels audio files with the Orvanta engine, reports their
// loudness before and after, and draws it.
//
// Exit status: 0 when every file was levelled (or checked) and complies, 1
// when any failed, 2 for a usage error, 3 when a file missed its delivery
// target (and none failed); on SIGINT or SIGTERM the jobs remove their
// temporary files and the tool ends by the same signal.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

#include "Arguments.h"
#include "AudioFile.h"
#include "JobRunner.h"
#include "Plot.h"
#include "Report.h"

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler stores to this atomic");

extern "C" void onStopSignal(int signal) { stopSignal.store(signal); }

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A write beyond the file-size limit must fail as an error we report and
    // clean up after, not kill the process.
    signal(SIGXFSZ, SIG_IGN);
}

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitMissed = 3;

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvanta-level: %s\n", message.c_str());
    return kExitUsage;
}

std::string stem(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool sameFile(const std::string& path, const std::vector<std::pair<dev_t, ino_t>>& ids) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    for (const auto& id : ids)
        if (id.first == st.st_dev && id.second == st.st_ino) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    installSignalHandlers();
    Options options;
    std::string error;
    switch (parseArguments(argc, argv, options, error)) {
        case ParseOutcome::Help:
            std::fputs(helpText().c_str(), stdout);
            return 0;
        case ParseOutcome::UsageError:
            return usageError(error);
        case ParseOutcome::Run:
            break;
    }
    if (options.format == "list") {
        std::fputs(listFormats().c_str(), stdout);
        return 0;
    }
    if (!options.format.empty() && majorFormatByName(options.format) == 0)
        return usageError("--format " + options.format + ": unknown format (see --format list)");
    for (const std::string& warning : options.warnings) std::fprintf(stderr, "orvanta-level: %s\n", warning.c_str());
    initialiseFileCreation();

    const bool batch = !options.outputDir.empty();
    if (batch) {
        const std::string problem = checkOutputFolder(options.outputDir);
        if (!problem.empty()) {
            std::fprintf(stderr, "orvanta-level: %s: %s\n", options.outputDir.c_str(), problem.c_str());
            return 1;
        }
    }
    bool plotIntoFolder = false;
    if (!options.plotPath.empty() && options.inputs.size() > 1) {
        struct stat st;
        if (stat(options.plotPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return usageError("--plot " + options.plotPath + ": with several inputs, give an existing folder");
        plotIntoFolder = true;
    }

    std::vector<std::pair<dev_t, ino_t>> inputIds;
    for (const std::string& input : options.inputs) {
        struct stat st;
        if (stat(input.c_str(), &st) == 0) inputIds.emplace_back(st.st_dev, st.st_ino);
    }
    for (const std::string* report : {&options.jsonFile, &options.plotPath})
        if (!report->empty() && !plotIntoFolder && sameFile(*report, inputIds)) {
            std::fprintf(stderr, "orvanta-level: %s: is an input file; orvanta-level never writes over its input\n",
                         report->c_str());
            return 1;
        }

    std::vector<JobRequest> requests;
    std::map<std::string, std::string> claimed;  // output -> the input that writes it
    for (const std::string& input : options.inputs) {
        JobRequest request;
        request.input = input;
        request.options = &options;
        request.inputIds = &inputIds;
        if (options.checkOnly) {
            // measured only: no output, no plot
        } else if (batch) {
            std::string name = baseName(input);
            if (!options.format.empty())
                name = stem(name) + "." + extensionOf(majorFormatByName(options.format) | subtypeImpliedBy(options.format));
            request.output = options.outputDir + "/" + name;
        } else {
            request.output = options.outputFile;
        }
        if (!options.plotPath.empty() && !options.checkOnly)
            request.plotFile = plotIntoFolder ? options.plotPath + "/" + stem(baseName(input)) + ".png" : options.plotPath;
        const auto previous = claimed.find(request.output);
        if (options.checkOnly) {
        } else if (previous != claimed.end())
            request.refusal = request.output + ": also the output of " + previous->second + "; not levelled twice";
        else
            claimed[request.output] = input;
        requests.push_back(request);
    }

    int jobs = options.jobs;
    if (jobs <= 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    const auto started = std::chrono::steady_clock::now();
    const std::vector<JobResult> results = runJobs(requests, jobs, showProgress, stopSignal);
    const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!options.plotPath.empty()) releasePlotCaches();

    const int signal = stopSignal.load();
    if (signal != 0) {
        size_t notStarted = 0;
        for (const JobResult& r : results) notStarted += r.started ? 0 : 1;
        if (notStarted > 0)
            std::fprintf(stderr, "orvanta-level: interrupted; %zu more file%s not levelled\n", notStarted,
                         notStarted == 1 ? "" : "s");
        // Every job has removed its temporary file; end the way the signal
        // would have ended us, so the shell and make see an interruption.
        std::fflush(stdout);
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(signal, &action, nullptr);
        raise(signal);
        return 128 + signal;
    }

    bool allOk = true, anyMissed = false;
    for (const JobResult& r : results) {
        allOk = allOk && (r.ok || r.missed);
        anyMissed = anyMissed || r.missed;
    }
    if (!options.quiet) {
        bool first = true;
        for (const JobResult& r : results) {
            if (!r.ok) continue;
            std::printf("%s%s", first ? "" : "\n", fileReport(r).c_str());
            first = false;
        }
        if (results.size() > 1) std::printf("\n%s", batchSummary(results, wallSeconds).c_str());
        std::fflush(stdout);
    }
    if (!options.jsonFile.empty()) {
        try {
            writeFileAtomically(options.jsonFile, jsonReport(results, wallSeconds, jobs));
        } catch (const FileError& e) {
            std::fprintf(stderr, "orvanta-level: %s\n", e.message.c_str());
            allOk = false;
        }
    }
    // A signal after the last file was complete: everything is in place, but
    // the user asked to stop, so end by that signal all the same.
    if (const int late = stopSignal.load()) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(late, &action, nullptr);
        raise(late);
    }
    return !allOk ? kExitFailed : anyMissed ? kExitMissed : 0;
}
