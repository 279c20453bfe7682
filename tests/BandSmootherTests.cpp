#include "engine/equaliser/BandSmoother.h"
#include "FilterTestHelpers.h"

#include <gtest/gtest.h>

using filter_testing::RecordingFilter;

namespace
{
enum BandType { lowCut = 0, lowShelf = 1, peak = 2, highShelf = 3, highCut = 4 };

double magnitudeDb (int type, double rate, float frequency, float q, float gainDb, double at)
{
    const juce::dsp::IIR::Coefficients<float> c (smootheq::makeBand (type, rate, frequency, q, gainDb));
    return juce::Decibels::gainToDecibels (c.getMagnitudeForFrequency (at, rate), -300.0);
}

struct Settings
{
    int type;
    float frequency, q, gainDb;
    bool active;
};

/** A band smoother driving a recording stand-in, as the chunk path drives a band. */
struct RecordedBand
{
    smootheq::BandSmoother smoother;
    RecordingFilter filter;

    explicit RecordedBand (double rate, int blockSize = 4096)
    {
        smoother.prepare (rate, blockSize, 2);
        filter.frequencyInForce = [this] { return smoother.getLastFrequency(); };
    }

    void run (int numSamples, const Settings& s)
    {
        juce::AudioBuffer<float> buffer (2, numSamples);
        buffer.clear();
        juce::dsp::AudioBlock<float> block (buffer);
        smoother.process (block, filter, s.type, s.frequency, s.q, s.gainDb, s.active);
    }

    /** Runs one sample at a time until the crossfade weight equals `target`; returns the samples it took. */
    int samplesUntilFadeGain (float target, const Settings& s, int limit = 10000)
    {
        for (int n = 1; n <= limit; ++n)
        {
            run (1, s);
            if (smoother.getFadeGain() == target)
                return n;
        }
        return -1;
    }
};
} // namespace

TEST (EqualiserBandCoefficients, MatchTheTextbookResponses)
{
    const double rate = 48000.0;

    // Peak: the full gain at the centre, nothing far away.
    EXPECT_NEAR (magnitudeDb (peak, rate, 1000.0f, 1.0f, 12.0f, 1000.0), 12.0, 0.01);
    EXPECT_NEAR (magnitudeDb (peak, rate, 1000.0f, 1.0f, 12.0f, 20.0), 0.0, 0.1);
    EXPECT_NEAR (magnitudeDb (peak, rate, 1000.0f, 4.0f, -18.0f, 1000.0), -18.0, 0.01);

    // Shelves: the full gain on their side, half of it (in dB) at the corner, none on the other side.
    EXPECT_NEAR (magnitudeDb (lowShelf, rate, 200.0f, 0.8f, 6.0f, 5.0), 6.0, 0.1);
    EXPECT_NEAR (magnitudeDb (lowShelf, rate, 200.0f, 0.8f, 6.0f, 200.0), 3.0, 0.01);
    EXPECT_NEAR (magnitudeDb (lowShelf, rate, 200.0f, 0.8f, 6.0f, 20000.0), 0.0, 0.1);
    EXPECT_NEAR (magnitudeDb (highShelf, rate, 5000.0f, 0.8f, -9.0f, 20.0), 0.0, 0.1);
    EXPECT_NEAR (magnitudeDb (highShelf, rate, 5000.0f, 0.8f, -9.0f, 5000.0), -4.5, 0.01);
    EXPECT_NEAR (magnitudeDb (highShelf, rate, 5000.0f, 0.8f, -9.0f, 23500.0), -9.0, 0.2);

    // Cuts: a gain of Q at the corner whatever the gain setting, the pass band flat, the stop band gone.
    EXPECT_NEAR (magnitudeDb (lowCut, rate, 1000.0f, 0.8f, 12.0f, 1000.0), juce::Decibels::gainToDecibels (0.8), 0.01);
    EXPECT_NEAR (magnitudeDb (lowCut, rate, 1000.0f, 0.8f, 12.0f, 15000.0), 0.0, 0.1);
    EXPECT_LT (magnitudeDb (lowCut, rate, 1000.0f, 0.8f, 12.0f, 20.0), -60.0);
    EXPECT_NEAR (magnitudeDb (highCut, rate, 1000.0f, 2.0f, -24.0f, 1000.0), juce::Decibels::gainToDecibels (2.0), 0.01);
    EXPECT_NEAR (magnitudeDb (highCut, rate, 1000.0f, 2.0f, -24.0f, 20.0), 0.0, 0.1);

    // 0 dB shelves and peaks are flat; unknown types pass the signal through unchanged.
    for (const int type : { lowShelf, peak, highShelf })
        for (const double at : { 20.0, 170.0, 3000.0, 20000.0 })
            EXPECT_NEAR (magnitudeDb (type, rate, 170.0f, 0.8f, 0.0f, at), 0.0, 1.0e-4) << "type " << type;

    const std::array<float, 6> passThrough { 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f };
    for (const int type : { -1, 5, 7 })
        EXPECT_EQ (smootheq::makeBand (type, rate, 1000.0f, 0.8f, 12.0f), passThrough);

    EXPECT_EQ (smootheq::toBandType (2.0f), 2);
    EXPECT_EQ (smootheq::toBandType (3.9f), 3);
    EXPECT_EQ (smootheq::toBandType (NAN), 5);
    EXPECT_EQ (smootheq::toBandType (1.0e20f), 5);
}

TEST (EqualiserBandCoefficients, StayFiniteAndStableAtEveryRateAndSetting)
{
    for (const double rate : { 8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0 })
        for (int type = 0; type <= 4; ++type)
            for (const float frequency : { 2.0f, 20.0f, 1000.0f, 3999.0f, 4000.0f, 20000.0f, 1.0e6f, 0.0f, -3.0f, NAN })
                for (const float q : { 0.2f, 0.8f, 20.0f, 0.0f, -1.0f, NAN, INFINITY })
                    for (const float gainDb : { -24.0f, 0.0f, 24.0f, -48.0f, 48.0f, -200.0f, 200.0f, NAN, INFINITY, -INFINITY })
                        ASSERT_TRUE (filter_testing::isFiniteAndStable (
                            filter_testing::normalised (smootheq::makeBand (type, rate, frequency, q, gainDb))))
                            << rate << " Hz, type " << type << ", " << frequency << " Hz, Q " << q << ", " << gainDb << " dB";
}

TEST (EqualiserBand, FiltersWithExactlyTheCoefficientsOfItsSettings)
{
    juce::ScopedNoDenormals noDenormals;
    const double rate = 44100.0;
    const Settings settings[] = { { lowCut, 500.0f, 0.7f, 0.0f, true }, { lowShelf, 300.0f, 0.8f, 9.0f, true },
                                  { peak, 1000.0f, 2.0f, -12.0f, true }, { highShelf, 3000.0f, 1.2f, -6.0f, true },
                                  { highCut, 2000.0f, 3.0f, 0.0f, true } };

    for (const auto& s : settings)
    {
        const juce::dsp::IIR::Coefficients<float> expected (smootheq::makeBand (s.type, rate, s.frequency, s.q, s.gainDb));

        for (const double tone : { 100.0, 700.0, 1000.0, 2500.0, 8000.0 })
        {
            smootheq::BandFilter filter;
            filter.prepare ({ rate, 512, 2 });
            smootheq::BandSmoother smoother;
            smoother.prepare (rate, 512, 2);

            juce::AudioBuffer<float> buffer (2, 512);
            juce::AudioBuffer<float> output (1, 44100);
            int64_t phase = 0;

            for (int start = 0; start + 512 <= output.getNumSamples(); start += 512)
            {
                testing_helpers::fillSine (buffer, tone, rate, phase);
                juce::dsp::AudioBlock<float> block (buffer);
                smoother.process (block, filter, s.type, s.frequency, s.q, s.gainDb, s.active);
                output.copyFrom (0, start, buffer, 1, 0, 512);
            }

            const float measured = testing_helpers::rms (output, 0, 22050) / (0.5f / std::sqrt (2.0f));
            EXPECT_NEAR (measured / expected.getMagnitudeForFrequency (tone, rate), 1.0, 0.01)
                << "type " << s.type << " at " << tone << " Hz";
        }
    }
}

TEST (EqualiserBand, FrequencyGlidesLogarithmicallyWhileQAndGainHold)
{
    RecordedBand band (48000.0);
    band.run (512, { peak, 100.0f, 0.8f, 6.0f, true });
    ASSERT_EQ (band.filter.calls.size(), 1u);
    EXPECT_EQ (band.filter.calls[0].frequency, 100.0f) << "the first chunk starts at the settings";

    band.run (2432, { peak, 1000.0f, 0.8f, 6.0f, true });
    ASSERT_EQ (band.filter.calls.size(), 77u);
    int reached = 0;

    for (size_t i = 1; i < band.filter.calls.size(); ++i)
    {
        EXPECT_EQ (band.filter.calls[i].length, 32u);
        reached += 32;
        const double expected = 100.0 * std::pow (10.0, std::min (reached, 2400) / 2400.0);
        EXPECT_NEAR (band.filter.calls[i].frequency / expected, 1.0, 2.0e-4) << "piece ending " << reached;
    }

    EXPECT_EQ (band.smoother.getLastQ(), 0.8f);
    EXPECT_EQ (band.smoother.getLastGain(), 6.0f);
    EXPECT_EQ (band.filter.resets, 0);
}

TEST (EqualiserBand, TypeChangeFadesOutRestartsClearedAndFadesIn)
{
    RecordedBand band (44100.0);
    const Settings before { peak, 3000.0f, 0.8f, 6.0f, true };
    const Settings after { highShelf, 3000.0f, 0.8f, 6.0f, true };
    band.run (64, before);

    EXPECT_EQ (band.samplesUntilFadeGain (0.0f, after), 441);
    EXPECT_EQ (band.smoother.getType(), peak) << "faded out with the old type";
    EXPECT_EQ (band.filter.resets, 0);

    band.run (1, after);
    EXPECT_EQ (band.smoother.getType(), highShelf);
    EXPECT_EQ (band.filter.resets, 1) << "memory cleared at the restart";
    EXPECT_FALSE (band.smoother.isRamping()) << "restarts at the new settings";
    EXPECT_EQ (band.samplesUntilFadeGain (1.0f, after) + 1, 441);
}

TEST (EqualiserBand, SwitchingOffFadesOutThenCostsNothing)
{
    RecordedBand band (48000.0, 64);
    band.run (64, { peak, 800.0f, 0.8f, 3.0f, true });
    EXPECT_EQ (band.samplesUntilFadeGain (0.0f, { peak, 800.0f, 0.8f, 3.0f, false }), 480);

    const size_t calls = band.filter.calls.size();
    band.run (64, { peak, 2000.0f, 4.0f, -3.0f, false });
    EXPECT_EQ (band.filter.calls.size(), calls) << "skipped";
    EXPECT_EQ (band.smoother.getLastFrequency(), 800.0f) << "no ramp while skipped";

    band.run (64, { lowShelf, 2000.0f, 4.0f, -3.0f, true });
    EXPECT_EQ (band.filter.resets, 1);
    EXPECT_EQ (band.smoother.getLastFrequency(), 2000.0f) << "restarts at the new settings without a ramp";
    EXPECT_NEAR (band.smoother.getFadeGain(), 64.0f / 480.0f, 1.0e-5f);

    // A chunk longer than the crossfade copy switches at once.
    band.run (128, { lowShelf, 2000.0f, 4.0f, -3.0f, false });
    EXPECT_EQ (band.smoother.getFadeGain(), 0.0f);

    // Inactive from the first chunk: never filters.
    RecordedBand idle (48000.0);
    idle.run (64, { peak, 800.0f, 0.8f, 0.0f, false });
    EXPECT_TRUE (idle.filter.calls.empty());
}

TEST (EqualiserBand, EveryKindOfChangeIsFreeOfClicks)
{
    juce::ScopedNoDenormals noDenormals;
    const double rate = 44100.0;
    smootheq::BandFilter filter;
    filter.prepare ({ rate, 128, 2 });
    smootheq::BandSmoother smoother;
    smoother.prepare (rate, 128, 2);

    const Settings script[] = {
        { peak, 1000.0f, 0.8f, 0.0f, true },       { peak, 300.0f, 0.8f, 12.0f, true },
        { peak, 300.0f, 20.0f, 12.0f, true },      { highShelf, 300.0f, 20.0f, 12.0f, true },
        { lowCut, 20000.0f, 0.2f, 12.0f, true },   { lowCut, 20.0f, 0.2f, 12.0f, true },
        { highCut, 20.0f, 0.2f, 12.0f, true },     { highCut, 20000.0f, 0.2f, -24.0f, true },
        { lowShelf, 20000.0f, 20.0f, -24.0f, false }, { lowShelf, 20.0f, 20.0f, 24.0f, true },
        { lowShelf, 20.0f, 20.0f, 24.0f, true }
    };

    testing_helpers::StepMeter meter;
    int64_t phase = 0;

    for (const auto& s : script)
    {
        for (int chunk = 0; chunk < 20; ++chunk)
        {
            juce::AudioBuffer<float> buffer (2, 128);
            testing_helpers::fillSine (buffer, 300.0, rate, phase);
            juce::dsp::AudioBlock<float> block (buffer);
            smoother.process (block, filter, s.type, s.frequency, s.q, s.gainDb, s.active);
            meter.add (buffer.getReadPointer (1), 128);
        }
    }

    EXPECT_TRUE (meter.looksSmooth (300.0, rate)) << "largest step " << meter.largestStep << ", level " << meter.largestLevel;
}
