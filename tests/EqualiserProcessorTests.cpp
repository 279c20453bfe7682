#include "AllocationCounter.h"
#include "FilterTestHelpers.h"
#include "TestHelpers.h"

#include "engine/parameters/ParameterIds.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

namespace
{
juce::String bandId (int band, const char* suffix) { return juce::String (band) + suffix; }

void processSamples (VellumarProcessor& processor, int numSamples, int blockSize, juce::Random* noise = nullptr)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (int done = 0; done < numSamples; done += blockSize)
    {
        buffer.setSize (2, std::min (blockSize, numSamples - done), false, false, true);
        if (noise != nullptr)
            fillNoise (buffer, *noise);
        else
            buffer.clear();
        processor.processBlock (buffer, midi);
    }
}

std::array<float, 5> cutCoefficients (bool highPass, double rate, float frequency, float q)
{
    return filter_testing::normalised (highPass ? juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (rate, frequency, q)
                                                : juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (rate, frequency, q));
}
} // namespace

TEST (EqualiserInProcessor, DefaultBandsRunFlatUntilTouchedThenZeroDecibelBandsPassExactly)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 512);
    processSamples (*processor, 512, 512);

    for (auto& band : processor->bands)
    {
        EXPECT_TRUE (band.active);
        EXPECT_TRUE (band.filter.isResting()) << "skipped at 0 dB";
        for (const double at : { 20.0, 40.0, 170.0, 3000.0, 10000.0, 20000.0 })
            EXPECT_NEAR (band.filter.state->getMagnitudeForFrequency (at, 44100.0), 1.0, 1.0e-4);
    }

    setParameter (*processor, bandId (2, ids::bandFreq), 200.0f);
    auto& band = processor->bands[1];
    EXPECT_FALSE (band.active) << "a 0 dB peak counts as out of the chain once touched";
    EXPECT_EQ (filter_testing::coefficientsOf (*band.curveCoefficients),
               filter_testing::normalised (
                   smootheq::makeBand (2, 44100.0, getParameter (*processor, bandId (2, ids::bandFreq)), 0.8f, 0.0f)));

    // At 0 dB the band adds exactly nothing, whether it runs (gliding) or rests (skipped), so skipping it changes
    // no sample; gliding away from 0 dB and back brings it to rest again.
    const auto passesExactly = [&band] (int chunks)
    {
        bool exact = true;
        for (int chunk = 0; chunk < chunks; ++chunk)
        {
            const auto input = noiseBuffer (512, 0.5f, chunk);
            auto output = input;
            juce::dsp::AudioBlock<float> block (output);
            band.process (block);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    exact = exact && output.getSample (c, i) == input.getSample (c, i);
        }
        return exact;
    };

    EXPECT_TRUE (passesExactly (8)) << "gliding at 0 dB";
    EXPECT_TRUE (band.filter.isResting());
    setParameter (*processor, bandId (2, ids::bandGain), 6.0f);
    EXPECT_FALSE (passesExactly (2));
    setParameter (*processor, bandId (2, ids::bandGain), 0.0f);
    passesExactly (12);
    EXPECT_TRUE (band.filter.isResting()) << "back at rest once its memory has died away";
    EXPECT_TRUE (passesExactly (2));
    EXPECT_EQ (band.smoother.getFadeGain(), 1.0f) << "glided, never faded";
}

TEST (EqualiserInProcessor, ActiveFlagFollowsSwitchTypeAndGain)
{
    auto processor = makeProcessor();
    auto& bands = processor->bands;

    setParameter (*processor, bandId (1, ids::bandType), 0.0f);
    EXPECT_TRUE (bands[0].active) << "a Low Cut filters at 0 dB";
    setParameter (*processor, bandId (5, ids::bandType), 4.0f);
    EXPECT_TRUE (bands[4].active) << "a High Cut filters at 0 dB";

    setParameter (*processor, bandId (3, ids::bandType), 1.0f);
    EXPECT_FALSE (bands[2].active);
    setParameter (*processor, bandId (3, ids::bandGain), 3.0f);
    EXPECT_TRUE (bands[2].active);
    setParameter (*processor, bandId (3, ids::bandOn), 0.0f);
    EXPECT_FALSE (bands[2].active);
    setParameter (*processor, bandId (3, ids::bandOn), 1.0f);
    EXPECT_TRUE (bands[2].active);
}

TEST (EqualiserInProcessor, GainChangeRedrawsTheCurveAtOnceWhileTheAudioRamps)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 32);
    processSamples (*processor, 64, 32);

    setParameter (*processor, bandId (1, ids::bandGain), 12.0f);
    auto& band = processor->bands[0];
    const float gain = getParameter (*processor, bandId (1, ids::bandGain));
    EXPECT_EQ (filter_testing::coefficientsOf (*band.curveCoefficients),
               filter_testing::normalised (smootheq::makeBand (1, 44100.0, 40.0f, 0.8f, gain)));

    processSamples (*processor, 32, 32);
    EXPECT_NEAR (band.smoother.getLastGain(), gain * 32.0f / 2205.0f, 1.0e-4f);
    processSamples (*processor, 2144, 32);
    EXPECT_LT (band.smoother.getLastGain(), gain);
    processSamples (*processor, 32, 32);
    EXPECT_EQ (band.smoother.getLastGain(), gain) << "the ramp ends after 2205 samples";
}

TEST (EqualiserInProcessor, SwitchingTheEqualiserOffFadesBothSectionsThenFreezesThem)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 441);
    processSamples (*processor, 441, 441);

    setParameter (*processor, ids::onEqButton, 0.0f);
    setParameter (*processor, bandId (3, ids::bandGain), 6.0f);
    processSamples (*processor, 441, 441);
    EXPECT_GT (processor->bandFade.getGain(), 0.0f);
    EXPECT_GT (processor->inputCutFade.getGain(), 0.0f);
    processSamples (*processor, 441, 441);
    EXPECT_EQ (processor->bandFade.getGain(), 0.0f) << "20 ms";
    EXPECT_EQ (processor->inputCutFade.getGain(), 0.0f);

    auto& band = processor->bands[2];
    const float gainWhenSkipped = band.smoother.getLastGain();
    EXPECT_GT (gainWhenSkipped, 0.0f);
    processSamples (*processor, 4410, 441);
    EXPECT_EQ (band.smoother.getLastGain(), gainWhenSkipped) << "ramps do not advance while skipped";
    EXPECT_TRUE (band.smoother.isRamping());

    setParameter (*processor, ids::onEqButton, 1.0f);
    processSamples (*processor, 441, 441);
    EXPECT_GT (band.smoother.getLastGain(), gainWhenSkipped);
    EXPECT_GT (processor->bandFade.getGain(), 0.0f);
}

TEST (EqualiserInProcessor, OffFromTheStartTheFiltersNeverRun)
{
    auto processor = makeProcessor();
    setParameter (*processor, ids::onEqButton, 0.0f);
    setParameter (*processor, ids::lowCut, 500.0f);
    prepare (*processor, 48000.0, 256);
    juce::Random noise (5);
    processSamples (*processor, 4800, 256, &noise);

    EXPECT_EQ (filter_testing::coefficientsOf (*processor->lowCutFilter.state), cutCoefficients (true, 44100.0, 10.0f, 0.6f));
    EXPECT_EQ (filter_testing::coefficientsOf (*processor->highCutFilter.state),
               cutCoefficients (false, 44100.0, 22000.0f, 0.7f));

    for (auto& band : processor->bands)
        EXPECT_EQ (filter_testing::coefficientsOf (*band.filter.state), (std::array<float, 5> {})) << "never started";
}

TEST (EqualiserInProcessor, InputCutsStartAtTheirValuesThenGlide)
{
    auto processor = makeProcessor();
    setParameter (*processor, ids::lowCut, 500.0f);
    setParameter (*processor, ids::highCut, 3000.0f);
    prepare (*processor, 48000.0, 32);
    processSamples (*processor, 32, 32);

    const float low = getParameter (*processor, ids::lowCut);
    const float high = getParameter (*processor, ids::highCut);
    EXPECT_EQ (filter_testing::coefficientsOf (*processor->lowCutFilter.state), cutCoefficients (true, 48000.0, low, 0.6f));
    EXPECT_EQ (filter_testing::coefficientsOf (*processor->highCutFilter.state), cutCoefficients (false, 48000.0, high, 0.7f));

    prepare (*processor, 44100.0, 32);
    setParameter (*processor, ids::lowCut, 10.0f);
    processSamples (*processor, 32, 32);
    EXPECT_EQ (processor->lowCutSmoother.getLastFrequency(), 10.0f) << "first chunk after preparation: no glide";

    setParameter (*processor, ids::lowCut, 1000.0f);
    processSamples (*processor, 2176, 32);
    EXPECT_NEAR (processor->lowCutSmoother.getLastFrequency(), 10.0 * std::pow (100.0, 2176.0 / 2205.0), 0.05);
    processSamples (*processor, 32, 32);
    EXPECT_NEAR (processor->lowCutSmoother.getLastFrequency(), 1000.0f, 0.01f);
    processSamples (*processor, 32, 32);
    EXPECT_EQ (filter_testing::coefficientsOf (*processor->lowCutFilter.state), cutCoefficients (true, 44100.0, 1000.0f, 0.6f));
}

TEST (EqualiserInProcessor, SampleRateSweepWithParametersJumpingStaysClean)
{
    auto processor = makeProcessor();
    juce::Random noise (11);
    juce::StringArray jumping { ids::lowCut, ids::highCut };

    for (int n = 1; n <= 5; ++n)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            jumping.add (bandId (n, suffix));

    for (const double rate : { 8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0,
                               176400.0, 192000.0, 352800.0, 384000.0 })
    {
        prepare (*processor, rate, 256);
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;

        for (int block = 0; block < 48; ++block)
        {
            // Every parameter to one end of its range or the other, in a pattern that differs between them.
            for (int p = 0; p < jumping.size(); ++p)
                processor->apvts.getParameter (jumping[p])->setValueNotifyingHost (((block + p) / 3) % 2 == 0 ? 0.0f : 1.0f);

            processor->apvts.getParameter (ids::onEqButton)->setValueNotifyingHost (block % 20 < 15 ? 1.0f : 0.0f);
            fillNoise (buffer, noise);
            processor->processBlock (buffer, midi);
            ASSERT_TRUE (allFiniteAndNormal (buffer)) << rate << " Hz, block " << block;
        }

        for (auto& band : processor->bands)
            EXPECT_TRUE (filter_testing::isFiniteAndStable (filter_testing::coefficientsOf (*band.filter.state))) << rate;

        for (auto* cut : { &processor->lowCutFilter, &processor->highCutFilter })
            EXPECT_TRUE (filter_testing::isFiniteAndStable (filter_testing::coefficientsOf (*cut->state))) << rate;
    }
}

TEST (EqualiserInProcessor, ChangesWhileRunningAllocateNothing)
{
    auto processor = makeProcessor();
    prepare (*processor, 44100.0, 512);
    juce::AudioBuffer<float> buffer (2, 1500);
    juce::MidiBuffer midi;
    juce::Random noise (2);
    size_t allocations = 0;

    for (int block = 0; block < 60; ++block)
    {
        // Glides, type changes, band switches and the equaliser switch, set outside the counted region.
        setParameter (*processor, ids::lowCut, block % 2 == 0 ? 10.0f : 1500.0f);
        setParameter (*processor, ids::highCut, block % 3 == 0 ? 300.0f : 22000.0f);
        setParameter (*processor, bandId (1 + block % 5, ids::bandType), (float) (block % 5));
        setParameter (*processor, bandId (1 + (block + 2) % 5, ids::bandGain), block % 2 == 0 ? -12.0f : 9.0f);
        setParameter (*processor, bandId (1 + (block + 3) % 5, ids::bandOn), block % 4 < 2 ? 1.0f : 0.0f);
        setParameter (*processor, ids::onEqButton, block % 10 < 7 ? 1.0f : 0.0f);

        buffer.setSize (2, block % 3 == 0 ? 1500 : 300, false, false, true);
        fillNoise (buffer, noise);

        AllocationCounter counter;
        processor->processBlock (buffer, midi);
        allocations += counter.count();
    }

    EXPECT_EQ (allocations, 0u);
}

TEST (EqualiserInProcessor, ParameterJumpsLeaveNoClickResidue)
{
    // A -11 dBFS program of low tones has nothing above 5 kHz, so whatever a jump puts there is click residue; it
    // is referred to the input by taking off the wet path's fixed gain. Every band boosts 12 dB, and the high cut
    // stays clear of half the sample rate, where its own rounding would set a floor near -90 dB.
    // A driven program has harmonics of its own up there, so a drive-curve change is measured against the ideal
    // switch instead: the renders with either curve held throughout, crossfaded over 20 ms from the chunk after
    // the change. That holds only with no memory after the drive, so the equaliser is off there.
    const float pathGainDb = juce::Decibels::gainToDecibels (unitPairGain);
    const struct { const char* id; float before, after; int sweepBlocks; float drive = 0.0f; } jumps[] {
        { "3Q", 0.2f, 20.0f, 0 },       { "5Freq", 1000.0f, 20000.0f, 24 }, { "2Freq", 100.0f, 10000.0f, 0 },
        { "1Gain", 0.0f, 24.0f, 0 },    { "4Gain", 24.0f, -24.0f, 0 },      { "4Gain", -24.0f, 0.0f, 0 },
        { "LfoDepth", 0.0f, 100.0f, 0 }, { "DriveType", 0.0f, 4.0f, 0, 50.0f }, { "DriveType", 4.0f, 1.0f, 0, 50.0f }
    };

    const auto render = [] (const auto& jump, float from, float to)
    {
        auto processor = makeProcessor();
        useUnitImpulsePair (*processor);
        setPlainWetPath (*processor);
        setParameter (*processor, ids::onEqButton, jump.drive > 0.0f ? 0.0f : 1.0f);
        setParameter (*processor, ids::highCut, 20000.0f);
        for (int band = 1; band <= 5; ++band)
            setParameter (*processor, bandId (band, ids::bandGain), 12.0f);
        setParameter (*processor, jump.id, from);
        prepareForRender (*processor, 44100.0, 256);
        makeDriveLinear (*processor);
        setParameter (*processor, ids::drive, jump.drive);

        juce::AudioBuffer<float> audio (2, 256);
        juce::MidiBuffer midi;
        std::vector<float> output;
        int64_t phase = 0;

        for (int block = 0; block < 200; ++block)
        {
            // Moved on this thread between blocks, as a host's automation does; a sweep in equal ratios.
            if (block >= 100 && block <= 100 + jump.sweepBlocks)
                setParameter (*processor, jump.id, jump.sweepBlocks == 0 ? to
                                                   : from * std::pow (to / from, (float) (block - 100)
                                                                                     / (float) jump.sweepBlocks));

            for (int i = 0; i < 256; ++i, ++phase)
                for (int c = 0; c < 2; ++c)
                    audio.setSample (c, i, sineSample (55.0, 44100.0, phase, 0.14f) + sineSample (110.0, 44100.0, phase, 0.07f)
                                               + sineSample (220.0, 44100.0, phase, 0.07f));
            processor->processBlock (audio, midi);
            output.insert (output.end(), audio.getReadPointer (0), audio.getReadPointer (0) + 256);
        }

        return output;
    };

    for (const auto& jump : jumps)
    {
        auto output = render (jump, jump.before, jump.after);

        if (jump.drive > 0.0f)
        {
            const auto held = render (jump, jump.before, jump.before);
            const auto heldAfter = render (jump, jump.after, jump.after);
            for (size_t i = 0; i < output.size(); ++i)
            {
                const float w = juce::jlimit (0.0f, 1.0f, (float) ((int) i - 101 * 256 + 1) / 882.0f);
                output[i] -= held[i] * (1.0f - w) + heldAfter[i] * w;
            }
        }

        const auto levels = highBandLevels (output, 44100.0);
        const float residue = *std::max_element (levels.begin() + (long) levels.size() / 4, levels.end()) - pathGainDb;
        EXPECT_LT (residue, -100.0f) << jump.id << " from " << jump.before << " to " << jump.after;
    }
}
