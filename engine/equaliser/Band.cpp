#include "engine/processor/VellumarProcessor.h"

#include "engine/parameters/ParameterIds.h"

VellumarProcessor::Band::Band (VellumarProcessor& owner, int /* bandNumber: the owner wires the parameters */)
    : processor (owner)
{
}

VellumarProcessor::Band::~Band() = default;

// Runs on whichever thread changed the parameter: it only refreshes the values, the participation flag and the
// copy the response curve draws. The audio filter follows on the audio thread through the smoother.
void VellumarProcessor::Band::parameterChanged (const juce::String& parameterID, float newValue)
{
    // The ID is the band's number and a suffix. Host automation calls this on the audio thread, so the suffix is
    // compared in place rather than copied into a String of its own.
    const auto suffix = parameterID.getCharPointer() + (parameterID.isEmpty() ? 0 : 1);
    const auto is = [suffix] (const char* expected)
    {
        return suffix.compare (juce::CharPointer_ASCII (expected)) == 0;
    };

    if (is (ids::bandOn))
        onValue->exchange (newValue);
    else if (is (ids::bandType))
        typeValue->exchange (newValue);
    else if (is (ids::bandFreq))
        freqValue->exchange (newValue);
    else if (is (ids::bandGain))
        gainValue->exchange (newValue);
    else
        qValue->exchange (newValue);

    if (! is (ids::bandOn))
        updateFilter();

    // A shelf or peak at exactly 0 dB changes nothing, so it leaves the chain; a cut band always filters.
    const int type = smootheq::toBandType (typeValue->load());
    active = onValue->load() > 0.5f && (gainValue->load() != 0.0f || type == 0 || type == 4);
}

void VellumarProcessor::Band::updateFilter() const
{
    curveHandOff.publish ([this]
    {
        // A parameter can change before the first preparation (a restored session); the construction rate stands in.
        const double rate = processor.processSpec.sampleRate > 0.0 ? processor.processSpec.sampleRate : 44100.0;

        *curveCoefficients = smootheq::makeBand (smootheq::toBandType (typeValue->load()), rate, freqValue->load(),
                                                 qValue->load(), gainValue->load());
        return CoefficientHandOff<1>::Sets { normalisedSet (*curveCoefficients) };
    });
}

void VellumarProcessor::Band::prepare (const juce::dsp::ProcessSpec& spec)
{
    filter.prepare (spec);
    smoother.prepare (spec.sampleRate, (int) spec.maximumBlockSize, (int) spec.numChannels);
    updateFilter();
}

// A shelf or bell at 0 dB is an exact identity of its filter, so the band stays in and glides to and from 0 dB
// like to any other gain; resting there it is skipped (`BandFilter`). Only the band's switch fades it out and in.
void VellumarProcessor::Band::process (juce::dsp::AudioBlock<float>& block)
{
    smoother.process (block, filter, smootheq::toBandType (typeValue->load()), freqValue->load(), qValue->load(),
                      gainValue->load(), onValue->load() > 0.5f, processor.skipNeutralStages);
}
