#include "ModulationBench.h"

#include "engine/processor/VellumarProcessor.h"

#include <chrono>

double benchmarkModulationStage (bool tremolo, int secondsOfAudio)
{
    constexpr double sampleRate = 44100.0;
    constexpr int chunkLength = 512;

    VellumarProcessor processor;
    processor.prepareModulation (sampleRate);
    processor.tremoloOn = tremolo;

    juce::AudioBuffer<float> buffer (2, chunkLength);
    juce::Random random (1);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < chunkLength; ++i)
            buffer.setSample (c, i, random.nextFloat() * 0.2f - 0.1f);

    const int chunks = (int) (secondsOfAudio * sampleRate / chunkLength);
    juce::dsp::AudioBlock<float> block (buffer);
    juce::ScopedNoDenormals noDenormals;

    const auto began = std::chrono::steady_clock::now();

    for (int n = 0; n < chunks; ++n)
        processor.processModulation (block, 5.0f, 100.0f);

    const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();
    return seconds * sampleRate / ((double) chunks * chunkLength);
}
