#include "AllocationCounter.h"
#include "LockCounter.h"
#include "TestHelpers.h"

#include "engine/processor/ChunkLoop.h"

#include <gtest/gtest.h>

#include <thread>

using namespace testing_helpers;

namespace
{
juce::AudioProcessor::BusesLayout layoutOf (const juce::AudioChannelSet& in, const juce::AudioChannelSet& out,
                                            const juce::AudioChannelSet& key = juce::AudioChannelSet::disabled())
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (in);
    layout.inputBuses.add (key);
    layout.outputBuses.add (out);
    return layout;
}

struct RecordedChunk
{
    int start;
    int length;
    int channels;
};
} // namespace

TEST (ProcessorCore, AcceptsMonoAndStereoLayoutsWithAKeyOfUpToTwoChannels)
{
    VellumarProcessor processor;
    const auto mono = juce::AudioChannelSet::mono(), stereo = juce::AudioChannelSet::stereo();
    const auto off = juce::AudioChannelSet::disabled();

    for (const auto& key : { off, mono, stereo })
    {
        EXPECT_TRUE (processor.isBusesLayoutSupported (layoutOf (mono, mono, key)));
        EXPECT_TRUE (processor.isBusesLayoutSupported (layoutOf (mono, stereo, key)));
        EXPECT_TRUE (processor.isBusesLayoutSupported (layoutOf (stereo, stereo, key)));
        EXPECT_FALSE (processor.isBusesLayoutSupported (layoutOf (stereo, mono, key)));
        EXPECT_FALSE (processor.isBusesLayoutSupported (layoutOf (stereo, off, key)));
        EXPECT_FALSE (processor.isBusesLayoutSupported (layoutOf (juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::createLCR(), key)));
        EXPECT_FALSE (processor.isBusesLayoutSupported (layoutOf (stereo, juce::AudioChannelSet::create5point1(), key)));
    }

    for (const auto& wideKey : { juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::quadraphonic() })
        EXPECT_FALSE (processor.isBusesLayoutSupported (layoutOf (stereo, stereo, wideKey)));
}

TEST (ProcessorCore, IdentityAndOverrides)
{
    VellumarProcessor processor;
    EXPECT_EQ (processor.getName(), "Vellumar");
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "");
    EXPECT_EQ (processor.getBusCount (true), 2);
    EXPECT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 1)->getName(), "Sidechain");
    // The key input is off until the host connects one.
    EXPECT_FALSE (processor.getBus (true, 1)->isEnabled());
    EXPECT_TRUE (processor.getBus (true, 0)->isEnabled());
}

TEST (ChunkLoop, SplitsLongBlocksInOrderWithoutCopying)
{
    juce::AudioBuffer<float> host (3, 1280);
    std::vector<RecordedChunk> chunks;

    forEachChunk (host, 512, [&] (juce::AudioBuffer<float>& chunk) {
        const int start = (int) (chunk.getReadPointer (0) - host.getReadPointer (0));
        EXPECT_EQ (chunk.getReadPointer (2), host.getReadPointer (2) + start); // refers to the host's memory
        chunks.push_back ({ start, chunk.getNumSamples(), chunk.getNumChannels() });
    });

    ASSERT_EQ (chunks.size(), 3u);
    EXPECT_EQ (chunks[0].start, 0);
    EXPECT_EQ (chunks[0].length, 512);
    EXPECT_EQ (chunks[1].start, 512);
    EXPECT_EQ (chunks[1].length, 512);
    EXPECT_EQ (chunks[2].start, 1024);
    EXPECT_EQ (chunks[2].length, 256);
    EXPECT_EQ (chunks[2].channels, 3);
}

TEST (ChunkLoop, ShortAndEmptyBlocksGoThroughOnceAsTheyAre)
{
    juce::AudioBuffer<float> host (2, 512);
    int calls = 0;
    forEachChunk (host, 512, [&] (juce::AudioBuffer<float>& chunk) { ++calls; EXPECT_EQ (&chunk, &host); });
    EXPECT_EQ (calls, 1);

    juce::AudioBuffer<float> empty (2, 0);
    calls = 0;
    forEachChunk (empty, 512, [&] (juce::AudioBuffer<float>& chunk) { ++calls; EXPECT_EQ (chunk.getNumSamples(), 0); });
    EXPECT_EQ (calls, 1);

    // Before any preparation the chunk length is one sample.
    juce::AudioBuffer<float> three (1, 3);
    calls = 0;
    forEachChunk (three, 0, [&] (juce::AudioBuffer<float>& chunk) { ++calls; EXPECT_EQ (chunk.getNumSamples(), 1); });
    EXPECT_EQ (calls, 3);
}

TEST (ProcessorCore, SurvivesEmptyBlocksBlocksLongerThanPreparedAndAudioBeforePreparation)
{
    auto processor = makeProcessor();
    juce::MidiBuffer midi;
    juce::AudioBuffer<float> early (2, 16);
    early.clear();
    early.setSample (0, 3, 0.5f);
    processor->processBlock (early, midi); // before preparation: handed back untouched
    EXPECT_EQ (early.getSample (0, 3), 0.5f);

    useUnitImpulsePair (*processor);
    prepareForRender (*processor, 48000.0, 256);

    juce::AudioBuffer<float> empty (2, 0);
    processor->processBlock (empty, midi);

    juce::AudioBuffer<float> longBlock (2, 256 * 7 + 13);
    juce::Random random (3);
    fillNoise (longBlock, random);
    processor->processBlock (longBlock, midi);
    EXPECT_TRUE (allFiniteAndNormal (longBlock));
}

namespace
{
// The framework locks a parameter's listener list and the adapter's in the state on every change, and asks whether
// this is the message thread under a mutex: those are its own, not counted. Call on the thread that is counted.
void ignoreTheFrameworksOwnLocks (VellumarProcessor& processor)
{
    LockCounter::ignoreMutexesLockedBy ([&]
    {
        struct Probe : juce::AudioProcessorValueTreeState::Listener, juce::AudioProcessorParameter::Listener
        {
            void parameterChanged (const juce::String&, float) override {}
            void parameterValueChanged (int, float) override {}
            void parameterGestureChanged (int, bool) override {}
        } probe;

        juce::MessageManager::getInstance()->isThisTheMessageThread();

        // Removing a listener that was never added takes the same locks and changes nothing.
        for (auto* parameter : processor.getParameters())
        {
            parameter->removeListener (&probe);
            processor.apvts.removeParameterListener (dynamic_cast<juce::RangedAudioParameter*> (parameter)->paramID, &probe);
        }
    });
}
} // namespace

TEST (ProcessorCore, ProcessBlockDoesNotAllocateWhileParametersMove)
{
    for (const auto& [inputs, outputs, keys] : { std::tuple { 2, 2, 0 }, std::tuple { 1, 2, 1 }, std::tuple { 1, 1, 0 }, std::tuple { 2, 2, 2 } })
    {
        SCOPED_TRACE (juce::String (inputs) + " in, " + juce::String (outputs) + " out, key " + juce::String (keys));
        auto processor = makeProcessor (inputs, outputs, keys);
        useUnitImpulsePair (*processor);
        prepareForRender (*processor, 44100.0, 512);

        juce::AudioBuffer<float> audio (std::max (inputs + keys, outputs), 3 * 512);
        juce::MidiBuffer midi;
        juce::Random random (11);
        const auto& params = processor->getParameters();

        // The editor is open, so its response curve and its controls listen too.
        const std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditorIfNeeded());
        size_t allocations = 0, locks = 0;

        // A host's audio thread, which is not the message thread: that is what decides how the editor's controls
        // hear of a change.
        std::thread audioThread ([&]
        {
            ignoreTheFrameworksOwnLocks (*processor);

            // Warm up: the engines and the stages settle their first-block paths. Every parameter moves once, so
            // each control's attachment has posted its update, which then waits for the message thread (the
            // framework posts one per attachment until it is delivered).
            for (int b = 0; b < 8; ++b)
            {
                fillNoise (audio, random);
                processor->processBlock (audio, midi);
            }

            for (auto* parameter : params)
                parameter->setValueNotifyingHost (parameter->getValue() < 0.5f ? 1.0f : 0.0f);

            // As a host's automation does: each parameter moved from the audio thread just before the block, so
            // that what its listeners run is counted too. Every parameter moves, switches and choices included, and
            // blocks up to three times the prepared size go through the chunking.
            for (int b = 0; b < 300; ++b)
            {
                fillNoise (audio, random);
                const int length = 1 + random.nextInt (3 * 512);
                juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), length);

                AllocationCounter counter;
                LockCounter lockCounter;
                for (int k = 0; k < 4; ++k)
                    params[(4 * b + k) % params.size()]->setValueNotifyingHost (random.nextFloat());
                processor->processBlock (block, midi);
                allocations += counter.count();
                locks += lockCounter.count();
            }
        });
        audioThread.join();

        EXPECT_EQ (allocations, 0u);
        if (LockCounter::isAvailable())
        {
            EXPECT_EQ (locks, 0u);
        }
        EXPECT_TRUE (allFiniteAndNormal (audio));
    }
}

TEST (InputEq, CurveCoefficientsStayFiniteBeforePreparationAndAtLowRates)
{
    VellumarProcessor processor;
    setParameter (processor, "LowCut", 2000.0f); // before any preparation
    for (auto c : { processor.lowCutCoefficients, processor.highCutCoefficients })
        for (auto v : c->coefficients)
            EXPECT_TRUE (std::isfinite (v));

    for (const double rate : { 8000.0, 11025.0, 22050.0, 44100.0, 384000.0 })
    {
        prepare (processor, rate, 64);
        setParameter (processor, "HighCut", 22000.0f);
        setParameter (processor, "LowCut", 2000.0f);

        for (auto c : { processor.lowCutCoefficients, processor.highCutCoefficients })
            for (auto v : c->coefficients)
                EXPECT_TRUE (std::isfinite (v)) << rate;

        // Below half the sample rate the curve is the plain second-order low-pass.
        if (rate >= 44100.0)
        {
            const auto expected = juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (rate, 22000.0f, 0.7f);
            const float normalised[] { expected[0] / expected[3], expected[1] / expected[3], expected[2] / expected[3],
                                       expected[4] / expected[3], expected[5] / expected[3] };
            for (size_t i = 0; i < 5; ++i)
                EXPECT_NEAR (processor.highCutCoefficients->coefficients[i], normalised[i], 1.0e-5f);
        }
    }
}

TEST (InputEq, AChangeOfLowCutRecomputesTheCurveAtTheNewFrequency)
{
    VellumarProcessor processor;
    prepare (processor, 48000.0, 128);
    const double before = processor.lowCutCoefficients->getMagnitudeForFrequency (200.0, 48000.0);
    setParameter (processor, "LowCut", 1000.0f);
    const double after = processor.lowCutCoefficients->getMagnitudeForFrequency (200.0, 48000.0);

    EXPECT_NEAR (before, 1.0, 0.01);
    EXPECT_LT (after, 0.1);
    EXPECT_NEAR (processor.lowCutCoefficients->getMagnitudeForFrequency (1000.0, 48000.0), 0.6, 0.01); // Q 0.6 at the cut-off
}
