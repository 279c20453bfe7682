#include "AllocationCounter.h"
#include "TestHelpers.h"
#include "engine/parameters/ParameterIds.h"

#include <gtest/gtest.h>

TEST (ModulationInProcessor, SwitchFieldsFollowTheirParametersAndBlocksStayAllocationFree)
{
    for (const double rate : { 8000.0, 44100.0, 384000.0 })
    {
        auto processor = testing_helpers::makeProcessor();
        testing_helpers::prepare (*processor, rate, 512);
        EXPECT_EQ (processor->vibratoLength, (int) ((float) rate * 0.05f) + 3);
        testing_helpers::setParameter (*processor, ids::mix, 100.0f);
        testing_helpers::setParameter (*processor, ids::lfoDepth, 100.0f);

        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (19);

        for (int round = 0; round < 40; ++round)
        {
            const bool tremolo = round % 4 >= 2, sync = round % 3 == 0;
            testing_helpers::setParameter (*processor, ids::tremolo, tremolo ? 1.0f : 0.0f);
            testing_helpers::setParameter (*processor, ids::lfoSync, sync ? 1.0f : 0.0f);
            testing_helpers::setParameter (*processor, ids::lfoSpeed, round % 2 == 0 ? 0.1f : 20.0f);
            testing_helpers::fillNoise (buffer, random);
            {
                AllocationCounter counter;
                processor->processBlock (buffer, midi);
                ASSERT_EQ (counter.count(), 0u);
            }
            ASSERT_EQ (processor->tremoloOn, tremolo);
            ASSERT_EQ (processor->lfoSyncOn, sync);
            ASSERT_TRUE (testing_helpers::allFiniteAndNormal (buffer));
        }
    }
}

TEST (ModulationInProcessor, WithTremoloOffTheWetPathLagsAFurtherFiveMillisecondsAndThreeSamples)
{
    using namespace testing_helpers;
    auto processor = makeProcessor();
    useUnitImpulsePair (*processor);
    setPlainWetPath (*processor);
    setParameter (*processor, ids::tremolo, 0.0f); // the vibrato, whose fixed delay is what this measures
    prepareForRender (*processor, 44100.0, 256);
    makeDriveLinear (*processor);

    juce::AudioBuffer<float> audio (2, 4096);
    audio.clear();
    audio.setSample (0, 100, 1.0f);
    audio.setSample (1, 100, 1.0f);
    processInBlocks (*processor, audio, 256);

    // 223.5 samples at 44.1 kHz: the impulse is shared between two neighbours.
    for (int c = 0; c < 2; ++c)
    {
        EXPECT_NEAR (audio.getSample (c, 100 + engineLatency + 223), 0.5f * unitPairGain, 1.0e-4f);
        EXPECT_NEAR (audio.getSample (c, 100 + engineLatency + 224), 0.5f * unitPairGain, 1.0e-4f);
        EXPECT_NEAR (audio.getMagnitude (c, 0, 100 + engineLatency + 223), 0.0f, 1.0e-5f);
    }
}
