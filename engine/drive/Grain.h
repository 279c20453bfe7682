#pragma once

#include <atomic>

#include "engine/drive/ToneFilter.h"
#include "engine/processor/SettledMix.h"

#include <juce_dsp/juce_dsp.h>

#include <functional>
#include <tuple>

/** The drive stage: saturates the wet signal in place.

    Per sample the driven path is a polynomial of the input, +30 dB, one of five saturation curves, -22 dB and a
    first-order low-pass whose cut-off belongs to the curve. The driven path is mixed with the stage's input in the
    proportion Drive / 100, and the mix is raised by +17 dB, so even Drive 0 is a fixed gain.

    A change of curve (`driveTypeIndex`, written by the chunk path and by the editor) takes effect at the end of the
    chunk in which it is seen; old and new curve and polynomial are then crossfaded over 20 ms, counted across
    chunks. Each curve keeps its own low-pass during the fade, so the cut-off changes with the curve's weight.

    The fields are public: the processor and the editor write `driveTypeIndex`, and tests inspect the rest.
*/
template <typename SampleType>
class Grain
{
public:
    using ShapeFunction = std::function<SampleType (SampleType)>;

    /** Positions of the driven path's processors in `chain`, in processing order. */
    enum ChainIndex
    {
        preGain,
        shaper,
        postGain,
        toneFilter
    };

    static constexpr int numWaves = 5;
    static constexpr int numCoefficients = 9;

    Grain();

    //==============================================================================
    /** Sizes the stage for the rate, block size and channel count, and clears all signal state. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Processes one chunk in place. `drive` is the Drive parameter in percent (0 to 100). The block must have no
        more channels and samples than the last preparation allowed. */
    void process (const juce::dsp::ProcessContextReplacing<SampleType>& context, SampleType drive) noexcept;

    /** Switches to the curve `driveTypeIndex` when it differs from `currentWave`, starting a crossfade from the
        curve in use when fades are enabled. Never allocates. */
    void setWave() noexcept;

    /** Weight of the new curve for sample `sample` of the current chunk while a crossfade runs. */
    SampleType fadeWeight (int sample) const noexcept;

    //==============================================================================
    /** The curve that a DriveType value selects: the value truncated to a whole number, 0 for 5 or more. Values
        that truncate below 0, and NaN, select 0 too, so the index always names a curve. */
    static int waveFromValue (float value) noexcept;

    /** The saturation curve `wave` (0 to 4) at x. */
    static SampleType curve (int wave, SampleType x) noexcept;

    /** The low-pass cut-off in hertz that goes with curve `wave`. */
    static SampleType curveCutoff (int wave) noexcept;

    /** Coefficient `power` (0 to 8, ascending powers) of the polynomial that goes with curve `wave`. */
    static SampleType curveCoefficient (int wave, int power) noexcept;

    //==============================================================================
    int currentWave = 4;
    std::atomic<int> driveTypeIndex { 0 };
    ShapeFunction previousShape;

    // Both polynomials always hold nine coefficients (this one starts as the zero polynomial), so that a curve
    // change on the audio thread rewrites coefficients in place; assigning a polynomial would allocate.
    juce::dsp::Polynomial<SampleType> previousPolynomial = zeroPolynomial();

    int fadePosition = -1;
    int fadeLength = 0;
    bool fadeEnabled = false;
    juce::dsp::Gain<SampleType> outputGain;
    std::tuple<juce::dsp::Gain<SampleType>,
               juce::dsp::WaveShaper<SampleType, ShapeFunction>,
               juce::dsp::Gain<SampleType>,
               ToneFilter<SampleType>>
        chain;
    juce::dsp::Polynomial<SampleType> currentPolynomial = zeroPolynomial();
    juce::dsp::DryWetMixer<SampleType> grainMixer;

    // Whether the mix may bypass the mixer while its gains rest: the chunk path sets it from `skipNeutralStages`,
    // which the tests clear to compare the direct mixing with the mixer's own.
    bool mixDirectlyWhenSettled = true;

private:
    SettledMix<SampleType> grainMix { grainMixer };
    static juce::dsp::Polynomial<SampleType> zeroPolynomial();
    static SampleType (*const curveFunctions[numWaves]) (SampleType);

    static SampleType driveCurve (SampleType x);
    static SampleType softCurve (SampleType x);
    static SampleType tubeCurve (SampleType x);
    static SampleType tapeCurve (SampleType x);
    static SampleType fuzzCurve (SampleType x);

    void applyToneCutoff() noexcept;
    void crossfadeCurves (juce::dsp::AudioBlock<SampleType>& block) noexcept;
    bool driveInOnePass (juce::dsp::AudioBlock<SampleType>& block) noexcept;
    template <typename Curve>
    void driveSamples (juce::dsp::AudioBlock<SampleType>& block, Curve shape) noexcept;
    void recoverToneFilter (const juce::dsp::AudioBlock<SampleType>& block) noexcept;
    static void applyGain (juce::dsp::Gain<SampleType>& gain, juce::dsp::AudioBlock<SampleType>& block) noexcept;

    // The cut-off the current curve asks for. At low sample rates some cut-offs lie at or above half the rate,
    // where the low-pass would turn unstable or silent, so the filter is given this value held below Nyquist.
    SampleType toneCutoff = 8000;
    double sampleRate = 44100.0;

    // The low-pass of the curve that a crossfade fades out, holding its cut-off and memory.
    ToneFilter<SampleType> previousToneFilter;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Grain)
};
