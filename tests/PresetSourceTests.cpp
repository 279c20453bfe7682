#include "TestHelpers.h"

#include "engine/parameters/ParameterIds.h"
#include "tools/presets/PresetSource.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

namespace
{
juce::Result parseText (const juce::String& text, presetsource::Preset& preset, const juce::String& prefix = "07")
{
    VellumarProcessor processor;
    return presetsource::parse (text, prefix, "test.preset", processor.getParameters(), preset);
}

double valueOf (const presetsource::Preset& preset, const juce::String& id)
{
    return (double) preset.tree.getChildWithProperty ("id", id)["value"];
}

juce::String errorOf (const juce::String& text)
{
    presetsource::Preset preset;
    return parseText (text, preset).getErrorMessage();
}
} // namespace

TEST (PresetSource, GivesEveryParameterInLayoutOrderWithDefaultsForWhatItLeavesOut)
{
    presetsource::Preset preset;
    const auto result = parseText ("# a comment\n"
                                   "title = Dub Spring   # trailing comment\n"
                                   "response = Spring 4\n"
                                   "Decay = 2.5\n"
                                   "Shimmer = on\n"
                                   "3Type = high cut\n"
                                   "4Type = 0\n"
                                   "2Gain = -3.5\n",
                                   preset);
    ASSERT_TRUE (result.wasOk()) << result.getErrorMessage();
    EXPECT_EQ (preset.title, "Dub Spring");
    EXPECT_EQ (preset.fileName, "07Dub Spring.rev");
    EXPECT_TRUE (preset.tree.hasType ("Parameters"));

    VellumarProcessor processor;
    ASSERT_EQ (preset.tree.getNumChildren(), ids::numParameters);
    for (int i = 0; i < ids::numParameters; ++i)
        EXPECT_EQ (preset.tree.getChild (i)["id"].toString(), processor.getParameterIds()[i]);

    EXPECT_EQ (valueOf (preset, "Decay"), 2.5);
    EXPECT_EQ (valueOf (preset, "Shimmer"), 1.0);
    EXPECT_EQ (valueOf (preset, "3Type"), 4.0);
    EXPECT_EQ (valueOf (preset, "4Type"), 0.0);
    EXPECT_EQ (valueOf (preset, "2Gain"), -3.5);
    // Left out: the value that a new instance starts with.
    for (const auto* id : { "Mix", "5Freq", "LfoSpeed", "onButton" })
        EXPECT_FLOAT_EQ ((float) valueOf (preset, id), getParameter (processor, id)) << id;
    EXPECT_NEAR (valueOf (preset, "5Freq"), 10000.0, 0.1);

    // The response switches exactly one type and one number on, the default Plate and One among them off.
    for (const auto* id : { "RoomButton", "PlateButton", "SpaceButton", "OneButton", "TwoButton", "ThreeButton", "FiveButton" })
        EXPECT_EQ (valueOf (preset, id), 0.0) << id;
    EXPECT_EQ (valueOf (preset, "SpringButton"), 1.0);
    EXPECT_EQ (valueOf (preset, "FourButton"), 1.0);
}

TEST (PresetSource, RejectsEveryDoubtfulLineAndNamesIt)
{
    const auto errors = errorOf ("title = X\n"
                                 "response = Plate 1\n"
                                 "Decay = 10.5\n"
                                 "PreDelay = 12.5\n"
                                 "decay = 2\n"
                                 "Shimmer = maybe\n"
                                 "3Type = Notch\n"
                                 "Mix 40\n"
                                 "Width = wide\n"
                                 "PlateButton = on\n");

    EXPECT_TRUE (errors.contains ("test.preset:3: Decay")) << errors;      // above the range
    EXPECT_TRUE (errors.contains ("test.preset:4: PreDelay")) << errors;   // between the steps of 1 ms
    EXPECT_TRUE (errors.contains ("test.preset:5: no parameter")) << errors; // IDs are case-sensitive
    EXPECT_TRUE (errors.contains ("test.preset:6: Shimmer")) << errors;
    EXPECT_TRUE (errors.contains ("test.preset:7: 3Type")) << errors;
    EXPECT_TRUE (errors.contains ("test.preset:8: expected")) << errors;
    EXPECT_TRUE (errors.contains ("test.preset:9: Width")) << errors;
    EXPECT_TRUE (errors.contains ("test.preset:10: PlateButton is already set on line 2")) << errors;

    EXPECT_TRUE (errorOf ("response = Room 1\n").contains ("no title"));
    EXPECT_TRUE (errorOf ("title = A/B\nresponse = Room 1\n").contains (":1: a title"));
    EXPECT_TRUE (errorOf ("title = A\ntitle = B\nresponse = Room 1\n").contains (":2: the title is already given"));
    EXPECT_TRUE (errorOf ("title = Big Hall\nresponse = Hall 2\n").contains (":2: a response"));
    EXPECT_TRUE (errorOf ("title = A\nresponse = Room 6\n").contains (":2: a response"));

    // The engine would pick Room over Plate without a word; a preset must not leave that to chance.
    EXPECT_TRUE (errorOf ("title = A\nRoomButton = on\n").contains ("exactly one type switch"));
    EXPECT_TRUE (errorOf ("title = A\nOneButton = off\n").contains ("exactly one type switch"));

    presetsource::Preset preset;
    EXPECT_TRUE (parseText ("title = A\n", preset, "7").failed()); // the prefix has two characters
}

TEST (PresetSource, FolderNeedsDistinctPrefixesAndTitlesAndWritingRemovesStaleFiles)
{
    VellumarProcessor processor;
    juce::TemporaryFile sourceFolder, outputFolder;
    const auto sources = sourceFolder.getFile();
    ASSERT_TRUE (sources.createDirectory().wasOk());

    sources.getChildFile ("01-a.preset").replaceWithText ("title = Alpha\nresponse = Room 1\n");
    sources.getChildFile ("02-b.preset").replaceWithText ("title = Beta\nresponse = Space 5\nMix = 45\n");
    sources.getChildFile ("notes.txt").replaceWithText ("not a preset");

    juce::Array<presetsource::Preset> presets;
    ASSERT_TRUE (presetsource::parseFolder (sources, processor.getParameters(), presets).wasOk());
    ASSERT_EQ (presets.size(), 2);
    EXPECT_EQ (presets[0].fileName, "01Alpha.rev");
    EXPECT_EQ (presets[1].fileName, "02Beta.rev");

    const auto output = outputFolder.getFile();
    ASSERT_TRUE (output.createDirectory().wasOk());
    output.getChildFile ("03Renamed.rev").replaceWithText ("old");
    output.getChildFile ("readme.txt").replaceWithText ("kept");

    ASSERT_TRUE (presetsource::writeFolder (presets, output).wasOk());
    EXPECT_FALSE (output.getChildFile ("03Renamed.rev").exists());
    EXPECT_TRUE (output.getChildFile ("readme.txt").exists());

    // What is written is the tree, in the stream form that the plug-in reads.
    juce::FileInputStream written (output.getChildFile ("02Beta.rev"));
    EXPECT_TRUE (juce::ValueTree::readFromStream (written).isEquivalentTo (presets[1].tree));

    processor.loadPreset (output.getChildFile ("02Beta.rev"));
    EXPECT_EQ (getParameter (processor, "Mix"), 45.0f);
    EXPECT_EQ (getParameter (processor, "SpaceButton"), 1.0f);
    EXPECT_EQ (getParameter (processor, "FiveButton"), 1.0f);

    sources.getChildFile ("01-c.preset").replaceWithText ("title = beta\nresponse = Room 2\n");
    presets.clear();
    const auto clash = presetsource::parseFolder (sources, processor.getParameters(), presets);
    EXPECT_TRUE (clash.getErrorMessage().contains ("prefix 01")) << clash.getErrorMessage();
    EXPECT_TRUE (clash.getErrorMessage().contains ("title")) << clash.getErrorMessage();

    output.deleteRecursively();
    sources.deleteRecursively();
}
