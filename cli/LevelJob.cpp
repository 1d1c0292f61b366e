#include "LevelJob.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "AudioFile.h"
#include "EngineGroup.h"
#include "Plot.h"

namespace {

struct Interrupted {};

// Frames read, processed and written per step; the meters are read every
// kMeterSteps per second of audio.
constexpr int64_t kBlockFrames = 8192;
constexpr int kMeterReadingsPerSecond = 100;  // 10 ms: the leveler gain moves far slower
constexpr int kPlotPointsPerSecond = 10;      // 100 ms, the step of EBU short-term meters
// A plot has about 1200 pixels across: a long file is drawn from fewer,
// evenly spaced points (each query of the short-term loudness sums 3 s of
// the meter's history, a cost that should not grow with the points).
constexpr int64_t kMostPlotPoints = 1500;

void checkDestination(const JobRequest& request) {
    struct stat st;
    if (stat(request.output.c_str(), &st) != 0) return;  // absent: the folder check follows on creation
    if (S_ISDIR(st.st_mode)) throw FileError{request.output + ": is a folder; give a file name"};
    // A device or a pipe would be replaced by a regular file, not written to.
    if (!S_ISREG(st.st_mode)) throw FileError{request.output + ": is not a regular file; orvanta-level writes files only"};
    for (const auto& id : *request.inputIds)
        if (id.first == st.st_dev && id.second == st.st_ino)
            throw FileError{request.output + ": is an input file; orvanta-level never writes over its input"};
    if (!request.options->force) throw FileError{request.output + ": already exists (use --force to replace it)"};
}

double toDb(double gain) { return 20.0 * std::log10(gain); }

void measureFile(const std::string& path, const ChannelLayout& layout, int rate, int64_t step,
                 LoudnessFigures& figures, std::vector<float>& shortTerm) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw FileError{path + ": cannot read back the written file"};
    LoudnessMeter meter(layout, rate, step);
    std::vector<float> buffer(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(file, buffer.data(), kBlockFrames)) > 0) meter.add(buffer.data(), n);
    sf_close(file);
    figures = meter.figures();
    shortTerm = meter.shortTerm();
}

void run(const JobRequest& request, JobProgress& progress, const std::atomic<int>& stop, JobResult& r) {
    const Options& options = *request.options;
    InputFile input(request.input);
    const SF_INFO& info = input.info();
    const ChannelLayout& layout = input.layout();
    r.layout = layout.layout;
    r.channels = info.channels;
    r.rateHz = info.samplerate;
    const int64_t knownFrames = input.lengthKnown() ? info.frames : -1;
    r.frames = knownFrames;
    r.inputFormat = describeFormat(info.format);
    progress.framesTotal = knownFrames;
    progress.rateHz = info.samplerate;

    checkDestination(request);
    const SampleEncoding encoding = chooseEncoding(info.format, info.channels, info.samplerate, options.format,
                                                   options.bits, options.dither, request.output);
    r.outputFormat = describeFormat(encoding.format);
    OutputFile output(request.output, encoding, info.channels, info.samplerate);
    // The output keeps the input's channel order when it can say so; a file
    // whose map the output format cannot carry is written in the engine's
    // (the standard) order instead, so no reader mistakes its channels.
    ChannelLayout outLayout = layout;
    if (input.hasChannelMap() && !output.setChannelMap(input.channelMap()) && layout.reordered) {
        for (int e = 0; e < info.channels; ++e) outLayout.engineToFile[e] = e;
        static const int kStandardMaps[7][6] = {
            {SF_CHANNEL_MAP_MONO}, {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT}, {}, {}, {}, {},
            {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT, SF_CHANNEL_MAP_FRONT_CENTER, SF_CHANNEL_MAP_LFE,
             SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT}};
        output.setChannelMap(kStandardMaps[info.channels]);
        r.channelOrderChanged = true;
    }
    r.reordered = layout.reordered;
    output.copyMetadata(input.handle());

    EngineGroup engines(layout.layout, info.samplerate, r.settings);
    const int64_t latency = engines.latency();
    r.latencyFrames = static_cast<uint32_t>(latency);

    const int channels = info.channels;
    const int64_t meterStep = std::max<int64_t>(1, info.samplerate / kMeterReadingsPerSecond);
    const int64_t plotStep = plotStepFrames(info.samplerate, knownFrames);
    r.series.stepSeconds = static_cast<double>(plotStep) / info.samplerate;
    BackgroundMeter inputMeter(layout, info.samplerate, plotStep);
    BackgroundMeter outputMeter(outLayout, info.samplerate, plotStep);
    // Integer and float samples are stored as the meter sees them; a lossy or
    // companding encoder changes them, so its file is measured afterwards.
    const bool storedAsMeasured = encoding.integerBits > 0 || encoding.isFloat;
    if (knownFrames > 0) {
        const size_t points = static_cast<size_t>(knownFrames / plotStep) + 1;
        r.series.gainDb.reserve(points);
        r.series.reductionDb.reserve(points);
    }

    const size_t blockSamples = static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels);
    std::vector<float> interleavedIn(blockSamples), interleavedOut(blockSamples), written;
    std::vector<float> planarIn(blockSamples), planarOut(blockSamples);

    int64_t framesRead = 0, processed = 0, flushLeft = latency;
    bool atEnd = false;
    double gainMax = 0.0, gainMin = HUGE_VAL, reductionMax = 0.0;
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) throw Interrupted{};
        int64_t n = 0;
        if (!atEnd) {
            n = input.read(interleavedIn.data(), kBlockFrames);
            if (n == 0) atEnd = true;
            else {
                inputMeter.add(interleavedIn.data(), n);
                framesRead += n;
            }
        }
        if (atEnd) {
            // The tail: zeros push the last latency's worth of samples out.
            if (flushLeft == 0) break;
            n = std::min(kBlockFrames, flushLeft);
            std::fill(interleavedIn.begin(), interleavedIn.begin() + n * channels, 0.0f);
            flushLeft -= n;
        }
        // File order, interleaved -> engine order, planar.
        float* in[6];
        float* out[6];
        for (int e = 0; e < channels; ++e) {
            in[e] = planarIn.data() + e * kBlockFrames;
            out[e] = planarOut.data() + e * kBlockFrames;
            const int f = layout.engineToFile[e];
            for (int64_t i = 0; i < n; ++i) in[e][i] = interleavedIn[static_cast<size_t>(i * channels + f)];
        }
        for (int64_t done = 0; done < n;) {
            const int64_t step = std::min(n - done, meterStep - processed % meterStep);
            const float* stepIn[6];
            float* stepOut[6];
            for (int e = 0; e < channels; ++e) {
                stepIn[e] = in[e] + done;
                stepOut[e] = out[e] + done;
            }
            engines.process(stepIn, stepOut, static_cast<int32_t>(step));
            done += step;
            processed += step;
            // Readings belong to the output frames that have just left the engine.
            const int64_t aligned = processed - latency;
            const double reduction = engines.takeDeepestReductionDb();
            // Output frames beyond the input's end are the flushed tail.
            if (aligned > 0 && (!atEnd || aligned <= framesRead)) {
                const double gain = engines.levelerGain();
                gainMax = std::max(gainMax, gain);
                gainMin = std::min(gainMin, gain);
                reductionMax = std::max(reductionMax, reduction);
                const size_t point = static_cast<size_t>((aligned - 1) / plotStep);
                if (point >= r.series.gainDb.size()) {
                    r.series.gainDb.resize(point + 1, NAN);
                    r.series.reductionDb.resize(point + 1, 0.0f);
                }
                r.series.gainDb[point] = static_cast<float>(toDb(gain));
                r.series.reductionDb[point] = std::max(r.series.reductionDb[point], static_cast<float>(reduction));
            }
        }
        // The first `latency` frames out of the engine precede the input's
        // first frame: they are dropped.
        const int64_t blockStart = processed - n;
        const int64_t skip = std::max<int64_t>(0, std::min(n, latency - blockStart));
        const int64_t count = n - skip;
        if (count > 0) {
            for (int e = 0; e < channels; ++e) {
                const int f = outLayout.engineToFile[e];
                for (int64_t i = 0; i < count; ++i)
                    interleavedOut[static_cast<size_t>(i * channels + f)] = out[e][skip + i];
            }
            output.write(interleavedOut.data(), count, written);
            if (storedAsMeasured) outputMeter.add(written.data(), count);
            progress.framesDone.store(processed - latency, std::memory_order_relaxed);
        }
    }
    r.frames = framesRead;
    output.finish();

    inputMeter.finish();
    outputMeter.finish();
    r.in = inputMeter.meter().figures();
    r.series.inputShortTerm = inputMeter.meter().shortTerm();
    if (storedAsMeasured) {
        r.out = outputMeter.meter().figures();
        r.series.outputShortTerm = outputMeter.meter().shortTerm();
    } else {
        r.outputMeasuredFromFile = true;
        measureFile(output.temporaryPath(), outLayout, info.samplerate, plotStep, r.out, r.series.outputShortTerm);
    }
    r.gainMaxDb = gainMax > 0 ? toDb(gainMax) : 0.0;
    r.gainMinDb = gainMin < HUGE_VAL ? toDb(gainMin) : 0.0;
    r.reductionMaxDb = reductionMax;

    if (stop.load()) throw Interrupted{};
    output.commit();
}

}  // namespace

int64_t plotStepFrames(int rateHz, int64_t frames) {
    const int64_t hundredMs = std::max<int64_t>(1, rateHz / kPlotPointsPerSecond);
    return hundredMs * std::max<int64_t>(1, (frames / hundredMs + kMostPlotPoints - 1) / kMostPlotPoints);
}

JobResult levelFile(const JobRequest& request, JobProgress& progress, const std::atomic<int>& stop) {
    JobResult r;
    r.input = request.input;
    r.output = request.output;
    r.plotFile = request.plotFile;
    r.settings = request.options->settings;
    progress.start = std::chrono::steady_clock::now();
    progress.state = JobProgress::Running;
    if (!request.refusal.empty()) {
        r.error = request.refusal;
        return r;
    }
    try {
        run(request, progress, stop, r);
        r.ok = true;
    } catch (const FileError& e) {
        r.error = e.message;
    } catch (const Interrupted&) {
        r.interrupted = true;
        r.error = request.input + ": interrupted; " + request.output + " was not written";
    } catch (const std::bad_alloc&) {
        r.error = request.input + ": out of memory";
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
    if (r.ok && !request.plotFile.empty()) {
        try {
            drawPlot(r, request.plotFile);
        } catch (const FileError& e) {
            r.ok = false;
            r.error = e.message;
        }
    }
    return r;
}
