#include "AllocationCounter.h"
#include "LockCounter.h"
#include "TestHelpers.h"

#include "engine/convolution/ImpulseResponses.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>

using namespace testing_helpers;

namespace
{
// Engine A hears an impulse at once, engine B eight samples later, so their shares in the blend can be told apart.
void useDistinctPair (VellumarProcessor& processor)
{
    juce::AudioBuffer<float> a (2, 16), b (2, 16);
    a.clear();
    b.clear();
    for (int c = 0; c < 2; ++c)
    {
        a.setSample (c, 0, 1.0f);
        b.setSample (c, 0, 0.001f); // keeps the trimmed start at sample 0
        b.setSample (c, 8, 1.0f);
    }
    processor.irBufferA = a;
    processor.irBufferB = b;
    processor.irName = "distinct pair";
    processor.irLoaded = true;
}

juce::AudioBuffer<float> impulseThrough (float character)
{
    auto processor = makeProcessor();
    useDistinctPair (*processor);
    setPlainWetPath (*processor);
    setParameter (*processor, "Character", character);
    prepareForRender (*processor, 44100.0, 256);
    makeDriveLinear (*processor);

    juce::AudioBuffer<float> audio (2, 2048);
    audio.clear();
    audio.setSample (0, 0, 1.0f);
    audio.setSample (1, 0, 1.0f);
    processInBlocks (*processor, audio, 256);
    return audio;
}

float normalisedGain (float peak) { return unitPairGain / std::sqrt (1.0f + peak * peak); }
} // namespace

// A preparation builds the engine for the response loaded before it; preparing again with the same rate, block size
// and channels finds that engine made and builds nothing more, so a response switch builds each engine once.
TEST (ConvolutionPair, PreparingAgainWithTheSameSettingsBuildsNothing)
{
    juce::dsp::ConvolutionMessageQueue queue;
    FixedLatencyConvolution engine (queue);
    juce::AudioBuffer<float> response (2, 44100);
    juce::Random random (3);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < response.getNumSamples(); ++i)
            response.setSample (c, i, (random.nextFloat() - 0.5f) * std::exp (-0.0001f * (float) i));

    using C = juce::dsp::Convolution;
    engine.loadImpulseResponse (std::move (response), 44100.0, C::Stereo::yes, C::Trim::no, C::Normalise::yes);
    const juce::dsp::ProcessSpec spec { 44100.0, 512, 2 };
    engine.prepare (spec);

    // One allocation is the dry/wet mixer's scratch block, which every preparation makes anew; an engine makes
    // hundreds.
    AllocationCounter counter;
    engine.prepare (spec);
    EXPECT_LE (counter.count(), 1u);
}

TEST (ConvolutionPair, CharacterBlendsEngineAAloneUpToBWithAThirdOfA)
{
    // Each engine normalises its response to the same energy.
    const float gainA = unitPairGain, gainB = normalisedGain (0.001f);

    const auto none = impulseThrough (0.0f);
    EXPECT_NEAR (none.getSample (0, engineLatency), gainA, 1.0e-4f);
    EXPECT_NEAR (none.getSample (0, engineLatency + 8), 0.0f, 1.0e-5f);

    const auto full = impulseThrough (100.0f);
    EXPECT_NEAR (full.getSample (0, engineLatency + 8), gainB, 1.0e-4f);
    EXPECT_NEAR (full.getSample (0, engineLatency), 0.3f * gainA + gainB * 0.001f, 1.0e-4f);

    const auto preset = impulseThrough (15.0f); // the default: 0.15 B + 0.895 A
    EXPECT_NEAR (preset.getSample (1, engineLatency), 0.895f * gainA + 0.15f * gainB * 0.001f, 1.0e-4f);
    EXPECT_NEAR (preset.getSample (1, engineLatency + 8), 0.15f * gainB, 1.0e-4f);
}

TEST (ConvolutionPair, ACharacterChangeGlidesOverFiftyMilliseconds)
{
    auto processor = makeProcessor();
    useDistinctPair (*processor);
    setParameter (*processor, "Character", 0.0f);
    setParameter (*processor, "Mix", 100.0f);
    setParameter (*processor, "PreDelay", 0.0f);
    prepareForRender (*processor, 44100.0, 256);

    // A steady tone, then Character jumps to 100 %: the output moves without a jump.
    juce::AudioBuffer<float> audio (2, 44100);
    for (int i = 0; i < audio.getNumSamples(); ++i)
        for (int c = 0; c < 2; ++c)
            audio.setSample (c, i, 0.5f * std::sin (0.01f * (float) i));
    auto first = juce::AudioBuffer<float> (audio.getArrayOfWritePointers(), 2, 0, 22050);
    processInBlocks (*processor, first, 256);
    setParameter (*processor, "Character", 100.0f);
    auto second = juce::AudioBuffer<float> (audio.getArrayOfWritePointers(), 2, 22050, 22050);
    processInBlocks (*processor, second, 256);

    EXPECT_LT (largestStep (audio, 0, 4000), 0.01f);
}

TEST (ImpulseResponseTrim, DecayKeepsAndFadesTheStatedLengths)
{
    const auto two = irTrimFor (2.0f, 44100.0);
    EXPECT_EQ (two.length, 88200);
    EXPECT_EQ (two.fadeLength, 88200); // the whole kept part fades
    const auto seven = irTrimFor (7.0f, 48000.0);
    EXPECT_EQ (seven.length, 336000);
    EXPECT_EQ (seven.fadeLength, (int) (336000.0f * (1.0f - 5.0f / 7.0f)));
    const auto nine = irTrimFor (9.0f, 44100.0);
    EXPECT_EQ (nine.fadeLength, 0);
    EXPECT_EQ (irTrimFor (10.0f, 44100.0).fadeLength, 0);

    juce::AudioBuffer<float> response (2, 1000);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (response.getWritePointer (c), 1.0f, 1000);
    trimWithFade (response, 600, 200);
    ASSERT_EQ (response.getNumSamples(), 600);
    EXPECT_EQ (response.getSample (1, 399), 1.0f);
    EXPECT_EQ (response.getSample (1, 400), 1.0f);   // the fade starts at gain 1
    EXPECT_NEAR (response.getSample (1, 599), 1.0f / 200.0f, 1.0e-6f);

    juce::AudioBuffer<float> shortOne (2, 300);
    shortOne.clear();
    trimWithFade (shortOne, 600, 600);
    EXPECT_EQ (shortOne.getNumSamples(), 300); // shorter than the Decay: left whole
}

TEST (ImpulseResponseTrim, TheEnginesHearTheTrimmedResponse)
{
    // The responses are recorded at 44.1 kHz; the tail lasts Decay seconds at every processing rate.
    for (const auto& [rate, decay] : { std::pair { 44100.0, 0.5f }, std::pair { 44100.0, 2.0f },
                                       std::pair { 48000.0, 2.0f }, std::pair { 96000.0, 0.5f },
                                       std::pair { 192000.0, 0.5f } })
    {
        auto processor = makeProcessor();
        juce::AudioBuffer<float> longTail (2, 44100 * 3);
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (longTail.getWritePointer (c), 0.5f, longTail.getNumSamples());
        processor->irBufferA = longTail;
        processor->irBufferB = longTail;
        processor->irName = "flat tail";
        processor->irLoaded = true;
        setPlainWetPath (*processor);
        setParameter (*processor, "Decay", decay);
        prepareForRender (*processor, rate, 512);
        makeDriveLinear (*processor);

        const int kept = (int) (decay * rate);
        juce::AudioBuffer<float> audio (2, kept + 8192);
        audio.clear();
        audio.setSample (0, 0, 1.0f);
        processInBlocks (*processor, audio, 512);

        EXPECT_GT (audio.getSample (0, engineLatency + kept / 2), 0.0f) << decay << " s at " << rate;
        EXPECT_NEAR (audio.getMagnitude (0, engineLatency + kept + 64, 4096), 0.0f, 1.0e-6f)
            << decay << " s at " << rate;
        // The whole kept part fades: from a quarter to halfway the gain falls from 3/4 to 1/2. (The first samples
        // of a response resampled from 44.1 kHz ring a little.)
        const float quarter = audio.getSample (0, engineLatency + kept / 4);
        const float middle = audio.getSample (0, engineLatency + kept / 2);
        EXPECT_NEAR (middle / quarter, 2.0f / 3.0f, 0.01f) << decay << " s at " << rate;
    }
}

TEST (ImpulseResponseSelection, FirstPreparationFollowsTheSwitchesRoomBeforePlate)
{
    auto processor = makeProcessor();
    setParameter (*processor, "RoomButton", 1.0f);
    setParameter (*processor, "SpaceButton", 1.0f);
    setParameter (*processor, "OneButton", 0.0f);
    setParameter (*processor, "ThreeButton", 1.0f);
    prepare (*processor, 44100.0, 512);
    EXPECT_TRUE (processor->irLoaded);
    EXPECT_EQ (processor->irTypeIndex, 1);
    EXPECT_EQ (processor->irNumber, 3);
    EXPECT_EQ (processor->irName, "Room3");

    auto none = makeProcessor();
    setParameter (*none, "PlateButton", 0.0f);
    setParameter (*none, "OneButton", 0.0f);
    prepare (*none, 44100.0, 512);
    EXPECT_EQ (none->irTypeIndex, 0);
    EXPECT_EQ (none->irNumber, 1);
    EXPECT_EQ (none->irName, "Plate1");
}

TEST (ImpulseResponseSelection, LaterPreparationsKeepThePairAndReloadItAtTheNewRate)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 512);
    const auto samples = processor->irBufferA.getNumSamples();

    setParameter (*processor, "PlateButton", 0.0f);
    setParameter (*processor, "SpringButton", 1.0f);
    prepare (*processor, 96000.0, 256);
    EXPECT_EQ (processor->irName, "Plate1");
    EXPECT_EQ (processor->irBufferA.getNumSamples(), samples);
    if (samples > 0)
    {
        EXPECT_EQ (processor->loadedIrName, "Plate1"); // reloaded, though Decay did not change
    }
}

TEST (ImpulseResponseSelection, ANameWithoutAPairKeepsThePreviousResponses)
{
    auto processor = makeProcessor();
    useDistinctPair (*processor);
    prepare (*processor, 44100.0, 512);
    const auto before = processor->irBufferA;

    processor->irNumber = 6;
    processor->decodeIRPair();
    EXPECT_EQ (processor->irName, "Plate6");
    ASSERT_EQ (processor->irBufferA.getNumSamples(), before.getNumSamples());
    EXPECT_EQ (processor->irBufferA.getSample (0, 0), before.getSample (0, 0));

    processor->updateIRParameters(); // reloads the kept pair under the new name
    EXPECT_EQ (processor->loadedIrName, "Plate6");

    processor->irTypeIndex = 42; // out of range reads as Plate
    processor->irNumber = 1;
    processor->decodeIRPair();
    EXPECT_EQ (processor->irName, "Plate1");
}

// The editor selects a pair on the message thread while the host prepares again on the audio thread (a block
// longer than any before). Run under ThreadSanitizer in CI: no data race, no half-swapped pair.
TEST (ImpulseResponseConcurrency, SelectionPreparationAndDecayOnTwoThreads)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 256);

    std::atomic<bool> done { false };
    // The host also moves Decay and holds it long enough for a retrim: by the loader thread, or by this one while
    // it renders offline.
    std::thread audioThread ([&] {
        juce::AudioBuffer<float> audio (2, 2048);
        juce::MidiBuffer midi;
        for (int round = 0; round < 12; ++round)
        {
            processor->setNonRealtime (round % 3 == 0);
            processor->prepareToPlay (round % 2 == 0 ? 48000.0 : 44100.0, 128 + 64 * round);
            setParameter (*processor, "Decay", 0.5f + 0.25f * (float) round);
            for (int b = 0; b < 7; ++b)
            {
                audio.clear();
                processor->processBlock (audio, midi);
            }
        }
        done = true;
    });

    int selections = 0;
    while (! done || selections < 4)
    {
        processor->irTypeIndex = selections % 5;
        processor->irNumber = 1 + selections % 5;
        processor->irLoaded = true;
        processor->decodeIRPair();
        processor->updateIRParameters();

        // The held pair is always one pair: A and B decoded together.
        {
            const std::lock_guard<std::mutex> lock (processor->irMutex);
            if (const auto* pair = findIRPair (processor->irName); pair != nullptr && processor->irBufferA.getNumSamples() > 0)
            {
                EXPECT_NEAR (processor->irBufferA.getNumSamples(), pair->framesA * 1152, 2 * 1152) << processor->irName;
            }
        }
        ++selections;
    }
    audioThread.join();
}

TEST (ImpulseResponseSelection, TheAudioThreadInstallsANewPairWithoutAllocating)
{
    auto processor = makeProcessor();
    prepareForRender (*processor, 44100.0, 256);
    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    juce::Random random (8);
    auto& engines = processor->convolutionPair;
    size_t allocations = 0, locks = 0;
    const auto playBlock = [&]
    {
        fillNoise (audio, random, 0.2f);
        AllocationCounter counter;
        LockCounter lockCounter;
        processor->processBlock (audio, midi);
        allocations += counter.count();
        locks += lockCounter.count();
        std::this_thread::yield();
    };

    // The editor picks Room 4 on the message thread, then the host sets Decay on this, the processing thread. Each
    // time the audio thread hands the pair on and, once the loader thread has built the engines, takes them over:
    // all inside processBlock, with nothing allocated or locked there.
    for (const bool byDecay : { false, true })
    {
        if (byDecay)
        {
            setParameter (*processor, "Decay", 1.0f);
        }
        else
        {
            processor->irTypeIndex = 1;
            processor->irNumber = 4;
            processor->decodeIRPair();
            processor->updateIRParameters();
        }

        const int sizesBefore[] { engines[0].getCurrentIRSize(), engines[1].getCurrentIRSize() };
        const auto installed = [&] { return engines[0].getCurrentIRSize() != sizesBefore[0]
                                         && engines[1].getCurrentIRSize() != sizesBefore[1]; };
        ASSERT_TRUE (waitUntil (installed, playBlock)) << byDecay;

        // On through the crossfade from the old engines, which are then handed back to the loader thread.
        for (int b = 0; b < 200; ++b)
            playBlock();
    }

    EXPECT_EQ (allocations, 0u);
    EXPECT_EQ (locks, 0u);
    EXPECT_EQ (processor->loadedIrName, "Room4");
    EXPECT_EQ (processor->loadedDecay, getParameter (*processor, "Decay"));
    EXPECT_FALSE (processor->collectResponses()); // taken over by the chunk path already
    EXPECT_TRUE (allFiniteAndNormal (audio));
}

TEST (ImpulseResponseSelection, EverySwitchCrossfadesWithoutAClick)
{
    // Wet alone, a low tone over faint noise: the noise gives the high band a floor, and an engine that cut its
    // response in hard would stand far above it.
    auto processor = makeProcessor();
    setParameter (*processor, "Mix", 100.0f);
    prepareForRender (*processor, 44100.0, 512);
    constexpr int rate = 44100, blockSize = 512;
    juce::AudioBuffer<float> audio (2, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (3);
    int64_t phase = 0;
    std::vector<float> output;

    const auto play = [&] (int numSamples)
    {
        for (int done = 0; done < numSamples; done += blockSize)
        {
            fillNoise (audio, random, 0.002f);
            for (int i = 0; i < blockSize; ++i)
                for (int c = 0; c < 2; ++c)
                    audio.addSample (c, i, sineSample (220.0, rate, phase + i, 0.28f));
            phase += blockSize;
            processor->processBlock (audio, midi);
            output.insert (output.end(), audio.getReadPointer (0), audio.getReadPointer (0) + blockSize);
        }
    };

    // Every type into every other at least once, then Decay changed by the host on this, the processing thread:
    // the responses are retrimmed once it has held still.
    const struct { int type, number; float decay; } switches[] {
        { 1, 1, 0.0f }, { 2, 1, 0.0f }, { 3, 1, 0.0f }, { 4, 1, 0.0f }, { 0, 2, 0.0f }, { 2, 2, 0.0f },
        { 4, 2, 0.0f }, { 1, 2, 0.0f }, { 3, 2, 0.0f }, { 0, 3, 0.0f }, { 3, 3, 0.0f }, { 1, 3, 0.0f },
        { 4, 3, 0.0f }, { 2, 3, 0.0f }, { 0, 4, 0.0f }, { 0, 4, 1.5f }, { 0, 4, 8.0f }
    };

    for (const auto& change : switches)
    {
        output.clear();
        play (rate / 2);

        if (change.decay > 0.0f)
        {
            setParameter (*processor, "Decay", change.decay);
        }
        else
        {
            processor->irTypeIndex = change.type;
            processor->irNumber = change.number;
            processor->decodeIRPair();
            processor->updateIRParameters();
        }

        const auto switching = [&] { return processor->loadedDecay == getParameter (*processor, "Decay")
                                            && ! processor->convolutionPair.isSwitching(); };
        ASSERT_TRUE (waitUntil (switching, [&] { play (blockSize); std::this_thread::sleep_for (std::chrono::milliseconds (1)); }));
        play (rate);

        auto levels = highBandLevels (output, rate);
        levels.erase (levels.begin(), levels.begin() + 25); // the measuring filter's own start
        const size_t halfSecond = (size_t) rate / 2 / 88 - 25;
        const float floorBefore = median (std::vector<float> (levels.begin(), levels.begin() + (long) halfSecond));
        const float floorAfter = median (std::vector<float> (levels.end() - (long) halfSecond, levels.end()));
        const float peak = *std::max_element (levels.begin(), levels.end());
        EXPECT_LT (peak - std::max (floorBefore, floorAfter), 6.0f) << processor->irName << ", Decay " << change.decay;
    }
}
