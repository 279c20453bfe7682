#pragma once

#include "SignalHelpers.h"

#include "engine/equaliser/BandSmoother.h"

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace filter_testing
{
/** Stands in for a filter: records how long each processed piece was and which frequency was in force, and
    counts resets. `frequencyInForce` reads the smoother under test. */
struct RecordingFilter
{
    struct Call
    {
        size_t length;
        float frequency;
    };

    juce::dsp::IIR::Coefficients<float>::Ptr state { new juce::dsp::IIR::Coefficients<float>() };
    std::function<float()> frequencyInForce;
    std::vector<Call> calls;
    int resets = 0;

    void process (const juce::dsp::ProcessContextReplacing<float>& context)
    {
        calls.push_back ({ context.getOutputBlock().getNumSamples(), frequencyInForce ? frequencyInForce() : 0.0f });
    }

    void reset() { ++resets; }
    void retune (const smootheq::BandFilterCoefficients&, bool) {}
};

using Duplicator = juce::dsp::ProcessorDuplicator<juce::dsp::IIR::Filter<float>, juce::dsp::IIR::Coefficients<float>>;

/** The normalised coefficients a filter would hold after being given `raw` (b0, b1, b2, a0, a1, a2). */
inline std::array<float, 5> normalised (const std::array<float, 6>& raw)
{
    const juce::dsp::IIR::Coefficients<float> c (raw);
    const auto* r = c.getRawCoefficients();
    return { r[0], r[1], r[2], r[3], r[4] };
}

inline std::array<float, 5> coefficientsOf (const juce::dsp::IIR::Coefficients<float>& c)
{
    const auto* r = c.getRawCoefficients();
    return { r[0], r[1], r[2], r[3], r[4] };
}

/** A normalised biquad (b0, b1, b2, a1, a2) is stable when both poles lie inside the unit circle. A cut-off a
    few hertz above DC at a very high rate puts the poles closer to z = 1 than single precision can tell apart
    in the second condition, hence its small tolerance; the first condition is kept strict. */
inline bool isFiniteAndStable (const std::array<float, 5>& c)
{
    for (auto v : c)
        if (! std::isfinite (v))
            return false;

    return std::abs (c[4]) < 1.0f && std::abs (c[3]) <= 1.0f + c[4] + 1.0e-6f;
}
} // namespace filter_testing
