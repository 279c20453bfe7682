#include "bench/PluginBench.h"

#include "engine/processor/OfflineRendering.h"
#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <ostream>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double secondsSince (Clock::time_point start) { return std::chrono::duration<double> (Clock::now() - start).count(); }

void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, random.nextFloat() * 0.2f - 0.1f);
}

void set (VellumarProcessor& p, const char* id, float value)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (value));
}

// Every stage doing work: ducking, Shimmer, tremolo, full drive, and the bands moving all the time.
void activateEverything (VellumarProcessor& p)
{
    set (p, "SideChain", 50.0f);
    set (p, "Compressor", 1.0f);
    set (p, "Shimmer", 1.0f);
    set (p, "PreVerb", 50.0f);
    set (p, "Tremolo", 1.0f);
    set (p, "LfoDepth", 60.0f);
    set (p, "Drive", 100.0f);
    set (p, "DriveType", 2.0f);
    set (p, "LowCut", 120.0f);
    set (p, "HighCut", 9000.0f);
}

std::unique_ptr<VellumarProcessor> makeReady (double rate, int block, float decay, bool everything)
{
    auto p = std::make_unique<VellumarProcessor>();
    set (*p, "Decay", decay);
    if (everything)
        activateEverything (*p);
    p->setNonRealtime (true);
    p->setRateAndBufferSizeDetails (rate, block);
    p->prepareToPlay (rate, block);
    waitForImpulseResponses (*p);
    return p;
}

struct BlockTimes
{
    double realtimeFactor;
    std::vector<double> perBlock; // seconds
};

BlockTimes runBlocks (VellumarProcessor& p, double rate, int block, double seconds, bool moveBands)
{
    juce::AudioBuffer<float> buffer (2, block);
    juce::MidiBuffer midi;
    juce::Random random (1);
    const int blocks = std::max (1, (int) (seconds * rate / block));
    BlockTimes result;
    result.perBlock.reserve ((size_t) blocks);
    double total = 0.0;

    for (int b = 0; b < blocks; ++b)
    {
        fillNoise (buffer, random);

        if (moveBands && b % 8 == 0)
            for (int band = 1; band <= 5; ++band)
                set (p, (juce::String (band) + "Gain").toRawUTF8(), random.nextFloat() * 24.0f - 12.0f);

        const auto start = Clock::now();
        p.processBlock (buffer, midi);
        const double t = secondsSince (start);
        total += t;
        result.perBlock.push_back (t);
    }

    result.realtimeFactor = (blocks * block / rate) / total;
    return result;
}

double percentile (std::vector<double> values, double fraction)
{
    std::sort (values.begin(), values.end());
    return values[(size_t) std::min<double> ((double) values.size() - 1, fraction * (double) values.size())];
}

// Two bare JUCE engines with the same latency and responses as our pair, summed without a blend.
double bareEnginePairCost (VellumarProcessor& loaded, double rate, int block, double seconds)
{
    juce::dsp::ConvolutionMessageQueue queue;
    juce::dsp::Convolution a (juce::dsp::Convolution::Latency { 1024 }, queue), b (juce::dsp::Convolution::Latency { 1024 }, queue);
    const juce::dsp::ProcessSpec spec { rate, (juce::uint32) block, 2 };
    a.prepare (spec);
    b.prepare (spec);

    juce::AudioBuffer<float> irA, irB;
    {
        const std::lock_guard<std::mutex> lock (loaded.irMutex);
        irA.makeCopyOf (loaded.irBufferA);
        irB.makeCopyOf (loaded.irBufferB);
    }
    const float decay = loaded.apvts.getRawParameterValue ("Decay")->load();
    const int length = (int) (decay * rate);
    irA.setSize (2, std::min (length, irA.getNumSamples()), true);
    irB.setSize (2, std::min (length, irB.getNumSamples()), true);
    using C = juce::dsp::Convolution;
    a.loadImpulseResponse (std::move (irA), 44100.0, C::Stereo::yes, C::Trim::yes, C::Normalise::yes);
    b.loadImpulseResponse (std::move (irB), 44100.0, C::Stereo::yes, C::Trim::yes, C::Normalise::yes);
    a.prepare (spec); // runs the queued loads now
    b.prepare (spec);

    juce::AudioBuffer<float> input (2, block), scratch (2, block);
    juce::Random random (1);
    const int blocks = (int) (seconds * rate / block);
    double total = 0.0;

    for (int n = 0; n < blocks; ++n)
    {
        fillNoise (input, random);

        const auto start = Clock::now();
        juce::dsp::AudioBlock<float> in (input), out (scratch);
        a.process (juce::dsp::ProcessContextNonReplacing<float> (in, out));
        b.process (juce::dsp::ProcessContextReplacing<float> (in));
        total += secondsSince (start);
    }

    return total / (blocks * block / rate);
}

double ourPairCost (VellumarProcessor& loaded, double rate, int block, double seconds)
{
    juce::AudioBuffer<float> input (2, block);
    juce::Random random (1);
    const int blocks = (int) (seconds * rate / block);
    double total = 0.0;

    for (int n = 0; n < blocks; ++n)
    {
        fillNoise (input, random);

        const auto start = Clock::now();
        juce::dsp::AudioBlock<float> in (input);
        loaded.convolutionPair.setBlend (0.15f);
        loaded.convolutionPair.process (juce::dsp::ProcessContextReplacing<float> (in));
        total += secondsSince (start);
    }

    return total / (blocks * block / rate);
}
} // namespace

double runPluginBench (std::ostream& out)
{
    out << std::fixed << std::setprecision (2);
    out << "== Whole plug-in: realtime factor (seconds of stereo audio per second of processing, one core)\n";

    for (const float decay : { 3.0f, 10.0f })
        for (const double rate : { 44100.0, 96000.0 })
            for (const int block : { 64, 512, 1024 })
            {
                auto p = makeReady (rate, block, decay, false);
                const auto times = runBlocks (*p, rate, block, 8.0, false);
                out << "  Decay " << decay << " s, " << rate / 1000.0 << " kHz, block " << std::setw (4) << block
                    << ": " << std::setw (7) << times.realtimeFactor << "x\n";
            }

    out << "\n== Host blocks of 64 samples at 44.1 kHz: processing time as a share of the block's budget ("
        << 64.0 / 44.1 << " ms)\n";
    for (const bool everything : { false, true })
    {
        auto p = makeReady (44100.0, 64, 3.0f, everything);
        runBlocks (*p, 44100.0, 64, 1.0, everything); // settle
        const auto times = runBlocks (*p, 44100.0, 64, 20.0, everything);
        const double budget = 64.0 / 44100.0;
        out << "  " << (everything ? "every stage active" : "defaults          ")
            << ": median " << percentile (times.perBlock, 0.5) / budget * 100.0 << " %, 99th percentile "
            << percentile (times.perBlock, 0.99) / budget * 100.0 << " %, maximum "
            << percentile (times.perBlock, 1.0) / budget * 100.0 << " %\n";
    }

    out << "\n== Share of the whole chunk taken by the stages other than the convolution pair (44.1 kHz, block 512)\n";
    {
        auto defaults = makeReady (44100.0, 512, 3.0f, false);
        auto active = makeReady (44100.0, 512, 3.0f, true);
        const double pair = ourPairCost (*defaults, 44100.0, 512, 10.0);
        const double d = 1.0 / runBlocks (*defaults, 44100.0, 512, 10.0, false).realtimeFactor;
        const double a = 1.0 / runBlocks (*active, 44100.0, 512, 10.0, true).realtimeFactor;
        out << "  defaults: stages " << std::max (0.0, d - pair) / d * 100.0 << " % of the chunk, "
            << std::max (0.0, d - pair) / pair * 100.0 << " % of the pair's cost\n"
            << "  every stage active: stages " << std::max (0.0, a - pair) / a * 100.0 << " % of the chunk, "
            << std::max (0.0, a - pair) / pair * 100.0 << " % of the pair's cost\n";
    }

    out << "\n== One impulse-response pair switch (decode both MP3s, trim, build both engines), Decay 3 s, 44.1 kHz\n";
    {
        auto p = makeReady (44100.0, 512, 3.0f, false);
        const std::pair<int, int> picks[] { { 1, 3 }, { 2, 5 }, { 4, 2 }, { 3, 4 }, { 0, 2 } };
        double decode = 0.0, load = 0.0;
        for (const auto& [type, number] : picks)
        {
            p->irTypeIndex = type;
            p->irNumber = number;
            auto start = Clock::now();
            p->decodeIRPair();
            decode += secondsSince (start);
            start = Clock::now();
            p->updateIRParameters();
            waitForImpulseResponses (*p);
            load += secondsSince (start);
        }
        out << "  decode " << decode / 5.0 * 1000.0 << " ms, trim and engine build " << load / 5.0 * 1000.0 << " ms (mean of 5)\n";
    }

    out << "\n== Our convolution pair against two bare JUCE engines with the same responses (44.1 kHz, block 512)\n";
    double pairCost = 0.0;
    {
        auto p = makeReady (44100.0, 512, 3.0f, false);
        pairCost = ourPairCost (*p, 44100.0, 512, 10.0);
        const double bare = bareEnginePairCost (*p, 44100.0, 512, 10.0);
        out << "  ours " << pairCost * 1000.0 << " ms per second of audio, bare " << bare * 1000.0
            << " ms: ratio " << pairCost / bare << "\n";
    }
    return pairCost;
}
