#include "engine/processor/SectionFade.h"

namespace smootheq
{
void SectionFade::prepare (double sampleRate, int samplesPerBlock, int channels)
{
    // The product is formed at full precision and then rounded once, so that 48 kHz gives exactly 960.
    step = 1.0f / std::max (1.0f, (float) (sampleRate * 0.02));
    dryCopy.setSize (std::max (1, channels), std::max (1, samplesPerBlock), false, false, false);
    started = false;
}

bool SectionFade::beginFade (const juce::dsp::AudioBlock<float>& block, bool active)
{
    targetGain = active ? 1.0f : 0.0f;

    if (! started)
    {
        gain = targetGain;
        started = true;
    }

    numSamples = (int) block.getNumSamples();
    numChannels = std::min ((int) block.getNumChannels(), dryCopy.getNumChannels());

    if (gain == targetGain)
    {
        fading = false;
        return active;
    }

    if (dryCopy.getNumSamples() < numSamples)
    {
        fading = false;
        return active || gain > 0.0f;
    }

    fading = true;

    for (int c = 0; c < numChannels; ++c)
        dryCopy.copyFrom (c, 0, block.getChannelPointer ((size_t) c), numSamples);

    return targetGain > 0.0f || gain > 0.0f;
}

void SectionFade::endFade (juce::dsp::AudioBlock<float>& block)
{
    float g = gain;

    for (int i = 0; i < numSamples; ++i)
    {
        g = targetGain > g ? std::min (g + step, targetGain) : std::max (g - step, targetGain);

        for (int c = 0; c < numChannels; ++c)
        {
            auto* out = block.getChannelPointer ((size_t) c);
            out[i] = out[i] * g + dryCopy.getSample (c, i) * (1.0f - g);
        }
    }

    gain = g;
}
} // namespace smootheq
