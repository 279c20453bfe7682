#include "engine/processor/SectionFade.h"
#include "FilterTestHelpers.h"

#include <gtest/gtest.h>

namespace
{
/** Drives a fade whose section silences its block: with an input of ones the output is 1 - gain, so the gain
    can be read back at every sample. A skipped section leaves the ones alone (gain 0). */
struct SilencingSection
{
    smootheq::SectionFade fade;
    std::vector<float> gains;
    bool lastRan = false;

    void run (int numSamples, bool active, int channels = 2)
    {
        juce::AudioBuffer<float> buffer (channels, numSamples);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (c), 1.0f, numSamples);

        juce::dsp::AudioBlock<float> block (buffer);
        lastRan = fade.begin (block, active);

        if (lastRan)
        {
            block.clear();
            fade.end (block);
        }

        for (int i = 0; i < numSamples; ++i)
            gains.push_back (1.0f - buffer.getSample (channels - 1, i));
    }

    /** The number of samples from `from` until the gain first equals `target` (that sample included). */
    int samplesUntil (float target, size_t from = 0) const
    {
        for (size_t i = from; i < gains.size(); ++i)
            if (gains[i] == target)
                return (int) (i - from + 1);
        return -1;
    }
};
} // namespace

TEST (SectionFade, FirstChunkAfterPreparationTakesTheSwitchWithoutFading)
{
    SilencingSection s;
    s.fade.prepare (44100.0, 64, 2);
    s.run (64, false);
    EXPECT_FALSE (s.lastRan) << "a section that starts off never runs";
    EXPECT_EQ (s.gains.back(), 0.0f);

    s.fade.prepare (44100.0, 64, 2);
    s.run (64, true);
    EXPECT_TRUE (s.lastRan);
    EXPECT_EQ (s.gains[64], 1.0f) << "no fade-in from the state before the preparation";
}

TEST (SectionFade, FullSwingTakesTwentyMilliseconds)
{
    for (const bool turningOff : { true, false })
    {
        SilencingSection at44;
        at44.fade.prepare (44100.0, 100, 2);
        at44.run (100, turningOff);
        at44.gains.clear();

        for (int i = 0; i < 12; ++i)
            at44.run (100, ! turningOff);

        EXPECT_EQ (at44.samplesUntil (turningOff ? 0.0f : 1.0f), 882) << "turning off: " << turningOff;
        EXPECT_NE (at44.gains.front(), turningOff ? 1.0f : 0.0f) << "the first sample already moves one step";

        SilencingSection at48;
        at48.fade.prepare (48000.0, 100, 2);
        at48.run (100, turningOff);
        at48.gains.clear();

        for (int i = 0; i < 12; ++i)
            at48.run (100, ! turningOff);

        // A step of 1/960 in single precision falls just short of 1 after 960 samples.
        EXPECT_EQ (at48.samplesUntil (turningOff ? 0.0f : 1.0f), 961);
    }
}

TEST (SectionFade, SettledOffSectionIsSkippedAndRestartsAtOnce)
{
    SilencingSection s;
    s.fade.prepare (44100.0, 441, 2);
    s.run (441, true);
    s.run (441, false);
    EXPECT_TRUE (s.lastRan) << "still fading out";
    s.run (441, false);
    EXPECT_TRUE (s.lastRan) << "reaches 0 within this chunk";
    s.run (441, false);
    EXPECT_FALSE (s.lastRan) << "off and settled";

    s.run (441, true);
    EXPECT_TRUE (s.lastRan) << "turning on runs the section from the first chunk";
    EXPECT_GT (s.gains[441 * 4], 0.0f);
    EXPECT_LT (s.gains[441 * 4], 0.01f);
}

TEST (SectionFade, ReversalHalfwayContinuesFromTheGainReached)
{
    SilencingSection s;
    s.fade.prepare (44100.0, 147, 2);
    s.run (147, true);

    for (int i = 0; i < 3; ++i)
        s.run (147, false);

    const float reached = s.gains.back();
    EXPECT_NEAR (reached, 1.0f - 441.0f / 882.0f, 1.0e-4f);

    s.run (147, true);
    EXPECT_NEAR (s.gains[147 * 4], reached + 1.0f / 882.0f, 1.0e-5f) << "no jump at the reversal";

    for (size_t i = 1; i < s.gains.size(); ++i)
        EXPECT_LE (std::abs (s.gains[i] - s.gains[i - 1]), 1.0f / 882.0f + 1.0e-6f) << "at sample " << i;

    for (int i = 0; i < 3; ++i)
        s.run (147, true);

    EXPECT_EQ (s.samplesUntil (1.0f, 147 * 4), 441) << "back up from halfway in half the time";
}

TEST (SectionFade, OutputStaysContinuousAcrossChunkBoundariesDuringAFade)
{
    smootheq::SectionFade fade;
    fade.prepare (48000.0, 100, 2);
    testing_helpers::StepMeter meter;
    int64_t phase = 0;
    bool active = true;

    // The section turns its input down by 12 dB; the fade must blend the two levels sample by sample, chunk
    // boundaries included, through on/off toggles that land at odd places.
    for (int chunk = 0; chunk < 60; ++chunk)
    {
        if (chunk == 5 || chunk == 12 || chunk == 30 || chunk == 33)
            active = ! active;

        const int length = 37 + (chunk * 13) % 64;
        juce::AudioBuffer<float> buffer (2, length);
        testing_helpers::fillSine (buffer, 440.0, 48000.0, phase);
        juce::dsp::AudioBlock<float> block (buffer);

        if (fade.begin (block, active))
        {
            block.multiplyBy (0.25f);
            fade.end (block);
        }

        meter.add (buffer.getReadPointer (0), length);
    }

    EXPECT_TRUE (meter.looksSmooth (440.0, 48000.0, 1.05f)) << "largest step " << meter.largestStep;
}

TEST (SectionFade, ChunkLongerThanPreparedSwitchesAtOnce)
{
    SilencingSection s;
    s.fade.prepare (44100.0, 64, 2);
    s.run (64, true);
    s.run (128, false);
    EXPECT_TRUE (s.lastRan) << "the section still runs this chunk, unblended";
    EXPECT_EQ (s.gains[64], 1.0f);
    EXPECT_EQ (s.gains.back(), 1.0f);
    EXPECT_EQ (s.fade.getGain(), 0.0f);
    s.run (64, false);
    EXPECT_FALSE (s.lastRan);

    // Never prepared: nothing to copy into, every change is a hard switch and nothing breaks.
    SilencingSection unprepared;
    unprepared.run (32, true);
    unprepared.run (32, false);
    EXPECT_EQ (unprepared.fade.getGain(), 0.0f);
    unprepared.run (0, true);
    unprepared.run (32, true);
    EXPECT_TRUE (unprepared.lastRan);
}
