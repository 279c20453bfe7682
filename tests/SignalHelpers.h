#pragma once

// Relative, so that the test programs without the repository root on their include path find it too.
#include "../tools/irgen/src/loudness.hpp"

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// Signal helpers shared by every test program; they know nothing of the plug-in, so the tests that host the built
// bundles use them too.
namespace testing_helpers
{
//==============================================================================
// Signals

/** Fills every channel with reproducible noise of the given peak level. */
inline void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float level = 0.5f)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, level * (random.nextFloat() * 2.0f - 1.0f));
}

inline juce::AudioBuffer<float> noiseBuffer (int numSamples, float level, juce::int64 seed, int channels = 2)
{
    juce::AudioBuffer<float> buffer (channels, numSamples);
    juce::Random random (seed);
    fillNoise (buffer, random, level);
    return buffer;
}

inline std::vector<float> noise (int numSamples, juce::int64 seed, float level = 0.5f)
{
    juce::Random random (seed);
    std::vector<float> samples ((size_t) numSamples);

    for (auto& s : samples)
        s = level * (random.nextFloat() * 2.0f - 1.0f);

    return samples;
}

inline float sineSample (double frequency, double sampleRate, int64_t index, float level)
{
    return level * (float) std::sin (juce::MathConstants<double>::twoPi * frequency * (double) index / sampleRate);
}

/** The same sine on every channel, continuing from `phase` (in samples), which moves on by the buffer's length. */
inline void fillSine (juce::AudioBuffer<float>& buffer, double frequency, double sampleRate, int64_t& phase,
                      float level = 0.5f)
{
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            buffer.setSample (c, i, sineSample (frequency, sampleRate, phase + i, level));

    phase += buffer.getNumSamples();
}

inline std::vector<float> sine (int numSamples, double frequency, double sampleRate, float level)
{
    std::vector<float> samples ((size_t) numSamples);

    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = sineSample (frequency, sampleRate, (int64_t) i, level);

    return samples;
}

inline juce::AudioBuffer<float> constantStereo (float left, float right, int length)
{
    juce::AudioBuffer<float> audio (2, length);
    juce::FloatVectorOperations::fill (audio.getWritePointer (0), left, length);
    juce::FloatVectorOperations::fill (audio.getWritePointer (1), right, length);
    return audio;
}

//==============================================================================
// Measures

/** The largest absolute difference between neighbouring samples of one channel. */
inline float largestStep (const juce::AudioBuffer<float>& buffer, int channel, int from = 1, int to = -1)
{
    float largest = 0.0f;
    const int end = to < 0 ? buffer.getNumSamples() : to;
    for (int i = std::max (1, from); i < end; ++i)
        largest = std::max (largest, std::abs (buffer.getSample (channel, i) - buffer.getSample (channel, i - 1)));
    return largest;
}

inline float largestStep (const std::vector<float>& samples, size_t from = 1, size_t to = SIZE_MAX)
{
    float largest = 0.0f;
    for (size_t i = std::max<size_t> (from, 1); i < std::min (to, samples.size()); ++i)
        largest = std::max (largest, std::abs (samples[i] - samples[i - 1]));
    return largest;
}

/** As above, counting the step from the value before the first sample too. */
inline float largestStep (float previous, const std::vector<float>& samples)
{
    return samples.empty() ? 0.0f : std::max (std::abs (samples.front() - previous), largestStep (samples));
}

/** Follows one channel across blocks and keeps the largest sample-to-sample step and the largest level. */
struct StepMeter
{
    float previous = 0.0f;
    bool hasPrevious = false;
    float largestStep = 0.0f;
    float largestLevel = 0.0f;

    void add (const float* samples, int numSamples)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            if (hasPrevious)
                largestStep = std::max (largestStep, std::abs (samples[i] - previous));

            largestLevel = std::max (largestLevel, std::abs (samples[i]));
            previous = samples[i];
            hasPrevious = true;
        }
    }

    /** A sine of angular frequency w and level L never steps by more than w * L; a click does. */
    bool looksSmooth (double frequency, double sampleRate, float margin = 1.5f) const
    {
        return largestStep <= margin * (float) (juce::MathConstants<double>::twoPi * frequency / sampleRate) * largestLevel;
    }
};

constexpr int allChannels = -1;

/** RMS of one channel, or of all together, over `length` samples from `start` (to the end by default). */
inline float rms (const juce::AudioBuffer<float>& buffer, int channel, int start = 0, int length = -1)
{
    const int end = length < 0 ? buffer.getNumSamples() : start + length;
    const int first = channel < 0 ? 0 : channel, last = channel < 0 ? buffer.getNumChannels() : channel + 1;
    double sum = 0.0;
    for (int c = first; c < last; ++c)
        for (int i = start; i < end; ++i)
            sum += (double) buffer.getSample (c, i) * buffer.getSample (c, i);
    return (float) std::sqrt (sum / std::max (1, (last - first) * (end - start)));
}

/** True when every sample is finite and none is subnormal. */
inline bool allFiniteAndNormal (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const float s = buffer.getSample (c, i);
            if (! std::isfinite (s) || std::fpclassify (s) == FP_SUBNORMAL)
                return false;
        }
    return true;
}

/** The level in dB of a signal's content above `cutoff` (a fourth-order Butterworth high-pass), in consecutive
    windows of `window` samples. A click shows as windows that stand above the program's own floor there. */
inline std::vector<float> highBandLevels (const std::vector<float>& signal, double sampleRate, double cutoff = 5000.0,
                                          int window = 88)
{
    std::vector<double> x (signal.begin(), signal.end());

    for (const double q : { 0.5412, 1.3066 })
    {
        const double w = juce::MathConstants<double>::twoPi * cutoff / sampleRate;
        const double alpha = std::sin (w) / (2.0 * q), c = std::cos (w), a0 = 1.0 + alpha;
        const double b0 = (1.0 + c) / (2.0 * a0), b1 = -(1.0 + c) / a0, a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

        for (auto& s : x)
        {
            const double y = b0 * (s + x2) + b1 * x1 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = s, y2 = y1, y1 = y, s = y;
        }
    }

    std::vector<float> levels;

    for (size_t start = 0; start + (size_t) window <= x.size(); start += (size_t) window)
    {
        double sum = 0.0;
        for (size_t i = start; i < start + (size_t) window; ++i)
            sum += x[i] * x[i];
        levels.push_back ((float) (10.0 * std::log10 (sum / window + 1.0e-30)));
    }

    return levels;
}

inline float median (std::vector<float> values)
{
    if (values.empty())
        return 0.0f;

    std::nth_element (values.begin(), values.begin() + (long) values.size() / 2, values.end());
    return values[values.size() / 2];
}

/** Integrated loudness (ITU-R BS.1770, LUFS) of all channels over `length` samples from `start`. */
inline double integratedLoudness (const juce::AudioBuffer<float>& buffer, double sampleRate, int start = 0, int length = -1)
{
    std::vector<const float*> channels;
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        channels.push_back (buffer.getReadPointer (c, start));
    const int n = length < 0 ? buffer.getNumSamples() - start : length;
    return loudness::integratedLufs (channels, (size_t) n, sampleRate);
}

/** One of the level-matching programmes (pink noise, speech, a drum loop) in both channels, followed by `silence`
    samples. `level` is the RMS for pink noise, the peak for the others. */
inline juce::AudioBuffer<float> programmeBuffer (loudness::Programme programme, int numSamples, int silence,
                                                 double sampleRate, double level)
{
    const auto samples = loudness::programme (programme, (size_t) numSamples, sampleRate, level);
    juce::AudioBuffer<float> buffer (2, numSamples + silence);
    buffer.clear();
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (c, i, (float) samples[(size_t) i]);
    return buffer;
}

/** Normalised correlation of the two channels over `length` samples from `start`. */
inline double channelCorrelation (const juce::AudioBuffer<float>& buffer, int start, int length)
{
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (int i = start; i < start + length; ++i)
    {
        const double l = buffer.getSample (0, i), r = buffer.getSample (1, i);
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    return ll > 0.0 && rr > 0.0 ? lr / std::sqrt (ll * rr) : 0.0;
}

inline bool allFinite (const std::vector<float>& samples)
{
    return std::all_of (samples.begin(), samples.end(), [] (float s) { return std::isfinite (s); });
}
} // namespace testing_helpers
