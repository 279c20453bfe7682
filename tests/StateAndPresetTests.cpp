#include "TestHelpers.h"

#include "engine/state/StateData.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

namespace
{
juce::MemoryBlock stateOf (VellumarProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

std::vector<float> allValues (VellumarProcessor& processor)
{
    std::vector<float> values;
    for (auto* p : processor.getParameters())
        values.push_back (p->getValue());
    return values;
}

void setSomeValues (VellumarProcessor& processor)
{
    setParameter (processor, "Decay", 7.25f);
    setParameter (processor, "Mix", 64.0f);
    setParameter (processor, "3Freq", 2500.0f);
    setParameter (processor, "5Type", 4.0f);
    setParameter (processor, "lrFlipButton", 1.0f);
    setParameter (processor, "SideChain", 42.0f);
    setParameter (processor, "DriveType", 3.0f);
}

juce::File writeTemporary (const juce::MemoryBlock& bytes)
{
    auto file = juce::File::createTempFile (".rev");
    file.replaceWithData (bytes.getData(), bytes.getSize());
    return file;
}

juce::MemoryBlock treeBytes (const juce::ValueTree& tree)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream stream (block, false);
    tree.writeToStream (stream);
    return block;
}

juce::ValueTree param (const juce::String& id, std::optional<juce::var> value)
{
    juce::ValueTree child ("PARAM");
    child.setProperty ("id", id, nullptr);
    if (value)
        child.setProperty ("value", *value, nullptr);
    return child;
}

// Runs `load` and returns what it printed on standard output.
template <typename Fn>
std::string printedBy (Fn&& load)
{
    ::testing::internal::CaptureStdout();
    load();
    return ::testing::internal::GetCapturedStdout();
}
} // namespace

TEST (State, RoundTripRestoresEveryValueAndIsStable)
{
    VellumarProcessor original;
    setSomeValues (original);
    const auto saved = stateOf (original);
    ASSERT_GT (saved.getSize(), 0u);

    VellumarProcessor restored;
    restored.setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_EQ (allValues (restored), allValues (original));
    EXPECT_FLOAT_EQ (getParameter (restored, "Decay"), 7.25f);
    EXPECT_EQ (stateOf (restored), saved); // a second save gives the same bytes
}

TEST (State, DamagedEmptyOrForeignDataChangesNothing)
{
    VellumarProcessor processor;
    setSomeValues (processor);
    const auto before = allValues (processor);
    const auto good = stateOf (processor);

    processor.setStateInformation (nullptr, 0);
    processor.setStateInformation (good.getData(), 0);
    EXPECT_EQ (allValues (processor), before);

    // Every cut of a good state, and bytes flipped at random.
    for (size_t length = 1; length < good.getSize(); length += 7)
        processor.setStateInformation (good.getData(), (int) length);
    EXPECT_EQ (allValues (processor), before);

    juce::Random random (2026);
    for (int trial = 0; trial < 300; ++trial)
    {
        auto damaged = good;
        for (int k = 0; k < 4; ++k)
            static_cast<char*> (damaged.getData())[random.nextInt ((int) damaged.getSize())] = (char) random.nextInt (256);
        processor.setStateInformation (damaged.getData(), (int) damaged.getSize());

        for (auto* p : processor.getParameters())
            ASSERT_TRUE (std::isfinite (p->getValue()));
    }

    processor.setStateInformation (good.getData(), (int) good.getSize());
    for (int trial = 0; trial < 300; ++trial)
    {
        juce::MemoryBlock noise ((size_t) random.nextInt (2000) + 1);
        random.fillBitsRandomly (noise.getData(), noise.getSize());
        processor.setStateInformation (noise.getData(), (int) noise.getSize());
    }
    EXPECT_EQ (allValues (processor), before);

    // A huge child count must not make the reader reserve memory for it.
    const char hugeCount[] = { 'P', 'a', 'r', 'a', 'm', 'e', 't', 'e', 'r', 's', 0, 0, 4, '\xff', '\xff', '\xff', 0x7f };
    processor.setStateInformation (hugeCount, sizeof (hugeCount));
    EXPECT_EQ (allValues (processor), before);

    // Another plug-in's tree, and one of ours with a value that is not a number.
    juce::ValueTree foreign ("SomethingElse");
    foreign.appendChild (param ("Decay", 1.0), nullptr);
    const auto foreignBytes = treeBytes (foreign);
    processor.setStateInformation (foreignBytes.getData(), (int) foreignBytes.getSize());

    juce::ValueTree bad ("Parameters");
    bad.appendChild (param ("Decay", std::numeric_limits<double>::quiet_NaN()), nullptr);
    bad.appendChild (param ("Mix", std::numeric_limits<double>::infinity()), nullptr);
    bad.appendChild (param ("PreDelay", 1.0e300), nullptr); // finite, but no float holds it
    bad.appendChild (param ("3Freq", juce::String ("1e39")), nullptr);
    bad.appendChild (param ("Width", juce::String ("5e4294967297")), nullptr); // JUCE's parser would make it 50
    bad.appendChild (param ("Character", juce::String ("--5")), nullptr);
    bad.appendChild (param ("Drive", juce::String ("5e")), nullptr);
    bad.appendChild (param ("Mix", std::nullopt), nullptr); // names Mix but gives no value: as if left out
    bad.appendChild (param ("Decay", 1.0).setProperty ("id", std::numeric_limits<double>::quiet_NaN(), nullptr), nullptr);
    const auto badBytes = treeBytes (bad);
    processor.setStateInformation (badBytes.getData(), (int) badBytes.getSize());
    EXPECT_EQ (allValues (processor), before);
}

TEST (StateData, ReadsWhatBreaksOffAndNothingThatIsNotATree)
{
    juce::ValueTree tree ("Parameters");
    tree.appendChild (param ("Decay", 4.0), nullptr);
    tree.appendChild (param ("Mix", 50.0), nullptr);
    const auto bytes = treeBytes (tree);

    const auto whole = statedata::readTree (bytes.getData(), bytes.getSize());
    EXPECT_TRUE (whole.complete);
    EXPECT_TRUE (whole.tree.isEquivalentTo (tree));

    const auto cut = statedata::readTree (bytes.getData(), bytes.getSize() - 3);
    EXPECT_FALSE (cut.complete);
    ASSERT_TRUE (cut.tree.isValid());
    EXPECT_EQ (cut.tree.getNumChildren(), 1);
    EXPECT_EQ (cut.tree.getChild (0)["id"].toString(), "Decay");

    // Text that is not UTF-8 is damage as well: JUCE would read "\xb3Freq" as "3Freq".
    juce::ValueTree band ("Parameters");
    band.appendChild (param ("3Freq", 500.0), nullptr);
    const auto bandBytes = treeBytes (band);
    std::string damaged (static_cast<const char*> (bandBytes.getData()), bandBytes.getSize());
    damaged[damaged.find ("3Freq")] = '\xb3';
    const auto notText = statedata::readTree (damaged.data(), damaged.size());
    EXPECT_FALSE (notText.complete);
    EXPECT_EQ (notText.tree.getNumChildren(), 0);

    EXPECT_FALSE (statedata::readTree (nullptr, 0).tree.isValid());
    EXPECT_FALSE (statedata::readTree ("\0\0\0", 3).tree.isValid());
}

TEST (Presets, APresetSetsEveryParameterAndLoadingItAgainChangesNothing)
{
    VellumarProcessor source;
    setSomeValues (source);
    const auto file = writeTemporary (stateOf (source));

    VellumarProcessor processor;
    EXPECT_TRUE (processor.loadPreset (file));
    EXPECT_EQ (allValues (processor), allValues (source));
    EXPECT_TRUE (processor.loadPreset (file));
    EXPECT_EQ (allValues (processor), allValues (source));
    file.deleteFile();
}

TEST (Presets, MissingChildrenAndChildrenWithoutValueKeepTheirValues)
{
    VellumarProcessor processor;
    setParameter (processor, "Mix", 77.0f);
    setParameter (processor, "Width", 150.0f);

    juce::ValueTree preset ("Parameters");
    preset.appendChild (param ("Decay", 5.5), nullptr);
    preset.appendChild (param ("Width", std::nullopt), nullptr);
    preset.appendChild (param ("NoSuchParameter", 3.0), nullptr);
    const auto file = writeTemporary (treeBytes (preset));

    EXPECT_EQ (printedBy ([&] { processor.loadPreset (file); }), "");
    EXPECT_FLOAT_EQ (getParameter (processor, "Decay"), 5.5f);
    EXPECT_FLOAT_EQ (getParameter (processor, "Mix"), 77.0f);    // not named: kept
    EXPECT_FLOAT_EQ (getParameter (processor, "Width"), 150.0f); // named without a value: kept
    file.deleteFile();
}

TEST (Presets, UnreadableEmptyOrForeignFilesAreReportedOnceAndChangeNothing)
{
    VellumarProcessor processor;
    setSomeValues (processor);
    const auto before = allValues (processor);

    juce::ValueTree foreign ("SomethingElse"); // another plug-in's tree, with an ID of ours
    foreign.appendChild (param ("Decay", 1.0), nullptr);
    juce::ValueTree unusable ("Parameters");
    unusable.appendChild (param ("Decay", juce::String ("--5")), nullptr);
    unusable.appendChild (param ("Mix", std::nullopt), nullptr);
    const juce::String text ("not a preset at all");

    const juce::File files[] {
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("no-such-preset.rev"),
        writeTemporary ({}),
        writeTemporary (juce::MemoryBlock (text.toRawUTF8(), (size_t) text.length())),
        writeTemporary (treeBytes (foreign)),
        writeTemporary (treeBytes (unusable)),
    };

    for (const auto& file : files)
    {
        bool loaded = true;
        EXPECT_EQ (printedBy ([&] { loaded = processor.loadPreset (file); }), "LOAD PRESET ERROR\n") << file.getFileName();
        EXPECT_FALSE (loaded);
        EXPECT_EQ (allValues (processor), before);
        file.deleteFile();
    }

    EXPECT_EQ (processor.apvts.state.getNumChildren(), 57); // the saved session keeps every setting
}

TEST (Presets, ATreeThatBreaksOffIsRefusedWhole)
{
    juce::ValueTree preset ("Parameters");
    preset.appendChild (param ("Decay", 6.0), nullptr);
    preset.appendChild (param ("Mix", 12.0), nullptr);
    auto bytes = treeBytes (preset);
    bytes.setSize (bytes.getSize() - 4);
    const auto file = writeTemporary (bytes);

    VellumarProcessor processor;
    bool loaded = true;
    EXPECT_EQ (printedBy ([&] { loaded = processor.loadPreset (file); }), "LOAD PRESET ERROR\n");
    EXPECT_FALSE (loaded);
    EXPECT_FLOAT_EQ (getParameter (processor, "Decay"), 3.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "Mix"), 30.0f);
    file.deleteFile();
}

TEST (Presets, LoadingChangesOnlyParameterValues)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 256);
    const auto name = processor->irName;
    const int type = processor->irTypeIndex;

    juce::ValueTree preset ("Parameters");
    preset.appendChild (param ("RoomButton", 1.0), nullptr);
    preset.appendChild (param ("PlateButton", 0.0), nullptr);
    const auto file = writeTemporary (treeBytes (preset));
    processor->loadPreset (file);

    EXPECT_EQ (getParameter (*processor, "RoomButton"), 1.0f);
    EXPECT_EQ (processor->irName, name);
    EXPECT_EQ (processor->irTypeIndex, type);
    file.deleteFile();
}
