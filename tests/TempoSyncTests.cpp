#include "FactoryPresetHelpers.h"
#include "ProcessorEditorTestHelpers.h"

#include "editor/TempoSync.h"

using namespace editor_testing;
using temposync::Knob;

namespace
{
/** Every value the knob's snapping can give, found by snapping a fine sweep of its range. */
std::vector<double> legalValues (const juce::NormalisableRange<double>& range)
{
    std::vector<double> values;

    for (int i = 0; i <= 20000; ++i)
    {
        const auto v = range.snapToLegalValue (range.convertFrom0to1 (i / 20000.0));
        if (values.empty() || values.back() != v)
            values.push_back (v);
    }

    return values;
}
} // namespace

TEST (TempoSync, At120BpmTheLegalValuesAreTheDoublingsOfTheShortestNote)
{
    EXPECT_FLOAT_EQ (temposync::syncBase (Knob::lfoSpeed, 120.0f), 0.125f);
    EXPECT_FLOAT_EQ (temposync::syncBase (Knob::preDelay, 120.0f), 1.953125f);
    EXPECT_FLOAT_EQ (temposync::syncBase (Knob::decay, 120.0f), 0.25f);

    const auto lfo = legalValues (temposync::makeSyncRange (Knob::lfoSpeed, 0.125f));
    EXPECT_EQ (lfo, (std::vector<double> { 0.125, 0.25, 0.5, 1, 2, 4, 8, 16 }));

    const auto preDelay = legalValues (temposync::makeSyncRange (Knob::preDelay, 1.953125f));
    ASSERT_FALSE (preDelay.empty());
    EXPECT_EQ (preDelay.front(), 1.953125);
    EXPECT_EQ (preDelay.back(), 250.0);
    EXPECT_EQ (preDelay.size(), 8u);

    const auto decay = legalValues (temposync::makeSyncRange (Knob::decay, 0.25f));
    EXPECT_EQ (decay, (std::vector<double> { 0.25, 0.5, 1, 2, 4, 8 }));
}

TEST (TempoSync, NoteNamesForExactDoublingsAndNumbersForTheRest)
{
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 0.125), "8 T");
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 2.0), "1/2 T");
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 16.0), "1/16 T");
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 0.4), "0.4 Hz");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 1.953125), "1/256 T");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 250.0), "1/2 T");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 500.0), "T");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 20.0), "20.0 ms");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 2.0), "T");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 8.0), "4T");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 3.0), "3.0 s");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 64.0), "64.0 s"); // beyond the named multiples

    // What a parameter holds for a note, rounded to its own step or by float arithmetic, is still the note.
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 63.0, 1.0), "1/8 T");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 31.0, 1.0), "1/16 T");
    EXPECT_EQ (temposync::textForValue (Knob::preDelay, 1.953125f, 77.0, 1.0), "77.0 ms");
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 0.49999997, 0.02), "2 T");
    EXPECT_EQ (temposync::textForValue (Knob::lfoSpeed, 0.125f, 0.14, 0.02), "0.1 Hz");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 7.9999995, 0.01), "4T");
    EXPECT_EQ (temposync::textForValue (Knob::decay, 0.25f, 7.99, 0.01), "8.0 s");
}

TEST (TempoSync, SnapsToTheNearestDoublingAndTiesGoToTheSmaller)
{
    EXPECT_EQ (temposync::snapToDoubling (0.125f, 20.0, 3.0), 2.0);  // 3 lies between 2 and 4: a tie
    EXPECT_EQ (temposync::snapToDoubling (0.125f, 20.0, 3.01), 4.0);
    EXPECT_EQ (temposync::snapToDoubling (0.125f, 20.0, 0.0), 0.125);
    EXPECT_EQ (temposync::snapToDoubling (0.125f, 20.0, 100.0), 16.0);

    // A base above the end is still the one legal value.
    EXPECT_EQ (temposync::snapToDoubling (40.0f, 20.0, 3.0), 40.0);
}

TEST (TempoSync, SlowOrMissingTempiGiveFiniteRanges)
{
    EXPECT_FLOAT_EQ (temposync::syncBase (Knob::lfoSpeed, 1.0f), 0.1f);
    EXPECT_FLOAT_EQ (temposync::syncBase (Knob::lfoSpeed, 0.0f), 0.1f);

    for (float bpm : { 0.0f, -10.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN() })
        for (auto knob : { Knob::lfoSpeed, Knob::preDelay, Knob::decay })
        {
            const auto base = temposync::syncBase (knob, bpm);
            ASSERT_TRUE (std::isfinite (base) && base > 0.0f) << bpm;
            const auto range = temposync::makeSyncRange (knob, base);

            for (double p : { 0.0, 0.5, 1.0 })
                EXPECT_TRUE (std::isfinite (range.snapToLegalValue (range.convertFrom0to1 (p))));
        }
}

TEST (TempoSync, LogarithmicMappingsMeetTheRangeEnds)
{
    const auto lfo = temposync::makeSyncRange (Knob::lfoSpeed, 0.125f);
    EXPECT_NEAR (lfo.convertFrom0to1 (0.0), 0.1, 1.0e-6);
    EXPECT_NEAR (lfo.convertFrom0to1 (1.0), 20.0, 1.0e-4);
    EXPECT_NEAR (lfo.convertFrom0to1 (0.5), std::sqrt (0.1 * 20.0), 1.0e-4);
    EXPECT_NEAR (lfo.convertTo0to1 (std::sqrt (2.0)), 0.5, 1.0e-5);

    // Pre-delay maps log (value + 1), so 0 ms is reachable.
    const auto preDelay = temposync::makeSyncRange (Knob::preDelay, 1.953125f);
    EXPECT_NEAR (preDelay.convertFrom0to1 (0.5), std::sqrt (1.001 * 301.0) - 1.0, 1.0e-3);
    EXPECT_NEAR (preDelay.convertTo0to1 (300.0), 1.0, 1.0e-5);
}

TEST_F (EditorTest, SyncSwitchesTurnTheirKnobsIntoNoteValuesOfTheHostTempo)
{
    processor.hostBpm = 120.0f;
    auto& e = open();

    e.doubleClick (e.lfoSpeedSlider);
    ASSERT_TRUE (processor.lfoSyncOn);
    EXPECT_EQ (e.lfoSpeedLabel.getText(), "LFO SYNC");
    EXPECT_EQ (e.lfoSpeedLabel.findColour (juce::Label::textColourId), blueLightQuelt);
    EXPECT_EQ (e.lfoSpeedSlider.getTextValueSuffix(), "");

    e.userSetValue (e.lfoSpeedSlider, 0.9);
    EXPECT_EQ (e.lfoSpeedSlider.getValue(), 1.0);
    EXPECT_EQ (e.lfoSpeedSlider.getTextFromValue (e.lfoSpeedSlider.getValue()), "1 T");
    EXPECT_NEAR (parameter ("LfoSpeed"), 1.0f, 0.011f); // in the parameter's own steps of 0.02 Hz

    e.doubleClick (e.preDelaySlider);
    e.userSetValue (e.preDelaySlider, 240.0);
    EXPECT_EQ (e.preDelaySlider.getValue(), 250.0);
    EXPECT_EQ (e.preDelaySlider.getTextFromValue (250.0), "1/2 T");
    EXPECT_EQ (e.preDelayLabel.getText(), "SYNC DELAY");

    // Switching on, or a preset's value, changes nothing the parameter holds, and the knob shows it unsnapped.
    e.doubleClick (e.decaySlider);
    EXPECT_EQ (parameter ("Decay"), 3.0f);
    EXPECT_EQ (e.decaySlider.getValue(), 3.0);
    setParameter ("Decay", 0.9f);
    EXPECT_NEAR (e.decaySlider.getValue(), 0.9, 1.0e-6);
    e.userSetValue (e.decaySlider, 9.5);
    EXPECT_EQ (e.decaySlider.getValue(), 8.0);
    EXPECT_EQ (e.decaySlider.getTextFromValue (8.0), "4T");
    EXPECT_EQ (e.decayLabel.getText(), "SYNC DECAY");

    // A later tempo change does not move the legal values until the switch turns on again.
    processor.hostBpm = 60.0f;
    e.userSetValue (e.decaySlider, 0.3);
    EXPECT_EQ (e.decaySlider.getValue(), 0.25);
}

TEST_F (EditorTest, SwitchingSyncOffGivesAPlainRangeAndTheParameterText)
{
    processor.hostBpm = 120.0f;
    auto& e = open();
    e.doubleClick (e.lfoSpeedSlider);
    e.userSetValue (e.lfoSpeedSlider, 0.13); // "8 T", which the parameter holds in its steps of 0.02 Hz
    e.doubleClick (e.lfoSpeedSlider);

    EXPECT_FALSE (processor.lfoSyncOn);
    EXPECT_EQ (e.lfoSpeedLabel.getText(), "LFO SPEED");
    EXPECT_EQ (e.lfoSpeedLabel.getJustificationType(), juce::Justification::centred);
    EXPECT_NEAR (e.lfoSpeedSlider.getValue(), parameter ("LfoSpeed"), 1.0e-6);

    // The parameter's own skewed range, as a new window has it: a value sits at one angle whatever came before.
    EXPECT_NEAR (e.lfoSpeedSlider.proportionOfLengthToValue (0.5), 3.0, 0.011);
    setParameter ("LfoSpeed", 0.4f);
    const auto toggled = render (e.lfoSpeedSlider);
    EXPECT_EQ (meanDifference (toggled, render (open().lfoSpeedSlider)), 0.0);
    auto& e2 = *editor;
    EXPECT_EQ (e2.lfoSpeedSlider.getTextFromValue (3.0), "3.00 Hz");
    EXPECT_EQ (e2.lfoSpeedSlider.getTextFromValue (0.5), "0.50 Hz");

    e2.doubleClick (e2.decaySlider);
    e2.doubleClick (e2.decaySlider);
    EXPECT_NEAR (e2.decaySlider.proportionOfLengthToValue (0.5), 3.0, 1.0e-4);
    e2.doubleClick (e2.preDelaySlider);
    e2.doubleClick (e2.preDelaySlider);
    EXPECT_NEAR (e2.preDelaySlider.proportionOfLengthToValue (0.5), 75.0, 1.0e-4);
    EXPECT_EQ (e2.preDelaySlider.getInterval(), 1.0);
    EXPECT_EQ (e2.preDelaySlider.getTextFromValue (20.0), "20 ms");
}

TEST_F (EditorTest, AnEditorOpenedWithSyncOnShowsTheSyncedKnobAtTheParameterValue)
{
    setParameter ("DecaySync", 1.0f);
    setParameter ("Decay", 0.9f);
    auto& e = open();
    EXPECT_EQ (e.decayLabel.getText(), "SYNC DECAY");
    EXPECT_EQ (e.decaySlider.getTextFromValue (e.decaySlider.getValue()), "0.9 s");
    EXPECT_EQ (parameter ("Decay"), 0.9f);

    // A snapped note as a saved session holds it, in the parameter's steps of 1 ms, keeps its name.
    setParameter ("PreDelaySync", 1.0f);
    setParameter ("PreDelay", 63.0f);
    EXPECT_EQ (e.preDelaySlider.getTextFromValue (e.preDelaySlider.getValue()), "1/8 T");
    EXPECT_EQ (parameter ("PreDelay"), 63.0f);

    // The switch follows its parameter (a preset, automation).
    setParameter ("DecaySync", 0.0f);
    EXPECT_EQ (e.decayLabel.getText(), "DECAY");
    EXPECT_EQ (e.decaySlider.getTextFromValue (e.decaySlider.getValue()), "0.90 s");
}

TEST_F (EditorTest, EveryKnobShowsItsParameterAfterEachFactoryPresetLoadsOverTheLastOne)
{
    processor.hostBpm = 120.0f;
    auto& e = open();
    const std::pair<juce::Slider*, const char*> knobs[] {
        { &e.preDelaySlider, "PreDelay" }, { &e.decaySlider, "Decay" },   { &e.lfoSpeedSlider, "LfoSpeed" },
        { &e.lfoDepthSlider, "LfoDepth" }, { &e.driveSlider, "Drive" },   { &e.widthSlider, "Width" },
        { &e.lowCutSlider, "LowCut" },     { &e.highCutSlider, "HighCut" }, { &e.freqSlider, "1Freq" },
        { &e.qSlider, "1Q" },              { &e.gainSlider, "1Gain" }
    };

    // Round to the first three again ("Drum Room" over "Nebula Pad", whose knobs follow the tempo).
    auto files = testing_helpers::factoryPresetFiles();
    const auto roundAgain = (std::ptrdiff_t) std::min<size_t> (3, files.size());
    const std::vector<juce::File> again (files.begin(), files.begin() + roundAgain);
    files.insert (files.end(), again.begin(), again.end());

    for (const auto& file : files)
    {
        processor.loadPreset (file);
        dispatch();

        for (const auto& [knob, id] : knobs)
            EXPECT_NEAR (knob->getValue(), parameter (id), 1.0e-4 * (1.0 + std::abs (parameter (id))))
                << id << " after " << file.getFileName();
    }
}
