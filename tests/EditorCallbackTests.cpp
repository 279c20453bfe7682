#include "ProcessorEditorTestHelpers.h"

using namespace editor_testing;

namespace
{
juce::Colour captionColour (const juce::Label& label) { return label.findColour (juce::Label::textColourId); }

juce::File writePreset (const std::vector<std::pair<juce::String, double>>& values)
{
    juce::ValueTree tree ("Parameters");
    for (const auto& [id, value] : values)
    {
        juce::ValueTree child ("PARAM");
        child.setProperty ("id", id, nullptr);
        child.setProperty ("value", value, nullptr);
        tree.appendChild (child, nullptr);
    }

    auto file = juce::File::createTempFile (".rev");
    juce::FileOutputStream stream (file);
    tree.writeToStream (stream);
    return file;
}
} // namespace

TEST_F (EditorTest, DoubleClickingADriveKnobWalksTheDriveTypesAndNamesThem)
{
    auto& e = open();
    const char* expected[] { "SOFT", "TUBE", "TAPE", "FUZZ", "DRIVE", "SOFT" };

    for (int step = 0; step < 6; ++step)
    {
        e.doubleClick (e.driveSlider);
        dispatch();
        const int type = (step + 1) % 5;
        EXPECT_EQ (processor.grain.driveTypeIndex, type);
        EXPECT_EQ (parameter ("DriveType"), (float) type);
        EXPECT_EQ (e.driveLabel.getText(), expected[step]);
        EXPECT_EQ (captionColour (e.driveLabel), type == 0 ? greyWhiteQuelt : blueLightQuelt);
    }

    // A stored type outside 0..4 starts again at 0.
    processor.grain.driveTypeIndex = 7;
    e.doubleClick (e.driveSlider);
    dispatch();
    EXPECT_EQ (processor.grain.driveTypeIndex, 0);
    EXPECT_EQ (parameter ("DriveType"), 0.0f);
}

TEST_F (EditorTest, DoubleClickingAKnobTogglesItsModeSwitchAndNothingElseReacts)
{
    auto& e = open();
    const std::pair<juce::Slider*, const char*> companions[] {
        { &e.widthSlider, "lrFlipButton" }, { &e.preVerbSlider, "Shimmer" },  { &e.preDelaySlider, "PreDelaySync" },
        { &e.decaySlider, "DecaySync" },    { &e.lfoDepthSlider, "Tremolo" }, { &e.lfoSpeedSlider, "LFOSync" }
    };

    for (const auto& [knob, id] : companions)
    {
        e.doubleClick (*knob);
        EXPECT_EQ (parameter (id), 1.0f) << id;
        e.doubleClick (*knob);
        EXPECT_EQ (parameter (id), 0.0f) << id;
    }

    // The value box under a knob, a knob without a mode, and the window itself change nothing.
    const auto before = processor.getParameters();
    std::vector<float> values;
    for (auto* p : before)
        values.push_back (p->getValue());

    for (auto* c : std::initializer_list<juce::Component*> { e.widthSlider.getChildComponent (0), &e.mixSlider,
                                                             &e.characterSlider, static_cast<juce::Component*> (&e) })
        if (c != nullptr)
            e.doubleClick (*c);
    dispatch();

    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ (before[i]->getValue(), values[i]) << before[i]->getName (32);
}

TEST_F (EditorTest, ModeSwitchesRelabelTheirKnobs)
{
    auto& e = open();

    e.doubleClick (e.widthSlider);
    EXPECT_EQ (e.widthLabel.getText(), "LR FLIP");
    EXPECT_EQ (e.widthSlider.getTextValueSuffix(), " % FLIP");
    EXPECT_EQ (captionColour (e.widthLabel), blueLightQuelt);
    EXPECT_EQ (e.widthLabel.getJustificationType(), e.driveLabel.getJustificationType()); // in line with the others
    e.doubleClick (e.widthSlider);
    EXPECT_EQ (e.widthLabel.getText(), "WIDTH");
    EXPECT_EQ (e.widthSlider.getTextValueSuffix(), " %");

    e.doubleClick (e.preVerbSlider);
    EXPECT_EQ (e.preVerbLabel.getText(), "SHIMMER");

    // Tremolo and LFO sync together name both LFO knobs.
    struct Row { bool tremolo, sync; const char* depth; const char* speed; juce::Colour depthColour, speedColour; };
    const Row rows[] { { true, true, "TREMOLO", "TREM SYNC", blueLightQuelt, blueLightQuelt },
                       { true, false, "TREMOLO", "TREM SPEED", blueLightQuelt, greyWhiteQuelt },
                       { false, true, "LFO DEPTH", "LFO SYNC", greyWhiteQuelt, blueLightQuelt },
                       { false, false, "LFO DEPTH", "LFO SPEED", greyWhiteQuelt, greyWhiteQuelt } };

    for (const auto& row : rows)
    {
        if (e.lfoSyncButton.getToggleState() != row.sync)
            e.doubleClick (e.lfoSpeedSlider);
        if (e.tremoloButton.getToggleState() != row.tremolo)
            e.doubleClick (e.lfoDepthSlider);
        else
            e.tremoloButton.onClick(); // the captions as a TREMOLO click leaves them

        EXPECT_EQ (processor.tremoloOn, row.tremolo);
        EXPECT_EQ (processor.lfoSyncOn, row.sync);
        EXPECT_EQ (e.lfoDepthLabel.getText(), row.depth);
        EXPECT_EQ (e.lfoSpeedLabel.getText(), row.speed);
        EXPECT_EQ (captionColour (e.lfoDepthLabel), row.depthColour);
        EXPECT_EQ (captionColour (e.lfoSpeedLabel), row.speedColour);
    }
}

TEST_F (EditorTest, CaptionsFollowPresetsButPowerDisplaysWaitForTheAudio)
{
    // Modes switched on while no audio runs: the processor's copies are stale, the window shows the switches.
    setParameter ("Shimmer", 1.0f);
    setParameter ("Tremolo", 1.0f);
    setParameter ("DriveType", 3.0f);
    processor.grain.driveTypeIndex = 1;
    auto& e = open();

    EXPECT_EQ (e.preVerbLabel.getText(), "SHIMMER");
    EXPECT_EQ (e.lfoDepthLabel.getText(), "TREMOLO");
    EXPECT_EQ (e.lfoSpeedLabel.getText(), "TREM SPEED");
    EXPECT_EQ (e.driveLabel.getText(), "TAPE");
    e.doubleClick (e.driveSlider);
    dispatch();
    EXPECT_EQ (parameter ("DriveType"), 4.0f);
    EXPECT_EQ (e.driveLabel.getText(), "FUZZ");

    const auto preset = writePreset ({ { "Compressor", 1.0 }, { "onButton", 0.0 }, { "Shimmer", 0.0 } });
    processor.loadPreset (preset);
    preset.deleteFile();

    EXPECT_EQ (e.sideChainLabel.getText(), "COMPRESSOR");
    EXPECT_TRUE (processor.compressorOn);
    EXPECT_EQ (e.preVerbLabel.getText(), "PREVERB");
    EXPECT_FALSE (e.onButton.getToggleState());
    EXPECT_FALSE (processor.effectOffDisplay); // the next chunk sets it, not the editor

    // The user's own click writes the display flags at once.
    e.userClick (e.onButton);
    EXPECT_TRUE (e.onButton.getToggleState());
    EXPECT_FALSE (processor.effectOffDisplay);
    e.userClick (e.onButton);
    EXPECT_TRUE (processor.effectOffDisplay);
    EXPECT_EQ (parameter ("onButton"), 0.0f);

    e.userClick (e.onEqButton);
    EXPECT_TRUE (processor.eqOffDisplay);
    EXPECT_EQ (parameter ("onEqButton"), 0.0f);
}

TEST_F (EditorTest, SharedBandControlsEditTheSelectedBandOnly)
{
    auto& e = open();
    e.xyPad.selectedHandle = 2; // band 3

    e.userSetValue (e.gainSlider, 6.0);
    e.userSetValue (e.freqSlider, 1200.0);
    e.userSetValue (e.qSlider, 3.0);
    dispatch();
    EXPECT_FLOAT_EQ (parameter ("3Gain"), 6.0f);
    EXPECT_NEAR (parameter ("3Freq"), 1200.0f, 2.0f);
    EXPECT_FLOAT_EQ (parameter ("3Q"), 3.0f);
    EXPECT_FLOAT_EQ (parameter ("1Gain"), 0.0f);

    // A change made by code, without the mouse on the knob, reaches no band.
    e.gainSlider.setValue (-9.0, juce::sendNotificationSync);
    dispatch();
    EXPECT_FLOAT_EQ (parameter ("3Gain"), 6.0f);

    // Filter type and band switch go to the selected band's parameters.
    e.userClick (e.highCutTypeButton);
    dispatch();
    EXPECT_EQ (parameter ("3Type"), 4.0f);
    EXPECT_FALSE (e.gainSlider.isEnabled());

    e.userClick (e.bandOnButton);
    dispatch();
    EXPECT_EQ (parameter ("3On"), 0.0f);

    // The refresh that a gain change brings shows the cut without a gain.
    setParameter ("3Gain", 2.0f);
    EXPECT_FALSE (e.gainSlider.isEnabled());
    EXPECT_TRUE (e.highCutTypeButton.getToggleState());
    EXPECT_FALSE (e.bandOnButton.getToggleState());

    // Clicking the type that is already on selects it again: nothing changes.
    e.userClick (e.highCutTypeButton);
    dispatch();
    EXPECT_TRUE (e.highCutTypeButton.getToggleState());
    EXPECT_EQ (parameter ("3Type"), 4.0f);
}

TEST_F (EditorTest, TheSharedControlsShowTheSelectedBandWhicheverBandsAPresetChanges)
{
    auto& e = open();
    e.xyPad.selectedHandle = 2;

    // A preset changes band 5's gain and band 3's frequency and Q, but not band 3's gain.
    const auto preset = writePreset ({ { "5Gain", -4.0 }, { "3Freq", 700.0 }, { "3Q", 2.5 }, { "3Type", 4.0 } });
    processor.loadPreset (preset);
    preset.deleteFile();
    dispatch();

    EXPECT_DOUBLE_EQ (e.gainSlider.getValue(), 0.0);
    EXPECT_NEAR (e.freqSlider.getValue(), 700.0, 2.0);
    EXPECT_DOUBLE_EQ (e.qSlider.getValue(), 2.5);
    EXPECT_TRUE (e.highCutTypeButton.getToggleState());

    e.userSetValue (e.qSlider, 1.0);
    dispatch();
    EXPECT_FLOAT_EQ (parameter ("3Q"), 1.0f);
    EXPECT_FLOAT_EQ (parameter ("5Q"), parameter ("1Q"));
}

TEST_F (EditorTest, AnUnknownFilterTypeShowsPeak)
{
    auto& e = open();

    for (int id : { 0, 6, -1 })
    {
        e.selectFilterType (1);
        e.selectFilterType (id);
        EXPECT_TRUE (e.peakTypeButton.getToggleState());
        EXPECT_FALSE (e.lowCutTypeButton.getToggleState());
    }

    e.selectFilterType (5);
    EXPECT_TRUE (e.highCutTypeButton.getToggleState());
    EXPECT_FALSE (e.peakTypeButton.getToggleState());
}
