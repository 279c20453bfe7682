#include "bench/StageBench.h"
#include "engine/VellumarProcessor.h"

#include <chrono>
#include <iostream>

// Realtime factor of the whole processor at defaults: seconds of audio processed per second of CPU time.
int main()
{
    juce::ScopedJuceInitialiser_GUI juce;

    for (const double rate : { 44100.0, 96000.0 })
    {
        for (const int block : { 64, 512, 1024 })
        {
            VellumarProcessor processor;
            processor.setRateAndBufferSizeDetails (rate, block);
            processor.prepareToPlay (rate, block);

            juce::AudioBuffer<float> buffer (2, block);
            juce::MidiBuffer midi;
            juce::Random random (1);
            const int blocks = (int) (10.0 * rate / block);

            const auto began = std::chrono::steady_clock::now();
            for (int b = 0; b < blocks; ++b)
            {
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < block; ++i)
                        buffer.setSample (c, i, random.nextFloat() * 0.2f - 0.1f);
                processor.processBlock (buffer, midi);
            }
            const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();

            std::cout << "rate " << rate << " Hz, block " << block << ": realtime factor "
                      << (blocks * block / rate) / seconds << "\n";
        }
    }

    runEqualiserBench();
    return 0;
}
