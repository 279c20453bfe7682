#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <cmath>

void VellumarProcessor::processPreDelay (juce::dsp::AudioBlock<float>& block, float preDelayMs)
{
    preDelaySmoother.setTargetValue (preDelayMs);
    const float rate = (float) processSpec.sampleRate;
    const float maxDelay = (float) preDelayLine.getMaximumDelayInSamples();
    const auto numChannels = (int) block.getNumChannels();

    // A settled time is the same for every sample: it is set once and the line delays the block as a whole, which
    // gives the same samples as the loop below.
    if (skipNeutralStages && ! preDelaySmoother.isSmoothing())
    {
        const float seconds = preDelaySmoother.getTargetValue() / 1000.0f;
        preDelayLine.setDelay (std::min (std::abs (rate * seconds), maxDelay));
        preDelayLine.process (block);
        return;
    }

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float seconds = preDelaySmoother.getNextValue() / 1000.0f;
        preDelayLine.setDelay (std::min (std::abs (rate * seconds), maxDelay));

        for (int c = 0; c < numChannels; ++c)
        {
            auto* samples = block.getChannelPointer ((size_t) c);
            samples[i] = preDelayLine.processSample (c, samples[i]);
        }

        preDelayLine.advance();
    }
}
