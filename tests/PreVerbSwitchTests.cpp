#include "PreVerbTestHelpers.h"

#include <gtest/gtest.h>

using namespace preverb_testing;

//==============================================================================
TEST (PreVerbShimmer, SwitchingOnClearsTheTailAndFreezesTheCombs)
{
    const auto preVerb = makePreVerb (44100.0, 100.0f, 0);
    settle (*preVerb);

    auto left = noise (2048, 9), right = noise (2048, 10);
    preVerb->processStereo (left.data(), right.data(), 2048);
    ASSERT_FALSE (filtersAreSilent (*preVerb, 0));

    preVerb->applyShimmerSwitch (true);

    EXPECT_TRUE (filtersAreSilent (*preVerb, 0) && filtersAreSilent (*preVerb, 1));
    EXPECT_FLOAT_EQ (preVerb->feedbackSmoother.getCurrentValue(), 0.98f);
    EXPECT_FLOAT_EQ (preVerb->dampingSmoother.getCurrentValue(), 0.04f);
    EXPECT_FALSE (preVerb->feedbackSmoother.isSmoothing());
    EXPECT_FLOAT_EQ (preVerb->inputGain, 0.007f);
}

TEST (PreVerbShimmer, GivesAMuchLongerTailThanTheNormalSetting)
{
    const auto tailLevel = [] (bool shimmer)
    {
        auto preVerb = makePreVerb (44100.0, 100.0f, 0);

        if (shimmer)
            preVerb->applyShimmerSwitch (true);

        settle (*preVerb);
        std::vector<float> left (44100, 0.0f), right (44100, 0.0f);
        left[0] = right[0] = 1.0f;
        preVerb->processStereo (left.data(), right.data(), 44100);

        double energy = 0.0;

        for (size_t i = 39690; i < left.size(); ++i) // the last 0.1 s of the first second
            energy += (double) left[i] * left[i];

        return std::sqrt (energy / 4410.0);
    };

    const double normal = tailLevel (false);
    const double frozen = tailLevel (true);
    EXPECT_GT (frozen, 1.0e-4);
    EXPECT_GT (frozen, 100.0 * normal);
}

TEST (PreVerbShimmer, SwitchingOffRestoresTheSavedSettingsWhichTheTypeThenOverrides)
{
    // At an exact level the saved values are the ones from before Shimmer.
    auto preVerb = makePreVerb (44100.0, 50.0f, 0);
    preVerb->applyShimmerSwitch (true);
    EXPECT_FLOAT_EQ (preVerb->roomSize, 1.0f);
    EXPECT_FLOAT_EQ (preVerb->damping, 0.1f);

    preVerb->applyTypeSettings (3); // Hall while Shimmer: only the table set follows
    preVerb->setEarlyMix (50.0f);
    EXPECT_FLOAT_EQ (preVerb->roomSize, 1.0f);
    EXPECT_EQ (preVerb->mode, 4);

    preVerb->applyShimmerSwitch (false);
    EXPECT_FLOAT_EQ (preVerb->roomSize, 0.09f);
    EXPECT_FLOAT_EQ (preVerb->damping, 0.8f);
    EXPECT_FLOAT_EQ (preVerb->inputGain, 0.015f);
    EXPECT_FLOAT_EQ (preVerb->feedbackSmoother.getCurrentValue(), 0.09f * 0.28f + 0.7f);
    EXPECT_EQ (preVerb->combs[0][0].bufferSize, 3424);

    preVerb->applyTypeSettings (3);
    EXPECT_FLOAT_EQ (preVerb->roomSize, 0.07f);
    EXPECT_FLOAT_EQ (preVerb->damping, 1.0f);

    // A level refreshed while Shimmer is on (every chunk at 30 %, or an exact new level) must not save Shimmer's
    // own values: switching off would bring its endless feedback back.
    for (const float level : { 30.0f, 50.0f })
    {
        auto refreshed = makePreVerb (44100.0, 30.0f, 0);
        const float roomBefore = refreshed->roomSize, dampingBefore = refreshed->damping;
        refreshed->applyShimmerSwitch (true);
        refreshed->setEarlyMix (level);
        refreshed->applyShimmerSwitch (false);
        EXPECT_FLOAT_EQ (refreshed->roomSize, roomBefore) << level;
        EXPECT_FLOAT_EQ (refreshed->damping, dampingBefore) << level;
        EXPECT_LT (refreshed->feedbackSmoother.getTargetValue(), 0.98f) << level;
    }
}

//==============================================================================
namespace
{
/** Runs the same sine through two early reverbs; `change` is applied to the second one at sample 8192 and
    `keep` to the first. Returns the difference of their left outputs. */
template <typename Change, typename Keep>
std::vector<float> differenceAfterChange (Change change, Keep keep, std::vector<float>& reflections)
{
    auto a = makePreVerb (44100.0, 30.0f, 1), b = makePreVerb (44100.0, 30.0f, 1);
    const int blockSize = 512, numSamples = 8192 * 2;
    std::vector<float> difference ((size_t) numSamples);
    reflections.assign ((size_t) numSamples, 0.0f);

    for (int start = 0; start < numSamples; start += blockSize)
    {
        if (start == 8192)
        {
            keep (*a);
            change (*b);
        }

        float la[blockSize], ra[blockSize], lb[blockSize], rb[blockSize];

        for (int i = 0; i < blockSize; ++i)
        {
            const float x = 0.5f * std::sin (0.0627f * (float) (start + i));
            la[i] = lb[i] = x;
            ra[i] = rb[i] = 0.8f * x;
        }

        a->processStereo (la, ra, blockSize);
        b->processStereo (lb, rb, blockSize);

        for (int i = 0; i < blockSize; ++i)
        {
            difference[(size_t) (start + i)] = lb[i] - la[i];
            reflections[(size_t) (start + i)] = la[i] - 0.5f * std::sin (0.0627f * (float) (start + i));
        }
    }

    return difference;
}
} // namespace

TEST (PreVerbContinuity, ATypeChangeGlidesIntoTheNewReflections)
{
    const auto keep = [] (PreVerb& p) { p.applyTypeSettings (0); p.setEarlyMix (30.0f); };
    const auto glide = [] (PreVerb& p) { p.applyTypeSettings (4); p.setEarlyMix (30.0f); };
    const auto jump = [glide] (PreVerb& p)
    {
        glide (p);
        p.dampingSmoother.setCurrentAndTargetValue (p.dampingSmoother.getTargetValue());
        p.feedbackSmoother.setCurrentAndTargetValue (p.feedbackSmoother.getTargetValue());
    };

    std::vector<float> reflections;
    const auto glided = differenceAfterChange (glide, keep, reflections);
    const auto jumped = differenceAfterChange (jump, keep, reflections);

    EXPECT_EQ (largestStep (glided, 1, 8193), 0.0f);
    EXPECT_LT (largestStep (glided, 8192, glided.size()), 0.01f);

    // 10 ms after the change the reflections have moved only a little of the way.
    const auto energy = [] (const std::vector<float>& d)
    {
        double sum = 0.0;
        for (size_t i = 8192; i < 8192 + 441; ++i)
            sum += (double) d[i] * d[i];
        return sum;
    };

    EXPECT_GT (energy (jumped), 0.0);
    EXPECT_LT (energy (glided), 0.1 * energy (jumped));
}

TEST (PreVerbContinuity, AShimmerSwitchCutsTheTailWithoutASpike)
{
    std::vector<float> reflections;
    const auto difference = differenceAfterChange ([] (PreVerb& p) { p.applyShimmerSwitch (true); },
                                                   [] (PreVerb&) {},
                                                   reflections);

    float peak = 0.0f;

    for (size_t i = 0; i < 8192; ++i)
        peak = std::max (peak, std::abs (reflections[i]));

    ASSERT_GT (peak, 0.01f);
    EXPECT_TRUE (allFinite (difference));
    EXPECT_LE (largestStep (difference, 8192, difference.size()), peak + 0.05f);
}

