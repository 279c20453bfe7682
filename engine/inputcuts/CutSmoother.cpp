#include "engine/inputcuts/CutSmoother.h"

#include "engine/processor/VellumarProcessor.h"

namespace smootheq
{
void CutSmoother::prepare (double newSampleRate)
{
    sampleRate = newSampleRate;
    logFrequency.reset ((int) std::floor (0.05 * sampleRate));
    started = false;
}

float CutSmoother::limitFrequency (float frequency) const noexcept
{
    return VellumarProcessor::limitCutoff (frequency, sampleRate);
}

std::array<float, 6> CutSmoother::makeCoefficients (bool highPass, float frequency, float q) const
{
    // A cut-off at or above half the sample rate (the HighCut range reaches past it at low rates) would make the
    // formulas blow up, so it is held just below.
    frequency = limitFrequency (frequency);

    return highPass ? juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (sampleRate, VellumarProcessor::limitLowCut (frequency, sampleRate), q)
                    : juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (sampleRate, frequency, q);
}
} // namespace smootheq
