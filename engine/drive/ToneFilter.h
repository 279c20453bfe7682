#pragma once

#include <juce_dsp/juce_dsp.h>

#include <vector>

/** The drive's tone control: a first-order low-pass in topology-preserving form, with the framework's first-order
    filter's coefficient G = g / (1 + g), g = tan (pi fc / fs).

    The framework forms v = G (x - s), y = v + s and the new state s = y + v, four dependent operations from one
    state to the next. The same filter is written here as y = (1 - G) s + G x and s = (1 - 2G) s + 2G x, where the
    state waits on only a multiplication and an addition, so a sample takes half the time; the results differ by
    rounding alone. The sample loop is compiled inline, with the two channels of a stereo block side by side.
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

    SampleType processSample (int channel, SampleType input) noexcept { return tick (k, state[(size_t) channel], input); }

    void process (const juce::dsp::ProcessContextReplacing<SampleType>& context) noexcept
    {
        auto& block = context.getOutputBlock();
        const auto numChannels = std::min (block.getNumChannels(), state.size());
        const auto numSamples = block.getNumSamples();
        const auto local = k; // in registers: a store to the block could otherwise be a store to a coefficient

        if (numChannels == 2)
        {
            auto* left = block.getChannelPointer (0);
            auto* right = block.getChannelPointer (1);
            auto s0 = state[0], s1 = state[1];

            for (size_t i = 0; i < numSamples; ++i)
            {
                left[i] = tick (local, s0, left[i]);
                right[i] = tick (local, s1, right[i]);
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
                    samples[i] = tick (local, s, samples[i]);

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
    struct Coefficients
    {
        SampleType G = 0, keep = 1, twoG = 0, keepState = 1;
    };

    static forcedinline SampleType tick (const Coefficients& c, SampleType& s, SampleType input) noexcept
    {
        const auto y = c.keep * s + c.G * input;
        s = c.keepState * s + c.twoG * input;
        return y;
    }

    void update() noexcept
    {
        const auto g = (SampleType) std::tan (juce::MathConstants<double>::pi * cutoffFrequency / sampleRate);
        k.G = g / (1 + g);
        k.keep = 1 - k.G;
        k.twoG = 2 * k.G;
        k.keepState = 1 - k.twoG;
    }

    double sampleRate = 44100.0;
    SampleType cutoffFrequency = (SampleType) 1000;
    Coefficients k;
    std::vector<SampleType> state;
};
