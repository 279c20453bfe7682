#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>

/** The early reverb that follows the convolution pair: eight parallel damped feedback combs into four series
    all-passes per channel, the right channel's delays longer by a fixed stereo spread.

    The delay lengths come from one of five table sets (the modes), chosen by the impulse-response type. The
    parameter block (`roomSize` .. `mode`) and `shimmer` are written directly by the chunk path; `setParameters`
    turns them into smoother targets. Everything that sizes memory happens in `prepare`: later rebuilds of the
    delays (a Shimmer switch on the audio thread) reuse buffers that are already large enough for every mode.
*/
class PreVerb
{
public:
    static constexpr int numCombs = 8;
    static constexpr int numAllPasses = 4;
    static constexpr int numModes = 5;

    //==============================================================================
    /** A feedback comb with a one-pole low-pass in its feedback path. */
    class CombFilter
    {
    public:
        CombFilter() = default;

        /** Sets the delay length, clearing the delay memory and the low-pass state. */
        void setSize (const int& size);

        /** Makes sure that lengths up to `numSamples` can later be set without allocating. */
        void reserve (int numSamples);

        /** Clears the delay memory and the low-pass state, keeping the length and position. */
        void clear() noexcept;

        float process (const float& input, const float& damp, const float& gain) noexcept
        {
            const float out = buffer[bufferIndex];
            filterStore = flushTiny (out * (1.0f - damp) + filterStore * damp);
            buffer[bufferIndex] = flushTiny (filterStore * gain + input);

            if (++bufferIndex >= bufferSize)
                bufferIndex = 0;

            return out;
        }

        juce::HeapBlock<float> buffer;
        int bufferSize = 0;
        int bufferIndex = 0;
        float filterStore = 0.0f;
        int capacity = 0;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CombFilter)
    };

    //==============================================================================
    /** A Schroeder all-pass with its feedback fixed at 0.5. */
    class AllPassFilter
    {
    public:
        AllPassFilter() = default;

        /** Sets the delay length, clearing the delay memory. */
        void setSize (const int& size);

        /** Makes sure that lengths up to `numSamples` can later be set without allocating. */
        void reserve (int numSamples);

        /** Clears the delay memory, keeping the length and position. */
        void clear() noexcept;

        float process (const float& input) noexcept
        {
            const float out = buffer[bufferIndex];
            buffer[bufferIndex] = flushTiny (0.5f * out + input);

            if (++bufferIndex >= bufferSize)
                bufferIndex = 0;

            return out - input;
        }

        juce::HeapBlock<float> buffer;
        int bufferSize = 0;
        int bufferIndex = 0;
        int capacity = 0;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AllPassFilter)
    };

    //==============================================================================
    PreVerb() = default;

    /** Rebuilds every delay for `activeMode` at this rate and restarts the smoothers without a ramp. */
    void setSampleRate (const double& newSampleRate);

    /** Derives the smoother targets, `inputGain` and `activeMode` from the parameter block. */
    void setParameters();

    /** Sets the level from a percentage (0 to 100). Non-finite values are ignored, others are held in range. */
    void setEarlyMix (float percent);

    /** The preparation: stores the rate, sizes the delays, clears all filter memory and sets a 2 % level so
        that the first real level always finds a change. Allocates; call off the audio thread or in a re-preparation. */
    void prepare (double newSampleRate);

    /** Switches Shimmer to `shouldBeOn`: a near-frozen long tail, or the room and damping saved before it.
        Rebuilds the delays (the tail is cleared). Call only when the state changes. */
    void applyShimmerSwitch (bool shouldBeOn);

    /** Takes the room size, damping (both only while Shimmer is off) and table set of an impulse-response type.
        They reach the sound at the next `setParameters` and, for the table set, the next rebuild of the delays. */
    void applyTypeSettings (int irTypeIndex) noexcept;

    /** Clears every comb's and all-pass's memory and every comb's low-pass state. */
    void clearFilters() noexcept;

    /** Adds the reflections to a block in place: the two-channel form for two channels, the one-channel form for
        one; any other channel count is left alone. */
    void process (juce::dsp::AudioBlock<float>& block) noexcept;

    void processStereo (float* left, float* right, int numSamples) noexcept;
    void processMono (float* samples, int numSamples) noexcept;

    /** Length of comb `index` (0 to 7) for `channel` (0 left, 1 right) in table set `tableMode` at this rate. */
    static int getCombLength (int tableMode, int channel, int index, int rate, float factor) noexcept;

    /** Length of all-pass `index` (0 to 3) for `channel` in table set `tableMode` at this rate. */
    static int getAllPassLength (int tableMode, int channel, int index, int rate) noexcept;

    //==============================================================================
    bool shimmer = false;
    float sizeFactor = 1.0f;
    float savedDamping = 0.5f;
    float savedRoomSize = 0.5f;
    float sampleRate = 44100.0f;
    float inputGain = 0.015f;
    int activeMode = 0;
    std::array<std::array<CombFilter, numCombs>, 2> combs;
    std::array<std::array<AllPassFilter, numAllPasses>, 2> allPasses;
    juce::SmoothedValue<float> dampingSmoother { 0.0f };
    juce::SmoothedValue<float> feedbackSmoother { 0.0f };
    juce::SmoothedValue<float> wetGain1Smoother { 0.0f };
    juce::SmoothedValue<float> wetGain2Smoother { 0.0f };

    // The parameter block.
    float roomSize = 0.5f;
    float damping = 0.5f;
    float earlyMix = 0.0f;
    float wetWidth = 1.2f;
    float freezeAmount = 0.1f;
    int mode = 3;

    /** Stores (v + 0.1) - 0.1 in single precision: values too small to matter become exactly zero, so the
        feedback paths never carry denormals, whatever the processor's floating-point mode. */
    static float flushTiny (float v) noexcept
    {
        return (v + 0.1f) - 0.1f;
    }

    /** That rounding goes to the nearest of its steps (2^-27 apart): a comb whose feedback is near 1 rounds g v
        back to v once v is a few dozen steps small, and an all-pass rounds half a step up to a whole one (0.1 is
        an odd number of steps), so their memories would keep a residue for ever and a tail would stay at -100 to
        -140 dB instead of dying away. In a block whose input is silent, what a comb or an all-pass writes below
        this level (2^-20, -120 dB) is written as zero, so that every tail ends in silence. */
    static constexpr float residueLevel = 9.5367431640625e-7f;

private:

    bool isReady() const noexcept { return combs[0][0].bufferSize > 0; }

    template <int numChannels>
    struct Cursors;
    template <int numChannels>
    void processRuns (float* left, float* right, int numSamples) noexcept;
    template <int numChannels>
    void takeCursors (Cursors<numChannels>& cursors) const noexcept;
    template <int numChannels>
    void moveCursors (Cursors<numChannels>& cursors, int length) const noexcept;
    template <int numChannels>
    void giveBackCursors (const Cursors<numChannels>& cursors) noexcept;
    template <int numChannels, bool cutResidues>
    void processRun (float* left, float* right, int numSamples, float& check, Cursors<numChannels>& cursors) noexcept;

    /** A non-finite value that got into the feedback paths would circulate forever: after a block whose
        reflections were not all finite, the filters start again from silence. */
    void recoverIfNotFinite (float check) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreVerb)
};
