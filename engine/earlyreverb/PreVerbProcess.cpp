#include "engine/earlyreverb/PreVerbVectors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

using namespace preverb;

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

namespace
{
/** What a run works on: the filters' memories at the run's first sample, the combs' low-pass states, the input
    gain and the smoothers. */
template <int numChannels>
struct Run
{
    float* const (&combMemory)[numChannels][PreVerb::numCombs];
    float* const (&allPassMemory)[numChannels][PreVerb::numAllPasses];
    Float4 (&combStore)[numChannels][combGroups];
    const float gain;
    RunValue damping, feedback, wet1, wet2;
};

/** The per-sample values of four samples that every comb group's recursion takes. */
struct CombInputs
{
    Float4 keep, damp, feedback, input;
};

// Sample by sample, every group's recursion advances before the next sample's: the groups' chains are independent
// and overlap.
template <int s, bool cutResidues, int numChannels>
void advanceCombs (Float4 (&rows)[numChannels][combGroups][4], Float4 (&store)[numChannels][combGroups],
                   const CombInputs& v) noexcept
{
    for (int c = 0; c < numChannels; ++c)
        for (int h = 0; h < combGroups; ++h)
            rows[c][h][s] = combStep<s, cutResidues> (rows[c][h][s], store[c][h], v.keep, v.damp, v.feedback, v.input);
}

// The combs for samples i to i + 3. The reflections are summed over vectors of time, comb after comb from zero;
// each group of four combs is turned so that its lanes are combs for the low-pass recursion, and turned back to be
// written.
template <int numChannels, bool cutResidues>
void combsFour (Run<numChannels>& run, int i, const CombInputs& v, Float4 (&out)[numChannels]) noexcept
{
    Float4 rows[numChannels][combGroups][4];

    for (int c = 0; c < numChannels; ++c)
    {
        out[c] = Float4 {};

        for (int h = 0; h < combGroups; ++h)
        {
            auto& row = rows[c][h];

            for (int k = 0; k < 4; ++k)
            {
                row[k] = load4 (run.combMemory[c][4 * h + k] + i);
                out[c] += row[k];
            }

            transpose (row[0], row[1], row[2], row[3]);
        }
    }

    advanceCombs<0, cutResidues> (rows, run.combStore, v);
    advanceCombs<1, cutResidues> (rows, run.combStore, v);
    advanceCombs<2, cutResidues> (rows, run.combStore, v);
    advanceCombs<3, cutResidues> (rows, run.combStore, v);

    for (int c = 0; c < numChannels; ++c)
    {
        for (int h = 0; h < combGroups; ++h)
        {
            auto& row = rows[c][h];
            transpose (row[0], row[1], row[2], row[3]);

            for (int k = 0; k < 4; ++k)
                store4 (run.combMemory[c][4 * h + k] + i, row[k]);
        }
    }
}

// Samples i to i + 3, in place; returns what the output adds to the finiteness check. Within a run no delay wraps,
// so every position is read once and then written once, and four consecutive samples of a filter are four
// consecutive floats of its memory. The all-passes run over time vectors. Every sample sees the same operations
// in the same order as one at a time.
template <int numChannels, bool cutResidues>
Float4 processFour (Run<numChannels>& run, float* left, float* right, int i) noexcept
{
    const Float4 l = load4 (left + i);
    const Float4 r = numChannels == 2 ? load4 (right + i) : Float4 {};
    Float4 in = (numChannels == 2 ? l + r : l) * run.gain;
    in = (Float4) ((Int4) in & ((in - in) == Float4 {})); // x - x is zero only for finite x

    const Float4 d = run.damping.nextFour();
    const Float4 g = run.feedback.nextFour();
    Float4 out[numChannels];
    combsFour<numChannels, cutResidues> (run, i, CombInputs { 1.0f - d, d, g, in }, out);

    for (int j = 0; j < PreVerb::numAllPasses; ++j)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            float* memory = run.allPassMemory[c][j] + i;
            const Float4 held = load4 (memory);
            store4 (memory, written4<cutResidues> (flushTiny4 (0.5f * held + out[c])));
            out[c] = held - out[c];
        }
    }

    const Float4 w1 = run.wet1.nextFour();

    if constexpr (numChannels == 2)
    {
        const Float4 w2 = run.wet2.nextFour();
        store4 (left + i, (out[0] * w1 + l) + out[1] * w2);
        store4 (right + i, (out[1] * w1 + r) + out[0] * w2);
        return (out[0] - out[0]) + (out[1] - out[1]);
    }
    else
    {
        store4 (left + i, l + out[0] * w1);
        return out[0] - out[0];
    }
}

// Sample i, in place; returns what the output adds to the finiteness check.
template <int numChannels, bool cutResidues>
float processOne (Run<numChannels>& run, float* left, float* right, int i) noexcept
{
    const float l = left[i];
    const float r = numChannels == 2 ? right[i] : 0.0f;

    // A bad input sample passes through on its own channel but never enters the feedback paths.
    float in = (numChannels == 2 ? l + r : l) * run.gain;

    if (! std::isfinite (in))
        in = 0.0f;

    const float d = run.damping.next();
    const float g = run.feedback.next();
    float out[numChannels] {};

    // Four combs at a time: their reads are gathered into one vector, the same arithmetic runs on all four and the
    // results are scattered back. The reflections are summed one comb after another, as ever.
    for (int c = 0; c < numChannels; ++c)
    {
        for (int h = 0; h < combGroups; ++h)
        {
            float* const* memory = run.combMemory[c] + 4 * h;
            Float4& store = run.combStore[c][h];
            const Float4 delayed { memory[0][i], memory[1][i], memory[2][i], memory[3][i] };
            store = flushTiny4 (delayed * (1.0f - d) + store * d);
            const Float4 written = written4<cutResidues> (flushTiny4 (store * g + in));

            for (int k = 0; k < 4; ++k)
            {
                memory[k][i] = written[k];
                out[c] += delayed[k];
            }
        }
    }

    for (int j = 0; j < PreVerb::numAllPasses; ++j)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            float* memory = run.allPassMemory[c][j] + i;
            const float held = *memory;
            *memory = written1<cutResidues> (PreVerb::flushTiny (0.5f * held + out[c]));
            out[c] = held - out[c];
        }
    }

    const float w1 = run.wet1.next();

    if constexpr (numChannels == 2)
    {
        const float w2 = run.wet2.next();
        left[i] = (out[0] * w1 + l) + out[1] * w2;
        right[i] = (out[1] * w1 + r) + out[0] * w2;
        return (out[0] - out[0]) + (out[1] - out[1]);
    }
    else
    {
        left[i] = l + out[0] * w1;
        return out[0] - out[0];
    }
}
} // namespace

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

// The block is walked in runs in which no delay of the channels in use wraps around. Within a block each filter's
// position, memory pointer and low-pass state live in locals: kept in the filters, every store into a delay
// memory could be a store into them, and they would be reloaded for every filter and sample. Between runs only a
// wrapped filter goes back to the start of its memory. The operations and their order per sample are those of the
// filters' own `process`.
template <int numChannels>
void PreVerb::processRuns (float* left, float* right, int numSamples) noexcept
{
    Cursors<numChannels> cursors;
    takeCursors (cursors);

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
        moveCursors (cursors, length);
    }

    giveBackCursors (cursors);
    recoverIfNotFinite (check);
}

template <int numChannels>
void PreVerb::takeCursors (Cursors<numChannels>& cursors) const noexcept
{
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
}

// After a run of `length` samples; a filter whose memory ends there goes back to its start.
template <int numChannels>
void PreVerb::moveCursors (Cursors<numChannels>& cursors, int length) const noexcept
{
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

template <int numChannels>
void PreVerb::giveBackCursors (const Cursors<numChannels>& cursors) noexcept
{
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
}

template <int numChannels, bool cutResidues>
void PreVerb::processRun (float* left, float* right, int numSamples, float& check, Cursors<numChannels>& cursors) noexcept
{
    // Copied in and out: a store into a delay memory could otherwise be a store into them.
    Float4 combStore[numChannels][combGroups];
    std::copy (&cursors.combStore[0][0], &cursors.combStore[0][0] + numChannels * combGroups, &combStore[0][0]);

    Run<numChannels> run { cursors.combMemory, cursors.allPassMemory, combStore, inputGain,
                           RunValue (dampingSmoother), RunValue (feedbackSmoother),
                           RunValue (wetGain1Smoother), RunValue (wetGain2Smoother) };
    int i = 0;
    Float4 checks {};

    for (; i + 4 <= numSamples; i += 4)
        checks += processFour<numChannels, cutResidues> (run, left, right, i);

    check += (checks[0] + checks[1]) + (checks[2] + checks[3]);

    // The rest of the run one sample at a time.
    for (; i < numSamples; ++i)
        check += processOne<numChannels, cutResidues> (run, left, right, i);

    std::copy (&combStore[0][0], &combStore[0][0] + numChannels * combGroups, &cursors.combStore[0][0]);
}

void PreVerb::recoverIfNotFinite (float check) noexcept
{
    // check is 0 when every reflection was finite and NaN otherwise.
    if (check != 0.0f)
        clearFilters();
}
