#include "engine/equaliser/BandSmoother.h"

#include "engine/processor/VellumarProcessor.h"

namespace smootheq
{
namespace
{
// The controls keep Q within 0.2 to 20 and the gain within +-24 dB; these wider bounds only catch values a host
// or a damaged preset could push in (infinite, NaN, zero or negative Q) that would make the formulas blow up.
constexpr float minQ = 0.01f, maxQ = 100.0f, defaultQ = 0.8f;
constexpr float maxGainDb = 48.0f;

float usableQ (float q) noexcept { return std::isfinite (q) ? juce::jlimit (minQ, maxQ, q) : defaultQ; }
float usableGain (float gainDb) noexcept
{
    return std::isfinite (gainDb) ? juce::jlimit (-maxGainDb, maxGainDb, gainDb) : 0.0f;
}
} // namespace

std::array<float, 6> makeBand (int type, double sampleRate, float frequency, float q, float gainDb)
{
    q = usableQ (q);
    gainDb = usableGain (gainDb);

    // The Freq range reaches 20 kHz, past half the sample rate below 40 kHz; there the shapes would fold back
    // or turn unstable, so the frequency is held just below it.
    if (type == 0 || type == 4)
    {
        const float cutoff = VellumarProcessor::limitCutoff (frequency, sampleRate);
        return type == 0 ? juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (sampleRate, cutoff, q)
                         : juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (sampleRate, cutoff, q);
    }

    if (type < 1 || type > 3)
        return { 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f };

    const float g = juce::Decibels::decibelsToGain (gainDb, -100.0f);
    const float A = std::sqrt (std::max (g, 1.0e-15f));
    const float f = VellumarProcessor::limitCutoff (std::max (2.0f, frequency), sampleRate);
    const float w = juce::MathConstants<float>::twoPi * f / (float) sampleRate;
    const float s = std::sin (w);
    const float c = std::cos (w);

    if (type == 2)
    {
        const float a = s / (2.0f * q);
        return { 1.0f + a * A, -2.0f * c, 1.0f - a * A, 1.0f + a / A, -2.0f * c, 1.0f - a / A };
    }

    const float B = s * std::sqrt (A) / q;
    const float M = A - 1.0f;
    const float P = A + 1.0f;

    if (type == 1)
        return { A * (P - M * c + B), 2.0f * A * (M - P * c), A * (P - M * c - B),
                 P + M * c + B, -2.0f * (M + P * c), P + M * c - B };

    return { A * (P + M * c + B), -2.0f * A * (M + P * c), A * (P + M * c - B),
             P - M * c + B, 2.0f * (M - P * c), P - M * c - B };
}

BandFilterCoefficients makeBandFilter (int type, double sampleRate, float frequency, float q, float gainDb)
{
    q = usableQ (q);
    gainDb = usableGain (gainDb);
    const auto tuning = [sampleRate] (float f)
    {
        return (float) std::tan (juce::MathConstants<double>::pi * (double) f / sampleRate);
    };

    if (type == 0 || type == 4)
    {
        const float g = tuning (VellumarProcessor::limitCutoff (frequency, sampleRate)), k = 1.0f / q;
        return type == 0 ? BandFilterCoefficients { g, k, 1.0f, 0.0f, -k, -1.0f }
                         : BandFilterCoefficients { g, k, 1.0f, -1.0f, 0.0f, 1.0f };
    }

    if (type < 1 || type > 3)
        return { 0.1f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f };

    // The same A and prewarped frequency as the biquads of makeBand; at 0 dB, A is exactly 1 and c exactly 0.
    const float A = std::sqrt (std::max (juce::Decibels::decibelsToGain (gainDb, -100.0f), 1.0e-15f));
    const float t = tuning (VellumarProcessor::limitCutoff (std::max (2.0f, frequency), sampleRate));

    if (type == 2)
    {
        const float k = 1.0f / (q * A);
        return { t, k, A * A - 1.0f, 0.0f, k, 0.0f };
    }

    const float k = 1.0f / q;

    if (type == 1)
        return { t / std::sqrt (A), k, A - 1.0f, 0.0f, k, A + 1.0f };

    return { t * std::sqrt (A), k, A - 1.0f, A + 1.0f, -k * A, -(A + 1.0f) };
}

//==============================================================================
void BandFilter::prepare (const juce::dsp::ProcessSpec& spec)
{
    memory.assign (std::max<size_t> (1, spec.numChannels), { 0.0f, 0.0f });
    easing = (float) (1.0 - std::exp (-1.0 / (0.0003 * spec.sampleRate)));
    noteRest();
}

void BandFilter::reset() noexcept
{
    for (auto& m : memory)
        m = { 0.0f, 0.0f };

    noteRest();
}

void BandFilter::retune (const BandFilterCoefficients& coefficients, bool glide) noexcept
{
    to = coefficients;

    if (! glide)
        from = eased = easedTwice = coefficients;

    noteRest();
}

void BandFilter::noteRest() noexcept
{
    resting = from == to && easedTwice == to && to.c == 0.0f
           && std::all_of (memory.begin(), memory.end(), [] (const auto& m) { return m[0] == 0.0f && m[1] == 0.0f; });
}

namespace
{
void moveToward (BandFilterCoefficients& value, const BandFilterCoefficients& target, float amount) noexcept
{
    value.g += (target.g - value.g) * amount;
    value.k += (target.k - value.k) * amount;
    value.c += (target.c - value.c) * amount;
    value.d0 += (target.d0 - value.d0) * amount;
    value.d1 += (target.d1 - value.d1) * amount;
    value.d2 += (target.d2 - value.d2) * amount;
}

bool closeTo (const BandFilterCoefficients& a, const BandFilterCoefficients& b) noexcept
{
    const auto near = [] (float x, float y) { return std::abs (x - y) <= 1.0e-5f * (1.0f + std::abs (y)); };
    return near (a.g, b.g) && near (a.k, b.k) && near (a.c, b.c) && near (a.d0, b.d0) && near (a.d1, b.d1)
        && near (a.d2, b.d2);
}
} // namespace

void BandFilter::process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept
{
    auto& block = context.getOutputBlock();
    const auto numChannels = std::min (block.getNumChannels(), memory.size());
    const auto numSamples = block.getNumSamples();

    if (isResting() || numSamples == 0)
        return;

    // The settings move along straight lines from piece to piece, and then through two short one-pole stages
    // (0.3 ms each), which round off the corners where a glide starts and ends: a corner would be heard as a
    // faint click.
    const bool moving = ! (from == to && easedTwice == to);
    const auto startEased = eased, startEasedTwice = easedTwice;

    for (size_t channel = 0; channel < numChannels; ++channel)
    {
        auto* x = block.getChannelPointer (channel);
        float s1 = memory[channel][0], s2 = memory[channel][1];
        BandFilterCoefficients p = to;
        eased = startEased;
        easedTwice = startEasedTwice;
        float a1 = 1.0f / (1.0f + p.g * (p.g + p.k)), a2 = p.g * a1, a3 = p.g * a2;

        for (size_t i = 0; i < numSamples; ++i)
        {
            if (moving)
            {
                const float w = (float) (i + 1) / (float) numSamples, v = 1.0f - w;
                const BandFilterCoefficients line { from.g * v + to.g * w, from.k * v + to.k * w,
                                                    from.c * v + to.c * w, from.d0 * v + to.d0 * w,
                                                    from.d1 * v + to.d1 * w, from.d2 * v + to.d2 * w };
                moveToward (eased, line, easing);
                moveToward (easedTwice, eased, easing);
                p = easedTwice;
                a1 = 1.0f / (1.0f + p.g * (p.g + p.k));
                a2 = p.g * a1;
                a3 = p.g * a2;
            }

            const float u = p.c * x[i];
            const float v3 = u - s2;
            const float v1 = a1 * s1 + a2 * v3;
            const float v2 = s2 + a2 * s1 + a3 * v3;
            s1 = 2.0f * v1 - s1;
            s2 = 2.0f * v2 - s2;
            x[i] += p.d0 * u + p.d1 * v1 + p.d2 * v2;
        }

        // With no input entering, what is left in the integrators dies away; below any audible level it is
        // cleared, so that a band at 0 dB comes to rest and is skipped.
        if (to.c == 0.0f && easedTwice.c == 0.0f && std::abs (s1) < 1.0e-12f && std::abs (s2) < 1.0e-12f)
            s1 = s2 = 0.0f;

        memory[channel] = { s1, s2 };
    }

    from = to;

    // Within a hundred-thousandth of the settings (where the easing may stall on rounding) it ends on them exactly.
    if (closeTo (eased, to) && closeTo (easedTwice, to))
        eased = easedTwice = to;

    noteRest();
}


//==============================================================================
void BandSmoother::prepare (double newSampleRate, int samplesPerBlock, int numChannels)
{
    sampleRate = newSampleRate;
    fadeStep = 1.0f / std::max (1.0f, (float) (sampleRate * 0.01));
    fadeCopy.setSize (std::max (1, numChannels), std::max (1, samplesPerBlock), false, false, false);

    const auto rampLength = (int) std::floor (0.05 * sampleRate);

    for (auto* ramp : { &logFrequency, &qRamp, &gainRamp })
        ramp->reset (rampLength);

    started = false;
    settled.valid = false;
}

float BandSmoother::limitFrequency (float frequency) const noexcept
{
    return VellumarProcessor::limitCutoff (frequency, sampleRate);
}

float BandSmoother::limitQ (float q) noexcept { return usableQ (q); }
float BandSmoother::limitGain (float gainDb) noexcept { return usableGain (gainDb); }

void BandSmoother::crossfadeWithInput (juce::dsp::AudioBlock<float>& block, int numChannels, int numSamples,
                                       float weight) noexcept
{
    float g = fadeGain;

    for (int i = 0; i < numSamples; ++i)
    {
        g = weight > g ? std::min (g + fadeStep, weight) : std::max (g - fadeStep, weight);

        for (int c = 0; c < numChannels; ++c)
        {
            auto* out = block.getChannelPointer ((size_t) c);
            const float dry = fadeCopy.getSample (c, i);
            out[i] = dry + (out[i] - dry) * g;
        }
    }

    fadeGain = g;
}
} // namespace smootheq
