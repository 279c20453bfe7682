#include "bench/StageBench.h"

#include "engine/equaliser/BandSmoother.h"
#include "engine/inputcuts/CutSmoother.h"
#include "engine/processor/SectionFade.h"

#include <array>
#include <chrono>
#include <iostream>

namespace
{
using Filter = juce::dsp::ProcessorDuplicator<juce::dsp::IIR::Filter<float>, juce::dsp::IIR::Coefficients<float>>;

constexpr double rate = 44100.0;
constexpr int blockSize = 512;
constexpr double secondsOfAudio = 20.0;

/** Runs `stage` over `secondsOfAudio` of stereo noise in blocks and returns CPU seconds per second of audio. */
template <typename Stage>
double costPerSecond (Stage&& stage)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::Random random (1);
    const int blocks = (int) (secondsOfAudio * rate / blockSize);
    double seconds = 0.0;

    for (int b = 0; b < blocks; ++b)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, random.nextFloat() * 0.2f - 0.1f);

        juce::dsp::AudioBlock<float> block (buffer);
        const auto began = std::chrono::steady_clock::now();
        stage (block, b);
        seconds += std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();
    }

    return seconds / (blocks * blockSize / rate);
}

struct InputCuts
{
    smootheq::SectionFade fade;
    smootheq::CutSmoother lowSmoother, highSmoother;
    Filter low, high;

    InputCuts()
    {
        const juce::dsp::ProcessSpec spec { rate, (juce::uint32) blockSize, 2 };
        low.prepare (spec);
        high.prepare (spec);
        lowSmoother.prepare (rate);
        highSmoother.prepare (rate);
        fade.prepare (rate, blockSize, 2);
    }

    void operator() (juce::dsp::AudioBlock<float>& block, float lowCut, float highCut)
    {
        if (fade.begin (block, true))
        {
            const juce::dsp::ProcessContextReplacing<float> context (block);
            lowSmoother.process (context, low, true, lowCut, 0.6f);
            highSmoother.process (context, high, false, highCut, 0.7f);
            fade.end (block);
        }
    }
};

struct Bands
{
    smootheq::SectionFade fade;
    std::array<smootheq::BandSmoother, 5> smoothers;
    std::array<smootheq::BandFilter, 5> filters;

    Bands()
    {
        for (size_t i = 0; i < 5; ++i)
        {
            filters[i].prepare ({ rate, (juce::uint32) blockSize, 2 });
            smoothers[i].prepare (rate, blockSize, 2);
        }
        fade.prepare (rate, blockSize, 2);
    }

    void operator() (juce::dsp::AudioBlock<float>& block, const std::array<float, 5>& frequencies, float gainDb)
    {
        static constexpr int types[] { 1, 2, 2, 2, 3 };

        if (fade.begin (block, true))
        {
            for (size_t i = 0; i < 5; ++i)
                smoothers[i].process (block, filters[i], types[i], frequencies[i], 0.8f, gainDb, true);
            fade.end (block);
        }
    }
};
} // namespace

void runEqualiserBench()
{
    juce::ScopedNoDenormals noDenormals;
    const std::array<float, 5> defaults { 40.0f, 170.0f, 800.0f, 3000.0f, 10000.0f };

    InputCuts settledCuts;
    const double cuts = costPerSecond ([&] (auto& block, int) { settledCuts (block, 10.0f, 22000.0f); });

    InputCuts glidingCuts;
    const double cutsGliding = costPerSecond ([&] (auto& block, int b)
    {
        const bool even = b % 2 == 0;
        glidingCuts (block, even ? 10.0f : 2000.0f, even ? 22000.0f : 300.0f);
    });

    Bands defaultBands;
    const double bands = costPerSecond ([&] (auto& block, int) { defaultBands (block, defaults, 0.0f); });

    // A new target every block keeps all three ramps of every band running all the time.
    Bands rampingBands;
    const double bandsRamping = costPerSecond ([&] (auto& block, int b)
    {
        auto frequencies = defaults;
        for (auto& f : frequencies)
            f *= b % 2 == 0 ? 0.5f : 2.0f;
        rampingBands (block, frequencies, b % 2 == 0 ? -12.0f : 12.0f);
    });

    std::cout << "CPU seconds per second of stereo 44.1 kHz audio (blocks of " << blockSize << "):\n"
              << "  input cuts, settled:       " << cuts << "\n"
              << "  input cuts, gliding:       " << cutsGliding << "\n"
              << "  five bands, defaults:      " << bands << "\n"
              << "  five bands, all ramping:   " << bandsRamping << "\n";
}
