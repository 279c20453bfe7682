#include "engine/processor/VellumarProcessor.h"

#include <cmath>

// The modulation stage: a sine LFO that either moves the read position of a short delay line (vibrato) or the
// gain (tremolo). The delay line is written in both modes, so that a switch to vibrato always finds recent audio,
// and a switch between the modes is crossfaded over 20 ms.

namespace
{
// Slow rates get a wide delay swing so that the vibrato stays audible; fast rates a narrow one so that the pitch
// wobble stays musical.
float vibratoDepthScale (float rate) noexcept
{
    if (rate < 0.5f)
        return 8.0f;

    if (rate < 0.8f)
        return 4.0f;

    if (rate < 1.0f)
        return 1.0f;

    if (rate < 3.0f)
        return 0.3f;

    return 0.2f;
}

// The phase is carried in single precision; the angle is formed in double so that it loses nothing more.
float lfoSine (float phase) noexcept
{
    return std::sin ((float) (juce::MathConstants<double>::twoPi * (double) phase));
}

// The gain swings between 1 - depth and 1 with the LFO.
float tremoloSample (float x, float amount, float sine) noexcept
{
    const float d = amount * 0.01f;
    return x * ((0.5f + 0.5f * sine) * d + (1.0f - d));
}

// Reads the delay line `delay` samples behind the write position, and the three samples further back that every
// read sits, interpolating linearly. With the widest scales the delay turns negative for part of the cycle; the
// read position then passes the write position and wraps, which the modulo keeps inside the line.
// The position always lies between 0 and a few lengths, and subtracting the (whole-numbered) length from it is
// exact there, as std::fmod is; only what is negative or not a number takes the library call.
float wrapPosition (float position, float size) noexcept
{
    if (! (position >= 0.0f && position < 4.0f * size))
        return std::fmod (position, size);

    while (position >= size)
        position -= size;

    return position;
}

// Called for every sample; kept inline so that the read stays in the sample loop.
forcedinline float readDelayLine (const float* delayLine, int length, int write, float delay) noexcept
{
    const float size = (float) length;
    const float readPosition = wrapPosition ((float) write - delay + size - 3.0f, size);
    const int i0 = juce::jlimit (0, length - 1, (int) readPosition);
    const int i1 = i0 + 1 == length ? 0 : i0 + 1;
    const float f = readPosition - (float) i0;
    return (1.0f - f) * delayLine[i0] + f * delayLine[i1];
}

// The knobs cannot produce values outside their ranges, but a caller can: a depth above 100 % would move the read
// position out of the delay line, and a rate that is not a number would leave the LFO stuck on NaN for good.
// A value that is not a number keeps the setting already in force.
float sanitise (float value, float lower, float upper, float current) noexcept
{
    return std::isfinite (value) ? juce::jlimit (lower, upper, value) : current;
}

using LinearSmoother = VellumarProcessor::LinearSmoother;

// The vibrato's depth scale for one sample at this rate: taken at once by every channel's smoother until the rate
// has settled in after a preparation, and glided to after that.
float followDepthScale (std::array<LinearSmoother, 2>& smoothers, LinearSmoother& smoother, bool& started,
                        bool rateSettling, float rate) noexcept
{
    const float scale = vibratoDepthScale (rate);

    if (! started || rateSettling)
    {
        for (auto& each : smoothers)
            each.setCurrentAndTargetValue (scale);

        started = true;
    }

    if (smoother.getTargetValue() != scale)
        smoother.setTargetValue (scale);

    return smoother.isSmoothing() ? smoother.getNextValue() : scale;
}
} // namespace

//==============================================================================
void VellumarProcessor::prepareModulation (double sampleRate)
{
    vibratoTimeScale = 0.01f;
    lfoPhase = 0.0f;
    writeIndex = 0;
    lfoSampleRate = (float) sampleRate;
    inverseSampleRate = 1.0f / lfoSampleRate;

    // 50 ms of line, plus the three samples by which every read sits further back than the delay time.
    vibratoLength = (int) (lfoSampleRate * 0.05f) + 3;
    vibratoBuffer.setSize (2, vibratoLength);
    vibratoBuffer.clear();

    // Rate and depth glide over one second. After a first preparation they rise from 0 to the knob values; after a
    // later one the glide toward 0 started here is redirected to the knob values by the next chunk.
    for (auto& channel : lfoSmoothers)
    {
        for (auto& smoother : channel)
        {
            smoother.reset ((int) std::floor (sampleRate));
            smoother.setCurrentAndTargetValue (smoother.getTargetValue());
            smoother.setTargetValue (0.0f);
        }
    }

    for (auto& smoother : scaleSmoothers)
    {
        smoother.reset ((int) std::floor (0.05 * sampleRate));
        smoother.setCurrentAndTargetValue (smoother.getTargetValue());
    }

    scaleStarted = false;
    rateSettling = true;
    modeStarted = false;
}

void VellumarProcessor::processModulation (juce::dsp::AudioBlock<float>& block, float lfoSpeed, float lfoDepth)
{
    // Before the first preparation there is no delay line to work in; the block passes unchanged.
    if (vibratoLength <= 0)
        return;

    const int numSamples = (int) block.getNumSamples();
    const int numChannels = juce::jmin (2, (int) block.getNumChannels());

    retargetLfo (lfoSpeed, lfoDepth, numChannels);
    const auto plan = planModulationChunk();

    float phase = lfoPhase;
    int write = writeIndex;

    for (int c = 0; c < numChannels; ++c)
    {
        // Every channel starts from the same LFO phase and delay position.
        phase = lfoPhase;
        write = writeIndex;
        modulateChannel (c, block.getChannelPointer ((size_t) c), numSamples, plan, phase, write);
    }

    if (plan.crossfading)
        modeGain = juce::jlimit (0.0f, 1.0f, modeGain + (float) numSamples * plan.modeStep);

    lfoPhase = phase;
    writeIndex = write;
}

void VellumarProcessor::retargetLfo (float lfoSpeed, float lfoDepth, int numChannels)
{
    const float speed = sanitise (lfoSpeed, 0.1f, 20.0f, lfoSmoothers[0][0].getTargetValue());
    const float depth = sanitise (lfoDepth, 0.0f, 100.0f, lfoSmoothers[0][1].getTargetValue());

    // Both channels always follow the same targets, so that they run the same LFO.
    if (lfoSmoothers[0][0].getTargetValue() != speed)
        for (auto& channel : lfoSmoothers)
            channel[0].setTargetValue (speed);

    if (lfoSmoothers[0][1].getTargetValue() != depth)
        for (auto& channel : lfoSmoothers)
            channel[1].setTargetValue (depth);

    // While the rate is still gliding in after a preparation, the depth scale follows it without ramping. Only
    // the channels being processed count: with one channel the second rate never moves, and waiting for it would
    // leave every later rate change jumping the vibrato depth (a click).
    if (rateSettling && ! lfoSmoothers[0][0].isSmoothing() && (numChannels < 2 || ! lfoSmoothers[1][0].isSmoothing()))
        rateSettling = false;
}

VellumarProcessor::ModulationPlan VellumarProcessor::planModulationChunk()
{
    // The editor may flip the mode at any moment; one chunk works with one reading of it.
    ModulationPlan plan;
    plan.tremoloMode = tremoloOn.load();
    const float modeTarget = plan.tremoloMode ? 1.0f : 0.0f;

    if (! modeStarted)
    {
        modeGain = modeTarget;
        modeStarted = true;
    }

    const float fadeLength = juce::jmax (1.0f, 0.02f * lfoSampleRate);
    plan.modeStep = (modeTarget > modeGain ? 1.0f : -1.0f) / fadeLength;
    plan.crossfading = modeGain != modeTarget;
    return plan;
}

void VellumarProcessor::modulateChannel (int channel, float* samples, int numSamples, ModulationPlan plan,
                                         float& phaseOut, int& writeOut)
{
    const bool runTremolo = plan.tremoloMode || plan.crossfading;
    const bool runVibrato = ! plan.tremoloMode || plan.crossfading;

    // Worked on in locals: written through references, every store to `samples` could be a store to them.
    float phase = phaseOut;
    int write = writeOut;

    auto& rateSmoother = lfoSmoothers[(size_t) channel][0];
    auto& depthSmoother = lfoSmoothers[(size_t) channel][1];
    auto& scaleSmoother = scaleSmoothers[channel == 0 ? 0 : 1];
    auto* delayLine = vibratoBuffer.getWritePointer (channel);
    const float delayScale = lfoSampleRate * vibratoTimeScale;

    // Every sample reads the line the same distance back and nothing needs the sine, so the loop below shrinks to
    // the read, the write and the phase.
    if (! runTremolo && vibratoAtRest (channel))
    {
        const float rate = rateSmoother.getTargetValue();
        const float amount = 0.0f, sine = 0.0f;
        const float delay = delayScale * (0.5f + 0.005f * scaleSmoother.getTargetValue() * 0.5f * amount * sine);
        delayWithoutModulation (delayLine, samples, numSamples, delay, write);
        phaseOut = advancePhase (phase, rate * inverseSampleRate, numSamples);
        writeOut = write;
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        const float x = samples[i];
        const float rate = rateSmoother.getNextValue();
        const float amount = depthSmoother.getNextValue();
        // At no depth the sine only ever meets a factor of 0, so it is not computed.
        const float sine = amount != 0.0f || ! skipNeutralStages ? lfoSine (phase) : 0.0f;
        const float tremolo = runTremolo ? tremoloSample (x, amount, sine) : 0.0f;
        float vibrato = 0.0f;

        if (runVibrato)
        {
            const float scale = followDepthScale (scaleSmoothers, scaleSmoother, scaleStarted, rateSettling, rate);
            const float delay = delayScale * (0.5f + 0.005f * scale * 0.5f * amount * sine);
            vibrato = readDelayLine (delayLine, vibratoLength, write, delay);
        }

        delayLine[write] = x;

        if (++write == vibratoLength)
            write = 0;

        if (! plan.crossfading)
        {
            samples[i] = plan.tremoloMode ? tremolo : vibrato;
        }
        else
        {
            const float g = juce::jlimit (0.0f, 1.0f, modeGain + (float) (i + 1) * plan.modeStep);
            samples[i] = vibrato * (1.0f - g) + tremolo * g;
        }

        phase += rate * inverseSampleRate;

        if (phase >= 1.0f)
            phase -= 1.0f;
    }

    phaseOut = phase;
    writeOut = write;
}

// Vibrato at no depth with rate, depth and depth scale all settled.
bool VellumarProcessor::vibratoAtRest (int channel) const noexcept
{
    const auto& rateSmoother = lfoSmoothers[(size_t) channel][0];
    const auto& depthSmoother = lfoSmoothers[(size_t) channel][1];
    const auto& scaleSmoother = scaleSmoothers[channel == 0 ? 0 : 1];

    return skipNeutralStages && ! rateSmoother.isSmoothing() && ! depthSmoother.isSmoothing()
        && depthSmoother.getTargetValue() == 0.0f && scaleStarted && ! rateSettling && ! scaleSmoother.isSmoothing()
        && scaleSmoother.getTargetValue() == vibratoDepthScale (rateSmoother.getTargetValue());
}

// The vibrato at no depth: every sample is read the same distance back through the line, interpolated as
// `readDelayLine` does, and then written, with the samples of doing both one sample at a time.
void VellumarProcessor::delayWithoutModulation (float* delayLine, float* samples, int numSamples, float delay, int& write)
{
    const float size = (float) vibratoLength;

    // Every read reaches further back than the delay, so within a run no longer than the delay no read meets a
    // sample written in the same run: the run's reads go first, all at once, and its writes follow.
    const int longestRun = juce::jlimit (1, (int) readAhead.size(), (int) delay);

    // The read position for the sample written at `at`, formed as `readDelayLine` forms it.
    const auto readPosition = [&] (int at)
    {
        const float position = (float) at - delay + size - 3.0f;
        return position >= size ? position - size : position;
    };

    // With a delay of whole 256ths and a short line (every rate in use), each position is formed without rounding,
    // so the reads of a run are consecutive samples, all interpolated with the same fraction.
    const bool consecutive = vibratoLength < 32768 && delay * 256.0f == std::floor (delay * 256.0f);

    for (int start = 0; start < numSamples;)
    {
        const int length = std::min (longestRun, numSamples - start);
        const float* input = samples + start;

        if (consecutive)
        {
            const float position = readPosition (write);
            int i0 = juce::jlimit (0, vibratoLength - 1, (int) position);
            const float f = position - (float) i0, g = 1.0f - f;

            for (int k = 0; k < length;)
            {
                if (i0 == vibratoLength - 1)
                {
                    readAhead[(size_t) k++] = g * delayLine[i0] + f * delayLine[0];
                    i0 = 0;
                    continue;
                }

                const int run = std::min (length - k, vibratoLength - 1 - i0);

                for (int j = 0; j < run; ++j)
                    readAhead[(size_t) (k + j)] = g * delayLine[i0 + j] + f * delayLine[i0 + j + 1];

                k += run;
                i0 += run;
            }
        }
        else
        {
            for (int k = 0; k < length; ++k)
            {
                const float position = readPosition (write + k < vibratoLength ? write + k : write + k - vibratoLength);
                const int i0 = juce::jlimit (0, vibratoLength - 1, (int) position);
                const int i1 = i0 + 1 == vibratoLength ? 0 : i0 + 1;
                const float f = position - (float) i0;
                readAhead[(size_t) k] = (1.0f - f) * delayLine[i0] + f * delayLine[i1];
            }
        }

        const int first = std::min (length, vibratoLength - write);
        std::copy (input, input + first, delayLine + write);
        std::copy (input + first, input + length, delayLine);
        write = write + length >= vibratoLength ? write + length - vibratoLength : write + length;

        std::copy (readAhead.begin(), readAhead.begin() + length, samples + start);
        start += length;
    }
}

// The LFO phase after `numSamples` steps of `step`, wrapped into [0, 1) after every step. Every channel moves it
// alike, so the second channel of a chunk takes the first one's result.
float VellumarProcessor::advancePhase (float phase, float step, int numSamples)
{
    if (phase != neutralPhase.from || step != neutralPhase.step || numSamples != neutralPhase.samples)
    {
        neutralPhase.from = phase;
        neutralPhase.step = step;
        neutralPhase.samples = numSamples;

        for (int i = 0; i < numSamples; ++i)
        {
            phase += step;

            if (phase >= 1.0f)
                phase -= 1.0f;
        }

        neutralPhase.to = phase;
    }

    return neutralPhase.to;
}
