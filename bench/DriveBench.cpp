#include "DriveBench.h"

#include "engine/drive/Grain.h"

#include <chrono>

double benchmarkDriveStage (float drive, int secondsOfAudio)
{
    constexpr double rate = 44100.0;
    constexpr int chunk = 512;

    Grain<float> grain;
    grain.prepare ({ rate, (juce::uint32) chunk, 2 });

    // A few seconds of noise, reused; fresh random numbers would be timed along with the stage.
    juce::AudioBuffer<float> source (2, chunk * 256);
    juce::Random random (1);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < source.getNumSamples(); ++i)
            source.setSample (c, i, random.nextFloat() * 0.4f - 0.2f);

    juce::AudioBuffer<float> work (2, chunk);
    juce::ScopedNoDenormals noDenormals;
    const int chunks = (int) (secondsOfAudio * rate / chunk);
    std::chrono::steady_clock::duration spent {};

    for (int k = 0; k < chunks; ++k)
    {
        const int offset = (k % 256) * chunk;
        for (int c = 0; c < 2; ++c)
            work.copyFrom (c, 0, source, c, offset, chunk);

        juce::dsp::AudioBlock<float> block (work);
        const auto began = std::chrono::steady_clock::now();
        grain.process (juce::dsp::ProcessContextReplacing<float> (block), drive);
        spent += std::chrono::steady_clock::now() - began;
    }

    const double audioSeconds = (double) chunks * chunk / rate;
    return std::chrono::duration<double> (spent).count() / audioSeconds;
}
