#include "TestHelpers.h"

#include "engine/convolution/ImpulseResponses.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <future>
#include <utility>

using namespace testing_helpers;

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
