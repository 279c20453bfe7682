#pragma once

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace smootheq
{
/** Biquad coefficients (b0, b1, b2, a0, a1, a2, not normalised) of an equaliser band, in single precision.

    Types: 0 high-pass, 1 low shelf, 2 peak, 3 high shelf, 4 low-pass; any other type passes the signal through.
    The high-pass and low-pass ignore the gain. Frequencies are held just below half the sample rate, and a Q or
    gain that is not finite or far outside the controls' ranges is brought back into a usable range, so that the
    result is always finite and stable.
*/
std::array<float, 6> makeBand (int type, double sampleRate, float frequency, float q, float gainDb);

/** A band type from a parameter's raw value: truncated, or 5 (pass-through) when it is not a usable number. */
inline int toBandType (float value) noexcept
{
    // Converting a NaN or a huge value to int is undefined; such a value means no known type.
    return (std::isfinite (value) && value > -1.0f && value < 5.0f) ? (int) value : 5;
}

/** The settings of a `BandFilter`: its integrators' tuning g and damping k, the scale c of the input that enters
    them, and the weights d0, d1, d2 of that scaled input and of the band-pass and low-pass outputs that are
    added to the unfiltered signal. */
struct BandFilterCoefficients
{
    float g = 0.0f, k = 1.0f, c = 0.0f, d0 = 0.0f, d1 = 0.0f, d2 = 0.0f;

    bool operator== (const BandFilterCoefficients& other) const noexcept
    {
        return g == other.g && k == other.k && c == other.c && d0 == other.d0 && d1 == other.d1 && d2 == other.d2;
    }
};

/** The `BandFilter` settings with the response of `makeBand` for the same arguments. */
BandFilterCoefficients makeBandFilter (int type, double sampleRate, float frequency, float q, float gainDb);

/** An equaliser band's filter, one per channel: a trapezoidal state-variable filter, which stays well behaved
    while its settings move, run on the input scaled by c and added to the input itself. A retune glides
    sample by sample from the previous settings to the new ones over the next processed piece.

    At 0 dB a shelf or bell scales its input by exactly 0, so nothing enters the integrators and the band adds
    nothing: once the integrators are empty too, processing is skipped, and the output is the same to the bit.
    `state` holds the band's biquad coefficients (`makeBand`), for whoever inspects the band.
*/
class BandFilter
{
public:
    void prepare (const juce::dsp::ProcessSpec& spec);
    void reset() noexcept;

    /** Takes new settings, gliding to them over the next `process` or (glide false) at once. */
    void retune (const BandFilterCoefficients& coefficients, bool glide) noexcept;

    void process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept;

    /** True while the filter passes its input unchanged without running. */
    bool isResting() const noexcept { return resting; }

    juce::dsp::IIR::Coefficients<float>::Ptr state { new juce::dsp::IIR::Coefficients<float>() };

private:
    // Whether the filter is resting, worked out whenever settings or memory change rather than at every block.
    void noteRest() noexcept;

    BandFilterCoefficients from, to, eased, easedTwice;
    float easing = 1.0f;
    std::vector<std::array<float, 2>> memory; // per channel, the two integrators
    bool resting = false;
};

/** Ramps and switches one equaliser band without clicks.

    Frequency (on a logarithmic scale), Q and gain glide over 50 ms with the coefficients recomputed every
    32 samples while the filter keeps its memory. Switching the band on or off, or changing its type, crossfades
    the band with its own input over 10 ms; a type change fades out with the old type, restarts the filter with
    the new type and cleared memory, then fades in. The templates take the filter type, which needs a coefficient
    object `state`, `retune`, `process` with a replacing context and `reset` (as `BandFilter` has).
*/
class BandSmoother
{
public:
    BandSmoother() = default;

    /** Sizes the crossfade copy and sets the ramps for a new rate; the next chunk starts without ramps. */
    void prepare (double newSampleRate, int samplesPerBlock, int numChannels);

    /** Runs the band on one chunk in place; the values are the band's parameters as read for this chunk. With
        `skipWhenSettled`, a settled band given the same values as last time only runs its filter, which is all
        the full step would do. */
    template <typename Filter>
    void process (juce::dsp::AudioBlock<float>& block, Filter& filter, int newType, float frequency, float q,
                  float gainDb, bool active, bool skipWhenSettled = true)
    {
        if (skipWhenSettled && settled.valid && newType == settled.type && frequency == settled.frequency && q == settled.q
            && gainDb == settled.gainDb && active == settled.active)
        {
            if (active)
                filter.process (juce::dsp::ProcessContextReplacing<float> (block));

            return;
        }

        processChanging (block, filter, newType, frequency, q, gainDb, active);
    }

    /** Starts the band afresh at these settings with no ramps, optionally clearing the filter's memory. */
    template <typename Filter>
    void startWith (Filter& filter, int newType, float frequency, float q, float gainDb, bool resetFilter)
    {
        type = newType;
        settled.valid = false;
        logFrequency.setCurrentAndTargetValue (std::log (frequency));
        qRamp.setCurrentAndTargetValue (std::log (q));
        heldQ = q;
        gainRamp.setCurrentAndTargetValue (gainDb);
        hasCoefficients = false;
        apply (filter, newType, frequency, q, gainDb);

        if (resetFilter)
            filter.reset();
    }

    /** Writes the band's coefficients into the filter's shared coefficient object unless they are there. */
    template <typename Filter>
    void apply (Filter& filter, int newType, float frequency, float q, float gainDb)
    {
        if (hasCoefficients && newType == lastType && frequency == lastFrequency && q == lastQ && gainDb == lastGain)
            return;

        *filter.state = makeBand (newType, sampleRate, frequency, q, gainDb);
        filter.retune (makeBandFilter (newType, sampleRate, frequency, q, gainDb), hasCoefficients && newType == lastType);
        hasCoefficients = true;
        lastType = newType;
        lastFrequency = frequency;
        lastQ = q;
        lastGain = gainDb;
    }

    bool isRamping() const noexcept
    {
        return logFrequency.isSmoothing() || qRamp.isSmoothing() || gainRamp.isSmoothing();
    }

    float getFadeGain() const noexcept { return fadeGain; }
    int getType() const noexcept { return type; }
    float getLastFrequency() const noexcept { return lastFrequency; }
    float getLastQ() const noexcept { return lastQ; }
    float getLastGain() const noexcept { return lastGain; }

    static constexpr size_t subBlockLength = 32;

private:
    // Everything `process` does for values that differ from the last chunk's, or while the band moves.
    template <typename Filter>
    void processChanging (juce::dsp::AudioBlock<float>& block, Filter& filter, int newType, float frequency, float q,
                          float gainDb, bool active)
    {
        settled = { newType, frequency, q, gainDb, active, false };
        frequency = limitFrequency (frequency);
        q = limitQ (q);
        gainDb = limitGain (gainDb);

        const int numChannels = std::min ((int) block.getNumChannels(), fadeCopy.getNumChannels());
        const int numSamples = (int) block.getNumSamples();

        if (! started)
        {
            fadeGain = active ? 1.0f : 0.0f;
            startWith (filter, newType, frequency, q, gainDb, false);
            started = true;
        }

        if (fadeGain == 0.0f)
        {
            if (! active)
            {
                settled.valid = true;
                return;
            }

            startWith (filter, newType, frequency, q, gainDb, true);
        }

        const float weight = active && newType == type ? 1.0f : 0.0f;

        if (newType == type)
        {
            logFrequency.setTargetValue (logOf (frequency, loggedFrequency));
            qRamp.setTargetValue (logOf (q, loggedQ));
            heldQ = q;
            gainRamp.setTargetValue (gainDb);
        }

        const bool crossfade = fadeGain != weight && fadeCopy.getNumSamples() >= numSamples;

        if (crossfade)
            for (int c = 0; c < numChannels; ++c)
                fadeCopy.copyFrom (c, 0, block.getChannelPointer ((size_t) c), numSamples);

        if (isRamping())
        {
            for (size_t start = 0; start < (size_t) numSamples; start += subBlockLength)
            {
                const auto length = std::min (subBlockLength, (size_t) numSamples - start);
                auto part = block.getSubBlock (start, length);
                const float f = std::exp (logFrequency.skip ((int) length));
                const float qNow = qRamp.isSmoothing() ? std::exp (qRamp.skip ((int) length)) : heldQ;
                apply (filter, type, f, qNow, gainRamp.skip ((int) length));
                filter.process (juce::dsp::ProcessContextReplacing<float> (part));
            }
        }
        else
        {
            if (newType == type)
                apply (filter, newType, frequency, q, gainDb);

            filter.process (juce::dsp::ProcessContextReplacing<float> (block));
            settled.valid = ! crossfade && weight == 1.0f;
        }

        if (crossfade)
            crossfadeWithInput (block, numChannels, numSamples, weight);
        else
            fadeGain = weight;
    }

    float limitFrequency (float frequency) const noexcept;
    static float limitQ (float q) noexcept;
    static float limitGain (float gainDb) noexcept;
    void crossfadeWithInput (juce::dsp::AudioBlock<float>& block, int numChannels, int numSamples,
                             float weight) noexcept;

    double sampleRate = 44100.0;
    float fadeStep = 1.0f / 441.0f;
    float fadeGain = 1.0f;
    int type = -1;
    bool started = false;
    bool hasCoefficients = false;
    int lastType = -1;
    float lastFrequency = 0.0f, lastQ = 0.0f, lastGain = 0.0f;
    // Q glides on a logarithmic scale like the frequency: a jump from 0.2 to 20 then changes the bandwidth by
    // the same small ratio at every step instead of most of it at once. `heldQ` is the exact Q the ramp ends on.
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> logFrequency, qRamp, gainRamp;
    float heldQ = 0.8f;

    // The last value whose logarithm was taken, and that logarithm: the same settings chunk after chunk need no
    // new one.
    struct Logged
    {
        float value = -1.0f, log = 0.0f;
    };

    Logged loggedFrequency, loggedQ;

    static float logOf (float value, Logged& logged) noexcept
    {
        if (value != logged.value)
            logged = { value, std::log (value) };

        return logged.log;
    }
    juce::AudioBuffer<float> fadeCopy;

    // The values of the last chunk as the band was given them, and whether that chunk left it settled on them:
    // no ramp, no crossfade, its coefficients applied (or switched off and faded out).
    struct Inputs
    {
        int type = -1;
        float frequency = 0.0f, q = 0.0f, gainDb = 0.0f;
        bool active = false, valid = false;
    };

    Inputs settled;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BandSmoother)
};
} // namespace smootheq
