#include "bench/PluginBench.h"

#include "bench/PlainConvolver.h"
#include "engine/convolution/ImpulseResponses.h"
#include "engine/processor/OfflineRendering.h"
#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <functional>
#include <iomanip>
#include <memory>
#include <ostream>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double secondsSince (Clock::time_point start) { return std::chrono::duration<double> (Clock::now() - start).count(); }

// Processing is timed in CPU time of this thread, so that other programs on the machine slow no figure down.
double threadSeconds()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return (double) t.tv_sec + 1e-9 * (double) t.tv_nsec;
}

// Ten seconds of stereo pink noise (Paul Kellet's economical filter), looped by every measurement.
const juce::AudioBuffer<float>& pinkNoise()
{
    static const juce::AudioBuffer<float> noise = [] {
        juce::AudioBuffer<float> b (2, 441000);
        juce::Random random (1);
        for (int c = 0; c < 2; ++c)
        {
            float b0 = 0, b1 = 0, b2 = 0;
            for (int i = 0; i < b.getNumSamples(); ++i)
            {
                const float white = random.nextFloat() * 2.0f - 1.0f;
                b0 = 0.99765f * b0 + white * 0.0990460f;
                b1 = 0.96300f * b1 + white * 0.2965164f;
                b2 = 0.57000f * b2 + white * 1.0526913f;
                b.setSample (c, i, 0.05f * (b0 + b1 + b2 + white * 0.1848f));
            }
        }
        return b;
    }();
    return noise;
}

void fillFromNoise (juce::AudioBuffer<float>& buffer, int& position)
{
    const auto& noise = pinkNoise();
    const int n = buffer.getNumSamples();
    if (position + n > noise.getNumSamples())
        position = 0;
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        buffer.copyFrom (c, 0, noise, c % 2, position, n);
    position += n;
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

double percentile (std::vector<double> values, double fraction)
{
    std::sort (values.begin(), values.end());
    return values[(size_t) std::min<double> ((double) values.size() - 1, fraction * (double) values.size())];
}

//==============================================================================
// Something that processes stereo blocks in place, timed block by block.
struct Contender
{
    std::function<void (juce::AudioBuffer<float>&)> process;
    double seconds = 0.0;          // CPU time spent
    double audioSeconds = 0.0;     // audio processed
    std::vector<double> perBlock;  // CPU time of each block

    double load() const { return seconds / audioSeconds; } // CPU seconds per second of audio
};

// Runs the contenders in turns of one second of audio each, so that a change in the machine's speed meets all alike.
void race (std::vector<Contender*> contenders, double rate, int block, double audioSeconds, bool keepBlocks = false)
{
    juce::AudioBuffer<float> buffer (2, block);
    const int blocksPerTurn = std::max (1, (int) (rate / block));
    const int turns = std::max (1, (int) (audioSeconds * rate / block / blocksPerTurn));

    for (int turn = 0; turn < turns; ++turn)
    {
        for (auto* c : contenders)
        {
            int position = turn * blocksPerTurn * block;
            for (int b = 0; b < blocksPerTurn; ++b)
            {
                fillFromNoise (buffer, position);
                const double start = threadSeconds();
                c->process (buffer);
                const double t = threadSeconds() - start;
                c->seconds += t;
                if (keepBlocks)
                    c->perBlock.push_back (t);
            }
            c->audioSeconds += blocksPerTurn * block / rate;
        }
    }
}

Contender pluginContender (VellumarProcessor& p)
{
    Contender c;
    c.process = [&p] (juce::AudioBuffer<float>& buffer) {
        juce::MidiBuffer midi;
        p.processBlock (buffer, midi);
    };
    return c;
}

// Our convolution pair alone, with its blend at the default Character.
Contender pairContender (VellumarProcessor& p)
{
    Contender c;
    c.process = [&p] (juce::AudioBuffer<float>& buffer) {
        juce::dsp::AudioBlock<float> in (buffer);
        p.convolutionPair.setBlend (0.15f);
        p.convolutionPair.process (juce::dsp::ProcessContextReplacing<float> (in));
    };
    return c;
}

// The pair as the engines are given it: decoded, trimmed to Decay with the fade, at the responses' own 44.1 kHz.
std::array<juce::AudioBuffer<float>, 2> trimmedPair (VellumarProcessor& p)
{
    std::array<juce::AudioBuffer<float>, 2> pair;
    {
        const std::lock_guard<std::mutex> lock (p.irMutex);
        pair[0].makeCopyOf (p.irBufferA);
        pair[1].makeCopyOf (p.irBufferB);
    }
    const auto trim = irTrimFor (p.apvts.getRawParameterValue ("Decay")->load(), 44100.0);
    for (auto& r : pair)
        trimWithFade (r, trim.length, trim.fadeLength);
    return pair;
}

// Two bare JUCE engines with the same latency and responses as our pair, without the blend.
struct BareEnginePair
{
    BareEnginePair (VellumarProcessor& loaded, double rate, int block)
    {
        const juce::dsp::ProcessSpec spec { rate, (juce::uint32) block, 2 };
        auto pair = trimmedPair (loaded);
        using C = juce::dsp::Convolution;
        for (size_t e = 0; e < 2; ++e)
        {
            engines[e].prepare (spec);
            engines[e].loadImpulseResponse (std::move (pair[e]), 44100.0, C::Stereo::yes, C::Trim::yes, C::Normalise::yes);
            engines[e].prepare (spec); // runs the queued load now
        }
        scratch.setSize (2, block);
    }

    void process (juce::AudioBuffer<float>& buffer)
    {
        juce::dsp::AudioBlock<float> in (buffer), out (scratch);
        out = out.getSubBlock (0, buffer.getNumSamples());
        engines[0].process (juce::dsp::ProcessContextNonReplacing<float> (in, out));
        engines[1].process (juce::dsp::ProcessContextReplacing<float> (in));
    }

    juce::dsp::ConvolutionMessageQueue queue;
    std::array<juce::dsp::Convolution, 2> engines { { juce::dsp::Convolution (juce::dsp::Convolution::Latency { 1024 }, queue),
                                                      juce::dsp::Convolution (juce::dsp::Convolution::Latency { 1024 }, queue) } };
    juce::AudioBuffer<float> scratch;
};

// The bare engines trim what lies below -80 dB at either end of a response; the yardstick does the same.
juce::Range<int> audibleRange (const juce::AudioBuffer<float>& r)
{
    const float threshold = juce::Decibels::decibelsToGain (-80.0f);
    int first = r.getNumSamples(), last = 0;
    for (int c = 0; c < r.getNumChannels(); ++c)
        for (int i = 0; i < r.getNumSamples(); ++i)
            if (std::abs (r.getSample (c, i)) >= threshold)
            {
                first = std::min (first, i);
                last = std::max (last, i + 1);
            }
    return { std::min (first, last), last };
}

// Our yardstick: four plain FFTW convolvers (each engine's two channels), the same trimmed responses resampled
// to the processing rate the simple way (the lengths are what matters here).
struct PlainConvolverPair
{
    PlainConvolverPair (VellumarProcessor& loaded, double rate, int block)
    {
        for (auto& r : trimmedPair (loaded))
        {
            const auto range = audibleRange (r);
            const int length = std::max (1, (int) ((double) range.getLength() * rate / 44100.0));
            std::vector<float> resampled ((size_t) length);
            for (int c = 0; c < 2; ++c)
            {
                for (int i = 0; i < length; ++i)
                    resampled[(size_t) i] = r.getSample (std::min (c, r.getNumChannels() - 1),
                                                         range.getStart() + std::min (range.getLength() - 1, (int) (i * 44100.0 / rate)));
                convolvers.push_back (std::make_unique<PlainConvolver> (resampled.data(), length, 1024));
            }
        }
        scratch.setSize (2, block);
    }

    void process (juce::AudioBuffer<float>& buffer)
    {
        const int n = buffer.getNumSamples();
        for (int c = 0; c < 2; ++c)
        {
            convolvers[(size_t) c]->process (buffer.getReadPointer (c), scratch.getWritePointer (c), n);
            convolvers[(size_t) c + 2]->process (buffer.getReadPointer (c), buffer.getWritePointer (c), n);
        }
    }

    std::vector<std::unique_ptr<PlainConvolver>> convolvers;
    juce::AudioBuffer<float> scratch;
};

template <typename Pair>
Contender contenderFor (Pair& pair)
{
    Contender c;
    c.process = [&pair] (juce::AudioBuffer<float>& b) { pair.process (b); };
    return c;
}

double share (double seconds, double budget) { return seconds / budget * 100.0; }
} // namespace

void runPluginRatios (std::ostream& out)
{
    out << std::fixed << std::setprecision (2);

    out << "== Whole plug-in at defaults against bare convolution of the same trimmed responses (Decay 3 s, 44.1 kHz,\n"
        << "   stereo pink noise, CPU time of one thread)\n";
    for (const int block : { 1024, 64 })
    {
        auto p = makeReady (44100.0, block, 3.0f, false);
        BareEnginePair bare (*p, 44100.0, block);
        PlainConvolverPair plain (*p, 44100.0, block);
        auto plugin = pluginContender (*p);
        auto bareC = contenderFor (bare);
        auto plainC = contenderFor (plain);
        // Its own instance: sharing the plug-in's engines would hand the plug-in a warm cache at each turn.
        auto pairOwner = makeReady (44100.0, block, 3.0f, false);
        auto pairC = pairContender (*pairOwner);
        race ({ &plugin, &bareC, &plainC, &pairC }, 44100.0, block, 20.0);
        out << "  block " << std::setw (4) << block << ": whole plug-in / two bare JUCE engines (" << VELLUMAR_FFT_BACKEND
            << " FFT) " << plugin.load() / bareC.load() << ", whole plug-in / plain FFTW convolver "
            << plugin.load() / plainC.load() << ", bare engines / plain FFTW convolver " << bareC.load() / plainC.load()
            << "\n";
        // Our pair runs the bare engines' very work, so its distance from 1 is how far this run's spread reaches.
        out << "              our pair alone / two bare JUCE engines " << pairC.load() / bareC.load()
            << ", whole plug-in / our pair alone " << plugin.load() / pairC.load() << "\n";
    }
}

namespace
{
void printRealtimeFactors (std::ostream& out)
{
    out << "\n== Whole plug-in: realtime factor (seconds of stereo audio per CPU second, one thread)\n";
    const auto realtime = [&out] (float decay, double rate, int block, double audioSeconds)
    {
        auto p = makeReady (rate, block, decay, false);
        auto plugin = pluginContender (*p);
        race ({ &plugin }, rate, block, audioSeconds);
        out << "  Decay " << decay << " s, " << rate / 1000.0 << " kHz, block " << std::setw (4) << block << ": "
            << std::setw (7) << 1.0 / plugin.load() << "x\n";
    };

    for (const float decay : { 3.0f, 10.0f })
        for (const double rate : { 44100.0, 96000.0 })
            for (const int block : { 64, 512, 1024 })
                realtime (decay, rate, block, 6.0);

    // The engines' work grows with the rate times the response length, both counted in samples; at the highest
    // rates a short run says enough.
    for (const float decay : { 3.0f, 10.0f })
        for (const double rate : { 192000.0, 384000.0 })
            realtime (decay, rate, 1024, 1.0);
}

void printSmallBlocks (std::ostream& out)
{
    out << "\n== Small host blocks: each block's CPU time in a tight loop as a share of its budget (Decay 3 s)\n";
    for (const bool everything : { false, true })
    {
        auto p = makeReady (44100.0, 64, 3.0f, everything);
        auto plugin = pluginContender (*p);
        race ({ &plugin }, 44100.0, 64, 1.0); // settle
        plugin.perBlock.clear();
        race ({ &plugin }, 44100.0, 64, 20.0, true);
        const double budget = 64.0 / 44100.0;
        out << "  44.1 kHz, 64 samples, " << (everything ? "every stage active" : "defaults          ")
            << ": median " << share (percentile (plugin.perBlock, 0.5), budget) << " %, 99th percentile "
            << share (percentile (plugin.perBlock, 0.99), budget) << " %, maximum "
            << share (percentile (plugin.perBlock, 1.0), budget) << " %\n";
    }
}

// A block that completes a 1024-sample partition carries the transforms and sums of all of it; below some buffer size
// at high rates that alone no longer fits. A buffer counts as safe when no block overran its budget and the 99th
// percentile left 30 % of it to the host and the rest.
void printSmallestSafeBuffer (std::ostream& out)
{
    int smallestSafe = 0;
    for (const int block : { 64, 128, 256, 512, 1024 })
    {
        auto p = makeReady (96000.0, block, 3.0f, false);
        PlainConvolverPair plain (*p, 96000.0, block);
        auto plugin = pluginContender (*p);
        auto plainC = contenderFor (plain);
        race ({ &plugin, &plainC }, 96000.0, block, 10.0, true);
        const double budget = block / 96000.0;
        const double p99 = share (percentile (plugin.perBlock, 0.99), budget);
        out << "  96 kHz, " << std::setw (4) << block << " samples, defaults: 99th percentile " << p99
            << " % (plain FFTW convolver " << share (percentile (plainC.perBlock, 0.99), budget) << " %), maximum "
            << share (percentile (plugin.perBlock, 1.0), budget) << " %\n";
        if (smallestSafe == 0 && p99 <= 70.0 && share (percentile (plugin.perBlock, 1.0), budget) <= 100.0)
            smallestSafe = block;
    }
    out << "  smallest buffer at 96 kHz with no block over its budget and a 99th percentile within 70 % of it: " << smallestSafe << "\n";
}

// Returns the convolution pair's cost at defaults.
double printStageShare (std::ostream& out)
{
    out << "\n== Share of the whole chunk taken by the stages other than the convolution pair (44.1 kHz, block 512)\n";
    double pairCost = 0.0;
    for (const bool everything : { false, true })
    {
        auto p = makeReady (44100.0, 512, 3.0f, everything);
        auto plugin = pluginContender (*p);
        auto pair = pairContender (*p);
        race ({ &plugin, &pair }, 44100.0, 512, 10.0);
        const double whole = plugin.load(), pairLoad = pair.load(), stages = std::max (0.0, whole - pairLoad);
        out << "  " << (everything ? "every stage active" : "defaults") << ": stages " << stages / whole * 100.0
            << " % of the chunk, " << stages / pairLoad * 100.0 << " % of the pair's cost\n";
        if (! everything)
            pairCost = pairLoad;
    }
    return pairCost;
}

void printPairSwitch (std::ostream& out)
{
    out << "\n== One impulse-response pair switch, from the selection to both new engines built (Decay 3 s, 44.1 kHz)\n";
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
    out << "  decode " << decode / 5.0 * 1000.0 << " ms, trim and engine build " << load / 5.0 * 1000.0
        << " ms, together " << (decode + load) / 5.0 * 1000.0 << " ms (mean of 5, wall-clock)\n";
}

void printPairAgainstBareEngines (std::ostream& out)
{
    out << "\n== Our convolution pair with its blend against two bare JUCE engines (44.1 kHz, block 512)\n";
    auto p = makeReady (44100.0, 512, 3.0f, false);
    BareEnginePair bare (*p, 44100.0, 512);
    auto pair = pairContender (*p);
    auto bareC = contenderFor (bare);
    race ({ &pair, &bareC }, 44100.0, 512, 10.0);
    out << "  ours / bare: " << pair.load() / bareC.load() << "\n";
}
} // namespace

double runPluginBench (std::ostream& out)
{
    runPluginRatios (out);
    printRealtimeFactors (out);
    printSmallBlocks (out);
    printSmallestSafeBuffer (out);
    const double pairCost = printStageShare (out);
    printPairSwitch (out);
    printPairAgainstBareEngines (out);
    return pairCost;
}
