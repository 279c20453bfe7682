#include "tools/demo-sound/DemoSound.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    if (argc < 2)
    {
        std::cerr << "Usage: vellumar-demo-sound OUTPUT.wav [SAMPLE_RATE]\n";
        return 2;
    }

    const double sampleRate = argc > 2 ? juce::String (argv[2]).getDoubleValue() : 44100.0;

    if (sampleRate < 8000.0 || sampleRate > 384000.0)
    {
        std::cerr << "vellumar-demo-sound: the sample rate must be 8000 to 384000 Hz\n";
        return 2;
    }

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));
    const auto sound = makeDemoSound (sampleRate);

    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = file.createOutputStream();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (stream != nullptr ? wav.createWriterFor (stream.get(), sampleRate, 2, 24, {}, 0) : nullptr);

    if (writer == nullptr)
    {
        std::cerr << "vellumar-demo-sound: cannot write " << file.getFullPathName() << "\n";
        return 1;
    }

    stream.release();
    writer->writeFromAudioSampleBuffer (sound, 0, sound.getNumSamples());
    writer.reset();

    std::cout << "Wrote the demo sound to " << file.getFullPathName() << "\n";
    return 0;
}
