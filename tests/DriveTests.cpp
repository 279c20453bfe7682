#include "AllocationCounter.h"
#include "TestHelpers.h"
#include "engine/drive/Grain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using Stage = Grain<float>;
using testing_helpers::constantStereo;
using testing_helpers::largestStep;
using testing_helpers::noiseBuffer;

const float plus17dB = juce::Decibels::decibelsToGain (17.0f);
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

void prepareStage (Stage& stage, double rate, int blockSize, int channels = 2)
{
    stage.prepare ({ rate, (juce::uint32) blockSize, (juce::uint32) channels });
}

void processChunk (Stage& stage, juce::AudioBuffer<float>& buffer, int start, int length, float drive)
{
    auto block = juce::dsp::AudioBlock<float> (buffer).getSubBlock ((size_t) start, (size_t) length);
    stage.process (juce::dsp::ProcessContextReplacing<float> (block), drive);
}

void processAll (Stage& stage, juce::AudioBuffer<float>& buffer, int chunk, float drive)
{
    for (int start = 0; start < buffer.getNumSamples(); start += chunk)
        processChunk (stage, buffer, start, std::min (chunk, buffer.getNumSamples() - start), drive);
}

} // namespace

//==============================================================================
TEST (DriveCurves, MeetTheirNormalisationPointsAndAsymmetry)
{
    EXPECT_NEAR (Stage::curve (1, 1.0f / 1.1f), 1.0f, 1e-6f);
    EXPECT_NEAR (Stage::curve (2, 1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR (Stage::curve (3, 1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR (Stage::curve (4, -1.0f), std::exp (-4.0f) - 1.0f, 1e-6f);
    EXPECT_NEAR (Stage::curve (4, -1.0f), -0.982f, 1e-3f);
    EXPECT_NEAR (Stage::curve (4, 1.0f), 0.99995f, 1e-5f);

    // Curve 0 is tanh (1.5 x) to within 1e-6 over the whole range that matters, and exactly 0 at 0.
    for (float x = -8.0f; x <= 8.0f; x += 0.00037f)
        ASSERT_NEAR (Stage::curve (0, x), std::tanh (1.5 * (double) x), 1e-6) << x;
    EXPECT_EQ (Stage::curve (0, 0.0f), 0.0f);
    EXPECT_TRUE (std::isnan (Stage::curve (0, std::numeric_limits<float>::quiet_NaN())));

    // Curve 3 at 0 takes the positive sign; infinite inputs still give a bounded value from every curve.
    EXPECT_EQ (Stage::curve (3, 0.0f), 0.0f);
    for (int wave = 0; wave < Stage::numWaves; ++wave)
        for (const float x : { -infinity, infinity, -1e30f, 1e30f })
            EXPECT_LE (std::abs (Stage::curve (wave, x)), 2.2f) << "wave " << wave << " x " << x;
}

//==============================================================================
TEST (DriveLevels, DriveZeroIsThePlainPlus17dBGain)
{
    Stage stage;
    prepareStage (stage, 44100.0, 512);
    auto buffer = noiseBuffer (8192, 0.9f, 3);
    juce::AudioBuffer<float> input (buffer);

    processAll (stage, buffer, 512, 0.0f);

    // The stage's mixer starts fully wet and glides to the Drive proportion over 50 ms (2205 samples).
    for (int c = 0; c < 2; ++c)
        for (int i = 2205; i < buffer.getNumSamples(); ++i)
            ASSERT_FLOAT_EQ (buffer.getSample (c, i), input.getSample (c, i) * plus17dB) << i;
}

TEST (DriveLevels, FullDriveOnWaveZeroPassesTheStatedValues)
{
    Stage stage;
    EXPECT_NEAR (stage.currentPolynomial (0.1f), 0.091001f, 1e-6f);
    EXPECT_NEAR (Stage::curve (0, 2.8777f), 0.99964f, 1e-5f);

    const float beforeFilter = 0.99964f * juce::Decibels::decibelsToGain (-22.0f);
    const auto firstOutput = [beforeFilter] (double cutoff)
    {
        const double g = std::tan (juce::MathConstants<double>::pi * cutoff / 44100.0);
        return (float) (g / (1.0 + g)) * beforeFilter * plus17dB;
    };

    // Until the first curve change curve 0 runs with an 8000 Hz low-pass; the constant input settles to the
    // low-pass's unity gain at DC.
    prepareStage (stage, 44100.0, 512);
    auto buffer = constantStereo (0.1f, 0.1f, 512);
    processAll (stage, buffer, 512, 100.0f);
    EXPECT_NEAR (buffer.getSample (0, 0), firstOutput (8000.0), 1e-4f);
    EXPECT_NEAR (buffer.getSample (1, 511), beforeFilter * plus17dB, 1e-4f);

    // Once curve 0 has been left and chosen again it has its own 10000 Hz.
    stage.driveTypeIndex = 1;
    processAll (stage, buffer, 512, 100.0f);
    stage.driveTypeIndex = 0;
    processAll (stage, buffer, 512, 100.0f);
    prepareStage (stage, 44100.0, 512);
    buffer = constantStereo (0.1f, 0.1f, 512);
    processAll (stage, buffer, 512, 100.0f);
    EXPECT_NEAR (buffer.getSample (0, 0), firstOutput (10000.0), 1e-4f);
}

//==============================================================================
TEST (DriveCrossfade, LastsTwentyMillisecondsCountedAcrossChunks)
{
    for (const auto& [rate, length] : { std::pair (44100.0, 882), { 48000.0, 960 }, { 8000.0, 160 }, { 384000.0, 7680 } })
    {
        Stage stage;
        prepareStage (stage, rate, 100);
        EXPECT_EQ (stage.fadeLength, length);
    }

    Stage stage;
    prepareStage (stage, 44100.0, 100);
    auto buffer = constantStereo (0.2f, 0.2f, 100);
    processAll (stage, buffer, 100, 50.0f);

    stage.driveTypeIndex = 3;
    processAll (stage, buffer, 100, 50.0f);
    EXPECT_EQ (stage.currentWave, 3);
    EXPECT_EQ (stage.fadePosition, 0);
    EXPECT_EQ (std::get<Stage::toneFilter> (stage.chain).getCutoffFrequency(), 6000.0f);
    EXPECT_FLOAT_EQ (stage.fadeWeight (0), 1.0f / 882.0f);
    EXPECT_FLOAT_EQ (stage.fadeWeight (440), 441.0f / 882.0f);
    EXPECT_FLOAT_EQ (stage.fadeWeight (881), 1.0f);
    EXPECT_FLOAT_EQ (stage.fadeWeight (5000), 1.0f);

    for (int chunk = 1; chunk <= 8; ++chunk)
    {
        processAll (stage, buffer, 100, 50.0f);
        EXPECT_EQ (stage.fadePosition, chunk * 100);
    }
    EXPECT_FLOAT_EQ (stage.fadeWeight (81), 1.0f);
    processAll (stage, buffer, 100, 50.0f);
    EXPECT_EQ (stage.fadePosition, -1);
}

TEST (DriveCrossfade, ActsAfterItsChunkAndEndsOnTheNewCurve)
{
    // `fading` switches 0 -> 3 with a crossfade; `direct` takes curve 3 in its first chunk, where no fade runs.
    Stage fading, steady, direct;
    for (auto* stage : { &fading, &steady, &direct })
        prepareStage (*stage, 48000.0, 256);
    direct.driveTypeIndex = 3;

    auto input = noiseBuffer (256 * 12, 0.4f, 7);
    juce::AudioBuffer<float> a (input), b (input), c (input);

    for (int chunk = 0; chunk < 12; ++chunk)
    {
        if (chunk == 2)
            fading.driveTypeIndex = 3;

        processChunk (fading, a, chunk * 256, 256, 100.0f);
        processChunk (steady, b, chunk * 256, 256, 100.0f);
        processChunk (direct, c, chunk * 256, 256, 100.0f);
    }
    EXPECT_EQ (direct.fadePosition, -1);

    // The request seen in chunk 2 changes nothing in chunk 2 itself.
    for (int i = 0; i < 3 * 256; ++i)
        ASSERT_EQ (a.getSample (0, i), b.getSample (0, i)) << i;
    EXPECT_NE (a.getSample (0, 3 * 256 + 10), b.getSample (0, 3 * 256 + 10));

    // 960 samples after chunk 3 began, plus a little for the filter's memory, only curve 3 is heard.
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 3 * 256 + 960 + 64; i < a.getNumSamples(); ++i)
            ASSERT_NEAR (a.getSample (ch, i), c.getSample (ch, i), 1e-5f) << i;
}

TEST (DriveCrossfade, KeepsTheOutputContinuousAndRestartsFromTheCurrentCurve)
{
    Stage stage;
    prepareStage (stage, 48000.0, 480, 1);

    // A steady input: curve 1 saturates about twice as high as curve 0, a jump that the fade must spread.
    juce::AudioBuffer<float> buffer (1, 480 * 8);
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, 0.5f + 0.05f * std::sin ((float) i * 0.0007f));

    for (int chunk = 0; chunk < 8; ++chunk)
    {
        if (chunk == 3)
            stage.driveTypeIndex = 1;
        processChunk (stage, buffer, chunk * 480, 480, 100.0f);
    }

    const int fadeStart = 4 * 480;
    const float change = std::abs (buffer.getSample (0, fadeStart + 960 + 100) - buffer.getSample (0, fadeStart - 1));
    EXPECT_GT (change, 0.3f);
    EXPECT_LT (largestStep (buffer, 0, fadeStart - 100, fadeStart + 1100), 2.0f * change / 960.0f + 1e-3f);

    // A new request while a fade runs fades from the curve that was current, not from the one fading out.
    stage.driveTypeIndex = 3;
    processChunk (stage, buffer, 0, 480, 100.0f);
    stage.driveTypeIndex = 2;
    processChunk (stage, buffer, 480, 480, 100.0f);
    EXPECT_EQ (stage.fadePosition, 0);
    EXPECT_EQ (stage.currentWave, 2);
    EXPECT_EQ (stage.previousShape (0.5f), Stage::curve (3, 0.5f));
    for (int power = 0; power < Stage::numCoefficients; ++power)
        EXPECT_EQ (stage.previousPolynomial[power], Stage::curveCoefficient (3, power));
}

//==============================================================================
class DriveRates : public ::testing::TestWithParam<double>
{
};

TEST_P (DriveRates, AutomationJumpsStayFiniteBoundedAndNormal)
{
    const double rate = GetParam();
    Stage stage;
    prepareStage (stage, rate, 300);
    EXPECT_EQ (stage.fadeLength, std::max (1, (int) (0.02 * rate)));

    juce::ScopedNoDenormals noDenormals;
    juce::Random random (11);
    const float drives[] = { 0.0f, 5.0f, 37.5f, 100.0f, -10.0f, 250.0f, notANumber };
    const float types[] = { 0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 4.9f, 5.0f, notANumber, -2.0f, 1.5f };
    juce::AudioBuffer<float> buffer (2, 300);

    for (int chunk = 0; chunk < (int) (rate / 150.0); ++chunk)
    {
        const int length = chunk % 7 == 0 ? random.nextInt (301) : 300;
        testing_helpers::fillNoise (buffer, random, 0.8f);
        stage.driveTypeIndex = Stage::waveFromValue (types[random.nextInt (10)]);
        processChunk (stage, buffer, 0, length, drives[random.nextInt (7)]);

        juce::AudioBuffer<float> processed (buffer.getArrayOfWritePointers(), 2, length);
        ASSERT_TRUE (testing_helpers::allFiniteAndNormal (processed)) << "chunk " << chunk;
        ASSERT_LE (processed.getMagnitude (0, length), 0.8f * plus17dB + 0.01f) << "chunk " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P (EightTo384kHz, DriveRates,
                          ::testing::Values (8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0,
                                             96000.0, 176400.0, 192000.0, 384000.0));

TEST (DriveRobustness, RecoversAfterABurstOfNaNAndInfinity)
{
    for (int wave = 0; wave < Stage::numWaves; ++wave)
    {
        Stage stage;
        stage.driveTypeIndex = wave;
        prepareStage (stage, 44100.0, 256);
        auto buffer = noiseBuffer (256 * 8, 0.5f, 5);

        for (int i = 1024 + 10; i < 1024 + 20; ++i)
            buffer.setSample (0, i, notANumber);
        buffer.setSample (1, 1024 + 30, infinity);
        buffer.setSample (1, 1024 + 40, -infinity);

        processAll (stage, buffer, 256, 60.0f);
        juce::AudioBuffer<float> after (buffer.getArrayOfWritePointers(), 2, 1280, 768);
        EXPECT_TRUE (testing_helpers::allFiniteAndNormal (after)) << "wave " << wave;
    }
}

TEST (DriveRobustness, LongAndEmptyChunksAreSafe)
{
    // The framework's gain stores a value per sample on the stack: 2^21 samples would be 8 MB in one go.
    constexpr int length = 1 << 21;
    Stage stage;
    prepareStage (stage, 44100.0, length);
    auto buffer = noiseBuffer (length, 0.5f, 2);
    processAll (stage, buffer, length, 100.0f);
    EXPECT_TRUE (testing_helpers::allFiniteAndNormal (buffer));

    stage.driveTypeIndex = 2;
    processChunk (stage, buffer, 0, 0, 100.0f);
    EXPECT_EQ (stage.currentWave, 2);
    EXPECT_EQ (stage.fadePosition, 0);
    processChunk (stage, buffer, 0, 0, 100.0f);
    EXPECT_EQ (stage.fadePosition, 0);
}

TEST (DriveRobustness, CurveChangesEveryChunkDoNotAllocate)
{
    Stage stage;
    prepareStage (stage, 48000.0, 128);
    auto buffer = noiseBuffer (128, 0.5f, 9);

    // The polynomials also keep their storage: no reallocation hides behind a free and a malloc of the same block.
    const float* previousStorage = &stage.previousPolynomial[0];
    const float* currentStorage = &stage.currentPolynomial[0];

    AllocationCounter counter;
    for (int chunk = 0; chunk < 400; ++chunk)
    {
        stage.driveTypeIndex = (chunk * 3) % 6;
        processChunk (stage, buffer, 0, chunk % 5 == 0 ? 0 : 128, (float) (chunk % 101));
    }
    EXPECT_EQ (counter.count(), 0u);
    EXPECT_EQ (&stage.previousPolynomial[0], previousStorage);
    EXPECT_EQ (&stage.currentPolynomial[0], currentStorage);
}

//==============================================================================
TEST (DriveInProcessor, PreparationResetsTheFadeForTheRate)
{
    auto processor = testing_helpers::makeProcessor();
    testing_helpers::prepare (*processor, 44100.0, 256);
    EXPECT_EQ (processor->grain.fadeLength, 882);

    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    audio.clear();
    processor->processBlock (audio, midi);
    testing_helpers::setParameter (*processor, "DriveType", 2.0f);
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->grain.fadePosition, 0);

    testing_helpers::prepare (*processor, 48000.0, 256);
    EXPECT_EQ (processor->grain.fadeLength, 960);
    EXPECT_EQ (processor->grain.fadePosition, -1);
    EXPECT_FALSE (processor->grain.fadeEnabled);
}

TEST (DriveInProcessor, EveryChunkTakesTheCurveFromDriveType)
{
    auto processor = testing_helpers::makeProcessor();
    testing_helpers::prepare (*processor, 44100.0, 256);
    auto* driveType = processor->apvts.getRawParameterValue ("DriveType");
    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    audio.clear();

    // The first chunk after preparation switches at once; later changes start a fade.
    driveType->store (3.0f);
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->grain.currentWave, 3);
    EXPECT_EQ (processor->grain.fadePosition, -1);

    const std::pair<float, int> steps[] = { { 4.9f, 4 }, { 5.0f, 0 }, { 1.0f, 1 }, { notANumber, 0 }, { 3.99f, 3 },
                                            { -2.0f, 0 }, { 4.0f, 4 }, { 1e20f, 0 }, { 1.0f, 1 }, { -infinity, 0 },
                                            { 1.0f, 1 }, { infinity, 0 }, { -0.5f, 0 }, { 2.0f, 2 } };
    for (const auto& [value, wave] : steps)
    {
        driveType->store (value);
        processor->processBlock (audio, midi);
        EXPECT_EQ (processor->grain.driveTypeIndex, wave) << value;
        EXPECT_EQ (processor->grain.currentWave, wave) << value;
    }
    EXPECT_EQ (processor->grain.fadePosition, 0);

    // A value the editor wrote gives way to the parameter at the next chunk.
    processor->grain.driveTypeIndex = 4;
    processor->processBlock (audio, midi);
    EXPECT_EQ (processor->grain.driveTypeIndex, 2);
    EXPECT_EQ (processor->grain.currentWave, 2);
}
