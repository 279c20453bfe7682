#include "../SignalHelpers.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testing_helpers;

namespace
{
enum class Format { vst3, lv2 };

std::string formatName (const ::testing::TestParamInfo<Format>& info) { return info.param == Format::vst3 ? "VST3" : "LV2"; }

// The parameter names, in layout order, as the offline host built from the plug-in's own library lists them.
juce::StringArray referenceParameterNames()
{
    juce::ChildProcess render;
    juce::StringArray names;
    if (! render.start (juce::StringArray { VELLUMAR_RENDER_PATH, "--list-params" }))
        return names;
    juce::StringArray lines;
    lines.addLines (render.readAllProcessOutput());
    for (int i = 1; i < lines.size(); ++i) // after the heading
        if (const auto name = lines[i].fromFirstOccurrenceOf ("\t", false, false).upToFirstOccurrenceOf ("\t", false, false); name.isNotEmpty())
            names.add (name);
    return names;
}

// Loads the plug-in from the bundle this build made, through JUCE's own hosting classes, as a DAW would.
class BuiltPlugin : public ::testing::TestWithParam<Format>
{
protected:
    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::OwnedArray<juce::PluginDescription> types;
    std::unique_ptr<juce::TemporaryFile> home;

    void SetUp() override
    {
        if (GetParam() == Format::vst3)
        {
            format = std::make_unique<juce::VST3PluginFormat>();
            format->findAllTypesForFile (types, juce::File (VELLUMAR_VST3_PATH).getFullPathName());
        }
        else
        {
            // Keep bundles installed in the user's ~/.lv2 out of the way: only this build's bundle is searched.
            home = std::make_unique<juce::TemporaryFile>();
            home->getFile().createDirectory();
            setenv ("HOME", home->getFile().getFullPathName().toRawUTF8(), 1);
            format = std::make_unique<juce::LV2PluginFormat>();
            const auto uris = format->searchPathsForPlugins (juce::FileSearchPath (juce::File (VELLUMAR_LV2_PATH).getParentDirectory().getFullPathName()), true, false);
            for (const auto& uri : uris)
                if (uri == "urn:quelt:vellumar")
                    format->findAllTypesForFile (types, uri);
        }
    }

    void TearDown() override
    {
        if (home != nullptr)
            home->getFile().deleteRecursively();
    }

    std::unique_ptr<juce::AudioPluginInstance> create (double rate = 44100.0, int block = 512)
    {
        juce::String error;
        auto instance = format->createInstanceFromDescription (*types[0], rate, block, error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    static void run (juce::AudioPluginInstance& instance, double rate, int block, int blocks, juce::AudioBuffer<float>& last)
    {
        instance.prepareToPlay (rate, block);
        juce::AudioBuffer<float> buffer (std::max (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()), block);
        juce::MidiBuffer midi;
        juce::Random random (21);
        float peak = 0.0f;

        for (int b = 0; b < blocks; ++b)
        {
            fillNoise (buffer, random, 0.25f);
            instance.processBlock (buffer, midi);
            ASSERT_TRUE (allFiniteAndNormal (buffer));
            peak = std::max (peak, buffer.getMagnitude (0, 0, block));
        }

        last = buffer;
        EXPECT_GT (peak, 0.01f);
        instance.releaseResources();
    }
};
} // namespace

TEST_P (BuiltPlugin, DescribesItselfAsTheReverbOfQuelt)
{
    ASSERT_EQ (types.size(), 1);
    const auto& description = *types[0];
    EXPECT_EQ (description.name, "Vellumar");
    EXPECT_EQ (description.manufacturerName, "Quelt");
    EXPECT_FALSE (description.isInstrument);
    if (GetParam() == Format::vst3)
    {
        EXPECT_EQ (description.category, "Fx|Reverb");
        EXPECT_EQ (description.version, "1.0.1");
    }
}

TEST_P (BuiltPlugin, ReportsItsBusesAndParameters)
{
    ASSERT_EQ (types.size(), 1);
    auto instance = create();
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (instance->getBusCount (true), 2);
    EXPECT_EQ (instance->getBusCount (false), 1);
    EXPECT_EQ (instance->getChannelLayoutOfBus (true, 0), juce::AudioChannelSet::stereo());
    EXPECT_EQ (instance->getChannelLayoutOfBus (false, 0), juce::AudioChannelSet::stereo());

    juce::StringArray expected = referenceParameterNames(), published;
    ASSERT_GE (expected.size(), 57);
    for (auto* p : instance->getParameters())
        if (p->getName (100) != "Bypass") // the wrapper's own
            published.add (p->getName (100));

    if (GetParam() == Format::vst3)
    {
        EXPECT_EQ (published, expected);
    }
    else
    {
        // An LV2 host knows parameters by a name made from the ID, and JUCE 7.0.5's wrapper replaces the leading
        // digit of the band IDs ("1Freq"), so the LV2 build publishes one set of band parameters.
        expected.sort (true);
        published.sort (true);
        for (const auto& name : published)
            EXPECT_TRUE (expected.contains (name)) << name;
        EXPECT_TRUE (published.contains ("Decay"));
        EXPECT_TRUE (published.contains ("Band5 Freq"));
    }

    // Mono to stereo is offered as well.
    auto layout = instance->getBusesLayout();
    layout.inputBuses.getReference (0) = juce::AudioChannelSet::mono();
    if (GetParam() == Format::vst3)
    {
        EXPECT_TRUE (instance->checkBusesLayoutSupported (layout));
    }
}

TEST_P (BuiltPlugin, ProcessesWithAndWithoutTheSidechain)
{
    ASSERT_EQ (types.size(), 1);
    auto instance = create();
    ASSERT_NE (instance, nullptr);
    juce::AudioBuffer<float> last;

    auto layout = instance->getBusesLayout();
    layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
    const bool canDisable = instance->setBusesLayout (layout);
    if (GetParam() == Format::vst3)
    {
        EXPECT_TRUE (canDisable);
    }
    if (canDisable)
        run (*instance, 44100.0, 512, 200, last);

    layout.inputBuses.getReference (1) = juce::AudioChannelSet::stereo();
    ASSERT_TRUE (instance->setBusesLayout (layout));
    EXPECT_EQ (instance->getTotalNumInputChannels(), 4);
    run (*instance, 48000.0, 256, 300, last);
}

TEST_P (BuiltPlugin, SavesAndRestoresItsSettingsInAFreshInstance)
{
    ASSERT_EQ (types.size(), 1);
    auto original = create();
    ASSERT_NE (original, nullptr);

    // Random values set through the host's side as automation would. A VST3 host snaps them to the parameters'
    // steps through the plug-in's own text conversion. An LV2 host scales plain values linearly and has no such
    // conversion, so its values land between the steps; a first save and restore snaps them, and that instance's
    // values are what the second must bring back.
    const auto ours = referenceParameterNames();
    juce::Random random (99);
    std::map<juce::String, float> sent;

    for (auto* param : original->getParameters())
    {
        if (! ours.contains (param->getName (100)))
            continue;
        const float value = param->getValueForText (param->getText (random.nextFloat(), 1024));
        param->setValueNotifyingHost (value);
        sent[param->getName (100)] = value;
    }
    ASSERT_GE (sent.size(), GetParam() == Format::vst3 ? 57u : 30u);

    juce::AudioBuffer<float> last;
    const auto saveAndRestore = [&] (juce::AudioPluginInstance& from)
    {
        run (from, 44100.0, 256, 4, last);
        for (auto* param : from.getParameters())
        {
            if (sent.count (param->getName (100)) != 0)
                sent[param->getName (100)] = param->getValue(); // in the host's own scale
        }

        juce::MemoryBlock saved;
        from.getStateInformation (saved);
        auto restored = create();
        if (restored != nullptr)
        {
            restored->setStateInformation (saved.getData(), (int) saved.getSize());
            run (*restored, 44100.0, 256, 4, last); // an LV2 plug-in reports restored values from its next run
        }
        return restored;
    };

    auto restored = saveAndRestore (*original);
    ASSERT_NE (restored, nullptr);
    if (GetParam() == Format::lv2)
        restored = saveAndRestore (*restored);
    ASSERT_NE (restored, nullptr);

    for (auto* param : restored->getParameters())
    {
        if (sent.count (param->getName (100)) != 0)
        {
            EXPECT_NEAR (param->getValue(), sent[param->getName (100)], 1.0e-4f) << param->getName (100);
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, BuiltPlugin, ::testing::Values (Format::vst3, Format::lv2), formatName);

TEST (LV2Bundle, TheSidechainPortsAreRequiredSoNoHostLeavesThemUnconnected)
{
    const auto dsp = juce::File (VELLUMAR_LV2_PATH).getChildFile ("dsp.ttl").loadFileAsString();
    ASSERT_TRUE (dsp.isNotEmpty());

    // Every audio input port block of the side-chain group must not be marked optional.
    int sidechainPorts = 0;
    juce::StringArray blocks;
    blocks.addTokens (dsp, "[]", "\"");
    for (const auto& block : blocks)
    {
        if (block.contains ("input_group_2"))
        {
            ++sidechainPorts;
            EXPECT_FALSE (block.contains ("connectionOptional")) << block;
        }
    }
    EXPECT_GT (sidechainPorts, 0);
    EXPECT_TRUE (dsp.contains ("a lv2:ReverbPlugin")); // the plug-in's class in LV2's terms
    EXPECT_TRUE (juce::File (VELLUMAR_LV2_PATH).getChildFile ("manifest.ttl").loadFileAsString().contains ("<urn:quelt:vellumar>"));
}
