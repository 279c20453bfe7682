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

        for (auto& channel : memory)
            for (auto& v : channel)
                juce::dsp::util::snapToZero (v);
    }

    /** Shared with the cut's smoother, which writes new coefficients into it. */
    Coefficients::Ptr state;

private:
    std::array<std::array<float, 2>, 2> memory {};
};
} // namespace smootheq
