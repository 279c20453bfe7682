#include "AllocationCounter.h"
#include "PreVerbTestHelpers.h"
#include "TestHelpers.h"

#include "engine/ParameterIds.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

using preverb_testing::delayMemory;
using preverb_testing::filtersAreSilent;

TEST (PreVerbInProcessor, ChunksApplyTheTypeTheLevelAndShimmerChanges)
{
    auto processor = makeProcessor();
    useUnitImpulsePair (*processor);
    prepare (*processor, 48000.0, 256);
    auto& preVerb = processor->preVerb;

    // Preparation: the rate's delays and the 2 % level that the first chunk replaces.
    EXPECT_EQ (preVerb.combs[0][4].bufferSize, 1547);
    EXPECT_FLOAT_EQ (preVerb.earlyMix, 0.02f);

    processor->irTypeIndex = 3;
    setParameter (*processor, ids::preVerb, 30.0f);
    juce::AudioBuffer<float> audio (2, 256);
    juce::Random random (3);
    juce::MidiBuffer midi;
    fillNoise (audio, random);
    processor->processBlock (audio, midi);

    EXPECT_FLOAT_EQ (preVerb.earlyMix, 0.3f);
    EXPECT_EQ (preVerb.activeMode, 4);
    EXPECT_FLOAT_EQ (preVerb.roomSize, 0.07f);
    EXPECT_FALSE (preVerb.shimmer);

    // Switching Shimmer on and off rebuilds the delays for the Hall table, in place.
    const auto memory = delayMemory (preVerb);
    size_t allocations = 0;

    for (float shimmer : { 1.0f, 1.0f, 0.0f, 1.0f })
    {
        setParameter (*processor, ids::shimmer, shimmer);
        fillNoise (audio, random);
        AllocationCounter counter;
        processor->processBlock (audio, midi);
        allocations += counter.count();

        EXPECT_EQ (preVerb.shimmer, shimmer >= 0.5f);
        EXPECT_EQ (processor->shimmerOn, shimmer >= 0.5f);
    }

    EXPECT_EQ (allocations, 0u);
    EXPECT_EQ (delayMemory (preVerb), memory);
    EXPECT_EQ (preVerb.combs[0][0].bufferSize, 3726);
    EXPECT_FLOAT_EQ (preVerb.feedbackSmoother.getTargetValue(), 0.98f);
    EXPECT_TRUE (allFiniteAndNormal (audio));
}

TEST (PreVerbInProcessor, AOneChannelOutputFeedsTheLeftRowOnly)
{
    auto processor = makeProcessor (1, 1);
    useUnitImpulsePair (*processor);
    prepare (*processor, 44100.0, 512);
    setParameter (*processor, ids::preVerb, 100.0f);

    juce::AudioBuffer<float> audio (1, 512);
    juce::Random random (4);
    juce::MidiBuffer midi;

    for (int block = 0; block < 8; ++block)
    {
        fillNoise (audio, random);
        processor->processBlock (audio, midi);
    }

    EXPECT_FALSE (filtersAreSilent (processor->preVerb, 0));
    EXPECT_TRUE (filtersAreSilent (processor->preVerb, 1));
}
