#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>

namespace smootheq
{
/** One input cut: a second-order filter for each of up to two channels, sharing one coefficient object.

    The arithmetic per sample is the framework's transposed direct form II of its second-order IIR filter, memory
    snapped to zero after each block as there. The two channels run side by side in one loop: each sample's output
    waits on the one before it, and two independent channels keep the processor busy twice over.
*/
class CutFilter
{
public:
    using Coefficients = juce::dsp::IIR::Coefficients<float>;

    explicit CutFilter (Coefficients* initial) : state (initial) {}

    void prepare (const juce::dsp::ProcessSpec&) noexcept { reset(); }

    void reset() noexcept { memory = {}; }

    void process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept
    {
        auto& block = context.getOutputBlock();
        const auto numChannels = std::min (block.getNumChannels(), memory.size());
        const auto taps = tapsOf (*this);
        auto m = memory;

        if (numChannels == 2)
        {
            float* left = block.getChannelPointer (0);
            float* right = block.getChannelPointer (1);

            for (size_t i = 0; i < block.getNumSamples(); ++i)
            {
                left[i] = tick (taps, left[i], m[0]);
                right[i] = tick (taps, right[i], m[1]);
            }
        }
        else if (numChannels == 1)
        {
            float* samples = block.getChannelPointer (0);

            for (size_t i = 0; i < block.getNumSamples(); ++i)
                samples[i] = tick (taps, samples[i], m[0]);
        }

        keep (m);
    }

    /** Runs `first` and then `second` over the block, in one pass: four independent recursions side by side
        instead of two, with the samples of running them one after the other. */
    static void processCascade (const juce::dsp::ProcessContextReplacing<float>& context, CutFilter& first,
                                CutFilter& second) noexcept
    {
        auto& block = context.getOutputBlock();

        if (block.getNumChannels() != 2)
        {
            first.process (context);
            second.process (context);
            return;
        }

        const auto firstTaps = tapsOf (first), secondTaps = tapsOf (second);
        auto m = first.memory, n = second.memory;
        float* left = block.getChannelPointer (0);
        float* right = block.getChannelPointer (1);

        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            const float midLeft = tick (firstTaps, left[i], m[0]);
            const float midRight = tick (firstTaps, right[i], m[1]);
            left[i] = tick (secondTaps, midLeft, n[0]);
            right[i] = tick (secondTaps, midRight, n[1]);
        }

        first.keep (m);
        second.keep (n);
    }

    /** Shared with the cut's smoother, which writes new coefficients into it. */
    Coefficients::Ptr state;

private:
    using Memory = std::array<std::array<float, 2>, 2>;

    struct Taps
    {
        float b0, b1, b2, a1, a2;
    };

    static Taps tapsOf (const CutFilter& filter) noexcept
    {
        const float* c = filter.state->getRawCoefficients();
        return { c[0], c[1], c[2], c[3], c[4] };
    }

    static forcedinline float tick (const Taps& t, float input, std::array<float, 2>& v) noexcept
    {
        const float output = (input * t.b0) + v[0];
        v[0] = (input * t.b1) - (output * t.a1) + v[1];
        v[1] = (input * t.b2) - (output * t.a2);
        return output;
    }

    // Stores the memory a block ended with, snapped to zero where it has decayed into denormals.
    void keep (Memory& m) noexcept
    {
        for (auto& channel : m)
            for (auto& v : channel)
                juce::dsp::util::snapToZero (v);

        memory = m;
    }

    Memory memory {};
};
} // namespace smootheq
