#include "TestHelpers.h"

#include "engine/parameters/ParameterIds.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testing_helpers;

namespace
{
// A processor whose engines hold unit impulses, whose modulation is transparent and whose drive is linear, so
// the wet path is the input scaled by `unitPairGain` and delayed 1024 samples. The equaliser is off, since its
// input cuts would shape the test signals (its own tests cover it).
// `beforePreparing` sets what must hold from the first chunk on.
std::unique_ptr<VellumarProcessor> transparentProcessor (int inputs = 2, int outputs = 2, int keys = 0, double rate = 44100.0,
                                                         int block = 256, std::function<void (VellumarProcessor&)> beforePreparing = {})
{
    auto processor = makeProcessor (inputs, outputs, keys);
    useUnitImpulsePair (*processor);
    setPlainWetPath (*processor);
    if (beforePreparing)
        beforePreparing (*processor);
    prepareForRender (*processor, rate, block);
    makeDriveLinear (*processor);
    return processor;
}

struct TempoPlayHead : juce::AudioPlayHead
{
    std::optional<double> bpm;
    bool hasPosition = true;

    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! hasPosition)
            return {};
        PositionInfo info;
        if (bpm)
            info.setBpm (*bpm);
        return info;
    }
};
} // namespace

TEST (SignalPath, TheWetSignalLagsTheDryByTheEnginesLatency)
{
    // Whatever block size the host prepares and sends, the lag stays the same.
    for (const int block : { 256, 512, 1024, 2048, 4096, 8192 })
    {
        auto processor = transparentProcessor (2, 2, 0, 44100.0, block);
        juce::AudioBuffer<float> audio (2, 16384);
        audio.clear();
        audio.setSample (0, 100, 1.0f);
        audio.setSample (1, 100, 1.0f);
        processInBlocks (*processor, audio, block);

        for (int c = 0; c < 2; ++c)
        {
            EXPECT_NEAR (audio.getSample (c, 100 + engineLatency), unitPairGain, 1.0e-4f) << block;
            EXPECT_NEAR (audio.getMagnitude (c, 0, 100 + engineLatency), 0.0f, 1.0e-5f) << block;
        }
    }
}

TEST (SignalPath, MixZeroRightAfterPreparationPassesTheDrySignalAtItsLevel)
{
    auto processor = transparentProcessor (2, 2, 0, 44100.0, 256, [] (auto& p) { setParameter (p, "Mix", 0.0f); });
    auto audio = constantStereo (0.0f, 0.0f, 256);
    audio.setSample (0, 0, 0.5f);
    juce::MidiBuffer midi;
    processor->processBlock (audio, midi);
    EXPECT_EQ (audio.getSample (0, 0), 0.5f);
}

TEST (SignalPath, MonoInputFeedsBothOutputsAlike)
{
    auto processor = transparentProcessor (1, 2);
    juce::AudioBuffer<float> audio (2, 4096);
    juce::Random random (5);
    fillNoise (audio, random);
    audio.clear (1, 0, audio.getNumSamples()); // the second channel is only the output's
    processInBlocks (*processor, audio, 256);

    for (int i = 0; i < audio.getNumSamples(); ++i)
        ASSERT_EQ (audio.getSample (0, i), audio.getSample (1, i));
    EXPECT_GT (audio.getMagnitude (0, 2000, 1000), 0.01f);
}

TEST (SignalPath, OneChannelOutputRunsWithoutTheStereoStage)
{
    auto processor = transparentProcessor (1, 1);
    setParameter (*processor, "Width", 0.0f);
    setParameter (*processor, "lrFlipButton", 1.0f);
    auto audio = constantStereo (1.0f, 0.0f, 4096);
    audio.setSize (1, 4096, true);
    processInBlocks (*processor, audio, 256);
    EXPECT_NEAR (audio.getSample (0, 4000), unitPairGain, 1.0e-4f);
}

TEST (SignalPath, SidechainCaptureFollowsTheNumberOfExtraChannels)
{
    {
        auto processor = transparentProcessor (2, 2, 1);
        juce::AudioBuffer<float> audio (3, 256);
        audio.clear();
        juce::FloatVectorOperations::fill (audio.getWritePointer (2), 0.25f, 256);
        juce::MidiBuffer midi;
        processor->processBlock (audio, midi);
        EXPECT_EQ (processor->sidechainBuffer.getSample (0, 10), 0.25f);
        EXPECT_EQ (processor->sidechainBuffer.getSample (1, 10), 0.25f);
    }
    {
        auto processor = transparentProcessor (1, 2, 2);
        juce::AudioBuffer<float> audio (3, 256);
        audio.clear();
        juce::FloatVectorOperations::fill (audio.getWritePointer (1), 0.25f, 256);
        juce::FloatVectorOperations::fill (audio.getWritePointer (2), -0.5f, 256);
        juce::MidiBuffer midi;
        processor->processBlock (audio, midi);
        EXPECT_EQ (processor->sidechainBuffer.getSample (0, 10), 0.25f);
        EXPECT_EQ (processor->sidechainBuffer.getSample (1, 10), -0.5f);
    }
    {
        auto processor = transparentProcessor (2, 2, 0);
        processor->sidechainBuffer.clear();
        processor->sidechainBuffer.setSample (0, 0, 0.75f);
        auto audio = constantStereo (0.5f, 0.5f, 256);
        juce::MidiBuffer midi;
        processor->processBlock (audio, midi);
        EXPECT_EQ (processor->sidechainBuffer.getSample (0, 0), 0.75f); // untouched without a key
    }
}

TEST (SignalPath, FlipSwapsTheChannelsOverTwentyMillisecondsWithoutAJump)
{
    auto processor = transparentProcessor();
    auto audio = constantStereo (1.0f, 0.0f, 44100);
    processInBlocks (*processor, audio, 256);
    EXPECT_NEAR (audio.getSample (0, 44000), unitPairGain, 1.0e-4f);
    EXPECT_NEAR (audio.getSample (1, 44000), 0.0f, 1.0e-4f);

    setParameter (*processor, "lrFlipButton", 1.0f);
    auto after = constantStereo (1.0f, 0.0f, 2048);
    processInBlocks (*processor, after, 256);

    // 882 steps of 1/882 at 44.1 kHz: the largest step is one of them, and the swap is complete afterwards.
    EXPECT_LE (largestStep (after, 0), unitPairGain / 882.0f * 1.01f);
    EXPECT_NEAR (after.getSample (0, 881), 0.0f, 1.0e-4f);
    EXPECT_GT (after.getSample (0, 870), 0.0f);
    EXPECT_NEAR (after.getSample (1, 2000), unitPairGain, 1.0e-4f);
}

TEST (SignalPath, FlipSetBeforeTheFirstChunkTakesEffectAtOnce)
{
    auto processor = transparentProcessor (2, 2, 0, 44100.0, 256, [] (auto& p) { setParameter (p, "lrFlipButton", 1.0f); });

    auto audio = constantStereo (1.0f, 0.0f, 2048);
    processInBlocks (*processor, audio, 256);
    EXPECT_NEAR (audio.getSample (0, 1500), 0.0f, 1.0e-4f);
    EXPECT_NEAR (audio.getSample (1, 1500), unitPairGain, 1.0e-4f);
}

TEST (SignalPath, WidthGivesMonoUnchangedOrWiderImage)
{
    const std::tuple<float, float, float> cases[] { { 0.0f, 0.5f, 0.5f }, { 100.0f, 1.0f, 0.0f }, { 200.0f, 1.5f, -0.5f } };

    for (const auto& [width, left, right] : cases)
    {
        auto processor = transparentProcessor (2, 2, 0, 44100.0, 256, [w = width] (auto& p) { setParameter (p, "Width", w); });

        auto audio = constantStereo (1.0f, 0.0f, 4096);
        processInBlocks (*processor, audio, 256);
        EXPECT_NEAR (audio.getSample (0, 4000), left * unitPairGain, 1.0e-4f) << width;
        EXPECT_NEAR (audio.getSample (1, 4000), right * unitPairGain, 1.0e-4f) << width;
    }
}

TEST (SignalPath, EffectOffGivesTheDryInputAfterItsFade)
{
    auto processor = transparentProcessor();
    setParameter (*processor, "Mix", 30.0f);
    juce::Random random (9);
    juce::AudioBuffer<float> warm (2, 8192);
    fillNoise (warm, random);
    processInBlocks (*processor, warm, 256);

    setParameter (*processor, "onButton", 0.0f);
    juce::AudioBuffer<float> input (2, 4096);
    fillNoise (input, random);
    auto output = input;
    processInBlocks (*processor, output, 256);

    for (int c = 0; c < 2; ++c)
        for (int i = 882; i < 4096; ++i)
            ASSERT_NEAR (output.getSample (c, i), input.getSample (c, i), 1.0e-6f) << i;
    EXPECT_FALSE (processor->effectOffDisplay == false);
}

TEST (SignalPath, HostTempoIsTakenWhenReportedAndKeptOtherwise)
{
    auto processor = transparentProcessor();
    juce::AudioBuffer<float> audio (2, 64);
    juce::MidiBuffer midi;
    audio.clear();

    processor->processBlock (audio, midi); // no play head
    EXPECT_EQ (processor->hostBpm, 120.0f);

    TempoPlayHead playHead;
    playHead.bpm = 93.5;
    processor->setPlayHead (&playHead);
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->hostBpm, 93.5f);

    playHead.bpm.reset();
    processor->processBlock (audio, midi);
    playHead.hasPosition = false;
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->hostBpm, 93.5f);
    processor->setPlayHead (nullptr);
}

TEST (SignalPath, AnalyserReceivesWholeChunksOrNothing)
{
    auto processor = transparentProcessor (1, 2);
    processor->analyserFifo.setTotalSize (1000);
    processor->analyserBuffer.setSize (1, 1000);
    processor->analyserEnabled = true;

    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    juce::Random random (4);

    for (int b = 0; b < 3; ++b)
    {
        fillNoise (audio, random);
        processor->processBlock (audio, midi);
    }
    EXPECT_EQ (processor->analyserFifo.getNumReady(), 768);
    EXPECT_TRUE (processor->analyserDataReady.exchange (false));

    // 231 free: the next chunk of 256 is dropped whole and the flag stays as it was.
    fillNoise (audio, random);
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->analyserFifo.getNumReady(), 768);
    EXPECT_FALSE (processor->analyserDataReady.load());

    // With a mono input the analyser gets channel 0 alone, as it left the wet path.
    int start1, size1, start2, size2;
    processor->analyserFifo.prepareToRead (768, start1, size1, start2, size2);
    EXPECT_EQ (size1, 768);
    processor->analyserFifo.finishedRead (768);
}

TEST (SignalPath, PreDelayGlidesOverItsFixedRamp)
{
    for (const double rate : { 44100.0, 96000.0 })
    {
        auto processor = transparentProcessor (2, 2, 0, rate, 512);
        setParameter (*processor, "PreDelay", 100.0f);

        // The delay reaches 100 ms 12800 samples after the change, whatever the rate; an impulse after that comes back
        // 100 ms (plus the engines' latency) later.
        const int probe = 12800 + 4096;
        juce::AudioBuffer<float> audio (2, probe + engineLatency + (int) (0.1 * rate) + 2048);
        audio.clear();
        audio.setSample (0, probe, 1.0f);
        processInBlocks (*processor, audio, 512);

        // At rates other than 44.1 kHz the engines resample the impulse, so look for the echo's peak.
        const int expected = probe + engineLatency + (int) std::round (0.1 * rate);
        int peak = 0;
        for (int i = 1; i < audio.getNumSamples(); ++i)
            if (std::abs (audio.getSample (0, i)) > std::abs (audio.getSample (0, peak)))
                peak = i;
        EXPECT_NEAR (peak, expected, 2) << rate;
        EXPECT_EQ (audio.getMagnitude (0, 0, probe + engineLatency), 0.0f);
    }
}

TEST (SignalPath, RecoversFromABurstOfNaNAndInfiniteSamples)
{
    for (const bool everything : { false, true })
    {
        auto processor = makeProcessor();
        if (everything)
        {
            for (const auto& [id, value] : { std::pair { "SideChain", 60.0f }, std::pair { "Shimmer", 1.0f },
                                             std::pair { "PreVerb", 50.0f }, std::pair { "LfoDepth", 50.0f },
                                             std::pair { "Drive", 80.0f }, std::pair { "LowCut", 200.0f },
                                             std::pair { "HighCut", 8000.0f }, std::pair { "2Gain", 9.0f } })
                setParameter (*processor, id, value);
        }
        setParameter (*processor, "Decay", 1.0f);
        prepareForRender (*processor, 44100.0, 512);

        juce::AudioBuffer<float> audio (2, 44100 * 4);
        juce::Random random (12);
        fillNoise (audio, random, 0.3f);
        for (int i = 20000; i < 20100; ++i)
        {
            audio.setSample (0, i, std::numeric_limits<float>::quiet_NaN());
            audio.setSample (1, i, i % 2 == 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity());
        }
        processInBlocks (*processor, audio, 512);

        // The dry share carries the bad samples while they last; from then on everything is finite and audible.
        juce::AudioBuffer<float> after (audio.getArrayOfWritePointers(), 2, 20100, audio.getNumSamples() - 20100);
        EXPECT_TRUE (allFiniteAndNormal (after)) << everything;
        EXPECT_GT (after.getRMSLevel (0, after.getNumSamples() - 44100, 44100), 0.01f) << everything;
        juce::AudioBuffer<float> before (audio.getArrayOfWritePointers(), 2, 0, 20000);
        EXPECT_TRUE (allFiniteAndNormal (before));
    }
}

// Each stage at a setting that leaves its work unheard takes a shorter way; the samples must be those of the full
// computation, before, during and long after a spell at an audible setting (the glides included).
TEST (SignalPath, NeutralStagesGiveTheSameSamplesAsTheFullComputation)
{
    const struct { const char* setup; const char* id; float neutral, active; double rate = 44100.0; } stages[] = {
        { nullptr, "LfoDepth", 0.0f, 40.0f },
        { nullptr, "LfoDepth", 0.0f, 40.0f, 8000.0 },  // the vibrato's reads in many short runs
        { nullptr, "LfoDepth", 0.0f, 40.0f, 44101.0 }, // a delay the read positions round
        { "Tremolo", "LfoDepth", 0.0f, 40.0f },
        { "Compressor", "SideChain", 0.0f, 60.0f },
        { nullptr, "PreDelay", 20.0f, 150.0f },
        { nullptr, "Width", 100.0f, 160.0f },
        { nullptr, "lrFlipButton", 0.0f, 1.0f },
        { nullptr, "3Gain", 0.0f, 6.0f },
        { "2Gain", "2On", 1.0f, 0.0f }, // a band at 1 dB switched out and back
        { nullptr, "Mix", 30.0f, 80.0f }, // the mixers' gains resting and gliding
        { nullptr, "Drive", 5.0f, 60.0f },
    };

    for (const auto& stage : stages)
    {
        SCOPED_TRACE (juce::String (stage.id) + " at " + juce::String (stage.rate));
        std::unique_ptr<VellumarProcessor> processors[2];
        for (auto& p : processors)
        {
            p = makeProcessor();
            useUnitImpulsePair (*p);
            setParameter (*p, "Mix", 100.0f);
            if (stage.setup != nullptr)
                setParameter (*p, stage.setup, 1.0f);
            setParameter (*p, stage.id, stage.neutral);
            prepareForRender (*p, stage.rate, 512);
        }
        processors[1]->skipNeutralStages = false;

        juce::Random random (5);
        juce::AudioBuffer<float> audio[2] = { { 2, 512 }, { 2, 512 } };
        int differences = 0;
        for (int b = 0; b < 200; ++b)
        {
            // Loud enough for the ducking key to pass 0 dB now and then.
            fillNoise (audio[0], random, 3.0f);
            audio[1].makeCopyOf (audio[0]);
            for (int k = 0; k < 2; ++k)
            {
                setParameter (*processors[k], stage.id, b >= 20 && b < 40 ? stage.active : stage.neutral);
                juce::MidiBuffer midi;
                processors[k]->processBlock (audio[k], midi);
            }
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    differences += audio[0].getSample (c, i) != audio[1].getSample (c, i) ? 1 : 0;
        }
        EXPECT_EQ (differences, 0);
    }
}
