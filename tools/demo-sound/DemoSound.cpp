#include "tools/demo-sound/DemoSound.h"

#include <cmath>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;

// Karplus-Strong string with a touch of body: a plucked, guitar-like note.
void addPluck (juce::AudioBuffer<float>& out, double sampleRate, double startSeconds, double frequency, float gain,
               float pan, juce::Random& random)
{
    const int start = (int) (startSeconds * sampleRate);
    const int length = std::min (out.getNumSamples() - start, (int) (1.6 * sampleRate));
    const int period = std::max (2, (int) std::lround (sampleRate / frequency));
    std::vector<float> line ((size_t) period);

    for (auto& s : line)
        s = random.nextFloat() * 2.0f - 1.0f;

    float previous = 0.0f;
    const float leftGain = gain * std::sqrt (1.0f - pan), rightGain = gain * std::sqrt (pan);

    for (int i = 0; i < length; ++i)
    {
        auto& s = line[(size_t) (i % period)];
        const float current = s;
        s = 0.996f * 0.5f * (current + previous);
        previous = current;

        // Short fades at both ends, so the note neither starts nor stops with a click.
        const float fade = std::min ({ 1.0f, (float) i / 16.0f, (float) (length - i) / 2048.0f });
        out.addSample (0, start + i, current * leftGain * fade);
        out.addSample (1, start + i, current * rightGain * fade);
    }
}

// A clap: three quick noise bursts and a short band-passed decay.
void addClap (juce::AudioBuffer<float>& out, double sampleRate, double startSeconds, float gain, juce::Random& random)
{
    const int start = (int) (startSeconds * sampleRate);
    const int length = std::min (out.getNumSamples() - start, (int) (0.25 * sampleRate));
    float low = 0.0f, band = 0.0f;
    const float f = (float) (2.0 * std::sin (pi * 1400.0 / sampleRate));

    for (int i = 0; i < length; ++i)
    {
        const double t = i / sampleRate;
        double envelope = std::exp (-t / 0.045);
        for (double burst : { 0.0, 0.011, 0.022 })
            if (t >= burst)
                envelope += 0.7 * std::exp (-(t - burst) / 0.004);

        const float noise = random.nextFloat() * 2.0f - 1.0f;
        low += f * band;
        const float high = noise - low - 0.6f * band;
        band += f * high;

        const float s = gain * (float) envelope * band;
        out.addSample (0, start + i, s);
        out.addSample (1, start + i, s * 0.92f);
    }
}

// A kick: a sine whose pitch falls from 120 Hz to 48 Hz with a short click.
void addKick (juce::AudioBuffer<float>& out, double sampleRate, double startSeconds, float gain)
{
    const int start = (int) (startSeconds * sampleRate);
    const int length = std::min (out.getNumSamples() - start, (int) (0.5 * sampleRate));
    double phase = 0.0;

    for (int i = 0; i < length; ++i)
    {
        const double t = i / sampleRate;
        const double frequency = 48.0 + 72.0 * std::exp (-t / 0.04);
        phase += 2.0 * pi * frequency / sampleRate;
        const double envelope = std::exp (-t / 0.18) * std::min (1.0, t * sampleRate / 8.0);
        const float s = gain * (float) (envelope * std::sin (phase) + 0.3 * std::exp (-t / 0.002));
        out.addSample (0, start + i, s);
        out.addSample (1, start + i, s);
    }
}
} // namespace

juce::AudioBuffer<float> makeDemoSound (double sampleRate)
{
    juce::AudioBuffer<float> out (2, (int) (7.0 * sampleRate));
    out.clear();
    juce::Random random (20261207);

    // An A-minor phrase, then a pause, then drums, then a final chord left to ring into the reverb.
    const double notes[][3] = { { 0.00, 220.00, 0.3 }, { 0.30, 261.63, 0.6 }, { 0.60, 329.63, 0.4 },
                                { 0.90, 392.00, 0.7 }, { 1.20, 329.63, 0.5 }, { 1.50, 440.00, 0.45 } };
    for (const auto& n : notes)
        addPluck (out, sampleRate, n[0], n[1], 0.45f, (float) n[2], random);

    addKick (out, sampleRate, 2.6, 0.8f);
    addClap (out, sampleRate, 3.1, 0.9f, random);
    addKick (out, sampleRate, 3.6, 0.8f);
    addClap (out, sampleRate, 4.1, 0.9f, random);

    for (double f : { 220.0, 261.63, 329.63, 440.0 })
        addPluck (out, sampleRate, 4.8, f, 0.3f, 0.5f, random);

    const float peak = out.getMagnitude (0, out.getNumSamples());
    if (peak > 0.0f)
        out.applyGain (0.5f / peak); // -6 dBFS leaves room for the reverb

    return out;
}
