#include "engine/earlyreverb/PreVerb.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace
{
/** One table set: delay tunings in samples at 44100 Hz; the right channel adds the spread. */
struct DelayTable
{
    int combTunings[PreVerb::numCombs];
    int allPassTunings[PreVerb::numAllPasses];
    int spread;
};

constexpr DelayTable delayTables[PreVerb::numModes] = {
    { { 164, 388, 1277, 1356, 1422, 1491, 457, 457 }, { 756, 441, 341, 525 }, 12 },        // Space
    { { 50, 20, 1600, 1422, 245, 3130, 530, 798 }, { 225, 705, 541, 241 }, 14 },           // Plate
    { { 750, 600, 422, 1245, 1478, 1340, 400, 345 }, { 604, 541, 503, 948 }, 10 },         // Room
    { { 342, 292, 156, 255, 436, 485, 499, 583 }, { 604, 572, 403, 856 }, 8 },             // Spring
    { { 3424, 224, 654, 1554, 1364, 745, 652, 1774 }, { 925, 765, 668, 452 }, 8 }          // Hall
};

/** Room size, damping and table set for each impulse-response type (Plate, Room, Spring, Hall, Space). */
struct TypeSettings
{
    float roomSize;
    float damping;
    int mode;
};

constexpr TypeSettings typeSettings[] = {
    { 0.09f, 0.8f, 1 },
    { 0.05f, 0.9f, 2 },
    { 0.04f, 1.0f, 3 },
    { 0.07f, 1.0f, 4 },
    { 0.09f, 0.3f, 0 }
};

constexpr TypeSettings unknownTypeSettings { 0.09f, 1.0f, 0 };

constexpr int tuningRate = 44100;

// Far above any real host rate; it keeps the delay memory and the integer products of the lengths bounded
// if a broken rate ever arrives.
constexpr double highestRate = 1536000.0;

const DelayTable& tableFor (int tableMode) noexcept
{
    return delayTables[tableMode >= 0 && tableMode < PreVerb::numModes ? tableMode : 0];
}

double usableRate (double rate) noexcept
{
    return std::isfinite (rate) ? juce::jlimit (1.0, highestRate, rate) : (double) tuningRate;
}

// The comb and the all-pass manage their delay memory alike. A length change starts at the beginning of the
// memory, which is only reallocated when it must grow.
template <typename Filter>
void resizeDelay (Filter& filter, int size)
{
    const int length = std::max (1, size);

    if (length != filter.bufferSize)
    {
        filter.bufferIndex = 0;
        filter.reserve (length);
        filter.bufferSize = length;
    }

    filter.clear();
}

// Four single-precision lanes; each operation works lane by lane exactly as on one float.
using Float4 = float __attribute__ ((vector_size (16)));
constexpr int combGroups = PreVerb::numCombs / 4;
static_assert (PreVerb::numCombs % 4 == 0, "the combs run in groups of four");

using Int4 = int __attribute__ ((vector_size (16)));

Float4 flushTiny4 (Float4 v) noexcept
{
    return (v + 0.1f) - 0.1f;
}

/** What a filter writes: in a silent block, lanes below the residue level become zero (NaN compares false and
    passes, for the recovery); in any other block the value as it is. `written1` is the same for one value. */
template <bool cutResidues>
Float4 written4 (Float4 v) noexcept
{
    if constexpr (! cutResidues)
        return v;

    const Float4 magnitude = (Float4) ((Int4) v & 0x7fffffff);
    return (Float4) ((Int4) v & ~(magnitude < PreVerb::residueLevel));
}

Float4 splat (float v) noexcept
{
    return Float4 { v, v, v, v };
}

Float4 load4 (const float* source) noexcept
{
    Float4 v;
    std::memcpy (&v, source, sizeof (v));
    return v;
}

void store4 (float* destination, Float4 v) noexcept
{
    std::memcpy (destination, &v, sizeof (v));
}

template <int lane>
Float4 lane4 (Float4 v) noexcept
{
    return __builtin_shufflevector (v, v, lane, lane, lane, lane);
}

/** Swaps rows and columns: lane k of row s becomes lane s of row k. */
void transpose (Float4& a, Float4& b, Float4& c, Float4& d) noexcept
{
    const Float4 ab0 = __builtin_shufflevector (a, b, 0, 4, 1, 5), ab1 = __builtin_shufflevector (a, b, 2, 6, 3, 7);
    const Float4 cd0 = __builtin_shufflevector (c, d, 0, 4, 1, 5), cd1 = __builtin_shufflevector (c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector (ab0, cd0, 0, 1, 4, 5);
    b = __builtin_shufflevector (ab0, cd0, 2, 3, 6, 7);
    c = __builtin_shufflevector (ab1, cd1, 0, 1, 4, 5);
    d = __builtin_shufflevector (ab1, cd1, 2, 3, 6, 7);
}

/** The next four values of a smoother, in order; a settled one gives its target four times. */
Float4 nextFour (juce::SmoothedValue<float>& smoother, bool settled, float target) noexcept
{
    if (settled)
        return splat (target);

    const float a = smoother.getNextValue(), b = smoother.getNextValue(), c = smoother.getNextValue();
    return Float4 { a, b, c, smoother.getNextValue() };
}

template <bool cutResidues>
float written1 (float v) noexcept
{
    if constexpr (! cutResidues)
        return v;

    return std::abs (v) < PreVerb::residueLevel ? 0.0f : v;
}

/** One step of a comb's low-pass and write for one sample, four combs in the lanes (`s` picks the sample's lane
    of the per-sample values). */
template <int s, bool cutResidues>
Float4 combStep (Float4 delayed, Float4& store, Float4 keep, Float4 damp, Float4 feedback, Float4 input) noexcept
{
    store = flushTiny4 (delayed * lane4<s> (keep) + store * lane4<s> (damp));
    return written4<cutResidues> (flushTiny4 (store * lane4<s> (feedback) + lane4<s> (input)));
}

template <typename Filter>
void reserveDelay (Filter& filter, int numSamples)
{
    if (numSamples > filter.capacity)
    {
        filter.buffer.allocate ((size_t) numSamples, true);
        filter.capacity = numSamples;
    }
}

template <typename Filter>
void clearDelay (Filter& filter) noexcept
{
    if (filter.bufferSize > 0)
        juce::FloatVectorOperations::clear (filter.buffer.get(), filter.bufferSize);
}
} // namespace

//==============================================================================
void PreVerb::CombFilter::setSize (const int& size) { resizeDelay (*this, size); }
void PreVerb::CombFilter::reserve (int numSamples) { reserveDelay (*this, numSamples); }

void PreVerb::CombFilter::clear() noexcept
{
    filterStore = 0.0f;
    clearDelay (*this);
}

void PreVerb::AllPassFilter::setSize (const int& size) { resizeDelay (*this, size); }
void PreVerb::AllPassFilter::reserve (int numSamples) { reserveDelay (*this, numSamples); }
void PreVerb::AllPassFilter::clear() noexcept { clearDelay (*this); }

//==============================================================================
int PreVerb::getCombLength (int tableMode, int channel, int index, int rate, float factor) noexcept
{
    const auto& table = tableFor (tableMode);
    const int tuning = table.combTunings[index];
    int length = 0;

    // The left length scales the integer product, the right one the spread-out tuning; both in single precision.
    if (channel == 0)
        length = (int) (((float) ((juce::int64) tuning * rate) * factor) / (float) tuningRate);
    else
        length = (int) ((((float) tuning * factor) + (float) table.spread) * (float) rate / (float) tuningRate);

    return std::max (1, length);
}

int PreVerb::getAllPassLength (int tableMode, int channel, int index, int rate) noexcept
{
    const auto& table = tableFor (tableMode);
    const juce::int64 tuning = table.allPassTunings[index] + (channel == 0 ? 0 : table.spread);
    return std::max (1, (int) (tuning * rate / tuningRate));
}

void PreVerb::setSampleRate (const double& newSampleRate)
{
    const double rate = usableRate (newSampleRate);
    const int r = (int) rate;

    // Every filter gets room for its longest length in any table set, so that a later rebuild for another set
    // at this rate (a Shimmer switch, on the audio thread) never allocates.
    for (int channel = 0; channel < 2; ++channel)
    {
        for (int i = 0; i < numCombs; ++i)
        {
            int longest = 0;

            for (int m = 0; m < numModes; ++m)
                longest = std::max (longest, getCombLength (m, channel, i, r, sizeFactor));

            combs[(size_t) channel][(size_t) i].reserve (longest);
            combs[(size_t) channel][(size_t) i].setSize (getCombLength (activeMode, channel, i, r, sizeFactor));
        }

        for (int i = 0; i < numAllPasses; ++i)
        {
            int longest = 0;

            for (int m = 0; m < numModes; ++m)
                longest = std::max (longest, getAllPassLength (m, channel, i, r));

            allPasses[(size_t) channel][(size_t) i].reserve (longest);
            allPasses[(size_t) channel][(size_t) i].setSize (getAllPassLength (activeMode, channel, i, r));
        }
    }

    const int steps = (int) std::floor (0.1 * rate);

    for (auto* smoother : { &dampingSmoother, &feedbackSmoother, &wetGain1Smoother, &wetGain2Smoother })
        smoother->reset (steps);
}

void PreVerb::setParameters()
{
    const float w = (earlyMix * 3.0f) * 0.5f;
    wetGain1Smoother.setTargetValue ((wetWidth + 1.0f) * w);
    wetGain2Smoother.setTargetValue ((1.0f - wetWidth) * w);

    activeMode = mode;
    inputGain = freezeAmount >= 0.5f ? 0.007f : 0.015f;

    dampingSmoother.setTargetValue (damping * 0.4f);
    feedbackSmoother.setTargetValue (roomSize * 0.28f + 0.7f);
}

void PreVerb::setEarlyMix (float percent)
{
    // A level that is not a number would make every later output NaN; keep the last good one.
    if (! std::isfinite (percent))
        return;

    const double m = (double) juce::jlimit (0.0f, 100.0f, percent) * 0.01;

    // The level is kept in single precision, so a value that a float cannot hold exactly (30 %) never compares
    // equal and refreshes the parameters at every call; that is how type changes reach the smoothers.
    if (m == (double) earlyMix)
        return;

    earlyMix = (float) m;

    // While Shimmer is on, room and damping hold Shimmer's own values; saving those would bring Shimmer's
    // endless feedback back when Shimmer is switched off, so the values from before Shimmer are kept.
    if (! shimmer)
    {
        savedDamping = damping;
        savedRoomSize = roomSize;
    }

    setParameters();
}

void PreVerb::prepare (double newSampleRate)
{
    sampleRate = (float) newSampleRate;
    setSampleRate (newSampleRate);
    clearFilters();
    setEarlyMix (2.0f);
}

void PreVerb::applyShimmerSwitch (bool shouldBeOn)
{
    shimmer = shouldBeOn;

    if (shouldBeOn)
    {
        roomSize = 1.0f;
        damping = 0.1f;
        freezeAmount = 0.51f;
    }
    else
    {
        roomSize = savedRoomSize;
        damping = savedDamping;
        freezeAmount = 0.1f;
    }

    sizeFactor = 1.0f;
    setParameters();
    setSampleRate ((double) sampleRate);
}

void PreVerb::applyTypeSettings (int irTypeIndex) noexcept
{
    const auto& settings = irTypeIndex >= 0 && irTypeIndex < (int) std::size (typeSettings) ? typeSettings[irTypeIndex]
                                                                                             : unknownTypeSettings;

    if (! shimmer)
    {
        roomSize = settings.roomSize;
        damping = settings.damping;
    }

    mode = settings.mode;
}

void PreVerb::clearFilters() noexcept
{
    for (auto& row : combs)
        for (auto& comb : row)
            comb.clear();

    for (auto& row : allPasses)
        for (auto& allPass : row)
            allPass.clear();
}

//==============================================================================
void PreVerb::process (juce::dsp::AudioBlock<float>& block) noexcept
{
    const int numSamples = (int) block.getNumSamples();

    if (block.getNumChannels() == 2)
        processStereo (block.getChannelPointer (0), block.getChannelPointer (1), numSamples);
    else if (block.getNumChannels() == 1)
        processMono (block.getChannelPointer (0), numSamples);
}

void PreVerb::processStereo (float* left, float* right, int numSamples) noexcept
{
    if (isReady())
        processRuns<2> (left, right, numSamples);
}

void PreVerb::processMono (float* samples, int numSamples) noexcept
{
    if (isReady())
        processRuns<1> (samples, nullptr, numSamples);
}

// Where each filter of the channels in use stands while a block is walked: its memory at the current sample, how
// many samples are left before that memory wraps around, and each comb's low-pass state.
template <int numChannels>
struct PreVerb::Cursors
{
    float* combMemory[numChannels][numCombs];
    int combLeft[numChannels][numCombs];
    Float4 combStore[numChannels][combGroups];
    float* allPassMemory[numChannels][numAllPasses];
    int allPassLeft[numChannels][numAllPasses];
};

// The block is walked in runs in which no delay of the channels in use wraps around. Within a block each filter's
// position, memory pointer and low-pass state live in locals: kept in the filters, every store into a delay
// memory could be a store into them, and they would be reloaded for every filter and sample. Between runs only a
// wrapped filter goes back to the start of its memory. The operations and their order per sample are those of the
// filters' own `process`.
template <int numChannels>
void PreVerb::processRuns (float* left, float* right, int numSamples) noexcept
{
    Cursors<numChannels> cursors;

    for (int c = 0; c < numChannels; ++c)
    {
        for (int j = 0; j < numCombs; ++j)
        {
            auto& comb = combs[(size_t) c][(size_t) j];
            cursors.combMemory[c][j] = comb.buffer.get() + comb.bufferIndex;
            cursors.combLeft[c][j] = comb.bufferSize - comb.bufferIndex;
            cursors.combStore[c][j / 4][j % 4] = comb.filterStore;
        }

        for (int j = 0; j < numAllPasses; ++j)
        {
            auto& allPass = allPasses[(size_t) c][(size_t) j];
            cursors.allPassMemory[c][j] = allPass.buffer.get() + allPass.bufferIndex;
            cursors.allPassLeft[c][j] = allPass.bufferSize - allPass.bufferIndex;
        }
    }

    // Whether the block brings the filters nothing: every input sample, as the loop forms it, zero.
    std::uint32_t heard = 0;

    for (int i = 0; i < numSamples; ++i)
    {
        const float in = (numChannels == 2 ? left[i] + right[i] : left[i]) * inputGain;
        heard |= (in != 0.0f && in - in == 0.0f) ? 1u : 0u;
    }

    const bool silent = heard == 0;
    float check = 0.0f;

    for (int start = 0; start < numSamples;)
    {
        int length = numSamples - start;

        for (int c = 0; c < numChannels; ++c)
        {
            for (int j = 0; j < numCombs; ++j)
                length = std::min (length, cursors.combLeft[c][j]);

            for (int j = 0; j < numAllPasses; ++j)
                length = std::min (length, cursors.allPassLeft[c][j]);
        }

        if (silent)
            processRun<numChannels, true> (left + start, numChannels == 2 ? right + start : nullptr, length, check, cursors);
        else
            processRun<numChannels, false> (left + start, numChannels == 2 ? right + start : nullptr, length, check, cursors);
        start += length;

        const auto move = [length] (float*& memory, int& samplesLeft, const auto& filter)
        {
            samplesLeft -= length;
            memory += length;

            if (samplesLeft == 0)
            {
                memory = filter.buffer.get();
                samplesLeft = filter.bufferSize;
            }
        };

        for (int c = 0; c < numChannels; ++c)
        {
            for (int j = 0; j < numCombs; ++j)
                move (cursors.combMemory[c][j], cursors.combLeft[c][j], combs[(size_t) c][(size_t) j]);

            for (int j = 0; j < numAllPasses; ++j)
                move (cursors.allPassMemory[c][j], cursors.allPassLeft[c][j], allPasses[(size_t) c][(size_t) j]);
        }
    }

    for (int c = 0; c < numChannels; ++c)
    {
        for (int j = 0; j < numCombs; ++j)
        {
            auto& comb = combs[(size_t) c][(size_t) j];
            comb.filterStore = cursors.combStore[c][j / 4][j % 4];
            comb.bufferIndex = (int) (cursors.combMemory[c][j] - comb.buffer.get());
        }

        for (int j = 0; j < numAllPasses; ++j)
        {
            auto& allPass = allPasses[(size_t) c][(size_t) j];
            allPass.bufferIndex = (int) (cursors.allPassMemory[c][j] - allPass.buffer.get());
        }
    }

    recoverIfNotFinite (check);
}

template <int numChannels, bool cutResidues>
void PreVerb::processRun (float* left, float* right, int numSamples, float& check, Cursors<numChannels>& cursors) noexcept
{
    // Copied in and out: a store into a delay memory could otherwise be a store into them.
    float* const (&combMemory)[numChannels][numCombs] = cursors.combMemory;
    float* const (&allPassMemory)[numChannels][numAllPasses] = cursors.allPassMemory;
    Float4 combStore[numChannels][combGroups];
    std::copy (&cursors.combStore[0][0], &cursors.combStore[0][0] + numChannels * combGroups, &combStore[0][0]);

    // Settled smoothers give their target for every sample; read once, it stays in a register.
    const bool dampingSettled = ! dampingSmoother.isSmoothing(), feedbackSettled = ! feedbackSmoother.isSmoothing();
    const bool wetSettled = ! wetGain1Smoother.isSmoothing() && ! wetGain2Smoother.isSmoothing();
    const float settledDamping = dampingSmoother.getTargetValue(), settledFeedback = feedbackSmoother.getTargetValue();
    const float settledWet1 = wetGain1Smoother.getTargetValue(), settledWet2 = wetGain2Smoother.getTargetValue();
    const float gain = inputGain;
    int i = 0;

    // Four samples at a time. Within a run no delay wraps, so every position is read once and then written once,
    // and four consecutive samples of a filter are four consecutive floats of its memory: the reflections are
    // summed over vectors of time, comb after comb from zero as below; each group of four combs is turned so
    // that its lanes are combs for the low-pass recursion, and turned back to be written; the all-passes run
    // over time vectors again. Every sample sees the same operations in the same order as one at a time.
    Float4 checks {};

    for (; i + 4 <= numSamples; i += 4)
    {
        const Float4 l = load4 (left + i);
        const Float4 r = numChannels == 2 ? load4 (right + i) : Float4 {};
        Float4 in = (numChannels == 2 ? l + r : l) * gain;
        in = (Float4) ((Int4) in & ((in - in) == Float4 {})); // x - x is zero only for finite x

        const Float4 d = nextFour (dampingSmoother, dampingSettled, settledDamping);
        const Float4 g = nextFour (feedbackSmoother, feedbackSettled, settledFeedback);
        const Float4 keep = 1.0f - d;
        Float4 out[numChannels];
        Float4 rows[numChannels][combGroups][4];

        for (int c = 0; c < numChannels; ++c)
        {
            out[c] = Float4 {};

            for (int h = 0; h < combGroups; ++h)
            {
                auto& row = rows[c][h];

                for (int k = 0; k < 4; ++k)
                {
                    row[k] = load4 (combMemory[c][4 * h + k] + i);
                    out[c] += row[k];
                }

                transpose (row[0], row[1], row[2], row[3]);
            }
        }

        // Sample by sample, every group's recursion advances before the next sample's: the groups' chains are
        // independent and overlap.
        const auto advance = [&] (auto sample)
        {
            constexpr int s = decltype (sample)::value;

            for (int c = 0; c < numChannels; ++c)
                for (int h = 0; h < combGroups; ++h)
                    rows[c][h][s] = combStep<s, cutResidues> (rows[c][h][s], combStore[c][h], keep, d, g, in);
        };

        advance (std::integral_constant<int, 0> {});
        advance (std::integral_constant<int, 1> {});
        advance (std::integral_constant<int, 2> {});
        advance (std::integral_constant<int, 3> {});

        for (int c = 0; c < numChannels; ++c)
        {
            for (int h = 0; h < combGroups; ++h)
            {
                auto& row = rows[c][h];
                transpose (row[0], row[1], row[2], row[3]);

                for (int k = 0; k < 4; ++k)
                    store4 (combMemory[c][4 * h + k] + i, row[k]);
            }
        }

        for (int j = 0; j < numAllPasses; ++j)
        {
            for (int c = 0; c < numChannels; ++c)
            {
                float* memory = allPassMemory[c][j] + i;
                const Float4 held = load4 (memory);
                store4 (memory, written4<cutResidues> (flushTiny4 (0.5f * held + out[c])));
                out[c] = held - out[c];
            }
        }

        const Float4 w1 = nextFour (wetGain1Smoother, wetSettled, settledWet1);

        if constexpr (numChannels == 2)
        {
            const Float4 w2 = nextFour (wetGain2Smoother, wetSettled, settledWet2);
            checks += (out[0] - out[0]) + (out[1] - out[1]);
            store4 (left + i, (out[0] * w1 + l) + out[1] * w2);
            store4 (right + i, (out[1] * w1 + r) + out[0] * w2);
        }
        else
        {
            checks += out[0] - out[0];
            store4 (left + i, l + out[0] * w1);
        }
    }

    check += (checks[0] + checks[1]) + (checks[2] + checks[3]);

    // The rest of the run one sample at a time.
    for (; i < numSamples; ++i)
    {
        const float l = left[i];
        const float r = numChannels == 2 ? right[i] : 0.0f;

        // A bad input sample passes through on its own channel but never enters the feedback paths.
        float in = (numChannels == 2 ? l + r : l) * gain;

        if (! std::isfinite (in))
            in = 0.0f;

        const float d = dampingSettled ? settledDamping : dampingSmoother.getNextValue();
        const float g = feedbackSettled ? settledFeedback : feedbackSmoother.getNextValue();
        float out[numChannels] {};

        // Four combs at a time: their reads are gathered into one vector, the same arithmetic runs on all four and
        // the results are scattered back. The reflections are summed one comb after another, as ever.
        for (int c = 0; c < numChannels; ++c)
        {
            for (int h = 0; h < combGroups; ++h)
            {
                float* const* memory = combMemory[c] + 4 * h;
                const Float4 delayed { memory[0][i], memory[1][i], memory[2][i], memory[3][i] };
                combStore[c][h] = flushTiny4 (delayed * (1.0f - d) + combStore[c][h] * d);
                const Float4 written = written4<cutResidues> (flushTiny4 (combStore[c][h] * g + in));

                for (int k = 0; k < 4; ++k)
                {
                    memory[k][i] = written[k];
                    out[c] += delayed[k];
                }
            }
        }

        for (int j = 0; j < numAllPasses; ++j)
        {
            for (int c = 0; c < numChannels; ++c)
            {
                float* memory = allPassMemory[c][j] + i;
                const float held = *memory;
                *memory = written1<cutResidues> (flushTiny (0.5f * held + out[c]));
                out[c] = held - out[c];
            }
        }

        const float w1 = wetSettled ? settledWet1 : wetGain1Smoother.getNextValue();

        if constexpr (numChannels == 2)
        {
            const float w2 = wetSettled ? settledWet2 : wetGain2Smoother.getNextValue();
            check += (out[0] - out[0]) + (out[1] - out[1]);
            left[i] = (out[0] * w1 + l) + out[1] * w2;
            right[i] = (out[1] * w1 + r) + out[0] * w2;
        }
        else
        {
            check += out[0] - out[0];
            left[i] = l + out[0] * w1;
        }
    }

    std::copy (&combStore[0][0], &combStore[0][0] + numChannels * combGroups, &cursors.combStore[0][0]);
}

void PreVerb::recoverIfNotFinite (float check) noexcept
{
    // check is 0 when every reflection was finite and NaN otherwise.
    if (check != 0.0f)
        clearFilters();
}
