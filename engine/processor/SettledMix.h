#pragma once

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>

/** Drives a `juce::dsp::DryWetMixer` (linear rule, no wet latency) and, while its gains rest, does its mixing
    directly: the same products, wet times its gain plus dry times its gain, without the mixer's FIFO and
    block wrapping, which cost more than the mixing itself on a short chunk. After a change of proportion the
    mixer runs itself until its gains have glided there (their 50 ms, counted in samples mixed).
*/
template <typename SampleType>
class SettledMix
{
public:
    explicit SettledMix (juce::dsp::DryWetMixer<SampleType>& mixerToDrive) : mixer (mixerToDrive) {}

    /** Call after the mixer has been prepared and reset (its gains then rest); allocates. */
    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        dry.setSize ((int) spec.numChannels, (int) spec.maximumBlockSize, false, false, true);
        glideLength = (int) std::ceil (0.05 * spec.sampleRate) + 1;
        glideLeft = 0;
    }

    /** Hands the proportion to the mixer when it differs from the last one; the same one again changes nothing. */
    void setWetMixProportion (SampleType proportion)
    {
        if (proportion == wetProportion)
            return;

        mixer.setWetMixProportion (proportion);
        wetProportion = proportion;
        glideLeft = glideLength;
    }

    /** As the mixer's `pushDrySamples`; `direct` false leaves the mixing to the mixer for this chunk. */
    void pushDrySamples (const juce::dsp::AudioBlock<SampleType>& block, bool direct = true)
    {
        mixDirectly = direct && glideLeft == 0 && block.getNumChannels() <= (size_t) dry.getNumChannels()
                   && block.getNumSamples() <= (size_t) dry.getNumSamples();

        if (! mixDirectly)
        {
            mixer.pushDrySamples (block);
            return;
        }

        for (size_t c = 0; c < block.getNumChannels(); ++c)
            std::copy_n (block.getChannelPointer (c), block.getNumSamples(), dry.getWritePointer ((int) c));
    }

    /** As the mixer's `mixWetSamples`, for the block the dry samples were pushed with. */
    void mixWetSamples (juce::dsp::AudioBlock<SampleType>& block)
    {
        if (! mixDirectly)
        {
            mixer.mixWetSamples (block);
            glideLeft = std::max (0, glideLeft - (int) block.getNumSamples());
            return;
        }

        // The mixer's linear rule, from its clamped proportion.
        const auto wetGain = juce::jlimit ((SampleType) 0, (SampleType) 1, wetProportion);
        const auto dryGain = (SampleType) 1 - wetGain;

        for (size_t c = 0; c < block.getNumChannels(); ++c)
        {
            auto* out = block.getChannelPointer (c);
            const auto* in = dry.getReadPointer ((int) c);

            for (size_t i = 0; i < block.getNumSamples(); ++i)
                out[i] = out[i] * wetGain + in[i] * dryGain;
        }
    }

private:
    juce::dsp::DryWetMixer<SampleType>& mixer;
    juce::AudioBuffer<SampleType> dry;
    SampleType wetProportion = -1;
    int glideLength = 0, glideLeft = 0;
    bool mixDirectly = false;
};
