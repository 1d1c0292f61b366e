#include "JobRunner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "AudioFile.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr int kBarCells = 24;

std::string clock(double seconds) {
    if (!(seconds >= 0) || seconds > 359999) return "--:--";
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string progressLine(const JobRequest& request, const JobProgress& p) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - p.start).count();
    const int64_t total = p.framesTotal.load();
    const int64_t done = std::max<int64_t>(0, p.framesDone.load());
    const int rate = p.rateHz.load();
    const double fraction = total > 0 ? std::min(1.0, static_cast<double>(done) / total) : 0.0;
    const double speed = elapsed > 0 && rate > 0 ? static_cast<double>(done) / rate / elapsed : 0.0;
    const double left = speed > 0 ? static_cast<double>(total - done) / rate / speed : -1.0;
    std::string bar(kBarCells, ' ');
    const int filled = static_cast<int>(fraction * kBarCells);
    for (int i = 0; i < filled; ++i) bar[static_cast<size_t>(i)] = '#';
    std::string name = baseName(request.input);
    if (name.size() > 28) name = name.substr(0, 25) + "...";
    // Measuring, then the passes over the engine, each from 0 to 100 %.
    const int pass = p.pass.load();
    char stage[16] = "measure";
    if (pass > 0) std::snprintf(stage, sizeof stage, "pass %d", pass);
    char text[256];
    std::snprintf(text, sizeof text, "%-28s %-7s [%s] %3.0f%%  %s elapsed  %5.1fx  %s left", name.c_str(), stage,
                  bar.c_str(), fraction * 100.0, clock(elapsed).c_str(), speed, clock(left).c_str());
    return text;
}

}  // namespace

std::vector<JobResult> runJobs(const std::vector<JobRequest>& requests, int jobs, bool showProgress,
                               const std::atomic<int>& stop) {
    const size_t count = requests.size();
    std::vector<JobResult> results(count);
    std::unique_ptr<JobProgress[]> progress(new JobProgress[count]);
    std::unique_ptr<std::atomic<bool>[]> reported(new std::atomic<bool>[count]);
    for (size_t i = 0; i < count; ++i) reported[i] = false;
    std::atomic<size_t> next{0};

    auto worker = [&] {
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= count) return;
            if (stop.load()) {
                results[i].input = requests[i].input;
                results[i].output = requests[i].output;
                results[i].interrupted = true;
                results[i].started = false;
                results[i].error = requests[i].input + ": not levelled (interrupted)";
                progress[i].state = JobProgress::Done;
                continue;
            }
            results[i] = levelFile(requests[i], progress[i], stop);
            progress[i].state = JobProgress::Done;  // publishes results[i] to the display thread
        }
    };
    const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(count)));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

    int drawnLines = 0;
    auto lastDraw = std::chrono::steady_clock::now() - kRedrawInterval;
    auto clearProgress = [&] {
        if (drawnLines == 0) return;
        std::fprintf(stderr, "\033[%dA", drawnLines);
        for (int l = 0; l < drawnLines; ++l) std::fprintf(stderr, "\r\033[K\n");
        std::fprintf(stderr, "\033[%dA", drawnLines);
        drawnLines = 0;
    };
    for (;;) {
        bool allDone = true;
        for (size_t i = 0; i < count; ++i)
            if (progress[i].state.load() != JobProgress::Done) allDone = false;
        // Failures as they happen, above the progress lines.
        bool haveNews = false;
        for (size_t i = 0; i < count; ++i)
            if (progress[i].state.load() == JobProgress::Done && !reported[i].load()) haveNews = true;
        if (haveNews) {
            if (showProgress) clearProgress();
            for (size_t i = 0; i < count; ++i) {
                if (progress[i].state.load() != JobProgress::Done || reported[i].load()) continue;
                reported[i] = true;
                if (!results[i].ok && results[i].started) std::fprintf(stderr, "orvanta-level: %s\n", results[i].error.c_str());
                else if (!results[i].warning.empty()) std::fprintf(stderr, "orvanta-level: %s\n", results[i].warning.c_str());
            }
        }
        if (allDone) break;
        if (showProgress && std::chrono::steady_clock::now() - lastDraw >= kRedrawInterval) {
            lastDraw = std::chrono::steady_clock::now();
            clearProgress();
            for (size_t i = 0; i < count; ++i) {
                if (progress[i].state.load() != JobProgress::Running) continue;
                std::fprintf(stderr, "%s\n", progressLine(requests[i], progress[i]).c_str());
                ++drawnLines;
            }
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (showProgress) clearProgress();
    for (std::thread& t : pool) t.join();
    return results;
}
