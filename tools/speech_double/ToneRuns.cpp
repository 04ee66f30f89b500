#include "speech_double/ToneRuns.h"

#include "speech_double/ToneDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace SpeechDouble {

namespace {

constexpr double kFrameSeconds = 0.02;
constexpr double kPitchTolerance = 0.03;
constexpr double kShortestRun = 0.1;
// Placing an end on the loud samples can shave a sample or two off a tone that starts or stops
// near a zero crossing; a tone of exactly kShortestRun must still count.
constexpr double kEdgeSlack = 0.002;
// The zero-crossing detector's hysteresis, as a share of the frame's level: a rising crossing
// counts once the signal has been below minus this and then rises above it, so that noise
// around zero neither adds crossings nor takes any away.
constexpr double kCrossingHysteresis = 0.5;
// An end next to silence lies on the first or last sample at least this share of the run's level.
constexpr double kEdgeLevel = 0.25;

struct Frame {
    size_t begin = 0;
    size_t end = 0;
    double rms = 0;
    bool sounding = false;
    size_t firstPeriod = 0;  // the periods that end in this frame, in Periods' order
    size_t periods = 0;
    double frequency = 0;    // from the median of those periods; 0 when none ends here
};

// From one rising zero crossing to the next within a sounding stretch, in samples.
struct Period {
    double from = 0;
    double to = 0;
};

struct FrameRun {
    size_t first = 0;
    size_t last = 0;
    double frequencySum = 0;
    int known = 0;  // frames with a pitch of their own; a frame without one goes with its run
    double Frequency() const { return known > 0 ? frequencySum / known : 0; }
};

std::vector<int16_t> Samples(std::string_view pcm)
{
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<unsigned char>(pcm[2 * i]);
        const auto high = static_cast<unsigned char>(pcm[2 * i + 1]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
    }
    return samples;
}

std::vector<Frame> Frames(const std::vector<int16_t>& samples, size_t length)
{
    std::vector<Frame> frames;
    for (size_t begin = 0; begin < samples.size(); begin += length) {
        Frame frame;
        frame.begin = begin;
        frame.end = std::min(samples.size(), begin + length);
        double energy = 0;
        for (size_t i = frame.begin; i < frame.end; ++i)
            energy += static_cast<double>(samples[i]) * samples[i];
        frame.rms = std::sqrt(energy / static_cast<double>(frame.end - frame.begin));
        frame.sounding = frame.rms >= kSilenceRms;
        frames.push_back(frame);
    }
    return frames;
}

// Rising zero crossings, interpolated between samples, and from them each frame's pitch: the
// median period, which a stray crossing in noise does not move. Silence breaks the chain, so no
// period spans a pause.
std::vector<Period> Periods(const std::vector<int16_t>& samples, std::vector<Frame>& frames, int sampleRate)
{
    std::vector<Period> periods;
    std::vector<double> lengths;
    bool low = false;
    size_t lastNegative = 0;
    double lastCrossing = -1;
    for (Frame& frame : frames) {
        frame.firstPeriod = periods.size();
        if (!frame.sounding) {
            low = false;
            lastCrossing = -1;
            continue;
        }
        const double hysteresis = kCrossingHysteresis * frame.rms;
        for (size_t i = frame.begin; i < frame.end; ++i) {
            const double x = samples[i];
            if (x < 0)
                lastNegative = i;
            if (x < -hysteresis) {
                low = true;
            } else if (low && x > hysteresis) {
                // The zero crossing lies after the last negative sample, which came after the low.
                const double before = samples[lastNegative];
                const double next = samples[lastNegative + 1];
                const double crossing = static_cast<double>(lastNegative) + before / (before - next);
                if (lastCrossing >= 0)
                    periods.push_back({lastCrossing, crossing});
                lastCrossing = crossing;
                low = false;
            }
        }
        frame.periods = periods.size() - frame.firstPeriod;
        if (frame.periods > 0) {
            lengths.clear();
            for (size_t p = frame.firstPeriod; p < periods.size(); ++p)
                lengths.push_back(periods[p].to - periods[p].from);
            const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
            std::nth_element(lengths.begin(), middle, lengths.end());
            frame.frequency = sampleRate / *middle;
        }
    }
    return periods;
}

std::vector<FrameRun> GroupFrames(const std::vector<Frame>& frames)
{
    std::vector<FrameRun> runs;
    bool open = false;
    for (size_t f = 0; f < frames.size(); ++f) {
        const Frame& frame = frames[f];
        if (!frame.sounding) {
            open = false;
            continue;
        }
        const double frequency = frame.frequency;
        const bool joins = open && (frequency == 0 || runs.back().known == 0 ||
                                    std::abs(frequency / runs.back().Frequency() - 1) <= kPitchTolerance);
        if (!joins) {
            runs.push_back({f, f, 0, 0});
            open = true;
        }
        FrameRun& run = runs.back();
        run.last = f;
        if (frequency > 0) {
            run.frequencySum += frequency;
            ++run.known;
        }
    }
    return runs;
}

double RunRms(const std::vector<Frame>& frames, const FrameRun& run)
{
    double energy = 0;
    double samples = 0;
    for (size_t f = run.first; f <= run.last; ++f) {
        const double length = static_cast<double>(frames[f].end - frames[f].begin);
        energy += frames[f].rms * frames[f].rms * length;
        samples += length;
    }
    return std::sqrt(energy / samples);
}

bool Matches(const Period& period, double samplesPerPeriod)
{
    return std::abs((period.to - period.from) / samplesPerPeriod - 1) <= kPitchTolerance;
}

// The periods that end in [from, to).
std::pair<std::vector<Period>::const_iterator, std::vector<Period>::const_iterator>
PeriodsEndingIn(const std::vector<Period>& periods, size_t from, size_t to)
{
    const auto byEnd = [](const Period& period, double at) { return period.to < at; };
    return {std::lower_bound(periods.begin(), periods.end(), static_cast<double>(from), byEnd),
            std::lower_bound(periods.begin(), periods.end(), static_cast<double>(to), byEnd)};
}

}  // namespace

std::vector<ToneRun> FindToneRuns(std::string_view pcm, int sampleRate)
{
    std::vector<ToneRun> found;
    if (sampleRate <= 0)
        return found;
    const std::vector<int16_t> samples = Samples(pcm);
    if (samples.empty())
        return found;
    std::vector<Frame> frames =
        Frames(samples, std::max<size_t>(1, static_cast<size_t>(std::lround(sampleRate * kFrameSeconds))));
    const std::vector<Period> periods = Periods(samples, frames, sampleRate);

    for (const FrameRun& run : GroupFrames(frames)) {
        const double frequency = run.Frequency();
        const double samplesPerPeriod = frequency > 0 ? sampleRate / frequency : 0;
        const double loud = std::max(kSilenceRms, kEdgeLevel * RunRms(frames, run));
        const bool silenceBefore = run.first == 0 || !frames[run.first - 1].sounding;
        const bool silenceAfter = run.last + 1 == frames.size() || !frames[run.last + 1].sounding;
        // The search for each end reaches one frame beyond the run: the tone may begin or end
        // early in a frame too quiet, or too mixed, to count.
        const size_t before = run.first > 0 ? frames[run.first - 1].begin : 0;
        const size_t after = run.last + 1 < frames.size() ? frames[run.last + 1].end : samples.size();

        double start = static_cast<double>(frames[run.first].begin);
        if (silenceBefore) {
            for (size_t i = before; i < frames[run.first].end; ++i) {
                if (std::abs(samples[i]) >= loud) {
                    start = static_cast<double>(i);
                    break;
                }
            }
        } else if (samplesPerPeriod > 0) {
            // The change of pitch lies somewhere in the last period that is not this run's; its
            // middle is off by half a period at most, and the run before ends there too.
            const auto [from, to] = PeriodsEndingIn(periods, before, frames[run.first].end);
            for (auto it = to; it != from; --it) {
                if (!Matches(*(it - 1), samplesPerPeriod)) {
                    start = ((it - 1)->from + (it - 1)->to) / 2;
                    break;
                }
            }
        }

        double end = static_cast<double>(frames[run.last].end);
        if (silenceAfter) {
            for (size_t i = after; i > frames[run.last].begin; --i) {
                if (std::abs(samples[i - 1]) >= loud) {
                    end = static_cast<double>(i);
                    break;
                }
            }
        } else if (samplesPerPeriod > 0) {
            // The middle of the first period that is not this run's.
            const auto [from, to] = PeriodsEndingIn(periods, frames[run.last].begin, after);
            for (auto it = from; it != to; ++it) {
                if (!Matches(*it, samplesPerPeriod)) {
                    end = std::max(start, (it->from + it->to) / 2);
                    break;
                }
            }
        }

        if ((end - start) / sampleRate < kShortestRun - kEdgeSlack)
            continue;
        // Two tones that meet where a period ends exactly each reach half a period into the
        // other; they share the middle instead.
        if (!found.empty() && found.back().end > start) {
            const double middle = (found.back().end + start) / 2;
            found.back().end = middle;
            start = middle;
        }
        found.push_back({start, end, 0, {}});
    }

    for (ToneRun& run : found) {
        const auto first = static_cast<size_t>(std::floor(run.start));
        const auto last = std::min(samples.size(), static_cast<size_t>(std::ceil(run.end)));
        const ToneEstimate tone = EstimateTone(pcm.substr(2 * first, 2 * (last - first)), sampleRate);
        run.start /= sampleRate;
        run.end /= sampleRate;
        run.frequency = tone.frequency;
        run.text = ToneText(tone);
    }
    return found;
}

}  // namespace SpeechDouble
