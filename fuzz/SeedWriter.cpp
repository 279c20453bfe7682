// Writes the fuzz targets' starting corpora: real state blocks, the factory presets, small audio files of each
// kind vellumar-render reads, and a few command lines.
// Usage: vellumar-fuzz-seeds PRESET_FOLDER OUTPUT_FOLDER

#include "fuzz/FuzzSupport.h"
#include "fuzz/HostileFiles.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstring>
#include <iostream>

namespace
{
void writeState (VellumarProcessor& processor, const juce::File& file)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    file.replaceWithData (block.getData(), block.getSize());
}

juce::MemoryBlock makeWav (double sampleRate, int channels, int bits, int numSamples)
{
    juce::AudioBuffer<float> buffer (channels, numSamples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (c, i, 0.5f * std::sin ((float) i * 0.05f * (float) (c + 1)));

    juce::MemoryBlock result;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (new juce::MemoryOutputStream (result, false),
                                                                          sampleRate, (unsigned int) channels, bits,
                                                                          {}, 0));
    writer->writeFromAudioSampleBuffer (buffer, 0, numSamples);
    writer.reset();
    return result;
}
// The audio files of the renderer's hostile table, and a factory preset cut in half: its tree ends before its
// stream says it does.
void writeHostileSeeds (const juce::File& preset, const juce::File& presetDir, const juce::File& wavDir)
{
    for (const auto& [name, bytes] : hostilefiles::all())
        wavDir.getChildFile (name).replaceWithData (bytes.getData(), bytes.getSize());

    juce::MemoryBlock presetBytes;
    preset.loadFileAsData (presetBytes);
    presetDir.getChildFile ("cut-in-half.rev").replaceWithData (presetBytes.getData(), presetBytes.getSize() / 2);
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 3)
    {
        std::cerr << "Usage: vellumar-fuzz-seeds PRESET_FOLDER OUTPUT_FOLDER\n";
        return 2;
    }

    fuzzsupport::initialise();
    const juce::File presets (juce::String::fromUTF8 (argv[1])), output (juce::String::fromUTF8 (argv[2]));
    const auto stateDir = output.getChildFile ("state"), presetDir = output.getChildFile ("preset"),
               wavDir = output.getChildFile ("wav"), commandDir = output.getChildFile ("cmdline");

    output.deleteRecursively();
    for (const auto& dir : { stateDir, presetDir, wavDir, commandDir })
        dir.createDirectory();

    {
        VellumarProcessor processor;
        writeState (processor, stateDir.getChildFile ("default.state"));

        // A block that carries a pair selection as well.
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        auto tree = juce::ValueTree::readFromData (block.getData(), block.getSize());
        tree.setProperty ("irType", 2, nullptr);
        tree.setProperty ("irNumber", 3, nullptr);
        juce::MemoryOutputStream stream;
        tree.writeToStream (stream);
        stateDir.getChildFile ("selection.state").replaceWithData (stream.getData(), stream.getDataSize());
    }

    const auto presetFiles = presets.findChildFiles (juce::File::findFiles, false, "*.rev");
    if (presetFiles.isEmpty())
    {
        std::cerr << "vellumar-fuzz-seeds: no presets in " << presets.getFullPathName() << "\n";
        return 1;
    }

    for (const auto& preset : presetFiles)
    {
        preset.copyFileTo (presetDir.getChildFile (preset.getFileName()));
        VellumarProcessor processor;
        processor.loadPreset (preset);
        writeState (processor, stateDir.getChildFile (preset.getFileNameWithoutExtension() + ".state"));
    }

    const auto writeWav = [&] (const char* name, const juce::MemoryBlock& block) {
        wavDir.getChildFile (name).replaceWithData (block.getData(), block.getSize());
    };
    writeWav ("mono16.wav", makeWav (44100.0, 1, 16, 300));
    writeWav ("stereo24.wav", makeWav (48000.0, 2, 24, 200));
    writeWav ("stereo-float.wav", makeWav (96000.0, 2, 32, 100));

    // An input and its side-chain, after the marker the WAV target splits at.
    juce::MemoryBlock withKey = makeWav (48000.0, 2, 16, 100);
    withKey.append ("VELLUMAR-KEY", 12);
    const auto key = makeWav (48000.0, 1, 24, 100);
    withKey.append (key.getData(), key.getSize());
    writeWav ("with-sidechain.wav", withKey);

    // A file cut off inside its audio, whose header still claims all of it.
    auto cut = makeWav (44100.0, 2, 16, 300);
    cut.setSize (cut.getSize() / 2);
    writeWav ("cut-off.wav", cut);
    writeHostileSeeds (presetFiles[0], presetDir, wavDir);

    const std::pair<const char*, const char*> commandLines[] {
        { "plain", "in.wav\nout.wav" },
        { "options", "--block\n256\n--variable-blocks\n--tail\n2.5\n-q\nin.wav\nout.wav" },
        { "sets", "--set\nDecay=4.5\n--set\nMix=40 %\n--set\nLowCut=2 kHz\n--set\nonButton=Off\n"
                  "--set\n3Type=High Cut\nin.wav\nout.wav" },
        { "sidechain", "--sidechain\nkey.wav\n--preset\nhall.rev\nin.wav\nout.wav" },
        { "list", "--list-params" },
        { "units", "--set\nPreDelay=0.2s\n--set\n3Type=1.5\n--set\nMix=50dB\n--tail\n1e3\ncaf\xe9.wav\nout.wav" },
        { "ends-options", "--preset\na.rev\n--preset\nb.rev\n--set\nDecay=0.2\n--\n-in.wav\n--quiet" },
    };
    // Written as bytes: not every line is UTF-8.
    for (const auto& [name, text] : commandLines)
        commandDir.getChildFile (name).replaceWithData (text, std::strlen (text));

    return 0;
}
