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
constexpr int kMeterReadingsPerRidePoint = 10;  // the ride moves the target every 100 ms
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

// The engine values of a pass as the EngineGroup takes them.
Settings engineSettings(const EngineSetup& setup) {
    Settings settings;
    for (int32_t i = 0; i < kParamCount; ++i) settings.values[i] = setup.values[i];
    return settings;
}

// The output's meter choice: the true peak always, the short-term maximum
// where the delivery has a limit.
MeterChoice fullMeter(const DeliveryTarget& goal, int64_t plotStep) {
    MeterChoice choice;
    choice.maxShortTerm = !std::isnan(goal.maxShortTermLufs);
    choice.seriesStepFrames = plotStep;
    return choice;
}

// Reads a whole file through a meter.
LoudnessFigures measureWholeFile(const std::string& path, const ChannelLayout* layout, const MeterChoice& choice,
                                 const std::atomic<int>& stop, std::vector<float>* shortTerm) {
    InputFile file(path);
    LoudnessMeter meter(layout ? *layout : file.layout(), file.info().samplerate, choice);
    std::vector<float> buffer(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(file.info().channels));
    int64_t n;
    while ((n = file.read(buffer.data(), kBlockFrames)) > 0) {
        if (stop.load(std::memory_order_relaxed)) throw Interrupted{};
        meter.add(buffer.data(), n);
    }
    if (shortTerm) *shortTerm = meter.shortTerm();
    return meter.figures();
}

// What the engine's meters said during a pass, aligned with the output.
struct GainReadings {
    double gainMax = 0.0, gainMin = HUGE_VAL, reductionMax = 0.0;
    PlotSeries* series = nullptr;  // the writing pass draws them
    int64_t plotStep = 1;
};

// Runs the engines over the whole input with the latency removed and the
// tail flushed. `onInput` gets every block read (interleaved, file order),
// `onOutput` every block of output frames aligned with the input (planar,
// engine order: out[e] + skip, count frames). Returns the frames read.
// The ride of `setup` moves the engine's target every 100 ms.
template <class OnInput, class OnOutput>
int64_t streamThroughEngine(InputFile& input, EngineGroup& engines, const EngineSetup& setup,
                            const std::atomic<int>& stop, JobProgress& progress, GainReadings& readings,
                            OnInput onInput, OnOutput onOutput) {
    const SF_INFO& info = input.info();
    const ChannelLayout& layout = input.layout();
    const int channels = info.channels;
    const int64_t latency = engines.latency();
    const int64_t meterStep = std::max<int64_t>(1, info.samplerate / kMeterReadingsPerSecond);
    const int64_t rideStep = meterStep * kMeterReadingsPerRidePoint;
    const std::vector<float>& ride = setup.rideDb;
    const size_t blockSamples = static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels);
    std::vector<float> interleavedIn(blockSamples), planarIn(blockSamples), planarOut(blockSamples);
    PlotSeries* series = readings.series;

    int64_t framesRead = 0, processed = 0, flushLeft = latency;
    bool atEnd = false;
    progress.framesDone.store(0, std::memory_order_relaxed);
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) throw Interrupted{};
        int64_t n = 0;
        if (!atEnd) {
            n = input.read(interleavedIn.data(), kBlockFrames);
            if (n == 0) atEnd = true;
            else {
                onInput(interleavedIn.data(), n);
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
            // (The first point is set before the detector's start: a setter
            // on a fresh engine restarts the detector.)
            if (!ride.empty() && processed > 0 && processed % rideStep == 0) {
                const size_t point = std::min(ride.size() - 1, static_cast<size_t>(processed / rideStep));
                engines.setTargetLevel(setup.value(ParamId::TargetLevel) + ride[point]);
            }
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
                readings.gainMax = std::max(readings.gainMax, gain);
                readings.gainMin = std::min(readings.gainMin, gain);
                readings.reductionMax = std::max(readings.reductionMax, reduction);
                if (series) {
                    const size_t point = static_cast<size_t>((aligned - 1) / readings.plotStep);
                    if (point >= series->gainDb.size()) {
                        series->gainDb.resize(point + 1, NAN);
                        series->reductionDb.resize(point + 1, 0.0f);
                    }
                    series->gainDb[point] = static_cast<float>(toDb(gain));
                    series->reductionDb[point] = std::max(series->reductionDb[point], static_cast<float>(reduction));
                }
            }
        }
        // The first `latency` frames out of the engine precede the input's
        // first frame: they are dropped.
        const int64_t blockStart = processed - n;
        const int64_t skip = std::max<int64_t>(0, std::min(n, latency - blockStart));
        const int64_t count = n - skip;
        if (count > 0) {
            onOutput(static_cast<float* const*>(out), skip, count);
            progress.framesDone.store(processed - latency, std::memory_order_relaxed);
        }
    }
    return framesRead;
}

EngineGroup* startEngines(std::unique_ptr<EngineGroup>& engines, const InputFile& input, const EngineSetup& setup) {
    Settings settings = engineSettings(setup);
    if (!setup.rideDb.empty()) settings.values[static_cast<int32_t>(ParamId::TargetLevel)] += setup.rideDb[0];
    engines = std::make_unique<EngineGroup>(input.layout().layout, input.info().samplerate, settings);
    if (std::isfinite(setup.startLufs)) engines->startDetectorAt(setup.startLufs);
    return engines.get();
}

// A trial pass: the engine's float output measured for integrated loudness
// (and range) only; nothing is written.
PassOutcome trialPass(const JobRequest& request, const EngineSetup& setup, bool shortTerm, JobProgress& progress,
                      const std::atomic<int>& stop) {
    InputFile input(request.input);
    std::unique_ptr<EngineGroup> engines;
    startEngines(engines, input, setup);
    ChannelLayout engineOrder = input.layout();
    for (int e = 0; e < engineOrder.channels; ++e) engineOrder.engineToFile[e] = e;
    MeterChoice choice;
    choice.truePeak = false;
    choice.range = false;  // the landing judges the integrated loudness only
    if (shortTerm) choice.seriesStepFrames = std::max(1, input.info().samplerate / kPlotPointsPerSecond);
    BackgroundMeter meter(engineOrder, input.info().samplerate, choice);
    const int channels = input.info().channels;
    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels));
    GainReadings readings;
    streamThroughEngine(
        input, *engines, setup, stop, progress, readings, [](const float*, int64_t) {},
        [&](float* const* out, int64_t skip, int64_t count) {
            for (int e = 0; e < channels; ++e)
                for (int64_t i = 0; i < count; ++i) interleaved[static_cast<size_t>(i * channels + e)] = out[e][skip + i];
            meter.add(interleaved.data(), count);
        });
    meter.finish();
    PassOutcome outcome;
    outcome.out = meter.meter().figures();
    outcome.shortTerm = meter.meter().shortTerm();
    outcome.gainMaxDb = readings.gainMax > 0 ? toDb(readings.gainMax) : 0.0;
    outcome.reductionMaxDb = readings.reductionMax;
    return outcome;
}

// The writing pass: the output file (not yet moved into place), input and
// output measured in full, the plot's series. `output` holds the file.
void writingPass(const JobRequest& request, const EngineSetup& setup, JobProgress& progress,
                 const std::atomic<int>& stop, JobResult& r, std::unique_ptr<OutputFile>& output) {
    const Options& options = *request.options;
    InputFile input(request.input);
    const SF_INFO& info = input.info();
    const ChannelLayout& layout = input.layout();
    const int64_t knownFrames = input.lengthKnown() ? info.frames : -1;
    const SampleEncoding encoding = chooseEncoding(info.format, info.channels, info.samplerate, options.format,
                                                   options.bits, options.dither, request.output);
    r.outputFormat = describeFormat(encoding.format);
    if (encoding.replacedSubtype != 0)
        r.warning = request.input + ": written as " + describeFormat(encoding.format) + ": " +
                    describeFormat(encoding.replacedSubtype | (info.format & SF_FORMAT_TYPEMASK)) +
                    " pads its last block, which would make the output longer than the input";
    output = std::make_unique<OutputFile>(request.output, encoding, info.channels, info.samplerate);
    // The output keeps the input's channel order when it can say so; a file
    // whose map the output format cannot carry is written in the engine's
    // (the standard) order instead, so no reader mistakes its channels.
    ChannelLayout outLayout = layout;
    r.channelOrderChanged = false;
    if (input.hasChannelMap() && !output->setChannelMap(input.channelMap()) && layout.reordered) {
        for (int e = 0; e < info.channels; ++e) outLayout.engineToFile[e] = e;
        static const int kStandardMaps[7][6] = {
            {SF_CHANNEL_MAP_MONO}, {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT}, {}, {}, {}, {},
            {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT, SF_CHANNEL_MAP_FRONT_CENTER, SF_CHANNEL_MAP_LFE,
             SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT}};
        output->setChannelMap(kStandardMaps[info.channels]);
        r.channelOrderChanged = true;
    }
    r.reordered = layout.reordered;
    output->copyMetadata(input.handle());

    std::unique_ptr<EngineGroup> engines;
    startEngines(engines, input, setup);
    r.latencyFrames = engines->latency();

    const int channels = info.channels;
    const int64_t plotStep = plotStepFrames(info.samplerate, knownFrames);
    r.series = PlotSeries{};
    r.series.stepSeconds = static_cast<double>(plotStep) / info.samplerate;
    // The short-term series are drawn only.
    const MeterChoice choice = fullMeter(r.goal, request.plotFile.empty() ? 0 : plotStep);
    BackgroundMeter inputMeter(layout, info.samplerate, choice);
    BackgroundMeter outputMeter(outLayout, info.samplerate, choice);
    // Integer and float samples are stored as the meter sees them; a lossy or
    // companding encoder changes them, so its file is measured afterwards.
    const bool storedAsMeasured = encoding.integerBits > 0 || encoding.isFloat;
    if (knownFrames > 0) {
        const size_t points = static_cast<size_t>(knownFrames / plotStep) + 1;
        r.series.gainDb.reserve(points);
        r.series.reductionDb.reserve(points);
    }
    std::vector<float> interleavedOut(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels)), written;
    GainReadings readings;
    readings.series = &r.series;
    readings.plotStep = plotStep;
    r.frames = streamThroughEngine(
        input, *engines, setup, stop, progress, readings,
        [&](const float* block, int64_t n) { inputMeter.add(block, n); },
        [&](float* const* out, int64_t skip, int64_t count) {
            for (int e = 0; e < channels; ++e) {
                const int f = outLayout.engineToFile[e];
                for (int64_t i = 0; i < count; ++i)
                    interleavedOut[static_cast<size_t>(i * channels + f)] = out[e][skip + i];
            }
            output->write(interleavedOut.data(), count, written);
            if (storedAsMeasured) outputMeter.add(written.data(), count);
        });
    output->finish();

    inputMeter.finish();
    outputMeter.finish();
    r.in = inputMeter.meter().figures();
    r.series.inputShortTerm = inputMeter.meter().shortTerm();
    r.outputMeasuredFromFile = !storedAsMeasured;
    if (storedAsMeasured) {
        r.out = outputMeter.meter().figures();
        r.series.outputShortTerm = outputMeter.meter().shortTerm();
    } else {
        r.out = measureWholeFile(output->temporaryPath(), &outLayout, choice, stop, &r.series.outputShortTerm);
    }
    r.gainMaxDb = readings.gainMax > 0 ? toDb(readings.gainMax) : 0.0;
    r.gainMinDb = readings.gainMin < HUGE_VAL ? toDb(readings.gainMin) : 0.0;
    r.reductionMaxDb = readings.reductionMax;
}

// --check: the input measured in full and judged; nothing is written.
void checkFile(const JobRequest& request, JobProgress& progress, const std::atomic<int>& stop, JobResult& r) {
    progress.pass = 0;
    MeterChoice choice = fullMeter(r.goal, 0);
    r.in = measureWholeFile(request.input, nullptr, choice, stop, nullptr);
    r.verdict = judge(r.in, r.goal);
    r.missed = !r.verdict.compliant();
}

void run(const JobRequest& request, JobProgress& progress, const std::atomic<int>& stop, JobResult& r) {
    const Options& options = *request.options;
    r.goal = r.settings.delivery();
    r.checkOnly = options.checkOnly;
    r.singlePass = options.singlePass;
    {
        // Refusals of the input and the destination come before any pass.
        const InputFile input(request.input);
        const SF_INFO& info = input.info();
        r.layout = input.layout().layout;
        r.channels = info.channels;
        r.rateHz = info.samplerate;
        r.frames = input.lengthKnown() ? info.frames : -1;
        r.inputFormat = describeFormat(info.format);
        progress.framesTotal = r.frames;
        progress.rateHz = info.samplerate;
        if (options.checkOnly) {
            checkFile(request, progress, stop, r);
            return;
        }
        if (!options.singlePass && !input.isRegularFile())
            throw FileError{request.input + ": not a regular file; landing reads the input more than once (use --single-pass)"};
        checkDestination(request);
        chooseEncoding(info.format, info.channels, info.samplerate, options.format, options.bits, options.dither,
                       request.output);
    }
    for (int32_t i = 0; i < kParamCount; ++i) r.engine.values[i] = r.settings.values[i];
    std::unique_ptr<OutputFile> output;
    if (options.singlePass) {
        progress.pass = 1;
        writingPass(request, r.engine, progress, stop, r, output);
        r.passes = 1;
    } else {
        progress.pass = 0;
        MeterChoice programme;
        programme.truePeak = false;
        Landing landing(r.settings, measureWholeFile(request.input, nullptr, programme, stop, nullptr));
        for (;;) {
            const EngineSetup setup = landing.setup();
            progress.pass = landing.passes() + 1;
            PassOutcome outcome;
            if (landing.nextIsFinal()) {
                writingPass(request, setup, progress, stop, r, output);
                outcome.out = r.out;
                outcome.gainMaxDb = r.gainMaxDb;
                outcome.reductionMaxDb = r.reductionMaxDb;
                outcome.final = true;
            } else {
                outcome = trialPass(request, setup, landing.wantsShortTerm(), progress, stop);
            }
            const Landing::Next next = landing.observe(outcome);
            r.passes = landing.passes();
            r.changes = landing.changes();
            r.largestRideDb = landing.largestRideDb();
            if (next == Landing::Next::Landed) {
                r.engine = setup;
                break;
            }
            output.reset();  // a written pass that missed goes
            if (next == Landing::Next::GiveUp) {
                r.missed = true;
                throw FileError{request.input + ": not levelled to " + request.output + ": " + landing.failure()};
            }
        }
    }
    r.verdict = judge(r.out, r.goal);
    r.missed = !r.verdict.compliant();
    if (stop.load()) throw Interrupted{};
    output->commit();
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
