#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>

// Signal helpers shared by every test program; they know nothing of the plug-in, so the tests that host the built
// bundles use them too.
namespace testing_helpers
{
/** The largest absolute difference between neighbouring samples of one channel. */
inline float largestStep (const juce::AudioBuffer<float>& buffer, int channel, int from = 1, int to = -1)
{
    float largest = 0.0f;
    const int end = to < 0 ? buffer.getNumSamples() : to;
    for (int i = std::max (1, from); i < end; ++i)
        largest = std::max (largest, std::abs (buffer.getSample (channel, i) - buffer.getSample (channel, i - 1)));
    return largest;
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

/** Fills every channel with reproducible noise of the given peak level. */
inline void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float level = 0.5f)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, level * (random.nextFloat() * 2.0f - 1.0f));
}
} // namespace testing_helpers
