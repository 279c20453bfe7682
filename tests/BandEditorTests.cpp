// The hidden per-band controls: their parameter IDs, their attachments in both directions and the rule that a
// cut band has no gain.

#include "TestHelpers.h"
#include "XYPadTestHelpers.h"

#include "editor/BandEditor.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using testing_helpers::getParameter;
using testing_helpers::setParameter;

namespace
{
int typeIndex (VellumarProcessor& processor, int band)
{
    return dynamic_cast<juce::AudioParameterChoice&> (*processor.apvts.getParameter (getPrmName (band, "Type")))
        .getIndex();
}

void select (juce::ComboBox& box, int id) { box.setSelectedId (id, juce::sendNotificationSync); }

void setOn (juce::ToggleButton& toggle, bool on) { toggle.setToggleState (on, juce::sendNotificationSync); }
} // namespace

TEST (BandEditor, GetPrmNameBuildsExactlyTheBandParameterIds)
{
    EXPECT_EQ (getPrmName (3, "Gain"), "3Gain");
    EXPECT_EQ (getPrmName (5, "Type"), "5Type");
    EXPECT_EQ (getPrmName (1, "On"), "1On");

    VellumarProcessor processor;
    std::set<juce::String> built, published;

    for (int band = 1; band <= 5; ++band)
        for (const auto* suffix : { "On", "Type", "Freq", "Gain", "Q" })
            built.insert (getPrmName (band, suffix));

    for (const auto& id : processor.getParameterIds())
        if (juce::CharacterFunctions::isDigit (id[0]))
            published.insert (id);

    EXPECT_EQ (built.size(), 25u);
    EXPECT_EQ (built, published);
}

TEST (BandEditor, ControlsStartAtTheParameterValues)
{
    VellumarProcessor processor;
    setParameter (processor, "5Freq", 12000.0f);
    setParameter (processor, "5Gain", -7.5f);
    setParameter (processor, "5Q", 2.5f);
    setParameter (processor, "5On", 0.0f);
    BandEditor band5 (processor.apvts, 5);

    EXPECT_NEAR (band5.freqSlider.getValue(), 12000.0, 0.1);
    EXPECT_DOUBLE_EQ (band5.gainSlider.getValue(), -7.5);
    EXPECT_DOUBLE_EQ (band5.qSlider.getValue(), 2.5);
    EXPECT_FALSE (band5.onToggle.getToggleState());
    EXPECT_TRUE (band5.onToggle.getClickingTogglesState());

    ASSERT_EQ (band5.typeBox.getNumItems(), 5);
    const char* texts[] { "Low Cut", "Low Shelf", "Peak", "High Shelf", "High Cut" };

    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ (band5.typeBox.getItemId (i), i + 1);
        EXPECT_EQ (band5.typeBox.getItemText (i), texts[i]);
    }

    EXPECT_EQ (band5.typeBox.getSelectedId(), 4) << "band 5 starts as a high shelf (choice 3)";

    // The rule is first applied when the type changes: a band built as a cut, or switched off, keeps its gain.
    setParameter (processor, "1Type", 0.0f);
    BandEditor band1 (processor.apvts, 1);
    EXPECT_EQ (band1.typeBox.getSelectedId(), 1);
    EXPECT_TRUE (band1.gainSlider.isEnabled());
    EXPECT_TRUE (band5.gainSlider.isEnabled());
}

TEST (BandEditor, ChoosingACutDisablesTheGainAndSetsTheType)
{
    VellumarProcessor processor;
    BandEditor band2 (processor.apvts, 2);

    select (band2.typeBox, 5);
    EXPECT_EQ (typeIndex (processor, 2), 4);
    EXPECT_FALSE (band2.gainSlider.isEnabled());

    select (band2.typeBox, 3);
    EXPECT_EQ (typeIndex (processor, 2), 2);
    EXPECT_TRUE (band2.gainSlider.isEnabled());

    select (band2.typeBox, 1);
    EXPECT_EQ (typeIndex (processor, 2), 0);
    EXPECT_FALSE (band2.gainSlider.isEnabled());

    select (band2.typeBox, 4);
    EXPECT_TRUE (band2.gainSlider.isEnabled());
    EXPECT_EQ (typeIndex (processor, 3), 2) << "other bands keep their type";
}

TEST (BandEditor, SwitchingABandOffTakesEffectOnTheGainAtTheNextTypeChange)
{
    VellumarProcessor processor;
    BandEditor band2 (processor.apvts, 2);
    select (band2.typeBox, 3);

    setOn (band2.onToggle, false);
    EXPECT_FLOAT_EQ (getParameter (processor, "2On"), 0.0f);
    EXPECT_TRUE (band2.gainSlider.isEnabled()) << "a change of the On toggle alone does not apply the rule";

    select (band2.typeBox, 2);
    EXPECT_FALSE (band2.gainSlider.isEnabled()) << "an off band has no gain";

    setOn (band2.onToggle, true);
    EXPECT_FLOAT_EQ (getParameter (processor, "2On"), 1.0f);
    EXPECT_FALSE (band2.gainSlider.isEnabled());

    select (band2.typeBox, 3);
    EXPECT_TRUE (band2.gainSlider.isEnabled());
}

TEST (BandEditor, ControlsFollowTheHostAndReachTheParameters)
{
    VellumarProcessor processor;
    BandEditor band4 (processor.apvts, 4);
    int gainChanges = 0;
    band4.gainSlider.onValueChange = [&] { ++gainChanges; };

    // From the host on the message thread: at once.
    setParameter (processor, "4Freq", 4500.0f);
    setParameter (processor, "4Gain", 3.25f);
    setParameter (processor, "4On", 0.0f);
    EXPECT_NEAR (band4.freqSlider.getValue(), 4500.0, 0.01);
    EXPECT_DOUBLE_EQ (band4.gainSlider.getValue(), 3.25);
    EXPECT_FALSE (band4.onToggle.getToggleState());
    EXPECT_EQ (gainChanges, 1);

    // A type change from the host applies the gain rule through the combo box.
    setParameter (processor, "4Type", 4.0f);
    EXPECT_EQ (band4.typeBox.getSelectedId(), 5);
    EXPECT_FALSE (band4.gainSlider.isEnabled());

    // From an automation thread: on the message thread, once it runs.
    std::thread automation ([&] { setParameter (processor, "4Q", 6.0f); });
    automation.join();
    xypad_testing::dispatchPendingMessages();
    EXPECT_NEAR (band4.qSlider.getValue(), 6.0, 1e-5);

    // From the controls to the parameters.
    band4.gainSlider.setValue (-12.5, juce::sendNotificationSync);
    band4.freqSlider.setValue (250.0, juce::sendNotificationSync);
    band4.qSlider.setValue (1.4, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (getParameter (processor, "4Gain"), -12.5f);
    EXPECT_NEAR (getParameter (processor, "4Freq"), 250.0f, 0.01f);
    EXPECT_NEAR (getParameter (processor, "4Q"), 1.4f, 1e-4f);
    EXPECT_FLOAT_EQ (getParameter (processor, "3Gain"), 0.0f);
}
