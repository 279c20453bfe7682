#include "engine/parameters/ParameterFactories.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <cmath>

namespace
{
// The skew that puts `centre` at mid-travel, computed in single precision.
float skewForCentre (float start, float end, float centre)
{
    return std::log (0.5f) / std::log ((centre - start) / (end - start));
}

std::unique_ptr<juce::RangedAudioParameter> makeFloat (const char* id, const char* name, float start, float end,
                                                       float interval, float skew, float defaultValue,
                                                       bool automatable = true)
{
    return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 1 }, name,
                                                        juce::NormalisableRange<float> (start, end, interval, skew),
                                                        defaultValue,
                                                        juce::AudioParameterFloatAttributes().withAutomatable (automatable));
}

std::unique_ptr<juce::RangedAudioParameter> makeBool (const char* id, const char* name, bool defaultValue)
{
    return std::make_unique<juce::AudioParameterBool> (juce::ParameterID { id, 1 }, name, defaultValue,
                                                       juce::AudioParameterBoolAttributes());
}

struct BandDefaults
{
    int type;
    float frequency;
};
} // namespace

juce::AudioProcessorValueTreeState::ParameterLayout VellumarProcessor::createParameters()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> list;

    list.push_back (makeFloat (ids::preDelay, "PreDelay", 0.0f, 300.0f, 1.0f, skewForCentre (0.0f, 300.0f, 75.0f), 20.0f));
    list.push_back (makeFloat (ids::preVerb, "PreVerb", 0.0f, 100.0f, 1.0f, 1.0f, 0.0f));
    list.push_back (makeFloat (ids::lfoSpeed, "LfoSpeed", 0.1f, 20.0f, 0.02f, skewForCentre (0.1f, 20.0f, 3.0f), 0.4f));
    list.push_back (makeFloat (ids::lfoDepth, "LfoDepth", 0.0f, 100.0f, 1.0f, 1.0f, 0.0f));
    list.push_back (makeFloat (ids::decay, "Decay", 0.2f, 10.0f, 0.01f, skewForCentre (0.2f, 10.0f, 3.0f), 3.0f));
    list.push_back (makeFloat (ids::character, "Character", 0.0f, 100.0f, 1.0f, 1.0f, 15.0f));
    list.push_back (makeFloat (ids::drive, "Drive", 0.0f, 100.0f, 0.1f, 1.0f, 5.0f));
    list.push_back (makeFloat (ids::sideChain, "SideChain", 0.0f, 100.0f, 0.02f, 1.0f, 0.0f, false));
    list.push_back (makeFloat (ids::width, "Width", 0.0f, 200.0f, 1.0f, 1.0f, 100.0f));
    list.push_back (makeFloat (ids::mix, "Mix", 0.0f, 100.0f, 1.0f, 1.0f, 30.0f));
    list.push_back (makeFloat (ids::lowCut, "Low Cut", 10.0f, 2000.0f, 10.0f, skewForCentre (10.0f, 2000.0f, 500.0f), 10.0f));
    list.push_back (makeFloat (ids::highCut, "High Cut", 300.0f, 22000.0f, 10.0f, skewForCentre (300.0f, 22000.0f, 3000.0f), 22000.0f));

    constexpr BandDefaults bandDefaults[ids::numBands] { { 1, 40.0f }, { 2, 170.0f }, { 2, 800.0f }, { 2, 3000.0f }, { 3, 10000.0f } };

    for (int band = 1; band <= ids::numBands; ++band)
    {
        const auto number = juce::String (band);
        const auto id = [&] (const char* suffix) { return number + suffix; };
        const auto name = [&] (const char* suffix) { return "Band" + number + " " + suffix; };
        const auto& defaults = bandDefaults[band - 1];

        list.push_back (eq::makePrmBool (id (ids::bandOn), name ("On"), true, "On"));
        list.push_back (eq::makePrmChoice (id (ids::bandType), name ("Type"), bandTypeNames, defaults.type, "Type"));
        list.push_back (eq::makePrmFreq (id (ids::bandFreq), name ("Freq"), defaults.frequency, "Frequency"));
        list.push_back (eq::makePrmDb (id (ids::bandGain), name ("Gain"), 0.0f, "Gain", juce::AudioProcessorParameter::genericParameter));
        list.push_back (eq::makePrmFloat (id (ids::bandQ), name ("Q"), 0.2f, 20.0f, 0.01f, 0.8f, "Q"));
    }

    list.push_back (eq::makePrmDb (ids::outGain, "Output Gain", 0.0f, "OutGain", juce::AudioProcessorParameter::genericParameter));
    list.push_back (makeBool (ids::roomButton, "Room", false));
    list.push_back (makeBool (ids::plateButton, "Plate", true));
    list.push_back (makeBool (ids::springButton, "Spring", false));
    list.push_back (makeBool (ids::spaceButton, "Space", false));
    list.push_back (makeBool (ids::oneButton, "One Button", true));
    list.push_back (makeBool (ids::twoButton, "Two Button", false));
    list.push_back (makeBool (ids::threeButton, "Three Button", false));
    list.push_back (makeBool (ids::fourButton, "Four Button", false));
    list.push_back (makeBool (ids::fiveButton, "Five Button", false));
    list.push_back (makeBool (ids::onButton, "onButton", true));
    list.push_back (makeBool (ids::onEqButton, "on Equalizer", true));
    list.push_back (makeBool (ids::lrFlipButton, "LR Flip", false));
    list.push_back (makeBool (ids::lfoSync, "LFO Sync", false));
    list.push_back (makeBool (ids::preDelaySync, "Pre Decay Sync", false));
    list.push_back (makeBool (ids::decaySync, "Decay Sync", false));
    list.push_back (makeBool (ids::tremolo, "Tremolo Type", false));
    list.push_back (makeBool (ids::compressor, "Compressor Type", false));
    list.push_back (makeBool (ids::shimmer, "Shimmer Type", false));
    list.push_back (makeFloat (ids::driveType, "Drive Type", 0.0f, 4.0f, 1.0f, 1.0f, 0.0f));

    return { list.begin(), list.end() };
}
