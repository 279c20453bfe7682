#include "engine/inputcuts/CutSmoother.h"
#include "engine/processor/SectionFade.h"
#include "FilterTestHelpers.h"

#include <gtest/gtest.h>

using filter_testing::RecordingFilter;

namespace
{
struct RecordedCut
{
    smootheq::CutSmoother smoother;
    RecordingFilter filter;

    RecordedCut() { filter.frequencyInForce = [this] { return smoother.getLastFrequency(); }; }

    void run (int numSamples, float frequency, bool highPass = true)
    {
        juce::AudioBuffer<float> buffer (2, numSamples);
        buffer.clear();
        juce::dsp::AudioBlock<float> block (buffer);
        smoother.process (juce::dsp::ProcessContextReplacing<float> (block), filter, highPass, frequency, 0.6f);
    }
};

/** Checks that the pieces recorded from `first` on glide from `from` to `to` over `rampLength` samples on a
    logarithmic scale, each piece using the value reached at its end. */
void expectLogGlide (const std::vector<RecordingFilter::Call>& calls, size_t first, double from, double to, int rampLength)
{
    int reached = 0;

    for (size_t i = first; i < calls.size(); ++i)
    {
        reached += (int) calls[i].length;
        const double expected = from * std::pow (to / from, std::min (reached, rampLength) / (double) rampLength);
        EXPECT_NEAR (calls[i].frequency / expected, 1.0, 2.0e-4) << "piece ending " << reached << " samples in";
    }
}
} // namespace

TEST (CutSmoother, GlidesLogarithmicallyInPiecesOf32Samples)
{
    RecordedCut cut;
    cut.smoother.prepare (44100.0);
    cut.run (64, 10.0f);
    ASSERT_EQ (cut.filter.calls.size(), 1u) << "settled: the whole block in one go";
    EXPECT_EQ (cut.filter.calls[0].frequency, 10.0f);

    cut.run (2240, 1000.0f);
    ASSERT_EQ (cut.filter.calls.size(), 71u);

    for (size_t i = 1; i < cut.filter.calls.size(); ++i)
        EXPECT_EQ (cut.filter.calls[i].length, 32u);

    expectLogGlide (cut.filter.calls, 1, 10.0, 1000.0, 2205);
    EXPECT_NEAR (cut.filter.calls.back().frequency, 1000.0f, 0.01f);

    cut.run (100, 1000.0f);
    ASSERT_EQ (cut.filter.calls.size(), 72u) << "glide over: back to whole blocks";
    EXPECT_EQ (cut.filter.calls.back().frequency, 1000.0f);

    // A chunk that is not a multiple of 32 ends on a shorter piece.
    cut.run (70, 2000.0f);
    ASSERT_EQ (cut.filter.calls.size(), 75u);
    EXPECT_EQ (cut.filter.calls.back().length, 6u);
}

TEST (CutSmoother, NewTargetDuringAGlideStartsAFullGlideFromTheFrequencyReached)
{
    RecordedCut cut;
    cut.smoother.prepare (44100.0);
    cut.run (32, 10.0f);
    cut.run (1024, 1000.0f);
    const double reached = cut.filter.calls.back().frequency;
    EXPECT_NEAR (reached / (10.0 * std::pow (100.0, 1024.0 / 2205.0)), 1.0, 2.0e-4);

    const size_t first = cut.filter.calls.size();
    cut.run (2240, 100.0f);
    expectLogGlide (cut.filter.calls, first, reached, 100.0, 2205);
}

TEST (CutSmoother, FirstChunkAfterPreparationStartsAtTheRequestedFrequency)
{
    RecordedCut cut;
    cut.run (64, 22000.0f, false);
    EXPECT_EQ (cut.filter.calls.back().frequency, 22000.0f) << "construction state: no glide either";

    cut.smoother.prepare (44100.0);
    cut.run (64, 300.0f, false);
    cut.run (64, 3000.0f, false);
    EXPECT_NE (cut.filter.calls.back().frequency, 3000.0f) << "gliding";

    cut.smoother.prepare (48000.0);
    const size_t before = cut.filter.calls.size();
    cut.run (64, 500.0f, false);
    ASSERT_EQ (cut.filter.calls.size(), before + 1);
    EXPECT_EQ (cut.filter.calls.back().frequency, 500.0f);
}

TEST (CutSmoother, RealFilterTakesTheExactCoefficientsAndGlidesWithoutClicks)
{
    juce::ScopedNoDenormals noDenormals;
    const juce::dsp::ProcessSpec spec { 44100.0, 256, 2 };
    filter_testing::Duplicator filter;
    filter.prepare (spec);
    smootheq::CutSmoother smoother;
    smoother.prepare (spec.sampleRate);

    // A 200 Hz tone through a high-pass whose cut-off sweeps right across it, back and forth.
    testing_helpers::StepMeter meter;
    int64_t phase = 0;
    const float targets[] = { 10.0f, 2000.0f, 2000.0f, 10.0f, 1000.0f, 20.0f, 20.0f, 20.0f };

    for (int chunk = 0; chunk < 64; ++chunk)
    {
        juce::AudioBuffer<float> buffer (2, 256);
        testing_helpers::fillSine (buffer, 200.0, spec.sampleRate, phase);
        juce::dsp::AudioBlock<float> block (buffer);
        smoother.process (juce::dsp::ProcessContextReplacing<float> (block), filter, true, targets[chunk / 8], 0.6f);
        meter.add (buffer.getReadPointer (0), 256);
    }

    EXPECT_TRUE (meter.looksSmooth (200.0, spec.sampleRate)) << "largest step " << meter.largestStep;

    const auto expected = filter_testing::normalised (
        juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (44100.0, 20.0f, 0.6f));
    EXPECT_EQ (filter_testing::coefficientsOf (*filter.state), expected);
}

TEST (CutSmoother, CutOffsAtOrAboveHalfTheSampleRateStayFiniteAndStable)
{
    juce::ScopedNoDenormals noDenormals;
    juce::Random random (3);

    for (const double rate : { 8000.0, 11025.0, 22050.0, 32000.0, 44100.0, 96000.0, 192000.0, 384000.0 })
    {
        for (const bool highPass : { true, false })
        {
            filter_testing::Duplicator filter;
            filter.prepare ({ rate, 128, 2 });
            smootheq::CutSmoother smoother;
            smoother.prepare (rate);

            for (const float frequency : { 10.0f, 22000.0f, 300.0f, 2000.0f, 22000.0f, 0.0f, -5.0f, 1.0e9f, NAN, 22000.0f })
            {
                for (int chunk = 0; chunk < 40; ++chunk)
                {
                    juce::AudioBuffer<float> buffer (2, 128);
                    for (int c = 0; c < 2; ++c)
                        for (int i = 0; i < 128; ++i)
                            buffer.setSample (c, i, random.nextFloat() - 0.5f);

                    juce::dsp::AudioBlock<float> block (buffer);
                    smoother.process (juce::dsp::ProcessContextReplacing<float> (block), filter, highPass, frequency,
                                      highPass ? 0.6f : 0.7f);

                    ASSERT_TRUE (filter_testing::isFiniteAndStable (filter_testing::coefficientsOf (*filter.state)))
                        << rate << " Hz, cut-off " << frequency;

                    // A glide across many octaves in 50 ms overshoots for a moment (up to about 20 times on noise
                    // when a high-pass runs up to just below half the rate); what must never happen is growth.
                    for (int i = 0; i < 128; ++i)
                        ASSERT_TRUE (std::isfinite (buffer.getSample (0, i)) && std::abs (buffer.getSample (0, i)) < 100.0f)
                            << rate << " Hz, cut-off " << frequency << ", high-pass " << highPass;
                }
            }
        }
    }
}

// A low cut at the range's 10 Hz takes a DC offset away at every rate, and keeps none once the input stops: at
// 384 kHz it kept 15 % of it for good, its poles lying too close to 1 for single precision.
TEST (CutSmoother, LowCutTakesDirectCurrentAwayAndKeepsNoneAtEveryRate)
{
    for (const double rate : { 44100.0, 192000.0, 352800.0, 384000.0 })
    {
        filter_testing::Duplicator filter;
        filter.prepare ({ rate, 128, 2 });
        smootheq::CutSmoother smoother;
        smoother.prepare (rate);
        const int second = (int) (rate / 128);
        float leaked = 0.0f, kept = 0.0f;

        for (int chunk = 0; chunk < 3 * second; ++chunk)
        {
            juce::AudioBuffer<float> buffer (2, 128);
            for (int c = 0; c < 2; ++c)
                juce::FloatVectorOperations::fill (buffer.getWritePointer (c), chunk < second ? 0.1f : 0.0f, 128);
            juce::dsp::AudioBlock<float> block (buffer);
            smoother.process (juce::dsp::ProcessContextReplacing<float> (block), filter, true, 10.0f, 0.6f);
            (chunk < second ? leaked : kept) = std::abs (buffer.getSample (0, 127));
        }

        EXPECT_LT (leaked, 2.0e-3f) << rate << " Hz"; // single precision lets about 1 % of it through at the top rates
        EXPECT_LT (kept, 1.0e-7f) << rate << " Hz";
    }
}

TEST (CutSmoother, SkippedStageLeavesTheFilterUntouchedAndTheGlideWhereItWas)
{
    // The input cut stage as the chunk path runs it: the section fade decides whether the smoothers run at all.
    smootheq::SectionFade fade;
    fade.prepare (44100.0, 64, 2);
    RecordedCut cut;
    cut.smoother.prepare (44100.0);

    const auto runStage = [&] (bool on, float frequency)
    {
        juce::AudioBuffer<float> buffer (2, 64);
        buffer.clear();
        juce::dsp::AudioBlock<float> block (buffer);

        if (fade.begin (block, on))
        {
            cut.smoother.process (juce::dsp::ProcessContextReplacing<float> (block), cut.filter, true, frequency, 0.6f);
            fade.end (block);
        }
    };

    runStage (false, 500.0f);
    runStage (false, 1000.0f);
    EXPECT_TRUE (cut.filter.calls.empty()) << "off from the start: the filter never runs";

    runStage (true, 1000.0f);
    ASSERT_EQ (cut.filter.calls.size(), 1u);
    EXPECT_EQ (cut.filter.calls[0].frequency, 1000.0f) << "its first run starts where the parameter stands";

    runStage (true, 10.0f);
    const float reached = cut.filter.calls.back().frequency;

    for (int i = 0; i < 40; ++i)
        runStage (false, 10.0f);

    const size_t callsWhenSkipped = cut.filter.calls.size();
    runStage (false, 10.0f);
    EXPECT_EQ (cut.filter.calls.size(), callsWhenSkipped) << "settled off: skipped";

    const float reachedWhenOff = cut.filter.calls.back().frequency;
    EXPECT_LT (reachedWhenOff, reached) << "the glide ran during the fade-out";

    runStage (true, 10.0f);
    const double expectedNext = reachedWhenOff * std::pow (10.0 / 1000.0, 32.0 / 2205.0);
    EXPECT_NEAR (cut.filter.calls[callsWhenSkipped].frequency / expectedNext, 1.0, 2.0e-4)
        << "the glide resumes where it stopped";
}
