#include "PreVerbTestHelpers.h"

#include "AllocationCounter.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

using namespace preverb_testing;

//==============================================================================
TEST (PreVerbDelays, LengthsAt48kHzScaleTheTablesInSinglePrecision)
{
    const auto preVerb = makePreVerb (48000.0, 0.0f);

    // The first preparation builds table set 0 (Space).
    EXPECT_EQ (preVerb->combs[0][4].bufferSize, 1547);
    EXPECT_EQ (preVerb->combs[1][4].bufferSize, 1560);
    EXPECT_EQ (preVerb->combs[0][0].bufferSize, 178);
    EXPECT_EQ (preVerb->combs[1][0].bufferSize, 191);
    EXPECT_EQ (preVerb->allPasses[0][0].bufferSize, 822);
    EXPECT_EQ (preVerb->allPasses[1][0].bufferSize, 835);
}

TEST (PreVerbDelays, TableSetFollowsTheTypeOnlyAtTheNextRebuild)
{
    const auto preVerb = makePreVerb (44100.0, 30.0f, 0); // Plate asks for table set 1

    EXPECT_EQ (preVerb->activeMode, 1);
    EXPECT_EQ (preVerb->combs[0][5].bufferSize, 1491) << "still the lengths built at preparation";

    preVerb->applyShimmerSwitch (true);

    // 3130 x 44100 is not exact in single precision and lands one sample short.
    EXPECT_EQ (preVerb->combs[0][5].bufferSize, 3129);
    EXPECT_EQ (preVerb->combs[1][5].bufferSize, 3144);
    EXPECT_EQ (preVerb->combs[0][1].bufferSize, 20);
    EXPECT_EQ (preVerb->allPasses[1][3].bufferSize, 255);

    preVerb->applyTypeSettings (3); // Hall
    preVerb->setEarlyMix (30.0f);
    EXPECT_EQ (preVerb->combs[0][0].bufferSize, 50);

    preVerb->applyShimmerSwitch (false);
    EXPECT_EQ (preVerb->combs[0][0].bufferSize, 3424);
    EXPECT_EQ (preVerb->combs[1][0].bufferSize, 3432);
    EXPECT_EQ (preVerb->allPasses[0][0].bufferSize, 925);
}

class PreVerbRates : public ::testing::TestWithParam<double>
{
};

TEST_P (PreVerbRates, DelaysScaleAndRunWithoutAllocating)
{
    const double rate = GetParam();
    const auto preVerb = makePreVerb (rate, 30.0f, 3);

    EXPECT_NEAR (preVerb->combs[0][0].bufferSize, 164.0 * rate / 44100.0, 1.0);
    EXPECT_NEAR (preVerb->allPasses[1][3].bufferSize, 537.0 * rate / 44100.0, 1.0);

    auto left = noise (2048, 1), right = noise (2048, 2);
    std::vector<float> mono (left);

    const auto memoryAtPreparation = delayMemory (*preVerb);

    {
        AllocationCounter counter;

        for (int type : { 3, 0, 1, 2, 4, 3 })
        {
            preVerb->applyTypeSettings (type);
            preVerb->setEarlyMix (30.0f);
            preVerb->applyShimmerSwitch (! preVerb->shimmer); // rebuilds for this type's table set
            preVerb->processStereo (left.data(), right.data(), (int) left.size());
            preVerb->processMono (mono.data(), (int) mono.size());
        }

        EXPECT_EQ (counter.count(), 0u);
    }

    EXPECT_EQ (delayMemory (*preVerb), memoryAtPreparation);
    EXPECT_TRUE (allFinite (left) && allFinite (right) && allFinite (mono));
}

// The block loop keeps the filters' state in locals and walks the block in runs between wraps; in both forms it
// must give the samples of the filters' own per-sample form, smoothers ramping or not (the level ramps at first).
TEST_P (PreVerbRates, BlockLoopMatchesTheFiltersSampleBySample)
{
    for (const size_t numChannels : { 1u, 2u })
    {
        const auto blockWise = makePreVerb (GetParam(), 70.0f, 1), reference = makePreVerb (GetParam(), 70.0f, 1);
        auto left = noise (8192, 9), right = noise (8192, 10);
        auto expectedLeft = left, expectedRight = right;

        for (int start = 0; start < 8192; start += 1000)
        {
            const int n = std::min (1000, 8192 - start);
            if (numChannels == 2)
                blockWise->processStereo (left.data() + start, right.data() + start, n);
            else
                blockWise->processMono (left.data() + start, n);
        }

        for (size_t i = 0; i < left.size(); ++i)
        {
            auto& p = *reference;
            const float l = expectedLeft[i], r = expectedRight[i];
            const float in = (numChannels == 2 ? l + r : l) * p.inputGain;
            const float d = p.dampingSmoother.getNextValue(), g = p.feedbackSmoother.getNextValue();
            float out[2] {};

            for (size_t c = 0; c < numChannels; ++c)
            {
                for (auto& comb : p.combs[c])
                    out[c] += comb.process (in, d, g);

                for (auto& allPass : p.allPasses[c])
                    out[c] = allPass.process (out[c]);
            }

            const float w1 = p.wetGain1Smoother.getNextValue();
            const float w2 = numChannels == 2 ? p.wetGain2Smoother.getNextValue() : 0.0f;
            expectedLeft[i] = numChannels == 2 ? (out[0] * w1 + l) + out[1] * w2 : l + out[0] * w1;
            expectedRight[i] = (out[1] * w1 + r) + out[0] * w2;
        }

        EXPECT_EQ (left, expectedLeft) << numChannels;

        if (numChannels == 2)
        {
            EXPECT_EQ (right, expectedRight);
        }
    }
}

INSTANTIATE_TEST_SUITE_P (HostRates, PreVerbRates, ::testing::Values (8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0));

TEST (PreVerbDelays, BrokenRatesStillGiveUsableDelays)
{
    for (double rate : { 0.0, 1000.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), 1.0e12 })
    {
        PreVerb preVerb;
        preVerb.prepare (rate);
        preVerb.setEarlyMix (100.0f);

        for (auto& row : preVerb.combs)
            for (auto& comb : row)
                EXPECT_GE (comb.bufferSize, 1) << rate;

        auto left = noise (512, 3), right = noise (512, 4);
        preVerb.processStereo (left.data(), right.data(), 512);
        EXPECT_TRUE (allFinite (left) && allFinite (right)) << rate;
    }
}

//==============================================================================
TEST (PreVerbLevel, ZeroPercentLeavesTheSignalWhileTheFiltersRun)
{
    const auto preVerb = makePreVerb (44100.0, 0.0f);
    settle (*preVerb); // the 2 % of the preparation ramps down to 0

    const auto left = noise (4096, 5), right = noise (4096, 6);
    auto outLeft = left, outRight = right;
    preVerb->processStereo (outLeft.data(), outRight.data(), 4096);

    EXPECT_EQ (outLeft, left);
    EXPECT_EQ (outRight, right);
    EXPECT_FALSE (filtersAreSilent (*preVerb, 0));
    EXPECT_FALSE (filtersAreSilent (*preVerb, 1));
}

TEST (PreVerbLevel, FullLevelAddsOwnReflectionsTimes3_3AndTheOthersTimesMinus0_3)
{
    // The one-channel form runs the left row alone on the same input sum, so it yields the left reflections.
    const auto stereo = makePreVerb (44100.0, 100.0f);
    const auto mono = makePreVerb (44100.0, 100.0f);
    settle (*stereo);
    settle (*mono);

    const auto left = noise (8192, 7), right = noise (8192, 8);
    auto outLeft = left, outRight = right;
    std::vector<float> sum (left.size()), outSum (left.size());

    for (size_t i = 0; i < left.size(); ++i)
        sum[i] = outSum[i] = left[i] + right[i];

    stereo->processStereo (outLeft.data(), outRight.data(), 8192);
    mono->processMono (outSum.data(), 8192);

    double largest = 0.0;

    for (size_t i = 0; i < left.size(); ++i)
    {
        const double reflectionsL = (outSum[i] - sum[i]) / 3.3;
        const double addedL = outLeft[i] - left[i];
        const double addedR = outRight[i] - right[i];
        const double reflectionsR = (addedL + addedR) / 3.0 - reflectionsL; // 3.3 - 0.3 = 3
        largest = std::max (largest, std::abs (reflectionsL));

        EXPECT_NEAR (addedL, 3.3 * reflectionsL - 0.3 * reflectionsR, 1.0e-5) << i;
        EXPECT_NEAR (addedR, 3.3 * reflectionsR - 0.3 * reflectionsL, 1.0e-5) << i;
    }

    EXPECT_GT (largest, 0.01) << "the reflections must be audible at full level";
}

TEST (PreVerbLevel, TypeSettingsReachTheFiltersOnlyWhenTheLevelRefreshesThem)
{
    // 25 % is exact in single precision: an unchanged level returns early and the new type waits.
    auto exact = makePreVerb (44100.0, 25.0f, 0);
    exact->applyTypeSettings (1);
    exact->setEarlyMix (25.0f);
    EXPECT_FLOAT_EQ (exact->dampingSmoother.getTargetValue(), 0.8f * 0.4f);
    EXPECT_FLOAT_EQ (exact->feedbackSmoother.getTargetValue(), 0.09f * 0.28f + 0.7f);

    // 30 % is not, so every call refreshes the targets.
    auto inexact = makePreVerb (44100.0, 30.0f, 0);
    inexact->applyTypeSettings (1);
    EXPECT_FLOAT_EQ (inexact->dampingSmoother.getTargetValue(), 0.8f * 0.4f);
    inexact->setEarlyMix (30.0f);
    EXPECT_FLOAT_EQ (inexact->dampingSmoother.getTargetValue(), 0.9f * 0.4f);
    EXPECT_FLOAT_EQ (inexact->feedbackSmoother.getTargetValue(), 0.05f * 0.28f + 0.7f);
}

TEST (PreVerbLevel, BadLevelsAreHeldOrLimited)
{
    auto preVerb = makePreVerb (44100.0, 40.0f);
    preVerb->setEarlyMix (std::numeric_limits<float>::quiet_NaN());
    preVerb->setEarlyMix (std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ (preVerb->earlyMix, 0.4f);

    preVerb->setEarlyMix (1.0e9f);
    EXPECT_FLOAT_EQ (preVerb->earlyMix, 1.0f);
    preVerb->setEarlyMix (-5.0f);
    EXPECT_FLOAT_EQ (preVerb->earlyMix, 0.0f);
}

//==============================================================================
TEST (PreVerbChannels, OneChannelUsesTheLeftRowOnly)
{
    const auto preVerb = makePreVerb (44100.0, 100.0f, 2);
    auto samples = noise (4096, 11);
    preVerb->processMono (samples.data(), 4096);

    EXPECT_FALSE (filtersAreSilent (*preVerb, 0));
    EXPECT_TRUE (filtersAreSilent (*preVerb, 1));
    EXPECT_TRUE (preVerb->wetGain2Smoother.isSmoothing()) << "the cross gain is not advanced";

    // Blocks of other widths are left alone.
    juce::AudioBuffer<float> three (3, 64);
    three.clear();
    three.setSample (0, 0, 1.0f);
    juce::dsp::AudioBlock<float> block (three);
    preVerb->process (block);
    EXPECT_EQ (three.getSample (0, 0), 1.0f);
    EXPECT_EQ (three.getMagnitude (0, 1, 63), 0.0f);
}

TEST (PreVerbChannels, BlocksBeforePreparationOrOfNoSamplesChangeNothing)
{
    PreVerb unprepared;
    auto samples = noise (256, 12);
    const auto original = samples;
    unprepared.processMono (samples.data(), 256);
    unprepared.processStereo (samples.data(), samples.data(), 256);
    EXPECT_EQ (samples, original);

    const auto preVerb = makePreVerb (44100.0, 50.0f);
    preVerb->processStereo (samples.data(), samples.data(), 0);
    EXPECT_EQ (samples, original);
}

//==============================================================================
TEST (PreVerbRobustness, BadInputSamplesPassWithoutLeavingAnythingBehind)
{
    const auto clean = makePreVerb (44100.0, 60.0f, 4), dirty = makePreVerb (44100.0, 60.0f, 4);
    auto left = noise (4096, 13), right = noise (4096, 14);
    auto dirtyLeft = left, dirtyRight = right;

    // The clean run sees silence where the dirty one sees non-finite values.
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<size_t, float> bad[] = { { 100, std::nanf ("") }, { 700, inf }, { 1500, -inf } };

    for (auto [index, value] : bad)
    {
        dirtyLeft[index] = value;
        left[index] = -right[index];
    }

    clean->processStereo (left.data(), right.data(), 4096);
    dirty->processStereo (dirtyLeft.data(), dirtyRight.data(), 4096);

    for (size_t i = 0; i < left.size(); ++i)
    {
        EXPECT_EQ (dirtyRight[i], right[i]) << i;

        if (i != 100 && i != 700 && i != 1500)
        {
            EXPECT_EQ (dirtyLeft[i], left[i]) << i;
        }
    }
}

TEST (PreVerbRobustness, RecoversAfterItsFeedbackOverflows)
{
    // Near the largest float the frozen combs overflow inside; the next block must start clean.
    const auto preVerb = makePreVerb (44100.0, 100.0f);
    preVerb->applyShimmerSwitch (true);
    std::vector<float> left (4096), right (4096);
    bool overflowed = false;

    for (int block = 0; block < 40; ++block)
    {
        std::fill (left.begin(), left.end(), 3.0e38f);
        std::fill (right.begin(), right.end(), -1.0e38f);
        preVerb->processStereo (left.data(), right.data(), 4096);
        overflowed = overflowed || ! allFinite (right);
    }

    ASSERT_TRUE (overflowed) << "the test no longer drives the filters past the float range";

    for (int block = 0; block < 3; ++block)
    {
        left = noise (4096, 20 + block);
        right = noise (4096, 30 + block);
        preVerb->processStereo (left.data(), right.data(), 4096);

        if (block > 0)
        {
            EXPECT_TRUE (allFinite (left) && allFinite (right)) << block;
        }
    }
}

TEST (PreVerbRobustness, TailsFadeWithoutDenormalsIntoSilence)
{
    // No denormal flushing here: the filters' own rounding must keep their memory out of the subnormal range, and
    // a tail must end in silence rather than in a residue that the rounding holds (Shimmer's feedback is nearest 1).
    for (const bool shimmer : { false, true })
    {
        const auto preVerb = makePreVerb (44100.0, 100.0f, 1);
        if (shimmer)
            preVerb->applyShimmerSwitch (true);
        settle (*preVerb);
        std::vector<float> left (44100, 0.0f), right (44100, 0.0f);
        left[0] = 1.0f;
        int seconds = 0;

        do
        {
            preVerb->processStereo (left.data(), right.data(), 44100);

            for (size_t i = 0; i < left.size(); ++i)
                ASSERT_TRUE (std::fpclassify (left[i]) != FP_SUBNORMAL && std::fpclassify (right[i]) != FP_SUBNORMAL);

            std::fill (left.begin(), left.end(), 0.0f);
            std::fill (right.begin(), right.end(), 0.0f);
        } while (++seconds < 90 && ! (filtersAreSilent (*preVerb, 0) && filtersAreSilent (*preVerb, 1)));

        EXPECT_LT (seconds, shimmer ? 90 : 10) << (shimmer ? "Shimmer" : "normal") << ": the tail never fell silent";
    }
}
