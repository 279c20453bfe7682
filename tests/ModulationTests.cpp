#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
class ModulationStage : public ::testing::Test
{
protected:
    void prepare (double rate)
    {
        sampleRate = rate;
        processor->prepareModulation (rate);
    }

    /** Runs the stage over [start, start + length) of the buffer in chunks of `chunk` samples. */
    void run (juce::AudioBuffer<float>& buffer, float speed, float depth, int chunk = 512, int start = 0, int length = -1)
    {
        const int end = length < 0 ? buffer.getNumSamples() : start + length;

        for (int s = start; s < end; s += chunk)
        {
            auto block = juce::dsp::AudioBlock<float> (buffer).getSubBlock ((size_t) s, (size_t) std::min (chunk, end - s));
            processor->processModulation (block, speed, depth);
        }
    }

    /** Lets rate and depth glide in from the preparation on silence. */
    void settle (float speed, float depth, double seconds = 1.1, int channels = 2)
    {
        juce::AudioBuffer<float> silence (channels, (int) (seconds * sampleRate));
        silence.clear();
        run (silence, speed, depth);
    }

    std::unique_ptr<VellumarProcessor> processor = testing_helpers::makeProcessor();
    double sampleRate = 44100.0;
};
} // namespace

//==============================================================================
TEST_F (ModulationStage, DepthZeroVibratoIsAPlainDelayOfFiveMillisecondsAndThreeSamples)
{
    // 44.1 kHz: 223.5 samples, shared by two neighbours; 48 kHz: exactly 243 samples.
    for (const double rate : { 44100.0, 48000.0 })
    {
        prepare (rate);
        juce::AudioBuffer<float> buffer (2, 1000);
        buffer.clear();
        buffer.setSample (0, 10, 1.0f);
        buffer.setSample (1, 10, -1.0f);
        run (buffer, 3.0f, 0.0f, 97);

        for (int c = 0; c < 2; ++c)
        {
            const float sign = c == 0 ? 1.0f : -1.0f;
            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                float expected = 0.0f;
                if (rate == 44100.0 && (i == 233 || i == 234))
                    expected = 0.5f * sign;
                if (rate == 48000.0 && i == 253)
                    expected = sign;
                ASSERT_FLOAT_EQ (buffer.getSample (c, i), expected) << rate << " Hz, channel " << c << ", sample " << i;
            }
        }
    }
}

TEST_F (ModulationStage, TremoloTakesItsFirstSwitchAtOnceAndIsTransparentAtDepthZero)
{
    prepare (44100.0);
    processor->tremoloOn = true;
    juce::AudioBuffer<float> buffer (2, 5000), original;
    juce::Random random (3);
    testing_helpers::fillNoise (buffer, random);
    original.makeCopyOf (buffer);
    run (buffer, 7.0f, 0.0f, 300);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i));
}

TEST_F (ModulationStage, FullDepthTremoloGainFollowsTheRaisedSine)
{
    prepare (44100.0);
    processor->tremoloOn = true;
    settle (2.0f, 100.0f);

    juce::AudioBuffer<float> buffer (2, 64);
    float lowest = 1.0f, highest = 0.0f;

    for (int chunk = 0; chunk < 400; ++chunk) // a little over one LFO cycle
    {
        const double phase = processor->lfoPhase;
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (c), 1.0f, 64);
        run (buffer, 2.0f, 100.0f, 64);

        for (int i = 0; i < 64; ++i)
        {
            const double expected = 0.5 + 0.5 * std::sin (juce::MathConstants<double>::twoPi * (phase + i * 2.0 / 44100.0));
            ASSERT_NEAR (buffer.getSample (0, i), expected, 1.0e-4);
            ASSERT_EQ (buffer.getSample (1, i), buffer.getSample (0, i));
            lowest = std::min (lowest, buffer.getSample (0, i));
            highest = std::max (highest, buffer.getSample (0, i));
        }
    }

    EXPECT_LT (lowest, 1.0e-4f);
    EXPECT_GT (highest, 0.9999f);
}

TEST_F (ModulationStage, SlowDeepVibratoSwingsPastTheWritePositionAndWraps)
{
    // At 0.4 Hz the depth scale is 8: D = 441 (0.5 + 2 sin) swings from -661.5 to 1102.5 samples. A ramp input
    // reveals the effective delay of every output sample; negative D reads wrap to the far end of the line.
    prepare (44100.0);
    const int length = processor->vibratoLength;
    const int total = (int) (1.1 * 44100) + 2 * 44100 + 44100 / 2;
    juce::AudioBuffer<float> buffer (2, total);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < total; ++i)
            buffer.setSample (c, i, (float) i);

    const int settled = (int) (1.1 * 44100) / 64 * 64;
    run (buffer, 0.4f, 100.0f, 64, 0, settled);
    double longest = 0.0, shortestWrapped = length;

    for (int start = settled; start + 64 <= total; start += 64)
    {
        const double phase = processor->lfoPhase;
        run (buffer, 0.4f, 100.0f, 64, start, 64);

        for (int i = 0; i < 64; ++i)
        {
            const double sine = std::sin (juce::MathConstants<double>::twoPi * (phase + i * (double) (0.4f / 44100.0f)));
            const double expected = std::fmod (441.0 * (0.5 + 2.0 * sine) + 3.0 + length, (double) length);
            const double measured = (start + i) - (double) buffer.getSample (0, i + start);

            if (expected < 1.5) // interpolating between the newest and the oldest sample of the line
                continue;

            ASSERT_NEAR (measured, expected, 0.05) << "sample " << start + i;
            if (expected < 1300.0)
                longest = std::max (longest, measured);
            else
                shortestWrapped = std::min (shortestWrapped, measured);
        }
    }

    EXPECT_NEAR (longest, 0.025 * 44100 + 3, 0.1);
    EXPECT_NEAR (shortestWrapped, length - 0.015 * 44100 + 3, 0.1);
}

TEST_F (ModulationStage, RateGlidesOverOneSecondAfterPreparationWithTheScaleFollowingAtOnce)
{
    prepare (44100.0);
    juce::AudioBuffer<float> buffer (2, 441);
    const auto& rate = processor->lfoSmoothers[0][0];

    for (int chunk = 0; chunk < 100; ++chunk)
    {
        buffer.clear();
        run (buffer, 5.0f, 50.0f, 441);
        EXPECT_TRUE (processor->rateSettling);
        EXPECT_NEAR (rate.getCurrentValue(), 5.0f * (chunk + 1) / 100.0f, 5.0e-3f);
        EXPECT_FALSE (processor->scaleSmoothers[0].isSmoothing());
    }

    EXPECT_EQ (rate.getCurrentValue(), 5.0f);
    EXPECT_EQ (processor->scaleSmoothers[0].getCurrentValue(), 0.2f);
    run (buffer, 5.0f, 50.0f, 441);
    EXPECT_FALSE (processor->rateSettling);

    // A later preparation does not restart the glide from 0: the next chunk turns it back to the knob value.
    prepare (48000.0);
    run (buffer, 5.0f, 50.0f, 441);
    EXPECT_NEAR (rate.getCurrentValue(), 5.0f, 1.0e-4f);
    EXPECT_NEAR (processor->lfoSmoothers[1][1].getCurrentValue(), 50.0f, 1.0e-3f);
}

TEST_F (ModulationStage, RateChangeStepsTheDepthScaleThroughEveryBandWithFiftyMillisecondRamps)
{
    prepare (44100.0);
    settle (0.4f, 100.0f);
    ASSERT_FALSE (processor->rateSettling);
    ASSERT_EQ (processor->scaleSmoothers[0].getCurrentValue(), 8.0f);

    juce::AudioBuffer<float> buffer (2, 32);
    std::vector<float> targets { 8.0f };
    float previous = 8.0f, largestStep = 0.0f;

    for (int chunk = 0; chunk < 44100 / 32 + 100; ++chunk)
    {
        buffer.clear();
        run (buffer, 5.0f, 100.0f, 32);
        const auto& scale = processor->scaleSmoothers[0];
        if (scale.getTargetValue() != targets.back())
            targets.push_back (scale.getTargetValue());
        largestStep = std::max (largestStep, std::abs (scale.getCurrentValue() - previous));
        previous = scale.getCurrentValue();

        if (chunk == 44100 / 64)
        {
            EXPECT_NEAR (processor->lfoSmoothers[0][0].getCurrentValue(), 0.4f + 4.6f * (chunk + 1) * 32 / 44100.0f, 1.0e-3f);
        }
    }

    EXPECT_EQ (targets, (std::vector<float> { 8.0f, 4.0f, 1.0f, 0.3f, 0.2f }));
    EXPECT_LE (largestStep, 32.0f * 4.0f / 2205.0f + 1.0e-4f);
    EXPECT_EQ (previous, 0.2f);
    EXPECT_EQ (processor->scaleSmoothers[1].getCurrentValue(), 0.2f);
}

TEST_F (ModulationStage, ModeSwitchCrossfadesOverTwentyMillisecondsAndReversesMidway)
{
    // At depth 0 vibrato is the input delayed by exactly 243 samples at 48 kHz and tremolo the input itself, so the
    // crossfade can be checked sample by sample: g rises by 1/960 per sample, carried across chunks of 100.
    prepare (48000.0);
    juce::AudioBuffer<float> buffer (2, 4000), input;
    juce::Random random (5);
    testing_helpers::fillNoise (buffer, random);
    input.makeCopyOf (buffer);

    run (buffer, 2.0f, 0.0f, 100, 0, 1000);
    processor->tremoloOn = true;
    run (buffer, 2.0f, 0.0f, 100, 1000, 300);
    processor->tremoloOn = false;
    run (buffer, 2.0f, 0.0f, 100, 1300, 2700);

    for (int i = 1000; i < 4000; ++i)
    {
        const double g = i < 1300 ? std::min (1.0, (i - 999) / 960.0) : std::max (0.0, (300 - (i - 1299)) / 960.0);
        for (int c = 0; c < 2; ++c)
        {
            const double expected = input.getSample (c, i - 243) * (1.0 - g) + input.getSample (c, i) * g;
            ASSERT_NEAR (buffer.getSample (c, i), expected, 1.0e-5) << "sample " << i;
        }
    }
}

TEST_F (ModulationStage, SwitchingTremoloWhileASinePlaysMakesNoClick)
{
    prepare (44100.0);
    settle (5.0f, 60.0f);
    juce::AudioBuffer<float> buffer (2, 2 * 44100);
    int64_t phase = 0;
    testing_helpers::fillSine (buffer, 440.0, 44100.0, phase);

    for (int start = 0, chunk = 0; start < buffer.getNumSamples(); start += 256, ++chunk)
    {
        processor->tremoloOn = (chunk / 7) % 2 == 1;
        run (buffer, 5.0f, 60.0f, 256, start, std::min (256, buffer.getNumSamples() - start));
    }

    // A sine of 0.5 at 440 Hz moves by at most 0.031 per sample; a hard switch between the delayed and the direct
    // signal would jump by up to 1.
    EXPECT_LT (testing_helpers::largestStep (buffer, 0), 0.04f);
}

TEST_F (ModulationStage, MonoChunksAdvanceChannelZerosSmoothersOnly)
{
    prepare (44100.0);
    settle (0.4f, 100.0f, 1.1, 1);
    EXPECT_EQ (processor->lfoSmoothers[1][0].getCurrentValue(), 0.0f);
    EXPECT_TRUE (processor->lfoSmoothers[1][0].isSmoothing());

    // The second rate smoother never moves, but the glide in is over once channel 0's has settled: a later rate
    // change ramps the depth scale instead of jumping it.
    EXPECT_FALSE (processor->rateSettling);
    juce::AudioBuffer<float> buffer (1, 32);
    float previous = processor->scaleSmoothers[0].getCurrentValue(), largest = 0.0f;
    for (int chunk = 0; chunk < 44100 / 32; ++chunk)
    {
        buffer.clear();
        run (buffer, 5.0f, 100.0f, 32);
        largest = std::max (largest, std::abs (processor->scaleSmoothers[0].getCurrentValue() - previous));
        previous = processor->scaleSmoothers[0].getCurrentValue();
    }
    EXPECT_NE (previous, 8.0f); // the rate crossed the scale's steps...
    EXPECT_LT (largest, 0.5f);  // ...and the scale ramped across them (a jump would be 1 or more)
}

TEST_F (ModulationStage, NonFiniteInputLeavesTheLineOnceItHasPassedThrough)
{
    prepare (44100.0);
    const int length = processor->vibratoLength;
    juce::AudioBuffer<float> buffer (2, 12000);
    juce::Random random (9);
    testing_helpers::fillNoise (buffer, random);
    const float bad[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity() };
    for (int i = 2000; i < 2300; ++i)
        for (int c = 0; c < 2; ++c)
            buffer.setSample (c, i, bad[i % 3]);

    // Vibrato until the burst has passed the line, then tremolo for a while and back to vibrato.
    run (buffer, 0.3f, 100.0f, 128, 0, 8000);
    processor->tremoloOn = true;
    run (buffer, 0.3f, 100.0f, 128, 8000, 2000);
    processor->tremoloOn = false;
    run (buffer, 0.3f, 100.0f, 128, 10000, 2000);

    juce::AudioBuffer<float> after (buffer.getArrayOfWritePointers(), 2, 2300 + length, 12000 - 2300 - length);
    EXPECT_TRUE (testing_helpers::allFiniteAndNormal (after));
}

TEST_F (ModulationStage, OutOfRangeOrNonFiniteSettingsStayInsideTheLine)
{
    juce::AudioBuffer<float> buffer (2, 256), original;
    juce::Random random (11);
    testing_helpers::fillNoise (buffer, random);
    original.makeCopyOf (buffer);
    run (buffer, 5.0f, 50.0f);
    EXPECT_EQ (buffer.getSample (0, 100), original.getSample (0, 100)); // not prepared: passes unchanged

    prepare (44100.0);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::pair<float, float> settings[] = { { nan, nan }, { inf, -inf }, { -10.0f, 1.0e6f }, { 1.0e9f, 1.0e6f }, { 0.0f, -5.0f } };

    for (int round = 0; round < 200; ++round)
    {
        testing_helpers::fillNoise (buffer, random);
        processor->tremoloOn = round % 20 > 12;
        const auto [speed, depth] = settings[round % 5];
        run (buffer, speed, depth, 256);
        ASSERT_TRUE (testing_helpers::allFiniteAndNormal (buffer));
        ASSERT_LE (buffer.getMagnitude (0, buffer.getNumSamples()), 0.5f + 1.0e-6f);
        ASSERT_TRUE (processor->lfoPhase >= 0.0f && processor->lfoPhase < 1.0f);
    }
}

//==============================================================================
class ModulationAtRate : public ModulationStage, public ::testing::WithParamInterface<std::pair<double, int>>
{
};

TEST_P (ModulationAtRate, SizesTheLineAndSurvivesAutomationJumpingBetweenRangeEnds)
{
    const auto [rate, expectedLength] = GetParam();
    prepare (rate);
    EXPECT_EQ (processor->vibratoLength, expectedLength);
    EXPECT_EQ (processor->vibratoBuffer.getNumChannels(), 2);
    EXPECT_EQ (processor->vibratoBuffer.getNumSamples(), expectedLength);

    // The depth-0 vibrato delay (its impulse response's centre) is 5 ms plus 3 samples at every rate.
    juce::AudioBuffer<float> buffer (2, expectedLength);
    buffer.clear();
    buffer.setSample (0, 0, 1.0f);
    run (buffer, 1.0f, 0.0f);
    double sum = 0.0, weighted = 0.0;
    for (int i = 0; i < expectedLength; ++i)
    {
        sum += buffer.getSample (0, i);
        weighted += i * (double) buffer.getSample (0, i);
    }
    EXPECT_NEAR (sum, 1.0, 1.0e-6);
    EXPECT_NEAR (weighted / sum, 0.005 * rate + 3.0, 1.0e-3);

    // Every block flips rate and depth between their range ends and the mode now and then; the stage only ever
    // delays and attenuates, so nothing may grow beyond the input's peak.
    juce::Random random (17);
    juce::AudioBuffer<float> noise (2, 700);
    for (int round = 0; round < 1500; ++round)
    {
        const int n = 1 + random.nextInt (700);
        juce::AudioBuffer<float> block (noise.getArrayOfWritePointers(), 2, n);
        testing_helpers::fillNoise (block, random, 0.9f);
        processor->tremoloOn = (round / 3) % 2 == 0;
        run (block, round % 2 == 0 ? 0.1f : 20.0f, round % 3 == 0 ? 0.0f : 100.0f, n);
        ASSERT_TRUE (testing_helpers::allFiniteAndNormal (block));
        ASSERT_LE (block.getMagnitude (0, n), 0.9f + 1.0e-6f);
    }
}

INSTANTIATE_TEST_SUITE_P (Rates, ModulationAtRate,
                          ::testing::Values (std::make_pair (8000.0, 403), std::make_pair (44100.0, 2208),
                                             std::make_pair (48000.0, 2403), std::make_pair (96000.0, 4803),
                                             std::make_pair (384000.0, 19203)));
