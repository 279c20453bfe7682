#include "FactoryPresetHelpers.h"
#include "TestHelpers.h"

#include "engine/state/FactoryPresets.h"
#include "engine/parameters/ParameterIds.h"

#include <gtest/gtest.h>

#include <set>

using namespace testing_helpers;

namespace
{
bool isOn (std::map<juce::String, double>& values, const juce::String& id)
{
    return values[id] >= 0.5;
}

// True when `value` is `base` doubled a whole number of times: a note value that the editor's tempo-sync knobs
// keep as it is.
bool isDoublingOf (double value, double base)
{
    for (double candidate = base; candidate <= value * 1.001; candidate *= 2.0)
        if (std::abs (candidate - value) <= 1.0e-4 * value)
            return true;

    return false;
}
} // namespace

TEST (FactoryPresets, EverySourceBecomesOneFileNamedByItsPrefixAndTitle)
{
    const auto files = factoryPresetFiles();
    const auto sources = juce::File (VELLUMAR_PRESET_SOURCE_FOLDER).findChildFiles (juce::File::findFiles, false,
                                                                                  "*.preset");
    ASSERT_GE (files.size(), 24u);
    EXPECT_EQ (files.size(), (size_t) sources.size());

    std::set<juce::String> prefixes, titles;

    for (const auto& file : files)
    {
        SCOPED_TRACE (file.getFileName().toStdString());
        const auto name = file.getFileNameWithoutExtension();
        const auto prefix = name.substring (0, 2);
        const auto title = name.substring (2); // what the preset menu shows

        EXPECT_TRUE (prefix.containsOnly ("0123456789") && prefix.length() == 2);
        EXPECT_TRUE (title.isNotEmpty());
        EXPECT_EQ (title, title.trim());
        EXPECT_TRUE (prefixes.insert (prefix).second);
        EXPECT_TRUE (titles.insert (title.toLowerCase()).second);
    }

    // The menu sorts by path without regard to case; that must give the order of the prefixes.
    auto listed = files;
    std::sort (listed.begin(), listed.end(), [] (const juce::File& a, const juce::File& b) {
        return a.getFullPathName().compareIgnoreCase (b.getFullPathName()) < 0;
    });
    EXPECT_EQ (listed, files);
}

TEST (FactoryPresets, EveryFileHoldsEveryParameterInLayoutOrderWithALegalValue)
{
    VellumarProcessor processor;
    const auto layoutIds = processor.getParameterIds();

    for (const auto& file : factoryPresetFiles())
    {
        SCOPED_TRACE (file.getFileName().toStdString());
        const auto read = readPresetFile (file);
        ASSERT_TRUE (read.complete);
        EXPECT_TRUE (read.tree.hasType ("Parameters"));
        ASSERT_EQ (read.tree.getNumChildren(), ids::numParameters);

        for (int i = 0; i < read.tree.getNumChildren(); ++i)
        {
            const auto child = read.tree.getChild (i);
            EXPECT_TRUE (child.hasType ("PARAM"));
            ASSERT_EQ (child["id"].toString(), layoutIds[i]);
            ASSERT_TRUE (child.hasProperty ("value"));

            const auto value = (double) child["value"];
            auto* parameter = processor.apvts.getParameter (layoutIds[i]);
            const auto& range = parameter->getNormalisableRange();
            SCOPED_TRACE (layoutIds[i].toStdString() + " = " + juce::String (value).toStdString());

            ASSERT_TRUE (std::isfinite (value));
            EXPECT_GE (value, range.start);
            EXPECT_LE (value, range.end);

            if (range.interval > 0.0f)
            {
                EXPECT_NEAR (value, range.snapToLegalValue ((float) value), 1.0e-3 * range.interval);
            }
        }
    }
}

TEST (FactoryPresets, LoadingOneSetsEveryParameterToItsStoredValue)
{
    VellumarProcessor processor;
    juce::Random random (57);

    for (const auto& file : factoryPresetFiles())
    {
        SCOPED_TRACE (file.getFileName().toStdString());

        // Start from settings that no preset has, so that every parameter must be set by the file.
        for (auto* p : processor.getParameters())
            p->setValueNotifyingHost (random.nextFloat());

        ::testing::internal::CaptureStdout();
        processor.loadPreset (file);
        EXPECT_EQ (::testing::internal::GetCapturedStdout(), "");

        const auto stored = storedValues (file);
        ASSERT_EQ (stored.size(), (size_t) ids::numParameters);

        for (const auto& [id, value] : stored)
            EXPECT_NEAR (getParameter (processor, id), value, 1.0e-5 * std::max (1.0, std::abs (value))) << id;
    }
}

TEST (FactoryPresets, EachSelectsOnePairAndTogetherTheyCoverEveryFeature)
{
    std::set<juce::String> types;
    std::set<int> driveCurves;
    int shimmer = 0, tremolo = 0, vibrato = 0, keyDucking = 0, selfDucking = 0, lfoSync = 0, preDelaySync = 0,
        decaySync = 0, shapedEq = 0, inputCuts = 0;

    for (const auto& file : factoryPresetFiles())
    {
        SCOPED_TRACE (file.getFileName().toStdString());
        auto v = storedValues (file);

        int typesOn = 0, numbersOn = 0;
        for (const auto* id : { ids::roomButton, ids::plateButton, ids::springButton, ids::spaceButton })
            if (isOn (v, id))
            {
                ++typesOn;
                types.insert (id);
            }
        for (const auto* id : { ids::oneButton, ids::twoButton, ids::threeButton, ids::fourButton, ids::fiveButton })
            numbersOn += isOn (v, id) ? 1 : 0;

        EXPECT_EQ (typesOn, 1);
        EXPECT_EQ (numbersOn, 1);
        EXPECT_TRUE (isOn (v, ids::onButton)); // a preset that switches the effect off would sound broken

        shimmer += isOn (v, ids::shimmer) ? 1 : 0;

        // A curve counts when it is driven hard enough to be heard.
        if (v[ids::drive] >= 15.0)
            driveCurves.insert ((int) v[ids::driveType]);

        if (v[ids::lfoDepth] >= 10.0)
            (isOn (v, ids::tremolo) ? tremolo : vibrato) += 1;

        if (v[ids::sideChain] > 1.0)
            (isOn (v, ids::compressor) ? selfDucking : keyDucking) += 1;

        lfoSync += isOn (v, ids::lfoSync) ? 1 : 0;
        preDelaySync += isOn (v, ids::preDelaySync) ? 1 : 0;
        decaySync += isOn (v, ids::decaySync) ? 1 : 0;

        // Synchronised values must be note values at 120 BPM, where the editor's sync knobs leave them alone.
        if (isOn (v, ids::lfoSync))
        {
            EXPECT_TRUE (isDoublingOf (v[ids::lfoSpeed], 0.125)) << v[ids::lfoSpeed];
        }
        if (isOn (v, ids::preDelaySync))
        {
            EXPECT_TRUE (isDoublingOf (v[ids::preDelay], 7500.0 / (120.0 * 32.0))) << v[ids::preDelay];
        }
        if (isOn (v, ids::decaySync))
        {
            EXPECT_TRUE (isDoublingOf (v[ids::decay], 480.0 / (120.0 * 16.0))) << v[ids::decay];
        }

        if (isOn (v, ids::onEqButton))
        {
            bool shaped = false;
            for (int band = 1; band <= ids::numBands; ++band)
                shaped = shaped || (isOn (v, juce::String (band) + "On") && std::abs (v[juce::String (band) + "Gain"]) >= 1.0);

            shapedEq += shaped ? 1 : 0;
            inputCuts += (v[ids::lowCut] > 10.0 || v[ids::highCut] < 22000.0) ? 1 : 0;
        }
    }

    EXPECT_EQ (types.size(), 4u);
    EXPECT_EQ (driveCurves, (std::set<int> { 0, 1, 2, 3, 4 }));
    EXPECT_GE (shimmer, 1);
    EXPECT_GE (tremolo, 1);
    EXPECT_GE (vibrato, 1);
    EXPECT_GE (keyDucking, 1);
    EXPECT_GE (selfDucking, 1);
    EXPECT_GE (lfoSync, 1);
    EXPECT_GE (preDelaySync, 1);
    EXPECT_GE (decaySync, 1);
    EXPECT_GE (shapedEq, 4);
    EXPECT_GE (inputCuts, 4);
}

// The vibrato's delay is 5 ms plus or minus 0.025 x scale x depth ms, the scale rising to 8 at slow rates. A swing
// of 5 ms or more reads ahead of the input and clicks. Rate and depth both glide up from 0 over the first second,
// passing through the slow rates with the large scales, so the swing must stay short all along that glide.
TEST (FactoryPresets, VibratoNeverSwingsPastItsDelay)
{
    const auto depthScale = [] (double rate) { return rate < 0.5 ? 8.0 : rate < 0.8 ? 4.0 : rate < 1.0 ? 1.0 : rate < 3.0 ? 0.3 : 0.2; };

    for (const auto& file : factoryPresetFiles())
    {
        auto v = storedValues (file);

        if (isOn (v, ids::tremolo))
            continue;

        double largestSwing = 0.0;
        for (int step = 1; step <= 1000; ++step)
        {
            const double t = step / 1000.0;
            largestSwing = std::max (largestSwing, 0.025 * depthScale (v[ids::lfoSpeed] * t) * v[ids::lfoDepth] * t);
        }

        EXPECT_LT (largestSwing, 4.5) << file.getFileName();
    }
}

TEST (PresetFolder, FollowsTheLayoutOfEachFormat)
{
    using factorypresets::getFactoryPresetFolderFor;
    const juce::File root ("/opt/plugins");

    // Bundles whose binary lies in Contents/<platform>: VST3 on Linux and Windows, any macOS bundle.
    EXPECT_EQ (getFactoryPresetFolderFor (root.getChildFile ("Vellumar.vst3/Contents/x86_64-linux/Vellumar.so")),
               root.getChildFile ("Vellumar.vst3/Contents/Resources/Presets"));
    EXPECT_EQ (getFactoryPresetFolderFor (root.getChildFile ("Vellumar.vst3/Contents/x86_64-win/Vellumar.vst3")),
               root.getChildFile ("Vellumar.vst3/Contents/Resources/Presets"));
    EXPECT_EQ (getFactoryPresetFolderFor (root.getChildFile ("Vellumar.component/Contents/MacOS/Vellumar")),
               root.getChildFile ("Vellumar.component/Contents/Resources/Presets"));

    // Flat folders: the LV2 bundle, the standalone application.
    EXPECT_EQ (getFactoryPresetFolderFor (root.getChildFile ("Vellumar.lv2/libVellumar.so")),
               root.getChildFile ("Vellumar.lv2/Presets"));
    EXPECT_EQ (getFactoryPresetFolderFor (root.getChildFile ("Vellumar/Vellumar")), root.getChildFile ("Vellumar/Presets"));

    EXPECT_EQ (factorypresets::getFactoryPresetFolder(),
               getFactoryPresetFolderFor (juce::File::getSpecialLocation (juce::File::currentExecutableFile)));
}

TEST (PresetFolder, EveryBuiltFormatCarriesTheFactoryPresetsWhereItLooks)
{
    const auto expected = factoryPresetFiles();
    ASSERT_FALSE (expected.empty());

    for (const char* binary : { VELLUMAR_VST3_BINARY, VELLUMAR_LV2_BINARY, VELLUMAR_STANDALONE_BINARY })
    {
        SCOPED_TRACE (binary);
        const auto folder = factorypresets::getFactoryPresetFolderFor (juce::File (binary));
        const auto found = folder.findChildFiles (juce::File::findFiles, false, "*.rev");
        ASSERT_EQ (found.size(), (int) expected.size()) << folder.getFullPathName();

        for (const auto& file : expected)
            EXPECT_TRUE (folder.getChildFile (file.getFileName()).hasIdenticalContentTo (file)) << file.getFileName();
    }
}
