#include "AllocationCounter.h"
#include "LockCounter.h"
#include "TestHelpers.h"

#include "engine/convolution/ImpulseResponses.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <future>
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

TEST (BuiltInResponses, EveryPairDecodesToStereoAtItsListedLengthAndAllDiffer)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::vector<std::pair<juce::String, juce::AudioBuffer<float>>> decoded;

    for (const auto& pair : irPairTable)
    {
        for (const auto& [resource, frames] : { std::pair { pair.resourceA, pair.framesA }, std::pair { pair.resourceB, pair.framesB } })
        {
            SCOPED_TRACE (resource);
            int size = 0;
            const auto* data = getIRResource (resource, size);
            ASSERT_NE (data, nullptr);
            ASSERT_GT (size, 4);
            // MPEG-1 Layer III behind an ID3v2.4 tag, 44.1 kHz, stereo.
            EXPECT_EQ (juce::String::fromUTF8 (static_cast<const char*> (data), 3), "ID3");
            EXPECT_EQ (static_cast<const juce::uint8*> (data)[3], 4);

            std::unique_ptr<juce::AudioFormatReader> reader (
                formats.createReaderFor (std::make_unique<juce::MemoryInputStream> (data, (size_t) size, false)));
            ASSERT_NE (reader, nullptr);
            EXPECT_EQ (reader->sampleRate, 44100.0);
            EXPECT_EQ (reader->numChannels, 2u);
            EXPECT_NEAR ((double) reader->lengthInSamples, frames * 1152.0, 1152.0);

            juce::AudioBuffer<float> audio (2, (int) reader->lengthInSamples);
            reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
            EXPECT_GT (audio.getMagnitude (0, audio.getNumSamples()), 0.1f);
            EXPECT_TRUE (allFiniteAndNormal (audio));
            decoded.emplace_back (resource, std::move (audio));
        }

        // A is the shorter file of a pair except for the Space pairs the table lists the other way round.
        if (juce::String (pair.name).startsWith ("Space") == false)
        {
            EXPECT_LT (pair.framesA, pair.framesB) << pair.name;
        }
    }

    // Fifty different responses: compare a stretch of each with every other.
    for (size_t i = 0; i < decoded.size(); ++i)
        for (size_t j = i + 1; j < decoded.size(); ++j)
        {
            const auto& a = decoded[i].second;
            const auto& b = decoded[j].second;
            float difference = 0.0f;
            for (int k = 2000; k < 6000; ++k)
                difference += std::abs (a.getSample (0, k) - b.getSample (0, k));
            EXPECT_GT (difference, 1.0f) << decoded[i].first << " and " << decoded[j].first;
        }
}

TEST (BuiltInResponses, HallPlaysItsOwnPairAndTheFirstPreparationLoadsPlateOne)
{
    auto processor = makeProcessor();
    prepareForRender (*processor, 44100.0, 512);
    EXPECT_EQ (processor->irName, "Plate1");
    EXPECT_EQ (processor->loadedIrName, "Plate1");
    EXPECT_NEAR (processor->irBufferA.getNumSamples(), 130 * 1152, 1152);
    EXPECT_NEAR (processor->irBufferB.getNumSamples(), 347 * 1152, 1152);

    processor->irTypeIndex = 3;
    processor->irNumber = 2;
    processor->decodeIRPair();
    processor->updateIRParameters();
    EXPECT_EQ (processor->loadedIrName, "Hall2");
    EXPECT_NEAR (processor->irBufferB.getNumSamples(), 330 * 1152, 1152);
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

namespace
{
// What each type must sound like: its mid-band decay range, and the type's own texture checks below.
struct TypeRule
{
    const char* type;
    int typeIndex;
    double minDecay, maxDecay;
};

constexpr TypeRule typeRules[] { { "Plate", 0, 1.2, 6.0 }, { "Room", 1, 0.3, 1.3 }, { "Spring", 2, 2.0, 4.0 },
                                 { "Space", 4, 4.0, 100.0 }, { "Hall", 3, 1.8, 3.0 } };

using Coefficients = juce::dsp::IIR::Coefficients<float>::Ptr;

// Filtered forwards and then backwards, so that arrival times keep no delay of the filters.
std::vector<float> zeroPhase (const float* input, int length, std::initializer_list<Coefficients> sections)
{
    std::vector<float> x (input, input + length);
    for (int pass = 0; pass < 2; ++pass)
    {
        for (const auto& c : sections)
        {
            juce::dsp::IIR::Filter<float> filter (c);
            for (auto& s : x)
                s = filter.processSample (s);
        }
        std::reverse (x.begin(), x.end());
    }
    return x;
}

std::vector<float> zeroPhaseSum (const juce::AudioBuffer<float>& audio, std::initializer_list<Coefficients> sections)
{
    std::vector<float> sum ((size_t) audio.getNumSamples());
    for (int i = 0; i < audio.getNumSamples(); ++i)
        sum[(size_t) i] = audio.getSample (0, i) + audio.getSample (1, i);
    return zeroPhase (sum.data(), (int) sum.size(), sections);
}

int onsetOf (const juce::AudioBuffer<float>& audio)
{
    const float peak = audio.getMagnitude (0, audio.getNumSamples());
    int i = 0;
    while (i < audio.getNumSamples() && std::max (std::abs (audio.getSample (0, i)), std::abs (audio.getSample (1, i))) < 0.1f * peak)
        ++i;
    return i;
}

// RT60 of the 500 Hz to 1 kHz octaves from the Schroeder curve between -5 and -25 dB.
double midDecaySeconds (const juce::AudioBuffer<float>& audio, double rate)
{
    std::vector<double> energy ((size_t) audio.getNumSamples(), 0.0);
    for (int c = 0; c < 2; ++c)
    {
        const auto band = zeroPhase (audio.getReadPointer (c), audio.getNumSamples(),
                                     { juce::dsp::IIR::Coefficients<float>::makeHighPass (rate, 354.0f),
                                       juce::dsp::IIR::Coefficients<float>::makeHighPass (rate, 354.0f),
                                       juce::dsp::IIR::Coefficients<float>::makeLowPass (rate, 1414.0f),
                                       juce::dsp::IIR::Coefficients<float>::makeLowPass (rate, 1414.0f) });
        for (size_t i = 0; i < band.size(); ++i)
            energy[i] += (double) band[i] * band[i];
    }
    for (size_t i = energy.size() - 1; i > 0; --i)
        energy[i - 1] += energy[i];
    const auto crossing = [&] (double db) {
        size_t i = 0;
        while (i < energy.size() && 10.0 * std::log10 (energy[i] / energy[0]) > db)
            ++i;
        return (double) i / rate;
    };
    return 3.0 * (crossing (-25.0) - crossing (-5.0));
}

// The loudest 1 ms window above 1 kHz, 20 to 500 ms after the onset, against the median of the 20 around it (dB).
double reflectionExcessDb (const juce::AudioBuffer<float>& audio, double rate)
{
    const auto high = juce::dsp::IIR::Coefficients<float>::makeHighPass (rate, 1000.0f);
    const auto left = zeroPhase (audio.getReadPointer (0), audio.getNumSamples(), { high, high });
    const auto right = zeroPhase (audio.getReadPointer (1), audio.getNumSamples(), { high, high });
    const int onset = onsetOf (audio), window = (int) (0.001 * rate);
    std::vector<double> energy;
    for (int i = onset + (int) (0.02 * rate); i + window <= std::min (audio.getNumSamples(), onset + (int) (0.5 * rate)); i += window)
    {
        double e = 0.0;
        for (int k = i; k < i + window; ++k)
            e += (double) left[(size_t) k] * left[(size_t) k] + (double) right[(size_t) k] * right[(size_t) k];
        energy.push_back (e);
    }
    double excess = 1.0;
    for (size_t k = 0; k < energy.size(); ++k)
    {
        std::vector<double> around (energy.begin() + (long) (k >= 10 ? k - 10 : 0), energy.begin() + (long) std::min (energy.size(), k + 10));
        std::nth_element (around.begin(), around.begin() + (long) around.size() / 2, around.end());
        excess = std::max (excess, energy[k] / around[around.size() / 2]);
    }
    return 10.0 * std::log10 (excess);
}

// When the first chirp passes `hz`: the first peak of the third-octave's 2 ms envelope within 6 dB of the loudest.
double arrivalSeconds (const juce::AudioBuffer<float>& audio, double rate, float hz)
{
    const auto band = juce::dsp::IIR::Coefficients<float>::makeBandPass (rate, hz, 4.32f);
    const auto x = zeroPhaseSum (audio, { band, band });
    const int n = std::min ((int) x.size(), (int) (0.3 * rate)), window = (int) (0.002 * rate);
    std::vector<double> envelope ((size_t) n, 0.0);
    double sum = 0.0, top = 0.0;
    for (int i = 0; i < n; ++i)
    {
        sum += (double) x[(size_t) i] * x[(size_t) i] - (i >= window ? (double) x[(size_t) (i - window)] * x[(size_t) (i - window)] : 0.0);
        envelope[(size_t) i] = sum;
        top = std::max (top, sum);
    }
    int i = 0;
    while (i < n && envelope[(size_t) i] < 0.25 * top)
        ++i;
    while (i + 1 < n && envelope[(size_t) i + 1] >= envelope[(size_t) i])
        ++i;
    return (double) i / rate;
}

// Octave energy at `hz` against the 1 kHz octave (dB).
double octaveAgainstMidDb (const juce::AudioBuffer<float>& audio, double rate, float hz)
{
    const auto energy = [&] (float centre) {
        const auto band = juce::dsp::IIR::Coefficients<float>::makeBandPass (rate, centre, 1.41f);
        double e = 1.0e-30;
        for (auto s : zeroPhaseSum (audio, { band, band }))
            e += (double) s * s;
        return e;
    };
    return 10.0 * std::log10 (energy (hz) / energy (1000.0f));
}

// One render of a pair through the plug-in at its defaults but for Mix and Character: 4 s of a programme, then
// `tail` seconds. The loudness hardly depends on the engines' latency, so long blocks make most renders quicker;
// the drum loop's peak depends on where the wet signal meets the dry, so it plays in 1024-sample blocks.
struct PairRender
{
    loudness::Programme programme;
    float mix, character;
    double tail;
    int blockSize;
};

constexpr PairRender pairRenders[] {
    { loudness::Programme::pink, 100.0f, 15.0f, 1.0, 8192 },  { loudness::Programme::speech, 100.0f, 15.0f, 1.0, 8192 },
    { loudness::Programme::drums, 100.0f, 15.0f, 1.0, 8192 }, { loudness::Programme::pink, 30.0f, 15.0f, 1.0, 8192 },
    { loudness::Programme::speech, 30.0f, 15.0f, 1.0, 8192 }, { loudness::Programme::drums, 30.0f, 15.0f, 1.0, 1024 },
    { loudness::Programme::drums, 30.0f, 0.0f, 0.0, 1024 },   { loudness::Programme::drums, 30.0f, 100.0f, 0.0, 1024 },
};

struct Played
{
    double loudness;
    float peak;
};

// Every render of the decoded pair, each on a thread of its own (the processors are set up here, on this thread).
std::vector<Played> playPair (const VellumarProcessor& decoded)
{
    constexpr double rate = 44100.0;
    std::vector<std::unique_ptr<VellumarProcessor>> processors;
    std::vector<std::future<Played>> results;

    for (const auto& render : pairRenders)
    {
        auto& processor = processors.emplace_back (makeProcessor());
        processor->irTypeIndex = decoded.irTypeIndex.load();
        processor->irNumber = decoded.irNumber.load();
        processor->irBufferA = decoded.irBufferA;
        processor->irBufferB = decoded.irBufferB;
        processor->irName = decoded.irName;
        processor->irLoaded = true;
        setParameter (*processor, "Mix", render.mix);
        setParameter (*processor, "Character", render.character);

        results.push_back (std::async (std::launch::async, [&render, p = processor.get()] {
            prepareForRender (*p, rate, render.blockSize);
            const double level = render.programme == loudness::Programme::pink ? 0.25 : 0.708; // -12 dBFS RMS, -3 dBFS peak
            auto audio = programmeBuffer (render.programme, (int) (4.0 * rate), (int) (render.tail * rate), rate, level);
            processInBlocks (*p, audio, render.blockSize);
            return Played { integratedLoudness (audio, rate), audio.getMagnitude (0, audio.getNumSamples()) };
        }));
    }

    std::vector<Played> played;
    for (auto& result : results)
        played.push_back (result.get());
    return played;
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

// Every built-in file sounds like its type, and every pair plays at the same loudness through the plug-in: wet
// alone within +-2 LU of the median, at the default mix within +-1 LU, and a -3 dBFS drum loop never clips at any
// Character (the blend is linear in Character, so its ends and the default cover it).
TEST (BuiltInResponses, EveryFileSoundsLikeItsTypeAndThePairsAreLevelMatched)
{
    constexpr double rate = 44100.0;
    std::vector<std::array<double, 3>> wet, mixed;
    std::vector<juce::String> names;

    for (const auto& rule : typeRules)
        for (int number = 1; number <= 5; ++number)
        {
            const auto name = juce::String (rule.type) + juce::String (number);
            SCOPED_TRACE (name);
            const bool isSpring = rule.typeIndex == 2;

            auto processor = makeProcessor();
            processor->irTypeIndex = rule.typeIndex;
            processor->irNumber = number;
            processor->decodeIRPair();
            double level4k[2] {};

            for (int side = 0; side < 2; ++side)
            {
                const auto& file = side == 0 ? processor->irBufferA : processor->irBufferB;
                SCOPED_TRACE (side == 0 ? "A" : "B");
                ASSERT_EQ (file.getNumChannels(), 2);

                const double decay = midDecaySeconds (file, rate);
                EXPECT_GE (decay, rule.minDecay);
                EXPECT_LE (decay, rule.maxDecay);

                // Summed to mono, a file loses at most 3 dB more than an uncorrelated pair would.
                const int onset = onsetOf (file);
                EXPECT_GE (channelCorrelation (file, onset, file.getNumSamples() - onset), -0.5);

                if (rule.typeIndex == 3)
                {
                    EXPECT_LE (reflectionExcessDb (file, rate), 6.0);
                }

                if (isSpring)
                {
                    EXPECT_GE (arrivalSeconds (file, rate, 3000.0f) - arrivalSeconds (file, rate, 500.0f), 0.02);
                    EXPECT_LE (octaveAgainstMidDb (file, rate, 8000.0f), -10.0);
                    level4k[side] = octaveAgainstMidDb (file, rate, 4000.0f);
                }
            }
            EXPECT_GE (level4k[1], level4k[0] - 6.0);

            names.push_back (name);
            wet.emplace_back();
            mixed.emplace_back();
            const auto played = playPair (*processor);
            for (size_t r = 0; r < played.size(); ++r)
            {
                const auto& render = pairRenders[r];
                (render.mix == 100.0f ? wet : mixed).back()[(size_t) render.programme] = played[r].loudness;
                if (render.mix < 100.0f && render.programme == loudness::Programme::drums)
                {
                    EXPECT_LT (played[r].peak, 1.0f) << "Character " << render.character;
                }
            }
        }

    for (size_t p = 0; p < 3; ++p)
    {
        std::vector<double> wetLevels, mixedLevels;
        for (size_t i = 0; i < names.size(); ++i)
        {
            wetLevels.push_back (wet[i][p]);
            mixedLevels.push_back (mixed[i][p]);
        }
        const double wetMedian = median (wetLevels), mixedMedian = median (mixedLevels);
        for (size_t i = 0; i < names.size(); ++i)
        {
            EXPECT_NEAR (wet[i][p], wetMedian, 2.0) << names[i] << ", " << loudness::programmeName (loudness::kProgrammes[p]);
            EXPECT_NEAR (mixed[i][p], mixedMedian, 1.0) << names[i] << ", " << loudness::programmeName (loudness::kProgrammes[p]);
        }
    }
}
