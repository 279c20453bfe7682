#pragma once

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>

/** The pre-delay's line: a delay of a fractional number of samples with linear interpolation, for every channel.

    Its samples are those of the framework's linearly interpolating delay line pushed and popped once per sample:
    the output reaches `delay` samples back, x[n - d] + frac * (x[n - d - 1] - x[n - d]). Kept in one ring that
    runs forwards and holds a whole block on top of the longest delay, a settled delay is applied to a block at once:
    the block is written in, then read out in runs that need no wrapping.
*/
class PreDelayLine
{
public:
    /** Takes the channel count and the longest block; allocates. */
    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        numChannels = (int) spec.numChannels;
        maximumBlock = (int) spec.maximumBlockSize;
        allocate();
    }

    /** Sets the longest delay `setDelay` accepts; allocates and clears. */
    void setMaximumDelayInSamples (int samples)
    {
        maximumDelay = std::max (0, samples);
        allocate();
    }

    int getMaximumDelayInSamples() const noexcept { return maximumDelay; }

    /** Clears the line. */
    void reset() noexcept
    {
        lines.clear();
        writeIndex = 0;
    }

    /** The delay in samples, held between 0 and the maximum. */
    void setDelay (float delayInSamples) noexcept
    {
        const float delay = juce::jlimit (0.0f, (float) maximumDelay, delayInSamples);
        delayInt = (int) std::floor (delay);
        delayFrac = delay - (float) delayInt;
    }

    /** Delays a block of at most the prepared length in place, every channel by the delay set. */
    void process (juce::dsp::AudioBlock<float>& block) noexcept
    {
        const int n = (int) block.getNumSamples();
        const int channels = std::min ((int) block.getNumChannels(), numChannels);

        for (int c = 0; c < channels; ++c)
        {
            float* line = lines.getWritePointer (c);
            float* samples = block.getChannelPointer ((size_t) c);
            const int first = std::min (n, size - writeIndex);
            std::copy (samples, samples + first, line + writeIndex);
            std::copy (samples + first, samples + n, line);

            int position = wrap (writeIndex - delayInt);

            for (int i = 0; i < n;)
            {
                // The sample before the start of the ring is its last one.
                if (position == 0)
                {
                    samples[i++] = line[0] + delayFrac * (line[size - 1] - line[0]);
                    position = 1;
                    continue;
                }

                const int run = std::min (n - i, size - position);
                const float* newer = line + position;

                for (int k = 0; k < run; ++k)
                    samples[i + k] = newer[k] + delayFrac * (newer[k - 1] - newer[k]);

                i += run;
                position = position + run == size ? 0 : position + run;
            }
        }

        writeIndex = wrap (writeIndex + n);
    }

    /** Writes one sample into channel `channel` and returns the delayed sample. Call it for every channel, then
        `advance` to the next sample. */
    float processSample (int channel, float input) noexcept
    {
        float* line = lines.getWritePointer (channel);
        line[writeIndex] = input;
        const int newer = wrap (writeIndex - delayInt);
        const int older = newer == 0 ? size - 1 : newer - 1;
        return line[newer] + delayFrac * (line[older] - line[newer]);
    }

    void advance() noexcept { writeIndex = writeIndex + 1 == size ? 0 : writeIndex + 1; }

private:
    void allocate()
    {
        size = maximumDelay + std::max (1, maximumBlock) + 2;
        lines.setSize (std::max (1, numChannels), size);
        reset();
    }

    int wrap (int index) const noexcept { return index < 0 ? index + size : (index >= size ? index - size : index); }

    juce::AudioBuffer<float> lines;
    int numChannels = 0, maximumBlock = 0, maximumDelay = 0, size = 2;
    int writeIndex = 0, delayInt = 0;
    float delayFrac = 0.0f;
};
