#include "engine/drive/Grain.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace
{
constexpr double cutoffs[] = { 10000.0, 11000.0, 7000.0, 6000.0, 4000.0 };

// Ascending powers, c0 to c8, one row per curve.
constexpr double coefficients[][9] = {
    { 0.0, 0.7, 2.0, 0.6, 4.0, 0.0, 1.0, 0.0, 1.0 },
    { 0.0, 0.7, 2.3, 0.0, 3.1, 0.0, 1.4, 0.0, 0.6 },
    { 0.0, 0.7, 4.5, 0.3, 6.0, 0.0, 1.4, 0.0, 0.9 },
    { 0.0, 0.7, 2.0, 8.0, 4.0, 7.0, 2.0, 3.0, 1.5 },
    { 0.0, 0.5, 0.0, 0.5, 0.0, 5.0, 1.0, 3.0, 6.0 },
};

// The curve before this one has been left is run with a darker tone than its own.
constexpr double initialCutoff = 8000.0;

// The low-pass is kept this far below half the sample rate: at or above it the filter turns silent or unstable.
constexpr double highestCutoffRatio = 0.499;

// The framework's gain keeps one value per sample on the stack, so long chunks pass through it in slices.
constexpr size_t gainSliceLength = 4096;
} // namespace

//==============================================================================
// e^x in single precision within about one unit in the last place of the library's, in a form the compiler runs
// on several samples at once: x = n ln 2 + r with n whole and |r| <= ln 2 / 2, e^r from its Taylor-like polynomial
// (Cephes' coefficients), 2^n put straight into the exponent bits. x must lie between -87 and 88, where the result
// is a normal number, or be NaN, which stays NaN.
static forcedinline float expInRange (float x) noexcept
{
    const bool isNumber = x == x;
    const float held = isNumber ? x : 0.0f;

    // Rounded to the nearest whole number by the addition of 1.5 x 2^23, which leaves no fraction bits.
    const float n = (held * 1.44269504f + 12582912.0f) - 12582912.0f;
    const float r = (held - n * 0.693359375f) - n * -2.12194440e-4f;
    const float p = ((((((1.9875691500e-4f * r + 1.3981999507e-3f) * r + 8.3334519073e-3f) * r + 4.1665795894e-2f) * r
                        + 1.6666665459e-1f) * r + 5.0000001201e-1f) * (r * r) + r) + 1.0f;
    const auto bits = (std::int32_t) ((std::int32_t) n + 127) << 23;
    float scale;
    std::memcpy (&scale, &bits, sizeof (scale));
    return isNumber ? p * scale : x;
}

// e^x for any x: beyond the range above it is 0 or huge anyway, and the arguments are held there.
template <typename SampleType>
static forcedinline SampleType fastExp (SampleType x) noexcept
{
    if constexpr (std::is_same_v<SampleType, float>)
        return expInRange (x < -87.0f ? -87.0f : (x > 88.0f ? 88.0f : x));
    else
        return std::exp (x);
}

// Curves 1 to 3 are normalised to reach 1 at x = 1 (curve 1 at x = 1 / 1.1); the divisors are those values
// in single precision.
//
// The first curve is tanh (1.5 x), formed from one single-precision exponential: within 1e-6 of the double-precision
// tanh at a fraction of its cost. From |1.5 x| = 9 on tanh lies within 3e-8 of 1, so the limit there costs nothing
// and keeps the exponential finite; a NaN passes the limit and stays NaN.
template <typename SampleType>
static forcedinline SampleType tanhCurve (SampleType x) noexcept
{
    const auto y = juce::jlimit ((SampleType) -9, (SampleType) 9, (SampleType) 1.5 * x);

    SampleType e;

    if constexpr (std::is_same_v<SampleType, float>)
        e = expInRange (2 * y);
    else
        e = std::exp (2 * y);

    return (e - 1) / (e + 1);
}

template <typename SampleType>
SampleType Grain<SampleType>::driveCurve (SampleType x)
{
    return tanhCurve (x);
}

template <typename SampleType>
SampleType Grain<SampleType>::softCurve (SampleType x)
{
    const auto limited = juce::jlimit ((SampleType) -10, (SampleType) 10, x);
    const auto e = fastExp ((SampleType) 1.1 * limited);
    return ((e - 1) / (e + 1)) * ((SampleType) 3.7182817 / (SampleType) 1.7182817);
}

template <typename SampleType>
SampleType Grain<SampleType>::tubeCurve (SampleType x)
{
    return std::atan ((SampleType) 1.4 * x) / (SampleType) 0.95054686;
}

// The sign is taken by comparison rather than as x / |x|: the same for every finite x other than 0, where the
// curve wants +1, and still a sign for an infinite input.
template <typename SampleType>
SampleType Grain<SampleType>::tapeCurve (SampleType x)
{
    const SampleType sign = x < 0 ? (SampleType) -1 : (SampleType) 1;
    return sign * (1 - fastExp ((SampleType) -4 * std::abs (x))) / (SampleType) 0.98168439;
}

template <typename SampleType>
SampleType Grain<SampleType>::fuzzCurve (SampleType x)
{
    if (x < 0)
        return fastExp ((SampleType) 4 * x) - 1;

    return 1 - fastExp ((SampleType) -10 * x);
}

template <typename SampleType>
SampleType (*const Grain<SampleType>::curveFunctions[numWaves]) (SampleType) = {
    &Grain::driveCurve, &Grain::softCurve, &Grain::tubeCurve, &Grain::tapeCurve, &Grain::fuzzCurve
};

template <typename SampleType>
SampleType Grain<SampleType>::curve (int wave, SampleType x) noexcept
{
    return curveFunctions[juce::isPositiveAndBelow (wave, numWaves) ? wave : 0] (x);
}

template <typename SampleType>
SampleType Grain<SampleType>::curveCutoff (int wave) noexcept
{
    return (SampleType) cutoffs[juce::isPositiveAndBelow (wave, numWaves) ? wave : 0];
}

template <typename SampleType>
SampleType Grain<SampleType>::curveCoefficient (int wave, int power) noexcept
{
    jassert (juce::isPositiveAndBelow (power, numCoefficients));
    return (SampleType) coefficients[juce::isPositiveAndBelow (wave, numWaves) ? wave : 0][power];
}

template <typename SampleType>
int Grain<SampleType>::waveFromValue (float value) noexcept
{
    return (value > -1.0f && value < (float) numWaves) ? (int) value : 0;
}

template <typename SampleType>
juce::dsp::Polynomial<SampleType> Grain<SampleType>::zeroPolynomial()
{
    const SampleType zeros[numCoefficients] = {};
    return juce::dsp::Polynomial<SampleType> (zeros, numCoefficients);
}

//==============================================================================
template <typename SampleType>
Grain<SampleType>::Grain()
{
    setWave();

    toneCutoff = (SampleType) initialCutoff;
    applyToneCutoff();
}

template <typename SampleType>
void Grain<SampleType>::prepare (const juce::dsp::ProcessSpec& spec)
{
    sampleRate = spec.sampleRate;
    fadeLength = juce::jmax (1, (int) (0.02 * spec.sampleRate));
    fadePosition = -1;
    fadeEnabled = false;

    std::get<preGain> (chain).prepare (spec);
    std::get<postGain> (chain).prepare (spec);
    outputGain.prepare (spec);

    std::get<toneFilter> (chain).prepare (spec);
    applyToneCutoff();

    // Sized like the tone filter, so that taking its state over at a curve change reuses this storage.
    previousToneFilter.prepare (spec);

    grainMixer.prepare (spec);
    grainMixer.reset();
    grainMix.prepare (spec);

    std::apply ([] (auto&... processor) { (processor.reset(), ...); }, chain);
}

template <typename SampleType>
SampleType Grain<SampleType>::fadeWeight (int sample) const noexcept
{
    return juce::jmin ((SampleType) 1, (SampleType) (fadePosition + sample + 1) / (SampleType) fadeLength);
}

template <typename SampleType>
void Grain<SampleType>::setWave() noexcept
{
    // Read once: the editor may write the request from another thread. A stray value selects the first curve.
    const int requested = driveTypeIndex;
    const int wave = juce::isPositiveAndBelow (requested, numWaves) ? requested : 0;

    if (wave == currentWave)
        return;

    auto& shape = std::get<shaper> (chain);

    if (fadeEnabled && fadeLength >= 1)
    {
        previousShape = shape.functionToUse;

        for (int power = 0; power < numCoefficients; ++power)
            previousPolynomial[power] = currentPolynomial[power];

        // The outgoing curve keeps its own cut-off and memory; the incoming one starts from the same memory.
        previousToneFilter = std::get<toneFilter> (chain);
        fadePosition = 0;
    }

    shape.functionToUse = curveFunctions[wave];
    toneCutoff = curveCutoff (wave);
    applyToneCutoff();

    for (int power = 0; power < numCoefficients; ++power)
        currentPolynomial[power] = curveCoefficient (wave, power);

    currentWave = wave;
}

template <typename SampleType>
void Grain<SampleType>::applyToneCutoff() noexcept
{
    const auto highest = (SampleType) (highestCutoffRatio * sampleRate);
    std::get<toneFilter> (chain).setCutoffFrequency (juce::jmin (toneCutoff, highest));
}

//==============================================================================
template <typename SampleType>
void Grain<SampleType>::process (const juce::dsp::ProcessContextReplacing<SampleType>& context,
                                 SampleType drive) noexcept
{
    auto block = context.getOutputBlock();
    const auto numChannels = block.getNumChannels();
    const int numSamples = (int) block.getNumSamples();
    const bool fading = fadePosition >= 0;

    // A non-finite Drive would make the mixer's gains NaN for good; it counts as no drive.
    const auto wet = std::isfinite (drive) ? juce::jlimit ((SampleType) 0, (SampleType) 1, drive / 100) : (SampleType) 0;
    grainMix.setWetMixProportion (wet);
    grainMix.pushDrySamples (block, mixDirectlyWhenSettled);

    std::get<preGain> (chain).setGainDecibels ((SampleType) 30);
    std::get<postGain> (chain).setGainDecibels ((SampleType) -22);

    if (fading)
    {
        crossfadeCurves (block);
    }
    else
    {
        if (! driveInOnePass (block))
        {
            for (size_t channel = 0; channel < numChannels; ++channel)
            {
                auto* samples = block.getChannelPointer (channel);

                for (int i = 0; i < numSamples; ++i)
                    samples[i] = currentPolynomial (samples[i]);
            }

            applyGain (std::get<preGain> (chain), block);
            std::get<shaper> (chain).process (context);
            applyGain (std::get<postGain> (chain), block);
        }

        std::get<toneFilter> (chain).process (context);
    }

    recoverToneFilter (block);

    grainMix.mixWetSamples (block);

    outputGain.setGainDecibels ((SampleType) 17);
    applyGain (outputGain, block);

    setWave();
    fadeEnabled = true;
}

// During a crossfade the old and new curves run as whole paths, each with its polynomial and its own low-pass, and
// their outputs are mixed: the old path's cut-off and memory go on undisturbed, so nothing jumps when the fade
// begins, and the mix is exactly the fade between the two curves held on their own.
template <typename SampleType>
void Grain<SampleType>::crossfadeCurves (juce::dsp::AudioBlock<SampleType>& block) noexcept
{
    const auto before = std::get<preGain> (chain).getGainLinear();
    const auto after = std::get<postGain> (chain).getGainLinear();
    const auto& shape = std::get<shaper> (chain).functionToUse;
    auto& filter = std::get<toneFilter> (chain);
    const int numSamples = (int) block.getNumSamples();

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        auto* samples = block.getChannelPointer (channel);

        for (int i = 0; i < numSamples; ++i)
        {
            const auto x = samples[i];
            const auto incoming = shape (currentPolynomial (x) * before) * after;
            const auto outgoing = previousShape (previousPolynomial (x) * before) * after;
            const auto w = fadeWeight (i);
            samples[i] = filter.processSample ((int) channel, incoming) * w
                         + previousToneFilter.processSample ((int) channel, outgoing) * (1 - w);
        }
    }

   #if JUCE_DSP_ENABLE_SNAP_TO_ZERO
    filter.snapToZero();
    previousToneFilter.snapToZero();
   #endif

    fadePosition += numSamples;

    if (fadePosition >= fadeLength)
        fadePosition = -1;
}

// Outside a curve crossfade, with both gains settled (they have no ramp), the polynomial, the gain before the curve,
// the curve and the gain after it run in one pass with the curve called directly: the same operations on every
// sample as the passes one after another. Returns false, having done nothing, where that does not hold.
template <typename SampleType>
bool Grain<SampleType>::driveInOnePass (juce::dsp::AudioBlock<SampleType>& block) noexcept
{
    const auto* plain = std::get<shaper> (chain).functionToUse.template target<SampleType (*) (SampleType)>();

    if (plain == nullptr || std::get<preGain> (chain).isSmoothing() || std::get<postGain> (chain).isSmoothing())
        return false;

    if (*plain == &Grain::driveCurve)
        driveSamples (block, [] (SampleType x) { return tanhCurve (x); });
    else
        driveSamples (block, *plain);

    return true;
}

template <typename SampleType>
template <typename Curve>
void Grain<SampleType>::driveSamples (juce::dsp::AudioBlock<SampleType>& block, Curve shape) noexcept
{
    const auto before = std::get<preGain> (chain).getGainLinear();
    const auto after = std::get<postGain> (chain).getGainLinear();

    // The polynomial is evaluated as the framework's Horner loop does it, from coefficients copied into a fixed
    // array: with the count known, the loop over samples runs several samples at once. The curve follows in a
    // pass of its own.
    SampleType c[numCoefficients];

    for (int power = 0; power < numCoefficients; ++power)
        c[power] = currentPolynomial[power];

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        auto* samples = block.getChannelPointer (channel);

        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            const auto x = samples[i];
            SampleType y = 0;

            for (int power = numCoefficients; --power >= 0;)
                y = (x * y) + c[power];

            samples[i] = y * before;
        }

        for (size_t i = 0; i < block.getNumSamples(); ++i)
            samples[i] = shape (samples[i]) * after;
    }
}

// A NaN input sample leaves the low-pass memory NaN, and every later output would be NaN too (the framework's
// snap-to-zero happens to clear it, but only in builds for Intel processors). Everything else reaching the filter
// is bounded by the curves, so its memory is non-finite exactly when the chunk's last output is: one test per
// channel and chunk finds it, and clearing the memory lets the output recover from the next chunk on.
template <typename SampleType>
void Grain<SampleType>::recoverToneFilter (const juce::dsp::AudioBlock<SampleType>& block) noexcept
{
    const auto numSamples = block.getNumSamples();

    if (numSamples == 0)
        return;

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        if (! std::isfinite (block.getSample ((int) channel, (int) numSamples - 1)))
        {
            std::get<toneFilter> (chain).reset();
            previousToneFilter.reset();
            return;
        }
    }
}

template <typename SampleType>
void Grain<SampleType>::applyGain (juce::dsp::Gain<SampleType>& gain, juce::dsp::AudioBlock<SampleType>& block) noexcept
{
    const auto numSamples = block.getNumSamples();

    // Settled, the gain object would multiply every sample by its target, one value per sample; the same
    // products need no array of gains.
    if (! gain.isSmoothing())
    {
        const auto g = gain.getGainLinear();

        for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
        {
            auto* samples = block.getChannelPointer (channel);

            for (size_t i = 0; i < numSamples; ++i)
                samples[i] *= g;
        }

        return;
    }

    for (size_t start = 0; start < numSamples; start += gainSliceLength)
    {
        auto slice = block.getSubBlock (start, juce::jmin (gainSliceLength, numSamples - start));
        gain.process (juce::dsp::ProcessContextReplacing<SampleType> (slice));
    }
}

template class Grain<float>;
