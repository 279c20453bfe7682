#pragma once

#include <juce_dsp/juce_dsp.h>

#include <vector>

/** The drive's tone control: a first-order low-pass in topology-preserving form.

    The coefficient and the arithmetic per sample are those of the framework's first-order filter in its low-pass
    form; the difference is that the sample loop is compiled inline, with the two channels of a stereo block side
    by side, where the framework calls an out-of-line function for every sample and channel.
*/
template <typename SampleType>
class ToneFilter
{
public:
    ToneFilter() { update(); }

    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        sampleRate = spec.sampleRate;
        state.resize (spec.numChannels);
        update();
        reset();
    }

    void reset() noexcept { std::fill (state.begin(), state.end(), (SampleType) 0); }

    void setCutoffFrequency (SampleType frequency) noexcept
    {
        cutoffFrequency = frequency;
        update();
    }

    SampleType getCutoffFrequency() const noexcept { return cutoffFrequency; }

    SampleType processSample (int channel, SampleType input) noexcept { return tick (state[(size_t) channel], input); }

    void process (const juce::dsp::ProcessContextReplacing<SampleType>& context) noexcept
    {
        auto& block = context.getOutputBlock();
        const auto numChannels = std::min (block.getNumChannels(), state.size());
        const auto numSamples = block.getNumSamples();

        if (numChannels == 2)
        {
            auto* left = block.getChannelPointer (0);
            auto* right = block.getChannelPointer (1);
            auto s0 = state[0], s1 = state[1];

            for (size_t i = 0; i < numSamples; ++i)
            {
                left[i] = tick (s0, left[i]);
                right[i] = tick (s1, right[i]);
            }

            state[0] = s0;
            state[1] = s1;
        }
        else
        {
            for (size_t c = 0; c < numChannels; ++c)
            {
                auto* samples = block.getChannelPointer (c);
                auto s = state[c];

                for (size_t i = 0; i < numSamples; ++i)
                    samples[i] = tick (s, samples[i]);

                state[c] = s;
            }
        }

        snapToZero();
    }

    void snapToZero() noexcept
    {
        for (auto& s : state)
            juce::dsp::util::snapToZero (s);
    }

private:
    forcedinline SampleType tick (SampleType& s, SampleType input) const noexcept
    {
        const auto v = G * (input - s);
        const auto y = v + s;
        s = y + v;
        return y;
    }

    void update() noexcept
    {
        const auto g = (SampleType) std::tan (juce::MathConstants<double>::pi * cutoffFrequency / sampleRate);
        G = g / (1 + g);
    }

    double sampleRate = 44100.0;
    SampleType cutoffFrequency = (SampleType) 1000;
    SampleType G = 0;
    std::vector<SampleType> state;
};
