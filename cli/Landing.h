// Landing a file on its delivery target. The tool sees the whole programme
// before it writes a sample, so it measures it first, chooses the engine's
// settings from what it measured (the levelling style, Input Level, the
// detector's start), and then runs the engine over the file in passes,
// each with the engine's Target Level moved by the previous pass's miss,
// until the written file's integrated loudness is within kLandingLu of the
// target, under the ceiling and, where the preset has one, under its
// short-term limit.
//
// A pass is a trial (the engine's output measured for integrated loudness
// only, nothing written) until the miss is small, then a final pass that
// writes the file and measures everything. Where the settings keep the file
// from landing, the landing raises what it may (a setting the user did not
// give: Max Gain up to the top of its range, Correction High to 100 % for a
// short-term limit, the engine's ceiling lowered for a peak measured above
// the delivery ceiling) and otherwise gives up with the reason.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "Loudness.h"
#include "Settings.h"

// The integrated loudness a landed file is within, around its target.
constexpr double kLandingLu = 0.1;

// The engine values of one pass, where the detector starts, and the ride.
struct EngineSetup {
    float values[kParamCount] = {};
    float startLufs = NAN;  // NAN: where the engine itself starts it
    // Speech: dB added to Target Level per 100 ms of the programme, as an
    // engineer rides the fader where the leveler's slow release leaves the
    // next words too quiet (after applause, a loud laugh, a louder voice).
    std::vector<float> rideDb;
    float value(ParamId id) const { return values[static_cast<int32_t>(id)]; }
    float& at(ParamId id) { return values[static_cast<int32_t>(id)]; }
};

// A setting the landing gave the engine instead of the one asked for.
struct SettingChange {
    ParamId id;
    float from, to;
    std::string why;
};

// What a pass measured on its output, as far as the landing needs it.
struct PassOutcome {
    LoudnessFigures out;     // true peak and short-term maximum only on a final pass
    std::vector<float> shortTerm;  // a trial's output short-term loudness every 100 ms (speech)
    double gainMaxDb = 0;    // the largest leveler gain the pass applied
    double reductionMaxDb = 0;  // the limiter's deepest reduction
    bool final = false;
};

class Landing {
public:
    // `input`: the programme's integrated loudness and loudness range.
    Landing(const Settings& settings, const LoudnessFigures& input);

    const EngineSetup& setup() const { return setup_; }
    bool nextIsFinal() const { return nextFinal_; }

    enum class Next { Landed, Again, GiveUp };
    // Judges the pass just run with setup(); on Again, setup() and
    // nextIsFinal() describe the next pass.
    Next observe(const PassOutcome& outcome);

    int passes() const { return passes_; }
    const std::string& failure() const { return failure_; }  // after GiveUp: why, in a sentence
    // Every engine value that differs from the settings, with the reason.
    std::vector<SettingChange> changes() const;
    // The share of each passage's deviation the style corrects (0..1).
    double correctionShare() const { return share_; }
    // Whether the next trial should measure the short-term series for the ride.
    bool wantsShortTerm() const { return rideWanted_ && setup_.rideDb.empty(); }
    double largestRideDb() const;

private:
    Settings settings_;
    EngineSetup setup_;
    double share_ = 1.0;
    bool nextFinal_ = false;
    int passes_ = 0;
    // The previous pass's engine target and result, for the slope.
    double previousTarget_ = NAN, previousLufs_ = NAN;
    bool maxGainFollows_ = false;  // Max Gain moves with the target
    bool rideWanted_ = false;
    bool maxGainRaised_ = false, ceilingLowered_ = false, correctionRaised_ = false;
    std::string failure_;
    bool mayChange(ParamId id) const { return !settings_.changed[static_cast<int32_t>(id)]; }
    Next giveUp(const std::string& why);
    // The engine takes its values as the plug-in's controls do: within their ranges.
    void keepInRanges();
};

// The verdict on a file against its delivery target, one criterion each.
struct Verdict {
    bool integratedOk = false;
    bool truePeakOk = false;
    bool shortTermJudged = false;  // the delivery target has a short-term limit
    bool shortTermOk = true;
    bool compliant() const { return integratedOk && truePeakOk && shortTermOk; }
};
Verdict judge(const LoudnessFigures& figures, const DeliveryTarget& goal);
