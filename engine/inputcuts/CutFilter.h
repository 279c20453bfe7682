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
        const auto numSamples = block.getNumSamples();
        const float* c = state->getRawCoefficients();
        const float b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];

        if (block.getNumChannels() >= 2)
        {
            float* left = block.getChannelPointer (0);
            float* right = block.getChannelPointer (1);
            float l1 = memory[0][0], l2 = memory[0][1], r1 = memory[1][0], r2 = memory[1][1];

            for (size_t i = 0; i < numSamples; ++i)
            {
                const float inL = left[i], inR = right[i];
                const float outL = (inL * b0) + l1, outR = (inR * b0) + r1;
                left[i] = outL;
                right[i] = outR;
                l1 = (inL * b1) - (outL * a1) + l2;
                r1 = (inR * b1) - (outR * a1) + r2;
                l2 = (inL * b2) - (outL * a2);
                r2 = (inR * b2) - (outR * a2);
            }

            memory = { { { l1, l2 }, { r1, r2 } } };
        }
        else if (block.getNumChannels() == 1)
        {
            float* samples = block.getChannelPointer (0);
            float v1 = memory[0][0], v2 = memory[0][1];

            for (size_t i = 0; i < numSamples; ++i)
            {
                const float in = samples[i];
                const float out = (in * b0) + v1;
                samples[i] = out;
                v1 = (in * b1) - (out * a1) + v2;
                v2 = (in * b2) - (out * a2);
            }

            memory[0] = { v1, v2 };
        }

        snapMemoryToZero();
    }

    /** Runs `first` and then `second` over the block, in one pass: four independent recursions side by side
        instead of two, with the samples of running them one after the other. */
    static void processCascade (const juce::dsp::ProcessContextReplacing<float>& context, CutFilter& first,
                                CutFilter& second) noexcept
    {
        auto& block = context.getOutputBlock();

        if (block.getNumChannels() < 2)
        {
            first.process (context);
            second.process (context);
            return;
        }

        const float* c = first.state->getRawCoefficients();
        const float* d = second.state->getRawCoefficients();
        const float b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];
        const float e0 = d[0], e1 = d[1], e2 = d[2], f1 = d[3], f2 = d[4];
        float* left = block.getChannelPointer (0);
        float* right = block.getChannelPointer (1);
        auto& m = first.memory;
        auto& n = second.memory;
        float l1 = m[0][0], l2 = m[0][1], r1 = m[1][0], r2 = m[1][1];
        float p1 = n[0][0], p2 = n[0][1], q1 = n[1][0], q2 = n[1][1];

        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            const float inL = left[i], inR = right[i];
            const float midL = (inL * b0) + l1, midR = (inR * b0) + r1;
            l1 = (inL * b1) - (midL * a1) + l2;
            r1 = (inR * b1) - (midR * a1) + r2;
            l2 = (inL * b2) - (midL * a2);
            r2 = (inR * b2) - (midR * a2);

            const float outL = (midL * e0) + p1, outR = (midR * e0) + q1;
            left[i] = outL;
            right[i] = outR;
            p1 = (midL * e1) - (outL * f1) + p2;
            q1 = (midR * e1) - (outR * f1) + q2;
            p2 = (midL * e2) - (outL * f2);
            q2 = (midR * e2) - (outR * f2);
        }

        m = { { { l1, l2 }, { r1, r2 } } };
        n = { { { p1, p2 }, { q1, q2 } } };
        first.snapMemoryToZero();
        second.snapMemoryToZero();
    }

    /** Shared with the cut's smoother, which writes new coefficients into it. */
    Coefficients::Ptr state;

private:
    void snapMemoryToZero() noexcept
    {
        for (auto& channel : memory)
            for (auto& v : channel)
                juce::dsp::util::snapToZero (v);
    }

    std::array<std::array<float, 2>, 2> memory {};
};
} // namespace smootheq
