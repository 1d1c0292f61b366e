// Speed of orvanta-level on one file, in x real time: the whole job as the
// tool runs it, and each stage alone: decoding, the engine (with the meter
// reads the tool does), the two loudness measurements, encoding and the plot.
// The tool's own work (everything but the engine) should cost no more than
// the engine.
//
//   orvanta_cli_speed INPUT OUTPUT_FOLDER
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "AudioFile.h"
#include "EngineGroup.h"
#include "LevelJob.h"
#include "Loudness.h"
#include "Plot.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// CPU time of the process so far, every thread's.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

constexpr int64_t kBlockFrames = 8192;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvanta_cli_speed INPUT OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string input = argv[1], folder = argv[2];
    initialiseFileCreation();
    Options options;
    options.settings = Settings::fromPreset(kPresets[0]);
    options.force = true;
    std::vector<std::pair<dev_t, ino_t>> ids;

    // The whole job, as `orvanta-level INPUT -o OUTPUT --plot PLOT` runs it.
    JobRequest request;
    request.input = input;
    request.output = folder + "/speed_out.wav";
    request.plotFile = folder + "/speed_plot.png";
    request.options = &options;
    request.inputIds = &ids;
    JobProgress progress, singleProgress;
    std::atomic<int> stop{0};
    // The plug-in's single pass first, then the landing job (measure, trial
    // passes, the written pass): their CPU times compared.
    Options single = options;
    single.singlePass = true;
    JobRequest singleRequest = request;
    singleRequest.options = &single;
    double cpu = cpuSeconds();
    const JobResult onePass = levelFile(singleRequest, singleProgress, stop);
    const double singleCpu = cpuSeconds() - cpu;
    cpu = cpuSeconds();
    const JobResult whole = levelFile(request, progress, stop);
    const double wholeCpu = cpuSeconds() - cpu;
    if (!whole.ok || !onePass.ok) {
        std::fprintf(stderr, "%s\n", (whole.ok ? onePass : whole).error.c_str());
        return 1;
    }
    const double audioSeconds = whole.durationSeconds();

    // Stage by stage.
    InputFile file(input);
    const int channels = file.info().channels, rate = file.info().samplerate;
    std::vector<float> all(static_cast<size_t>(file.info().frames * channels));
    auto start = Clock::now();
    int64_t frames = 0;
    for (int64_t n; frames < file.info().frames &&
                    (n = file.read(all.data() + frames * channels, std::min(kBlockFrames, file.info().frames - frames))) > 0;)
        frames += n;
    const double decode = since(start);

    EngineGroup engines(file.layout().layout, rate, options.settings);
    std::vector<float> planarIn(static_cast<size_t>(kBlockFrames * channels)), planarOut(planarIn.size());
    std::vector<float> out(all.size());
    const int64_t meterStep = rate / 100;
    double gainSum = 0;
    start = Clock::now();
    for (int64_t done = 0; done < frames; done += kBlockFrames) {
        const int64_t n = std::min(kBlockFrames, frames - done);
        float* in[6];
        float* o[6];
        for (int c = 0; c < channels; ++c) {
            in[c] = planarIn.data() + c * kBlockFrames;
            o[c] = planarOut.data() + c * kBlockFrames;
            for (int64_t i = 0; i < n; ++i) in[c][i] = all[static_cast<size_t>((done + i) * channels + c)];
        }
        for (int64_t d = 0; d < n; d += meterStep) {
            const float* si[6];
            float* so[6];
            for (int c = 0; c < channels; ++c) { si[c] = in[c] + d; so[c] = o[c] + d; }
            engines.process(si, so, static_cast<int32_t>(std::min(meterStep, n - d)));
            gainSum += engines.levelerGain() + engines.takeDeepestReductionDb();
        }
        for (int c = 0; c < channels; ++c)
            for (int64_t i = 0; i < n; ++i) out[static_cast<size_t>((done + i) * channels + c)] = o[c][i];
    }
    const double engine = since(start);

    start = Clock::now();
    for (int pass = 0; pass < 2; ++pass) {
        MeterChoice choice;
        choice.seriesStepFrames = plotStepFrames(rate, frames);
        LoudnessMeter meter(file.layout(), rate, choice);
        for (int64_t done = 0; done < frames; done += kBlockFrames)
            meter.add((pass ? out : all).data() + done * channels, std::min(kBlockFrames, frames - done));
        gainSum += meter.figures().integratedLufs;
    }
    const double measure = since(start);

    start = Clock::now();
    {
        const SampleEncoding encoding = chooseEncoding(file.info().format, channels, rate, "", "", true, "speed");
        OutputFile output(folder + "/speed_encode.wav", encoding, channels, rate);
        std::vector<float> written;
        for (int64_t done = 0; done < frames; done += kBlockFrames)
            output.write(out.data() + done * channels, std::min(kBlockFrames, frames - done), written);
        output.finish();
    }
    const double encode = since(start);

    start = Clock::now();
    drawPlot(whole, folder + "/speed_plot.png");
    const double plot = since(start);

    const double own = decode + measure + encode + plot;
    auto x = [&](double seconds) { return audioSeconds / seconds; };
    std::printf("orvanta-level speed: %s, %.0f s of %s audio at %d Hz (checksum %.3g)\n", input.c_str(), audioSeconds,
                layoutName(file.layout().layout), rate, gainSum);
    std::printf("  %-34s %8.1fx real time (%.2f s, CPU %.2f s)\n", "single pass (--single-pass)", onePass.speed(),
                onePass.seconds, singleCpu);
    std::printf("  %-34s %8.1fx real time (%.2f s, CPU %.2f s: %.2fx the single pass; %d passes)\n",
                "whole job, landing", whole.speed(), whole.seconds, wholeCpu, wholeCpu / singleCpu, whole.passes);
    std::printf("  %-34s %8.1fx real time (%.2f s)\n", "engine", x(engine), engine);
    std::printf("  %-34s %8.1fx real time (%.2f s)\n", "decoding", x(decode), decode);
    std::printf("  %-34s %8.1fx real time (%.2f s)\n", "two loudness measurements (CPU)", x(measure), measure);
    std::printf("  %-34s %8.1fx real time (%.2f s)\n", "encoding (dithered, to disk)", x(encode), encode);
    std::printf("  %-34s %8.1fx real time (%.2f s)\n", "plot", x(plot), plot);
    std::printf("  tool's own work / engine: %.2f\n", own / engine);
    return 0;
}
