#include "TestHelpers.h"

#include "engine/parameters/ParameterFactories.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

namespace
{
struct Expected
{
    const char* id;
    const char* name;
    float start, end, defaultValue;
};

// The published parameters in index order: ID, display name, range and default in the parameter's own units.
const std::vector<Expected>& expectedLayout()
{
    static const std::vector<Expected> layout = [] {
        std::vector<Expected> v {
            { "PreDelay", "PreDelay", 0, 300, 20 },    { "PreVerb", "PreVerb", 0, 100, 0 },
            { "LfoSpeed", "LfoSpeed", 0.1f, 20, 0.4f }, { "LfoDepth", "LfoDepth", 0, 100, 0 },
            { "Decay", "Decay", 0.2f, 10, 3 },         { "Character", "Character", 0, 100, 15 },
            { "Drive", "Drive", 0, 100, 5 },           { "SideChain", "SideChain", 0, 100, 0 },
            { "Width", "Width", 0, 200, 100 },         { "Mix", "Mix", 0, 100, 30 },
            { "LowCut", "Low Cut", 10, 2000, 10 },     { "HighCut", "High Cut", 300, 22000, 22000 },
        };
        static const std::vector<std::string> names = [] {
            std::vector<std::string> n;
            for (int band = 1; band <= 5; ++band)
                for (const char* suffix : { "On", "Type", "Freq", "Gain", "Q" })
                {
                    n.push_back (std::to_string (band) + suffix);
                    n.push_back ("Band" + std::to_string (band) + " " + suffix);
                }
            return n;
        }();
        const float bandTypes[] { 1, 2, 2, 2, 3 }, bandFreqs[] { 40, 170, 800, 3000, 10000 };
        for (int band = 0; band < 5; ++band)
        {
            const auto* n = &names[(size_t) band * 10];
            v.push_back ({ n[0].c_str(), n[1].c_str(), 0, 1, 1 });
            v.push_back ({ n[2].c_str(), n[3].c_str(), 0, 4, bandTypes[band] });
            v.push_back ({ n[4].c_str(), n[5].c_str(), 20, 20000, bandFreqs[band] });
            v.push_back ({ n[6].c_str(), n[7].c_str(), -24, 24, 0 });
            v.push_back ({ n[8].c_str(), n[9].c_str(), 0.2f, 20, 0.8f });
        }
        const std::vector<Expected> rest {
            { "OutGain", "Output Gain", -24, 24, 0 }, { "RoomButton", "Room", 0, 1, 0 },
            { "PlateButton", "Plate", 0, 1, 1 },      { "SpringButton", "Spring", 0, 1, 0 },
            { "SpaceButton", "Space", 0, 1, 0 },      { "OneButton", "One Button", 0, 1, 1 },
            { "TwoButton", "Two Button", 0, 1, 0 },   { "ThreeButton", "Three Button", 0, 1, 0 },
            { "FourButton", "Four Button", 0, 1, 0 }, { "FiveButton", "Five Button", 0, 1, 0 },
            { "onButton", "onButton", 0, 1, 1 },      { "onEqButton", "on Equalizer", 0, 1, 1 },
            { "lrFlipButton", "LR Flip", 0, 1, 0 },   { "LFOSync", "LFO Sync", 0, 1, 0 },
            { "PreDelaySync", "Pre Decay Sync", 0, 1, 0 }, { "DecaySync", "Decay Sync", 0, 1, 0 },
            { "Tremolo", "Tremolo Type", 0, 1, 0 },   { "Compressor", "Compressor Type", 0, 1, 0 },
            { "Shimmer", "Shimmer Type", 0, 1, 0 },   { "DriveType", "Drive Type", 0, 4, 0 },
        };
        v.insert (v.end(), rest.begin(), rest.end());
        return v;
    }();
    return layout;
}

juce::RangedAudioParameter& parameter (VellumarProcessor& p, const char* id)
{
    auto* result = p.apvts.getParameter (id);
    if (result == nullptr)
        throw std::runtime_error (std::string ("no parameter ") + id);
    return *result;
}

juce::String textFor (VellumarProcessor& p, const char* id, float value)
{
    auto& param = parameter (p, id);
    return param.getText (param.convertTo0to1 (value), 64);
}

float valueForText (VellumarProcessor& p, const char* id, const juce::String& text)
{
    auto& param = parameter (p, id);
    return param.convertFrom0to1 (param.getValueForText (text));
}
} // namespace

TEST (ParameterLayout, PublishesTheFiftySevenParametersInOrderWithTheirRangesAndDefaults)
{
    VellumarProcessor processor;
    const auto& params = processor.getParameters();
    const auto& expected = expectedLayout();
    ASSERT_EQ (params.size(), 57);
    ASSERT_EQ (expected.size(), 57u);

    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE (expected[i].id);
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (params[(int) i]);
        ASSERT_NE (ranged, nullptr);
        EXPECT_EQ (ranged->paramID, expected[i].id);
        EXPECT_EQ (ranged->getName (100), expected[i].name);
        EXPECT_FLOAT_EQ (ranged->getNormalisableRange().start, expected[i].start);
        EXPECT_FLOAT_EQ (ranged->getNormalisableRange().end, expected[i].end);
        EXPECT_NEAR (ranged->convertFrom0to1 (ranged->getDefaultValue()), expected[i].defaultValue, 1.0e-3f);
        EXPECT_NEAR (getParameter (processor, expected[i].id), expected[i].defaultValue, 1.0e-3f);
        EXPECT_EQ (ranged->isAutomatable(), std::string (expected[i].id) != "SideChain");
        EXPECT_EQ (ranged->getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_EQ (ranged->getVersionHint(), 1);
    }
}

TEST (ParameterLayout, KindsAndLabelsFollowTheFactories)
{
    VellumarProcessor processor;
    EXPECT_NE (dynamic_cast<juce::AudioParameterChoice*> (&parameter (processor, "3Type")), nullptr);
    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (&parameter (processor, "3On")), nullptr);
    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (&parameter (processor, "Shimmer")), nullptr);
    // DriveType is a float with whole steps, not a choice.
    EXPECT_NE (dynamic_cast<juce::AudioParameterFloat*> (&parameter (processor, "DriveType")), nullptr);

    EXPECT_EQ (parameter (processor, "2Freq").getLabel(), "Frequency");
    EXPECT_EQ (parameter (processor, "2Gain").getLabel(), "Gain");
    EXPECT_EQ (parameter (processor, "2Q").getLabel(), "Q");
    EXPECT_EQ (parameter (processor, "2On").getLabel(), "On");
    EXPECT_EQ (parameter (processor, "2Type").getLabel(), "Type");
    EXPECT_EQ (parameter (processor, "OutGain").getLabel(), "OutGain");
    EXPECT_EQ (parameter (processor, "Decay").getLabel(), "");
}

TEST (ParameterLayout, SkewedRangesPutTheirChosenValueAtMidTravel)
{
    VellumarProcessor processor;
    const std::pair<const char*, float> centres[] { { "PreDelay", 75 }, { "LfoSpeed", 3 }, { "Decay", 3 },
                                                    { "LowCut", 500 }, { "HighCut", 3000 }, { "4Freq", 640 } };
    for (const auto& [id, centre] : centres)
    {
        const auto& range = parameter (processor, id).getNormalisableRange();
        // Snapping to the interval may move the exact centre by up to half a step.
        EXPECT_NEAR (range.convertFrom0to1 (0.5f), centre, std::max (range.interval, 0.01f)) << id;
    }

    const auto& q = parameter (processor, "1Q").getNormalisableRange();
    EXPECT_FLOAT_EQ (q.skew, 0.1f);
    EXPECT_FLOAT_EQ (q.interval, 0.01f);
}

TEST (ParameterLayout, BandFrequencyMapsTenOctavesAndClampsAtTwentyKilohertz)
{
    VellumarProcessor processor;
    const auto& range = parameter (processor, "1Freq").getNormalisableRange();
    EXPECT_NEAR (range.convertFrom0to1 (0.0f), 20.0f, 1.0e-3f);
    EXPECT_NEAR (range.convertFrom0to1 (0.5f), 640.0f, 1.0e-2f);
    // The top of the mapping lies past 20 kHz; the parameter itself stops there.
    setParameter (processor, "1Freq", 20000.0f);
    processor.apvts.getParameter ("1Freq")->setValueNotifyingHost (1.0f);
    EXPECT_NEAR (getParameter (processor, "1Freq"), 20000.0f, 1.0e-2f);
    EXPECT_NEAR (range.convertTo0to1 (20000.0f), std::log2 (1000.0f) / 10.0f, 1.0e-5f);
    EXPECT_NEAR (eq::positionFromFrequency (eq::frequencyFromPosition (0.3f)), 0.3f, 1.0e-6f);
}

TEST (ParameterTexts, FrequencyTextsAtEveryThreshold)
{
    const std::pair<float, const char*> cases[] {
        { 40.0f, "40.0 Hz" },     { 99.96f, "100.0 Hz" },   { 100.0f, "100 Hz" },    { 170.0f, "170 Hz" },
        { 523.25f, "523.25 Hz" }, { 999.9999f, "1000 Hz" }, { 1000.0f, "1.00 kHz" }, { 3000.0f, "3.00 kHz" },
        { 9999.0f, "10.00 kHz" }, { 10000.0f, "10.0 kHz" }, { 19990.0f, "20.0 kHz" }, { 20000.0f, "20 kHz" },
    };
    for (const auto& [hertz, text] : cases)
        EXPECT_EQ (eq::frequencyText (hertz), text) << hertz;

    VellumarProcessor processor;
    EXPECT_EQ (textFor (processor, "5Freq", 3000.0f), "3.00 kHz");
}

TEST (ParameterTexts, GainQAndPlainValueTexts)
{
    VellumarProcessor processor;
    EXPECT_EQ (textFor (processor, "1Gain", 0.0f), "0.00 dB");
    EXPECT_EQ (textFor (processor, "1Gain", -3.5f), "-3.50 dB");
    EXPECT_EQ (textFor (processor, "OutGain", 6.0f), "6.00 dB");
    EXPECT_EQ (textFor (processor, "1Q", 0.8f), "0.80");
    EXPECT_EQ (textFor (processor, "Decay", 3.0f), "3.00");
    EXPECT_EQ (textFor (processor, "Drive", 5.0f), "5.0");
    EXPECT_EQ (textFor (processor, "SideChain", 0.0f), "0.00");
    EXPECT_EQ (textFor (processor, "Mix", 30.0f), "30");
    EXPECT_EQ (textFor (processor, "onButton", 1.0f), "On");
    EXPECT_EQ (textFor (processor, "lrFlipButton", 0.0f), "Off");
    EXPECT_EQ (textFor (processor, "3Type", 4.0f), "High Cut");
}

TEST (ParameterTexts, TypedTextIsReadAsALeadingNumberAndLimitedToTheRange)
{
    VellumarProcessor processor;
    EXPECT_FLOAT_EQ (valueForText (processor, "2Gain", "6"), 6.0f);
    EXPECT_FLOAT_EQ (valueForText (processor, "2Gain", "6 dB"), 6.0f);
    EXPECT_FLOAT_EQ (valueForText (processor, "2Gain", "-3.5 dB"), -3.5f);
    EXPECT_FLOAT_EQ (valueForText (processor, "2Gain", "30"), 24.0f);
    EXPECT_FLOAT_EQ (valueForText (processor, "2Gain", "loud"), 0.0f);
    EXPECT_FLOAT_EQ (valueForText (processor, "2Q", "0.05"), 0.2f);
    EXPECT_NEAR (valueForText (processor, "2Freq", "2 kHz"), 20.0f, 1.0e-3f); // hertz: 2, limited to 20
    EXPECT_NEAR (valueForText (processor, "2Freq", "2500"), 2500.0f, 0.5f);
    EXPECT_FLOAT_EQ (valueForText (processor, "3Type", "Peak"), 2.0f);
}

TEST (ParameterLayout, ChoiceStoresItsIndexAndOutGainLeavesTheSoundAlone)
{
    auto processor = makeProcessor();
    setParameter (*processor, "3Type", 4.0f);
    EXPECT_FLOAT_EQ (getParameter (*processor, "3Type"), 4.0f);
    EXPECT_EQ (parameter (*processor, "3Type").getCurrentValueAsText(), "High Cut");

    const auto render = [] (float outGain) {
        auto p = makeProcessor();
        useUnitImpulsePair (*p);
        setParameter (*p, "OutGain", outGain);
        prepareForRender (*p, 44100.0, 256);
        juce::AudioBuffer<float> audio (2, 4096);
        juce::Random random (7);
        fillNoise (audio, random);
        processInBlocks (*p, audio, 256);
        return audio;
    };

    const auto flat = render (0.0f), loud = render (24.0f), quiet = render (-24.0f);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < flat.getNumSamples(); ++i)
        {
            ASSERT_EQ (flat.getSample (c, i), loud.getSample (c, i));
            ASSERT_EQ (flat.getSample (c, i), quiet.getSample (c, i));
        }
}
