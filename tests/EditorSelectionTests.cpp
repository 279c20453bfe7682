#include "ProcessorEditorTestHelpers.h"

#include "engine/state/StateData.h"

using namespace editor_testing;

namespace
{
juce::MemoryBlock stateOf (VellumarProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

void restore (VellumarProcessor& processor, const juce::MemoryBlock& state)
{
    processor.setStateInformation (state.getData(), (int) state.getSize());
}
} // namespace

TEST_F (EditorTest, TypeAndNumberButtonsLoadTheirPair)
{
    auto& e = open();
    ASSERT_EQ (processor.irName, "Plate1");

    e.userClick (e.roomButton);
    EXPECT_EQ (processor.irTypeIndex, 1);
    EXPECT_EQ (processor.irName, "Room1");
    EXPECT_EQ (processor.loadedIrName, "Room1");

    e.userClick (e.threeButton);
    EXPECT_EQ (processor.irNumber, 3);
    EXPECT_EQ (processor.loadedIrName, "Room3");

    e.userClick (e.springButton);
    e.userClick (e.spaceButton);
    EXPECT_EQ (processor.loadedIrName, "Space3");

    // Clicking the number that is already on decodes the same pair again and keeps the engines as they are.
    const auto samples = processor.irBufferA.getNumSamples();
    processor.irBufferA.setSize (2, 10);
    e.userClick (e.threeButton);
    EXPECT_TRUE (e.threeButton.getToggleState());
    EXPECT_EQ (processor.irBufferA.getNumSamples(), samples);
    EXPECT_EQ (processor.loadedIrName, "Space3");
}

TEST_F (EditorTest, HallPlaysTheHallPairsAndTurnsTheOtherTypeSwitchesOff)
{
    auto& e = open();
    e.userClick (e.fourButton);
    e.userClick (e.hallButton);

    EXPECT_EQ (processor.irTypeIndex, 3);
    EXPECT_EQ (processor.irName, "Hall4");
    EXPECT_EQ (processor.loadedIrName, "Hall4");
    EXPECT_EQ (processor.irBufferA.getNumChannels(), 2);

    for (const auto* id : { "RoomButton", "PlateButton", "SpringButton", "SpaceButton" })
        EXPECT_EQ (parameter (id), 0.0f) << id;

    // A new window shows HALL on.
    close();
    auto& reopened = open();
    EXPECT_TRUE (reopened.hallButton.getToggleState());
    EXPECT_FALSE (reopened.plateButton.getToggleState());
}

TEST_F (EditorTest, SwitchesChangedByAPresetOrTheHostReloadThePairWhileTheWindowIsOpen)
{
    open();
    setParameter ("PlateButton", 0.0f);
    setParameter ("SpringButton", 1.0f);
    EXPECT_EQ (processor.irTypeIndex, 2);
    EXPECT_EQ (processor.loadedIrName, "Spring1");

    setParameter ("FiveButton", 1.0f);
    EXPECT_EQ (processor.loadedIrName, "Spring5");
    EXPECT_EQ (parameter ("OneButton"), 0.0f); // the radio group turned 1 off

    // Closed, nothing reloads.
    close();
    setParameter ("RoomButton", 1.0f);
    EXPECT_EQ (processor.loadedIrName, "Spring5");
}

TEST_F (EditorTest, ADecayDragReloadsTheResponsesOnceAtItsEnd)
{
    auto& e = open();
    ASSERT_FLOAT_EQ (processor.loadedDecay, 3.0f);

    {
        const juce::Slider::ScopedDragNotification drag (e.decaySlider);
        e.decaySlider.setValue (5.0, juce::sendNotificationSync);
        e.decaySlider.setValue (6.5, juce::sendNotificationSync);
        EXPECT_FLOAT_EQ (parameter ("Decay"), 6.5f);
        EXPECT_FLOAT_EQ (processor.loadedDecay, 3.0f);
    }

    EXPECT_FLOAT_EQ (processor.loadedDecay, 6.5f);

    // Automation of Decay does not reload from the editor.
    setParameter ("Decay", 2.0f);
    EXPECT_FLOAT_EQ (processor.loadedDecay, 6.5f);
}

TEST_F (EditorTest, TheTextureCaptionLightsWhileANumberButtonIsPointedAt)
{
    auto& e = open();
    const auto colour = [&e] { return e.textureLabel.findColour (juce::Label::textColourId); };
    ASSERT_EQ (colour(), greyTextBoxQuelt);

    e.twoButton.setState (juce::Button::buttonOver);
    EXPECT_EQ (colour(), blueCurve);
    e.twoButton.setState (juce::Button::buttonDown);
    EXPECT_EQ (colour(), blueCurve);
    e.twoButton.setState (juce::Button::buttonNormal);
    EXPECT_EQ (colour(), greyTextBoxQuelt);

    // The last button to change state decides.
    e.fourButton.setState (juce::Button::buttonOver);
    e.twoButton.setState (juce::Button::buttonOver);
    e.twoButton.setState (juce::Button::buttonNormal);
    EXPECT_EQ (colour(), greyTextBoxQuelt);
}

//==============================================================================
TEST_F (EditorTest, ASavedSessionKeepsItsHallSelection)
{
    open().userClick (editor->hallButton);
    editor->userClick (editor->twoButton);
    close();
    ASSERT_EQ (processor.irName, "Hall2");
    const auto saved = stateOf (processor);

    // A new instance restored before its first preparation plays Hall 2 from it.
    VellumarProcessor restored;
    restore (restored, saved);
    EXPECT_EQ (stateOf (restored), saved); // saved again before it plays, it says the same

    for (int prepared = 0; prepared < 2; ++prepared)
    {
        TestEditor window (restored); // opened before the first preparation, then after it
        EXPECT_TRUE (window.hallButton.getToggleState() && ! window.plateButton.getToggleState()) << prepared;
        EXPECT_TRUE (window.twoButton.getToggleState()) << prepared;

        if (prepared == 0)
            testing_helpers::prepare (restored, 48000.0, 256);
    }

    EXPECT_EQ (restored.irTypeIndex, 3);
    EXPECT_EQ (restored.irNumber, 2);
    EXPECT_EQ (restored.loadedIrName, "Hall2");

    // An instance that already plays a pair changes to the restored one at once.
    VellumarProcessor playing;
    testing_helpers::prepare (playing, 44100.0, 512);
    ASSERT_EQ (playing.loadedIrName, "Plate1");
    restore (playing, saved);
    EXPECT_EQ (playing.loadedIrName, "Hall2");
    testing_helpers::prepare (playing, 44100.0, 1024);
    EXPECT_EQ (playing.loadedIrName, "Hall2");
}

TEST_F (EditorTest, StatesWithoutASelectionFollowTheSwitchesAsBefore)
{
    // Never prepared: nothing selected yet, so nothing is written and the switches decide after the restore.
    VellumarProcessor fresh;
    testing_helpers::setParameter (fresh, "PlateButton", 0.0f);
    testing_helpers::setParameter (fresh, "RoomButton", 1.0f);
    const auto saved = stateOf (fresh);
    EXPECT_FALSE (statedata::readTree (saved.getData(), saved.getSize()).tree.hasProperty ("irType"));

    VellumarProcessor restored;
    restore (restored, saved);
    testing_helpers::prepare (restored, 44100.0, 512);
    EXPECT_EQ (restored.irName, "Room1");

    // A selection out of range, or not a number, is ignored.
    for (const auto& [type, number] : { std::pair<juce::var, juce::var> { 9, 1 }, { 3, 0 }, { "3", 2 }, { 3, 2.5 } })
    {
        auto tree = statedata::readTree (saved.getData(), saved.getSize()).tree;
        tree.setProperty ("irType", type, nullptr);
        tree.setProperty ("irNumber", number, nullptr);
        juce::MemoryBlock bytes;
        juce::MemoryOutputStream stream (bytes, false);
        tree.writeToStream (stream);
        stream.flush();

        VellumarProcessor other;
        restore (other, bytes);
        testing_helpers::prepare (other, 44100.0, 512);
        EXPECT_EQ (other.irName, "Room1") << type.toString() << " " << number.toString();
    }
}
