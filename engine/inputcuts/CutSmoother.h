#pragma once

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace smootheq
{
/** Glides the cut-off of one second-order high-pass or low-pass so that moving it makes no click.

    The cut-off moves on a logarithmic scale over 50 ms. While it moves, the block is filtered in pieces of
    32 samples, each with coefficients for the frequency reached at its end; the filter keeps its memory across
    these changes. Both operations are templates over the filter, which needs a shared coefficient object
    `state` and a `process` taking a replacing context (as `juce::dsp::ProcessorDuplicator` has).
*/
class CutSmoother
{
public:
    CutSmoother() = default;

    void prepare (double newSampleRate);

    /** Filters the context's block in place, gliding the coefficients toward `frequency`. */
    template <typename Filter>
    void process (const juce::dsp::ProcessContextReplacing<float>& context, Filter& filter, bool highPass,
                  float frequency, float q)
    {
        if (settle (filter, highPass, frequency, q))
        {
            filter.process (context);
            return;
        }

        auto& block = context.getOutputBlock();
        const auto numSamples = block.getNumSamples();

        for (size_t start = 0; start < numSamples; start += subBlockLength)
        {
            const auto length = std::min (subBlockLength, numSamples - start);
            auto part = block.getSubBlock (start, length);
            apply (filter, highPass, std::exp (logFrequency.skip ((int) length)), q);
            filter.process (juce::dsp::ProcessContextReplacing<float> (part));
        }
    }

    /** Aims the glide at `frequency`. When no glide is left to run, writes the coefficients for it into the
        filter and returns true: the filter can then take a whole block as it is. */
    template <typename Filter>
    bool settle (Filter& filter, bool highPass, float frequency, float q)
    {
        // The glide runs between cut-offs the filter can take at this rate, so it never pushes against the limit.
        frequency = limitFrequency (frequency);

        // The same cut-off chunk after chunk: its logarithm is the one taken last time.
        if (frequency != targetFrequency)
        {
            targetFrequency = frequency;
            logTarget = std::log (frequency);
        }

        if (! started)
        {
            logFrequency.setCurrentAndTargetValue (logTarget);
            started = true;
            hasCoefficients = false;
        }

        logFrequency.setTargetValue (logTarget);

        if (logFrequency.isSmoothing())
            return false;

        apply (filter, highPass, frequency, q);
        return true;
    }

    /** Writes the coefficients for `frequency` into the filter's shared coefficient object unless they are there. */
    template <typename Filter>
    void apply (Filter& filter, bool highPass, float frequency, float q)
    {
        if (hasCoefficients && lastFrequency == frequency)
            return;

        *filter.state = makeCoefficients (highPass, frequency, q);
        hasCoefficients = true;
        lastFrequency = frequency;
    }

    /** The frequency of the coefficients written last (0 before the first write). */
    float getLastFrequency() const noexcept { return lastFrequency; }

    static constexpr size_t subBlockLength = 32;

private:
    std::array<float, 6> makeCoefficients (bool highPass, float frequency, float q) const;
    float limitFrequency (float frequency) const noexcept;

    double sampleRate = 44100.0;
    bool started = false;
    bool hasCoefficients = false;
    float lastFrequency = 0.0f;
    float targetFrequency = -1.0f, logTarget = 0.0f;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> logFrequency;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CutSmoother)
};
} // namespace smootheq
