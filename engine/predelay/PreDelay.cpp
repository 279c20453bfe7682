#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <cmath>

void VellumarProcessor::processPreDelay (juce::dsp::AudioBlock<float>& block, float preDelayMs)
{
    preDelaySmoother.setTargetValue (preDelayMs);
    const float rate = (float) processSpec.sampleRate;
    const float maxDelay = (float) preDelayLine.getMaximumDelayInSamples();
    const auto numChannels = (int) block.getNumChannels();

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float seconds = preDelaySmoother.getNextValue() / 1000.0f;
        preDelayLine.setDelay (std::min (std::abs (rate * seconds), maxDelay));

        for (int c = 0; c < numChannels; ++c)
        {
            auto* samples = block.getChannelPointer ((size_t) c);
            preDelayLine.pushSample (c, samples[i]);
            samples[i] = preDelayLine.popSample (c);
        }
    }
}
