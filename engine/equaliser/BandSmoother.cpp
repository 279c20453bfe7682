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

int toBandType (float value) noexcept
{
    // Converting a NaN or a huge value to int is undefined; such a value means no known type.
    return (std::isfinite (value) && value > -1.0f && value < 5.0f) ? (int) value : 5;
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
