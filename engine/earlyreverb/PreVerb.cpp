#include "engine/earlyreverb/PreVerb.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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
