#include "tools/demo-sound/DemoSound.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>

#include <iostream>

namespace
{
const char* const usage = "Usage: vellumar-demo-sound OUTPUT.wav [SAMPLE_RATE]\n"
                          "Writes the dry demo phrase (plucked notes, a clap and a kick) as a 24-bit stereo WAV file.\n"
                          "  SAMPLE_RATE   8000 to 384000 Hz (default 44100)\n"
                          "  --help        this text\n";

int fail (const juce::String& error)
{
    std::cerr << "vellumar-demo-sound: " << error << "\n\n" << usage;
    return 2;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    if (args.contains ("--help") || args.contains ("-h"))
    {
        std::cout << usage;
        return 0;
    }

    // An output name that starts with '-' is taken for a mistyped option rather than written as a file.
    for (const auto& arg : args)
        if (arg.startsWith ("-"))
            return fail ("unknown option " + arg);

    if (args.isEmpty())
        return fail ("an output file is needed");

    if (args.size() > 2)
        return fail ("too many arguments");

    double sampleRate = 44100.0;

    if (args.size() == 2)
    {
        const auto text = args[1].trim();

        if (! text.containsOnly ("0123456789.") || text.getDoubleValue() <= 0.0)
            return fail ("the sample rate \"" + args[1] + "\" is not a number of Hz");

        sampleRate = text.getDoubleValue();

        if (sampleRate < 8000.0 || sampleRate > 384000.0)
            return fail ("the sample rate must be 8000 to 384000 Hz");
    }

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (args[0]);
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
