#include "bench/DuckingBench.h"

#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <chrono>

double benchmarkDuckingStage (bool compressor, int secondsOfAudio)
{
    constexpr double rate = 44100.0;
    constexpr int block = 512;

    VellumarProcessor processor;
    processor.setRateAndBufferSizeDetails (rate, block);
    processor.prepareToPlay (rate, block);
    processor.compressorOn = compressor;

    // Noise for the wet signal and the key, made once so that only the stage is timed.
    juce::AudioBuffer<float> wet (2, block), wetSource (2, block), key (2, block);
    juce::Random random (1);
    for (auto* buffer : { &wetSource, &key })
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < block; ++i)
                buffer->setSample (c, i, random.nextFloat() - 0.5f);

    juce::ScopedNoDenormals noDenormals;
    const int blocks = std::max (1, (int) (secondsOfAudio * rate) / block);
    double best = 1.0e9;

    for (int run = 0; run < 3; ++run)
    {
        double elapsed = 0.0;

        for (int b = 0; b < blocks; ++b)
        {
            wet.makeCopyOf (wetSource, true);
            processor.sidechainBuffer.makeCopyOf (key, true);
            juce::dsp::AudioBlock<float> wetBlock (wet);

            const auto began = std::chrono::steady_clock::now();
            processor.processDucking (wetBlock, 50.0f, true);
            elapsed += std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();
        }

        best = std::min (best, elapsed);
    }

    return best / (blocks * block / rate);
}
