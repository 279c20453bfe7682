#include "AllocationCounter.h"
#include "PreVerbTestHelpers.h"
#include "TestHelpers.h"

#include "engine/parameters/ParameterIds.h"

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

    // Switching Shimmer on and off rebuilds the delays for the Hall table, in place, once the early reverb has
    // faded out (20 ms, under five chunks of 256 at 48 kHz).
    const auto memory = delayMemory (preVerb);
    size_t allocations = 0;

    for (float shimmer : { 1.0f, 1.0f, 0.0f, 1.0f })
    {
        setParameter (*processor, ids::shimmer, shimmer);

        for (int chunk = 0; chunk < 6; ++chunk)
        {
            fillNoise (audio, random);
            AllocationCounter counter;
            processor->processBlock (audio, midi);
            allocations += counter.count();
        }

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

TEST (PreVerbInProcessor, AShimmerSwitchFadesTheEarlyReverbOutAndInWithoutAJump)
{
    auto processor = makeProcessor();
    useUnitImpulsePair (*processor);
    setParameter (*processor, ids::preVerb, 60.0f);
    setParameter (*processor, "Mix", 100.0f);
    prepareForRender (*processor, 44100.0, 256);

    // A loud tone with the early reverb well built up, then Shimmer on, then off again.
    juce::AudioBuffer<float> audio (2, 44100 * 2);
    for (int i = 0; i < audio.getNumSamples(); ++i)
        for (int c = 0; c < 2; ++c)
            audio.setSample (c, i, 0.8f * std::sin (0.05f * (float) i));

    const int third = audio.getNumSamples() / 3;
    juce::AudioBuffer<float> parts[] { { audio.getArrayOfWritePointers(), 2, 0, third },
                                       { audio.getArrayOfWritePointers(), 2, third, third },
                                       { audio.getArrayOfWritePointers(), 2, 2 * third, audio.getNumSamples() - 2 * third } };
    processInBlocks (*processor, parts[0], 256);
    setParameter (*processor, ids::shimmer, 1.0f);
    processInBlocks (*processor, parts[1], 256);
    EXPECT_TRUE (processor->shimmerOn);
    setParameter (*processor, ids::shimmer, 0.0f);
    processInBlocks (*processor, parts[2], 256);
    EXPECT_FALSE (processor->shimmerOn);

    // The tone itself moves by at most 0.04 per sample; a cleared reverb switched in at once would jump far more.
    for (int c = 0; c < 2; ++c)
        EXPECT_LT (largestStep (audio, c, 8000), 0.1f) << c;
}
