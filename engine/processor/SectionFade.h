#pragma once

#include <juce_dsp/juce_dsp.h>

namespace smootheq
{
/** Crossfades a processing section in or out when its switch changes.

    `begin` keeps a copy of the section's input while a fade runs, and `end` blends the section's output with that
    copy, moving the gain one step per sample (20 ms for a full swing). Once the section is off and settled,
    `begin` says so and the section is skipped altogether. Nothing is allocated outside `prepare`.
*/
class SectionFade
{
public:
    SectionFade() = default;

    void prepare (double sampleRate, int samplesPerBlock, int numChannels);

    /** Call before the section with the block it will process in place; returns whether the section must run. */
    bool begin (const juce::dsp::AudioBlock<float>& block, bool active)
    {
        // Resting at the switch's gain, as nearly always: nothing to copy, and the sizes are not needed.
        if (started && gain == (active ? 1.0f : 0.0f))
        {
            targetGain = gain;
            fading = false;
            return active;
        }

        return beginFade (block, active);
    }

    /** Call after the section with the same block, only when `begin` returned true. */
    void end (juce::dsp::AudioBlock<float>& block)
    {
        if (! fading)
            gain = targetGain;
        else
            endFade (block);
    }

    float getGain() const noexcept { return gain; }

private:
    bool beginFade (const juce::dsp::AudioBlock<float>& block, bool active);
    void endFade (juce::dsp::AudioBlock<float>& block);

    float step = 1.0f / 882.0f;
    float gain = 1.0f;
    float targetGain = 1.0f;
    bool started = false;
    bool fading = false;
    int numSamples = 0;
    int numChannels = 0;
    juce::AudioBuffer<float> dryCopy;
};
} // namespace smootheq
