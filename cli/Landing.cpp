#include "Landing.h"

#include <algorithm>
#include <cstdio>

namespace {

// Passes before the landing gives up; a programme the engine can reach lands
// in two or three (the engine's output follows its target nearly dB for dB).
constexpr int kMostPasses = 8;
// A miss this small is corrected by one more pass: the next one writes.
constexpr double kFinalPassMissLu = 0.5;
// A miss up to this is made up in one pass where nothing held the output
// back: the limiter reduced no more than this, the gain stayed under Max Gain.
constexpr double kFollowedMissLu = 3.0;
constexpr double kFreeLimiterDb = 1.0;
// The output follows the engine's target with a slope near 1; under this the
// settings hold it back (Max Gain reached, or the ceiling's limiter).
constexpr double kStuckSlope = 0.35;
// The engine's target stays within this of the delivery target.
constexpr double kMostTargetMoveLu = 20.0;
// The top of Max Gain's range: the most the landing raises it to.
constexpr float kHighestMaxGainDb = 30.0f;
// Lift above a quiet programme's overall gain that Max Gain leaves at least.
constexpr float kRoomAboveOverallDb = 3.0f;
// Margin under the ceiling when a written file's peak came out above it.
constexpr double kCeilingMarginDb = 0.1;

// The ride: from a trial's output short-term loudness (3 s, every 100 ms),
// the deviation of each active stretch from the programme's loudness, taken
// out by this share, smoothed over this many points on either side, and
// never more than this many dB.
constexpr double kRideShare = 0.7;
constexpr int kRideSmoothingPoints = 10;  // 1 s either side
constexpr double kMostRideDb = 6.0;
// Windows this far under the programme's loudness are pauses: not ridden.
constexpr double kRideActiveLu = 10.0;
// A reading covers the 3 s before it: its deviation belongs 1.5 s earlier.
constexpr int kShortTermCentrePoints = 15;

std::vector<float> rideFrom(const std::vector<float>& shortTerm, double programmeLufs) {
    const int n = static_cast<int>(shortTerm.size());
    std::vector<double> correction(static_cast<size_t>(n), NAN);
    for (int k = 0; k < n; ++k) {
        const double lufs = shortTerm[static_cast<size_t>(k)];
        const int centre = k - kShortTermCentrePoints;
        if (centre < 0 || !(lufs > programmeLufs - kRideActiveLu)) continue;
        correction[static_cast<size_t>(centre)] = -(lufs - programmeLufs);
    }
    // Pauses take the correction of the stretches around them, in a line,
    // but are never lifted: room tone and breaths stay where they were.
    int last = -1;
    for (int k = 0; k < n; ++k) {
        if (std::isnan(correction[static_cast<size_t>(k)])) continue;
        const double here = correction[static_cast<size_t>(k)];
        const double before = last < 0 ? here : correction[static_cast<size_t>(last)];
        for (int j = last + 1; j < k; ++j)
            correction[static_cast<size_t>(j)] = std::min(0.0, before + (here - before) * (j - last) / (k - last));
        last = k;
    }
    if (last < 0) return {};
    for (int j = last + 1; j < n; ++j)
        correction[static_cast<size_t>(j)] = std::min(0.0, correction[static_cast<size_t>(last)]);
    std::vector<float> ride(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        double sum = 0.0;
        int count = 0;
        for (int j = std::max(0, k - kRideSmoothingPoints); j <= std::min(n - 1, k + kRideSmoothingPoints); ++j, ++count)
            sum += correction[static_cast<size_t>(j)];
        const double db = kRideShare * sum / count;
        ride[static_cast<size_t>(k)] = static_cast<float>(std::max(-kMostRideDb, std::min(kMostRideDb, db)));
    }
    return ride;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

Landing::Landing(const Settings& settings, const LoudnessFigures& input) : settings_(settings) {
    for (int32_t i = 0; i < kParamCount; ++i) setup_.values[i] = settings.values[i];
    const double programme = input.integratedLufs;
    if (!std::isfinite(programme)) return;  // silence: the first pass says so
    // The share each passage's deviation is corrected by is measured from
    // Input Level: it is the programme's loudness unless the user said.
    if (mayChange(ParamId::InputLevel)) setup_.at(ParamId::InputLevel) = static_cast<float>(programme);
    setup_.startLufs = static_cast<float>(programme);
    rideWanted_ = settings.ride && settings.material == Material::Speech && setup_.value(ParamId::CorrectionHigh) >= 100.0f &&
                  setup_.value(ParamId::CorrectionLow) >= 100.0f;
    if (settings.material != Material::Speech && mayChange(ParamId::CorrectionHigh) &&
        mayChange(ParamId::CorrectionLow)) {
        // Deviations from the programme loudness come out scaled by 1 - share
        // in dB under the logarithmic law, and the loudness range with them.
        const double range = input.rangeLu;
        share_ = range > settings.rangeTargetLu ? 1.0 - settings.rangeTargetLu / range : 0.0;
        const float percent = static_cast<float>(std::round(share_ * 1000.0) / 10.0);
        setup_.at(ParamId::CorrectionHigh) = percent;
        setup_.at(ParamId::CorrectionLow) = percent;
        if (mayChange(ParamId::CorrMixMode)) setup_.at(ParamId::CorrMixMode) = 3.0f;
    }
    // A programme quieter than the target needs that much gain throughout:
    // Max Gain leaves room above it for the quiet passages (at least what
    // the style lifts them by across the programme's range), or the whole
    // programme would sit at the clamp, its passages no longer levelled.
    const double overall = settings.value(ParamId::TargetLevel) - programme;
    const double room = std::max<double>(kRoomAboveOverallDb, share_ < 1.0 ? share_ * input.rangeLu : 0.0);
    if (mayChange(ParamId::MaxGain) && overall + room > setup_.value(ParamId::MaxGain)) {
        setup_.at(ParamId::MaxGain) = std::min(kHighestMaxGainDb, static_cast<float>(overall + room));
        maxGainRaised_ = true;
    }
    keepInRanges();
}

void Landing::keepInRanges() {
    for (int32_t i = 0; i < kParamCount; ++i)
        setup_.values[i] = plainFromPort(static_cast<ParamId>(i), setup_.values[i]);
}

Landing::Next Landing::giveUp(const std::string& why) {
    failure_ = why;
    return Next::GiveUp;
}

Landing::Next Landing::observe(const PassOutcome& outcome) {
    ++passes_;
    const DeliveryTarget goal = settings_.delivery();
    const double lufs = outcome.out.integratedLufs;
    if (!std::isfinite(lufs)) return giveUp("the programme is silent: it has no loudness to land");
    const double miss = lufs - goal.targetLufs;
    // Speech: the first trial's short-term loudness gives the ride; the
    // next pass is a trial with it, whatever this one measured.
    bool rideJustSet = false;
    if (wantsShortTerm() && !outcome.final && !outcome.shortTerm.empty()) {
        setup_.rideDb = rideFrom(outcome.shortTerm, lufs);
        rideJustSet = !setup_.rideDb.empty();
        rideWanted_ = rideJustSet;
    }
    const bool loudnessLanded = std::fabs(miss) <= kLandingLu;
    const bool peakHeld = !outcome.final || !(outcome.out.truePeakDbtp > goal.ceilingDbtp);
    const bool shortTermHeld = !outcome.final || std::isnan(goal.maxShortTermLufs) ||
                               !(outcome.out.maxShortTermLufs > goal.maxShortTermLufs);
    if (loudnessLanded && peakHeld && shortTermHeld && !rideJustSet) {
        if (outcome.final) return Next::Landed;
        nextFinal_ = true;  // the same settings once more, written
        return Next::Again;
    }
    if (passes_ >= kMostPasses)
        return giveUp("did not land within " + std::to_string(kMostPasses) + " passes (the last gave " +
                      number(lufs) + " LUFS)");

    const double engineTarget = setup_.value(ParamId::TargetLevel);
    double slope = 1.0;
    if (std::isfinite(previousTarget_) && std::fabs(engineTarget - previousTarget_) > 0.01)
        slope = (lufs - previousLufs_) / (engineTarget - previousTarget_);
    bool stuck = slope < kStuckSlope;
    previousTarget_ = engineTarget;
    previousLufs_ = lufs;
    if (rideJustSet) previousTarget_ = NAN;  // the ride changes the output beyond the target's step

    if (!peakHeld) {
        // libebur128's meter interpolates the peaks differently from the
        // engine's estimator, and encoders add their own: the engine's
        // ceiling goes down by what the file's peak is over.
        setup_.at(ParamId::TruePeak) = static_cast<float>(setup_.value(ParamId::TruePeak) -
                                                          (outcome.out.truePeakDbtp - goal.ceilingDbtp) -
                                                          kCeilingMarginDb);
        ceilingLowered_ = true;
    }
    if (!shortTermHeld) {
        // Loud passages too loud for the short-term limit: correct them fully.
        if (!mayChange(ParamId::CorrectionHigh) || setup_.value(ParamId::CorrectionHigh) >= 100.0f)
            return giveUp("short-term loudness reaches " + number(outcome.out.maxShortTermLufs) +
                          " LUFS, above the limit of " + number(goal.maxShortTermLufs) + " LUFS");
        setup_.at(ParamId::CorrectionHigh) = 100.0f;
        correctionRaised_ = true;
    }

    if (!loudnessLanded) {
        const float maxGain = setup_.value(ParamId::MaxGain);
        const bool atMaxGain = outcome.gainMaxDb >= maxGain - 0.1;
        const bool mayRaise = mayChange(ParamId::MaxGain) && maxGain < kHighestMaxGainDb;
        // Where the gain reached Max Gain and the target goes up, Max Gain
        // moves with the target from then on: the whole gain curve shifts,
        // and the output follows it dB for dB; the quiet passages keep their
        // distance to the target instead of being held back by the clamp.
        // Never beyond the top of its range, never when it was given.
        if (!maxGainFollows_ && miss < 0 && atMaxGain && mayRaise) {
            maxGainFollows_ = true;
            stuck = false;
            slope = 1.0;
        }
        if (maxGainFollows_ && !mayRaise && miss < 0) maxGainFollows_ = false;  // at the top: the target alone
        const double target = engineTarget - miss / std::min(1.5, std::max(kStuckSlope, slope));
        const ParamInfo& range = paramTable[static_cast<int32_t>(ParamId::TargetLevel)];
        const bool outOfRange = target > range.upper || target < range.lower;
        if (miss < 0 && (stuck || outOfRange) && !(maxGainFollows_ && mayRaise)) {
            if (atMaxGain)
                return giveUp(number(lufs) + " LUFS instead of " + number(goal.targetLufs) +
                              ": the programme needs more lift than Max Gain " + number(maxGain) + " dB" +
                              (mayChange(ParamId::MaxGain) ? " (the top of its range)" : " (given with --max-gain)"));
            return giveUp(number(lufs) + " LUFS instead of " + number(goal.targetLufs) + ": the true-peak ceiling of " +
                          number(goal.ceilingDbtp) + " dBTP keeps the programme from being louder");
        }
        const double step = target - engineTarget;
        if (maxGainFollows_) {
            setup_.at(ParamId::MaxGain) = std::min(kHighestMaxGainDb, static_cast<float>(maxGain + step));
        }
        if (std::fabs(target - goal.targetLufs) > kMostTargetMoveLu || outOfRange)
            return giveUp(number(lufs) + " LUFS instead of " + number(goal.targetLufs) +
                          ": the engine's Target Level would have to go to " + number(target) + " LUFS, outside " +
                          number(range.lower) + ".." + number(range.upper));
        setup_.at(ParamId::TargetLevel) = static_cast<float>(target);
    }
    keepInRanges();
    // Once the miss is small the next pass is likely to land: it writes. So
    // it is when neither the limiter nor Max Gain held this pass back: the
    // output then follows the target dB for dB.
    const bool followsTarget = outcome.reductionMaxDb < kFreeLimiterDb &&
                               outcome.gainMaxDb < setup_.value(ParamId::MaxGain) - 0.1 && !maxGainFollows_;
    nextFinal_ = !rideJustSet && (outcome.final || std::fabs(miss) <= kFinalPassMissLu ||
                                  (followsTarget && std::fabs(miss) <= kFollowedMissLu));
    return Next::Again;
}

std::vector<SettingChange> Landing::changes() const {
    std::vector<SettingChange> list;
    for (int32_t i = 0; i < kParamCount; ++i) {
        const auto id = static_cast<ParamId>(i);
        const float from = settings_.values[i], to = setup_.values[i];
        if (from == to) continue;
        std::string why;
        switch (id) {
            case ParamId::TargetLevel: why = "moved by the passes' misses, so the output lands on the target"; break;
            case ParamId::InputLevel: why = "the programme's measured loudness"; break;
            case ParamId::MaxGain:
                why = maxGainRaised_ ? "raised: the programme needs that much gain throughout, and room above it"
                      : to > from    ? "raised with the target, so quiet passages keep their distance to it"
                                     : "lowered with the target";
                break;
            case ParamId::TruePeak: why = "lowered: the file's measured true peak was above the ceiling"; break;
            case ParamId::CorrectionHigh:
                why = correctionRaised_ ? "raised: loud passages were above the short-term limit"
                                        : "the " + std::string(materialName(settings_.material)) +
                                              " style: keeps a loudness range up to " +
                                              number(settings_.rangeTargetLu) + " LU";
                break;
            case ParamId::CorrectionLow:
                why = "the " + std::string(materialName(settings_.material)) + " style: keeps a loudness range up to " +
                      number(settings_.rangeTargetLu) + " LU";
                break;
            case ParamId::CorrMixMode: why = "the logarithmic law, which narrows the range in proportion"; break;
            default: why = "";
        }
        list.push_back({id, from, to, why});
    }
    return list;
}

double Landing::largestRideDb() const {
    double largest = 0.0;
    for (float db : setup_.rideDb) largest = std::max(largest, std::fabs(static_cast<double>(db)));
    return largest;
}

Verdict judge(const LoudnessFigures& figures, const DeliveryTarget& goal) {
    Verdict verdict;
    verdict.integratedOk = std::isfinite(figures.integratedLufs) &&
                           std::fabs(figures.integratedLufs - goal.targetLufs) <= goal.toleranceLu;
    verdict.truePeakOk = !(figures.truePeakDbtp > goal.ceilingDbtp);  // digital silence has no peak
    verdict.shortTermJudged = !std::isnan(goal.maxShortTermLufs);
    if (verdict.shortTermJudged) verdict.shortTermOk = !(figures.maxShortTermLufs > goal.maxShortTermLufs);
    return verdict;
}
