#include "host/RenderInput.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <cstring>

namespace
{
// JUCE's WAV reader reserves memory for a metadata chunk at the size the chunk's header gives, before it reads
// the chunk: a damaged header can make it reserve gigabytes. A RIFF file with a chunk larger than the whole file
// is damaged beyond use. (The audio chunk is left out: a cut-off recording still claims its full length, and
// only what the file holds of it is read.)
bool chunksFitTheFile (const juce::File& file)
{
    juce::FileInputStream in (file);
    char id[4] = {};

    if (! in.openedOk() || in.read (id, 4) != 4)
        return true;

    if (std::memcmp (id, "RIFF", 4) != 0 && std::memcmp (id, "RF64", 4) != 0)
        return true;

    const auto fileSize = in.getTotalLength();
    juce::int64 rf64DataLength = 0; // RF64 gives the audio chunk's length in its "ds64" chunk
    in.setPosition (12);

    while (in.getPosition() + 8 <= fileSize)
    {
        in.read (id, 4);
        auto length = (juce::int64) (juce::uint32) in.readInt();
        const auto start = in.getPosition();
        const bool audio = std::memcmp (id, "data", 4) == 0;

        if (std::memcmp (id, "ds64", 4) == 0 && length >= 16)
        {
            in.readInt64();
            rf64DataLength = in.readInt64();
        }

        if (audio && length == 0xffffffff)
            length = rf64DataLength;

        if (length < 0 || (! audio && length > fileSize))
            return false;

        in.setPosition (start + length + (length & 1));
    }

    return true;
}

std::unique_ptr<juce::AudioFormatReader> openWav (juce::AudioFormatManager& formats, const juce::File& file,
                                                  const char* what, juce::String& error)
{
    if (! file.existsAsFile())
    {
        error = juce::String (what) + " file not found: " + file.getFullPathName();
        return nullptr;
    }

    if (! chunksFitTheFile (file))
    {
        error = juce::String (what) + " file is damaged: a part of it claims to be larger than the whole file: "
                + file.getFullPathName();
        return nullptr;
    }

    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    if (reader == nullptr)
    {
        error = juce::String (what) + " file is not a readable audio file: " + file.getFullPathName();
        return nullptr;
    }

    if (reader->numChannels < 1 || reader->numChannels > 2)
    {
        error = juce::String (what) + " file must be mono or stereo, it has " + juce::String (reader->numChannels)
                + " channels: " + file.getFullPathName();
        return nullptr;
    }

    if (reader->sampleRate < 8000.0 || reader->sampleRate > 384000.0)
    {
        error = juce::String (what) + " file has a sample rate of " + juce::String (reader->sampleRate)
                + " Hz; 8000 to 384000 Hz are supported";
        return nullptr;
    }

    // A WAV file's length comes from its data chunk's header, which a damaged or cut-off file may overstate by
    // gigabytes; the reader would make up silence for the rest. Only the frames the file can hold are read.
    if (reader->getFormatName() == juce::WavAudioFormat().getFormatName())
    {
        const auto bytesPerFrame = (juce::int64) reader->numChannels * (juce::int64) reader->bitsPerSample / 8;
        if (bytesPerFrame > 0)
            reader->lengthInSamples = std::min (reader->lengthInSamples, file.getSize() / bytesPerFrame);
    }

    if (reader->lengthInSamples < 0)
    {
        error = juce::String (what) + " file is not a readable audio file: " + file.getFullPathName();
        return nullptr;
    }

    if (reader->lengthInSamples > (juce::int64) reader->sampleRate * 3600)
    {
        error = juce::String (what) + " file is longer than an hour: " + file.getFullPathName();
        return nullptr;
    }

    return reader;
}

// A float file may hold NaN or infinity, which would reach the output unchanged through the dry path; such a file
// is refused rather than rendered into a file that no player can use.
bool readAll (juce::AudioFormatReader& reader, juce::AudioBuffer<float>& buffer, const char* what,
              const juce::File& file, juce::String& error)
{
    buffer.setSize ((int) reader.numChannels, (int) reader.lengthInSamples);
    reader.read (&buffer, 0, (int) reader.lengthInSamples, 0, true, true);

    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        const auto* samples = buffer.getReadPointer (c);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            if (! std::isfinite (samples[i]))
            {
                error = juce::String (what) + " file holds samples that are not finite numbers (NaN or infinity): "
                        + file.getFullPathName();
                return false;
            }
        }
    }

    return true;
}
} // namespace

bool readRenderInput (const RenderOptions& options, RenderInput& result, juce::String& error)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    auto inputReader = openWav (formats, options.input, "input", error);
    if (inputReader == nullptr)
        return false;

    result.sampleRate = inputReader->sampleRate;
    result.key = {};

    if (! readAll (*inputReader, result.input, "input", options.input, error))
        return false;

    if (options.sidechain != juce::File())
    {
        auto keyReader = openWav (formats, options.sidechain, "side-chain", error);
        if (keyReader == nullptr)
            return false;

        if (std::abs (keyReader->sampleRate - result.sampleRate) > 0.5)
        {
            error = "the side-chain file's sample rate (" + juce::String (keyReader->sampleRate)
                    + " Hz) differs from the input's (" + juce::String (result.sampleRate) + " Hz)";
            return false;
        }

        if (! readAll (*keyReader, result.key, "side-chain", options.sidechain, error))
            return false;
    }

    return true;
}
