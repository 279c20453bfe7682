#include "engine/parameters/ParameterIds.h"
#include "tests/AllocationCounter.h"
#include "tests/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using testing_helpers::largestStep;

constexpr float silentKeyGain = 1.1892f; // +1.5 dB make-up at 50 %
constexpr float fullKeyGain = 0.2362f;   // -14.04 dB reduction plus the make-up at 50 %

/** Constant signals for the ducking stage: every wet channel at `wet` (the right one at `wetRight` when set), and
    the two external key channels at `keyLeft` and `keyRight`. */
struct Signal
{
    float wet = 1.0f;
    float wetRight = -1.0f;
    bool keyConnected = false;
    float keyLeft = 0.0f, keyRight = 0.0f;
    int channels = 2;
};

/** Runs the stage on `length` samples in chunks, as the processor does (denormals flushed), and returns the gain
    applied to the left wet channel at every sample. `change` may spoil individual samples of the wet and key. */
template <typename Change>
std::vector<float> runGains (VellumarProcessor& processor, float amount, int length, const Signal& signal,
                             Change&& change, int chunk = 512)
{
    juce::ScopedNoDenormals noDenormals;
    std::vector<float> gains;
    juce::AudioBuffer<float> wet (signal.channels, chunk);
    auto& key = processor.sidechainBuffer;

    for (int start = 0; start < length; start += chunk)
    {
        const int n = std::min (chunk, length - start);
        key.setSize (2, n, false, false, true);

        for (int i = 0; i < n; ++i)
        {
            key.setSample (0, i, signal.keyLeft);
            key.setSample (1, i, signal.keyRight);
            for (int c = 0; c < signal.channels; ++c)
                wet.setSample (c, i, c == 1 && signal.wetRight >= 0.0f ? signal.wetRight : signal.wet);
            change (start + i, wet, key, i);
        }

        juce::dsp::AudioBlock<float> block (wet.getArrayOfWritePointers(), (size_t) signal.channels, (size_t) n);
        processor.processDucking (block, amount, signal.keyConnected);

        for (int i = 0; i < n; ++i)
            gains.push_back (wet.getSample (0, i) / signal.wet);
    }
    return gains;
}

std::vector<float> runGains (VellumarProcessor& processor, float amount, int length, const Signal& signal)
{
    return runGains (processor, amount, length, signal, [] (int, auto&, auto&, int) {});
}

std::unique_ptr<VellumarProcessor> makePrepared (double rate = 44100.0, int block = 512)
{
    auto processor = testing_helpers::makeProcessor();
    testing_helpers::prepare (*processor, rate, block);
    return processor;
}
} // namespace

//==============================================================================
TEST (PeakLevelDetector, PreparesItsReleaseAndOvershootsOnARisingInput)
{
    Sidechain::PeakLevelDetector detector;
    EXPECT_FLOAT_EQ (detector.releaseTime, 0.001f);

    detector.releaseTime = 0.06f;
    detector.envelope = 0.3f;
    detector.setDetector (44100.0f);
    EXPECT_EQ (detector.envelope, 0.0f);
    EXPECT_EQ (detector.attackCoefficient, 1.0f);
    EXPECT_NEAR (detector.feedback, std::exp (-1.0 / 2646.0), 1e-7);
    EXPECT_FLOAT_EQ (detector.releaseCoefficient, 1.0f - detector.feedback);

    // From an envelope of 0.5, a key of 0.6 lands on top of it and then falls back toward 0.6.
    detector.envelope = 0.5f;
    const float risen = detector.tick (0.6f);
    EXPECT_NEAR (risen, 0.6f + 0.5f * detector.feedback, 1e-6);
    EXPECT_NEAR (risen, 1.0998f, 1e-3);

    float previous = risen;
    for (int i = 0; i < 44100; ++i)
    {
        const float e = detector.tick (-0.6f);
        ASSERT_LE (e, previous);
        previous = e;
    }
    EXPECT_NEAR (previous, 0.6f, 1e-4);
}

//==============================================================================
class DuckingAtRate : public ::testing::TestWithParam<double>
{
};

TEST_P (DuckingAtRate, SettlesAtTheGainOfTheCurveAndGlidesOverFiftyMilliseconds)
{
    const double rate = GetParam();
    const int second = (int) rate;
    const int glide = (int) std::floor (0.05 * rate);

    // A full-scale key at 50 %: -6.02 dB threshold, -14.04 dB reduction, +1.51 dB make-up.
    auto loud = makePrepared (rate);
    Signal fullKey { 0.01f, -1.0f, true, 1.0f, -1.0f };
    EXPECT_NEAR (runGains (*loud, 50.0f, second, fullKey).back(), fullKeyGain, 5e-4);

    // 100 %: threshold -100 dB, so a -20 dB key is pushed down by 149.7 dB and lifted by 25 dB.
    auto deep = makePrepared (rate);
    Signal keyAtMinus20 { 1.0f, -1.0f, true, 0.1f, 0.1f };
    EXPECT_NEAR (runGains (*deep, 100.0f, second, keyAtMinus20).back() / 5.86e-7f, 1.0f, 0.01f);
    EXPECT_NEAR (deep->reductionDb, -2.0f * (11.0f / 12.0f) * 80.0f - 3.0f, 0.02f);

    // A silent key at 50 % leaves only the make-up. The first chunk after preparation takes the amount at once.
    auto quiet = makePrepared (rate);
    Signal silentKey { 1.0f, -1.0f, true, 0.0f, 0.0f };
    EXPECT_NEAR (runGains (*quiet, 50.0f, 1, silentKey).front(), silentKeyGain, 5e-4);

    // From 0 % to 50 % the amount glides linearly; the stage joins in once the amount passes 1 %, crossfaded in
    // over 20 ms.
    quiet = makePrepared (rate);
    runGains (*quiet, 0.0f, 1000, silentKey);
    const auto gains = runGains (*quiet, 50.0f, glide + 100, silentKey);
    const float step = 1.0f / std::max (1.0f, 0.02f * (float) rate);
    int firstOn = -1;

    for (int i = 0; i < glide + 100; ++i)
    {
        const float s = 50.0f * (float) std::min (i + 1, glide) / (float) glide;
        if (s > 1.0f && firstOn < 0)
            firstOn = i;
        if (std::abs (s - 1.0f) < 0.01f)
            continue; // the glide's own rounding decides on which side of 1 % this sample falls

        const float ducked = s > 1.0f ? std::pow ((100.0f - s) / 100.0f, -0.25f) : 1.0f;
        const float mix = firstOn < 0 ? 0.0f : std::min (1.0f, (float) (i - firstOn + 1) * step);
        const float expected = 1.0f + mix * (ducked - 1.0f);
        ASSERT_NEAR (gains[(size_t) i], expected, 2e-4f + 1.5f * step * std::abs (ducked - 1.0f)) << "sample " << i;
    }
    EXPECT_GT (gains.back() - gains[(size_t) (glide * 9 / 10)], 0.02f);
    EXPECT_EQ (gains[(size_t) glide - 1], gains.back());
}

TEST_P (DuckingAtRate, AttacksInFiveAndReleasesInSixtyMilliseconds)
{
    const double rate = GetParam();
    auto processor = makePrepared (rate);
    Signal silentKey { 1.0f, -1.0f, true, 0.0f, 0.0f };
    Signal fullKey { 1.0f, -1.0f, true, 1.0f, 1.0f };

    // The detector jumps to a full-scale key at once; the reduction then covers 1 - 1/e of its way to -14.04 dB
    // in one attack time.
    runGains (*processor, 50.0f, 100, silentKey);
    runGains (*processor, 50.0f, (int) std::lround (0.005 * rate), fullKey);
    EXPECT_NEAR (processor->reductionDb, -14.04f * (1.0f - std::exp (-1.0f)), 0.3f);

    // When the key stops, the detector and the reduction both fall back with the 60 ms release.
    runGains (*processor, 50.0f, (int) rate, fullKey);
    EXPECT_LT (runGains (*processor, 50.0f, (int) (0.05 * rate), silentKey).back(), 0.7f);
    EXPECT_NEAR (runGains (*processor, 50.0f, (int) rate, silentKey).back(), silentKeyGain, 1e-3);
}

INSTANTIATE_TEST_SUITE_P (Rates, DuckingAtRate, ::testing::Values (8000.0, 44100.0, 96000.0, 384000.0));

//==============================================================================
TEST (DuckingStage, LeavesTheWetSignalAloneUpToOnePercentButKeepsTracking)
{
    Signal fullKey { 0.5f, -1.0f, true, 1.0f, 1.0f };

    for (const float amount : { 0.0f, 0.5f, 1.0f })
    {
        auto processor = makePrepared();
        for (const float g : runGains (*processor, amount, 4410, fullKey))
            ASSERT_EQ (g, 1.0f) << "amount " << amount;

        // The detectors and the reduction keep running, so switching on applies the reduction already reached.
        EXPECT_LT (processor->reductionDb, -2.9f);
    }

    // Above 1 % the reduction already reached comes in over 20 ms (882 samples), without a jump.
    auto processor = makePrepared();
    runGains (*processor, 1.0f, 4410, fullKey);
    const auto joining = runGains (*processor, 1.02f, 1000, fullKey);
    EXPECT_LT (largestStep (1.0f, joining), 0.3f / 882.0f * 1.05f);
    EXPECT_LT (joining[881], 0.75f);
    EXPECT_GT (joining[400], joining[881]);

    // And going below 1 % with a loud key fades the reduction out the same way.
    const auto leaving = runGains (*processor, 0.5f, 4410, fullKey);
    EXPECT_LT (largestStep (joining.back(), leaving), 0.3f / 882.0f * 1.05f);
    EXPECT_EQ (leaving.back(), 1.0f);
}

TEST (DuckingStage, KeysFromTheSidechainUnlessTheCompressorIsOnOrNoneIsConnected)
{
    const int length = 22050;

    // Side-chain connected: a silent key leaves a loud wet signal raised, a loud key ducks a quiet one.
    auto processor = makePrepared();
    EXPECT_NEAR (runGains (*processor, 50.0f, length, { 1.0f, -1.0f, true, 0.0f, 0.0f }).back(), silentKeyGain, 5e-4);
    EXPECT_NEAR (runGains (*processor, 50.0f, length, { 0.01f, -1.0f, true, 1.0f, 1.0f }).back(), fullKeyGain, 5e-4);

    // Compressor on: the wet signal keys itself and the side-chain is ignored.
    processor = makePrepared();
    processor->compressorOn = true;
    const auto compressed = runGains (*processor, 50.0f, length, { 1.0f, -1.0f, true, 0.0f, 0.0f });
    EXPECT_NEAR (compressed.back(), fullKeyGain, 5e-4);

    // No side-chain and the Compressor off: exactly as with the Compressor on.
    processor = makePrepared();
    EXPECT_EQ (runGains (*processor, 50.0f, length, { 1.0f, -1.0f, false, 0.0f, 0.0f }), compressed);

    // The key level is the mean of the two detectors: an external key on the left only, ducking a mono output,
    // and a wet key on the left only. At 90 % (threshold -20 dB) a key at -6.02 dB gives -28.63 dB + 5 dB.
    const float halfKeyGain = std::pow (10.0f, (-2.0f * (11.0f / 12.0f) * (20.0f - 6.0206f) - 3.0f + 5.0f) / 20.0f);
    processor = makePrepared();
    EXPECT_NEAR (runGains (*processor, 90.0f, length, { 0.5f, -1.0f, true, 1.0f, 0.0f, 1 }).back(), halfKeyGain, 1e-4);

    processor = makePrepared();
    EXPECT_NEAR (runGains (*processor, 90.0f, length, { 1.0f, 0.0f, false }).back(), halfKeyGain, 1e-4);
}

TEST (DuckingStage, ChangesGainWithoutJumpsWhenTheAmountOrTheKeySourceChanges)
{
    // Switching the stage on and off through the amount glide, with the key below the threshold.
    auto processor = makePrepared();
    Signal quietKey { 1.0f, -1.0f, true, 0.01f, 0.01f };
    runGains (*processor, 0.0f, 4410, quietKey);
    EXPECT_LT (largestStep (1.0f, runGains (*processor, 50.0f, 8820, quietKey)), 0.005f);
    EXPECT_LT (largestStep (silentKeyGain, runGains (*processor, 0.0f, 8820, quietKey)), 0.005f);

    // Flipping the Compressor switch moves the key from a silent side-chain to a loud wet signal and back; the
    // reduction glides with the attack and release.
    processor = makePrepared();
    Signal loudWet { 1.0f, -1.0f, true, 0.0f, 0.0f };
    float previous = runGains (*processor, 50.0f, 4410, loudWet).back();

    for (int flip = 0; flip < 6; ++flip)
    {
        processor->compressorOn = ! processor->compressorOn;
        const auto gains = runGains (*processor, 50.0f, 4096, loudWet);
        EXPECT_LT (largestStep (previous, gains), 0.02f) << "flip " << flip;
        previous = gains.back();
    }
}

TEST (DuckingStage, RecoversFromNonFiniteKeysAndWetSamples)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto isBad = [] (int i) { return i >= 10000 && i < 10300; };
    const auto badValue = [&] (int i) { return i % 3 == 0 ? nan : (i % 3 == 1 ? inf : -inf); };

    // A burst in the wet signal (keying itself) or in the external key counts as silence: once it has passed, the
    // gain is exactly that of a run with zeros in its place.
    for (const bool inKey : { false, true })
    {
        Signal signal { 1.0f, -1.0f, inKey, 1.0f, 1.0f };
        auto spoilt = makePrepared();
        auto clean = makePrepared();
        const auto burst = [&] (bool spoil) {
            return [&, spoil] (int i, juce::AudioBuffer<float>& wet, juce::AudioBuffer<float>& key, int j) {
                auto& target = inKey ? key : wet;
                if (isBad (i))
                    for (int c = 0; c < target.getNumChannels(); ++c)
                        target.setSample (c, j, spoil ? badValue (i) : 0.0f);
            };
        };

        const auto bad = runGains (*spoilt, 50.0f, 30000, signal, burst (true));
        const auto good = runGains (*clean, 50.0f, 30000, signal, burst (false));
        EXPECT_TRUE (std::isfinite (spoilt->reductionDb));
        EXPECT_TRUE (std::isfinite (spoilt->keyDetectors[0].envelope) && std::isfinite (spoilt->keyDetectors[1].envelope));
        EXPECT_EQ (std::vector<float> (bad.begin() + 10300, bad.end()), std::vector<float> (good.begin() + 10300, good.end()))
            << (inKey ? "key" : "wet");
    }

    // The loudest finite key ducks hard but leaves the gain finite, and it recovers once the key goes quiet.
    auto processor = makePrepared();
    const float loudest = std::numeric_limits<float>::max();
    runGains (*processor, 50.0f, 4410, { 1.0f, -1.0f, true, loudest, -loudest });
    EXPECT_TRUE (std::isfinite (processor->reductionDb));
    EXPECT_NEAR (runGains (*processor, 50.0f, 3 * 44100, { 1.0f, -1.0f, true, 0.0f, 0.0f }).back(), silentKeyGain, 1e-3);

    // An amount that is not a number glides the stage off; empty blocks are harmless.
    EXPECT_EQ (runGains (*processor, nan, 4410, { 0.5f, -1.0f, true, 1.0f, 1.0f }).back(), 1.0f);
    juce::dsp::AudioBlock<float> empty;
    processor->processDucking (empty, 50.0f, false);
    processor->processDucking (empty, 50.0f, true);
    EXPECT_TRUE (std::isfinite (processor->reductionDb));
}

//==============================================================================
namespace
{
struct Layout
{
    int inputs, outputs, sidechain;
};

std::unique_ptr<VellumarProcessor> makeRunning (Layout layout, double rate, int block)
{
    auto processor = testing_helpers::makeProcessor (layout.inputs, layout.outputs, layout.sidechain);
    testing_helpers::prepare (*processor, rate, block);
    return processor;
}
} // namespace

TEST (DuckingInProcessor, TakesTheKeyFromTheSidechainBusUnlessTheCompressorIsOn)
{
    struct Case
    {
        Layout layout;
        bool compressor, ducked;
    };

    for (const auto& test : { Case { { 2, 2, 1 }, false, true }, Case { { 1, 2, 1 }, false, true },
                              Case { { 1, 1, 1 }, false, true }, Case { { 2, 2, 2 }, false, true },
                              Case { { 2, 2, 1 }, true, false }, Case { { 2, 2, 0 }, false, false } })
    {
        const auto [inputs, outputs, sidechain] = test.layout;
        auto processor = makeRunning (test.layout, 44100.0, 512);
        testing_helpers::setParameter (*processor, ids::sideChain, 50.0f);
        testing_helpers::setParameter (*processor, ids::compressor, test.compressor ? 1.0f : 0.0f);

        // A silent main input and a loud key: only the side-chain can pull the gain down. Stale content in the
        // key buffer must not be read while the bus is off.
        processor->sidechainBuffer.setSize (2, 512);
        processor->sidechainBuffer.applyGain (0.0f);
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (processor->sidechainBuffer.getWritePointer (c), 0.9f, 512);

        juce::AudioBuffer<float> buffer (std::max (inputs + sidechain, outputs), 512);
        juce::MidiBuffer midi;

        for (int b = 0; b < 20; ++b)
        {
            buffer.clear();
            for (int c = inputs; c < inputs + sidechain; ++c)
                juce::FloatVectorOperations::fill (buffer.getWritePointer (c), 0.9f, 512);
            processor->processBlock (buffer, midi);
        }

        SCOPED_TRACE (juce::String (inputs) + " in, " + juce::String (outputs) + " out, key " + juce::String (sidechain)
                      + (test.compressor ? ", compressor" : ""));
        EXPECT_EQ (processor->compressorOn, test.compressor);
        if (test.ducked)
            EXPECT_LT (processor->reductionDb, -10.0f);
        else
            EXPECT_GT (processor->reductionDb, -1.0f);
    }
}

TEST (DuckingInProcessor, StaysFiniteAndAllocationFreeWithTheAmountJumpingEveryBlock)
{
    for (const double rate : { 8000.0, 44100.0, 384000.0 })
        for (const auto layout : { Layout { 2, 2, 1 }, Layout { 1, 2, 1 }, Layout { 1, 1, 1 }, Layout { 2, 2, 0 } })
        {
            const int block = 256;
            auto processor = makeRunning (layout, rate, block);
            juce::AudioBuffer<float> buffer (std::max (layout.inputs + layout.sidechain, layout.outputs), block);
            juce::MidiBuffer midi;
            juce::Random random (7);
            size_t allocations = 0;

            for (int b = 0; b < (int) (0.5 * rate) / block; ++b)
            {
                testing_helpers::setParameter (*processor, ids::sideChain, 100.0f * random.nextFloat());
                testing_helpers::setParameter (*processor, ids::compressor, random.nextBool() ? 1.0f : 0.0f);
                testing_helpers::fillNoise (buffer, random, b % 10 == 9 ? 1000.0f : 0.5f);

                {
                    AllocationCounter counter;
                    processor->processBlock (buffer, midi);
                    allocations += counter.count();
                }

                ASSERT_TRUE (testing_helpers::allFiniteAndNormal (buffer)) << "rate " << rate << ", block " << b;
            }

            EXPECT_EQ (allocations, 0u) << "rate " << rate;
        }
}
