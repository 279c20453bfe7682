#include "engine/processor/VellumarProcessor.h"

#include "engine/parameters/ParameterIds.h"

void VellumarProcessor::updateInputEq()
{
    cutCurveHandOff.publish ([this]
    {
        // Before the first preparation there is no sample rate yet; the construction rate stands in.
        const double rate = processSpec.sampleRate > 0.0 ? processSpec.sampleRate : 44100.0;
        const float lowCut = apvts.getRawParameterValue (ids::lowCut)->load();
        const float highCut = apvts.getRawParameterValue (ids::highCut)->load();

        *lowCutCoefficients = juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (rate, limitLowCut (lowCut, rate), 0.6f);
        *highCutCoefficients = juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (rate, limitCutoff (highCut, rate), 0.7f);
        return CoefficientHandOff<2>::Sets { normalisedSet (*lowCutCoefficients), normalisedSet (*highCutCoefficients) };
    });
}
