#include "host/RenderInput.h"

#include "host/PathBytes.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Where a WAV (RIFF, RF64) or AIFF file's audio lies, from a walk over its chunks.
struct AudioLayout
{
    bool fits = true;             // no metadata chunk claims more than the whole file
    juce::int64 dataStart = -1;   // first byte of the audio; -1 when no audio chunk was found
    juce::int64 dataLength = 0;   // the audio chunk's length as its header gives it
};

// JUCE's WAV reader reserves memory for a metadata chunk at the size the chunk's header gives, before it reads
// the chunk: a damaged header can make it reserve gigabytes, so a file with a chunk larger than the whole file is
// damaged beyond use. The audio chunk is left out: a cut-off recording still claims its full length, and only
// what the file holds of it is read.
AudioLayout findAudio (juce::InputStream& in)
{
    AudioLayout layout;
    char id[4] = {};

    if (in.read (id, 4) != 4)
        return layout;

    const bool riff = std::memcmp (id, "RIFF", 4) == 0 || std::memcmp (id, "RF64", 4) == 0;
    const bool aiff = std::memcmp (id, "FORM", 4) == 0;

    if (! riff && ! aiff)
        return layout;

    const auto fileSize = in.getTotalLength();
    juce::int64 rf64DataLength = 0; // RF64 gives the audio chunk's length in its "ds64" chunk
    in.setPosition (12);

    while (in.getPosition() + 8 <= fileSize)
    {
        in.read (id, 4);
        auto length = (juce::int64) (juce::uint32) (riff ? in.readInt() : in.readIntBigEndian());
        const auto start = in.getPosition();
        const bool audio = std::memcmp (id, riff ? "data" : "SSND", 4) == 0;

        if (riff && std::memcmp (id, "ds64", 4) == 0 && length >= 16)
        {
            in.readInt64();
            rf64DataLength = in.readInt64();
        }

        if (riff && audio && length == 0xffffffff)
            length = rf64DataLength;

        if (length < 0 || (! audio && length > fileSize))
        {
            layout.fits = false;
            return layout;
        }

        if (audio) // the last one counts, as for JUCE's readers
        {
            // An AIFF sound chunk starts with an offset and a block size before its audio.
            const auto skip = aiff ? 8 + (juce::int64) (juce::uint32) in.readIntBigEndian() : 0;
            layout.dataStart = start + skip;
            layout.dataLength = length - skip;
        }

        in.setPosition (start + length + (length & 1));
    }

    return layout;
}

std::unique_ptr<juce::AudioFormatReader> openWav (juce::AudioFormatManager& formats, const juce::File& file,
                                                  const char* what, juce::StringArray& notes, juce::String& error)
{
    // Opened through the name's own bytes: it need not be UTF-8.
    auto stream = pathbytes::isRegularFile (file) ? pathbytes::openForReading (file) : nullptr;

    if (stream == nullptr)
    {
        error = juce::String (what) + " file not found: " + file.getFullPathName();
        return nullptr;
    }

    const auto fileSize = stream->getTotalLength();
    const auto layout = findAudio (*stream);

    if (! layout.fits)
    {
        error = juce::String (what) + " file is damaged: a part of it claims to be larger than the whole file: "
                + file.getFullPathName();
        return nullptr;
    }

    stream->setPosition (0);
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));

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

    // A WAV or AIFF file's length comes from its header, which a damaged or cut-off file may overstate by
    // gigabytes; the reader would make up silence for the rest. Only the frames the file holds are read.
    if (const auto format = reader->getFormatName();
        format == juce::WavAudioFormat().getFormatName() || format == juce::AiffAudioFormat().getFormatName())
    {
        // JUCE's readers decode only these sample sizes; any other (a 12- or 20-bit file, a damaged header) would
        // be read as silence and the render would look like a success.
        if (const auto bits = reader->bitsPerSample; bits != 8 && bits != 16 && bits != 24 && bits != 32)
        {
            error = juce::String (what) + " file has " + juce::String (bits) + "-bit samples; WAV and AIFF files of "
                    "8, 16, 24 or 32 bits are supported: " + file.getFullPathName();
            return nullptr;
        }

        const auto bytesPerFrame = (juce::int64) reader->numChannels * (juce::int64) reader->bitsPerSample / 8;
        const auto audioBytes = layout.dataStart < 0 ? fileSize
                                                     : std::min (fileSize - layout.dataStart, layout.dataLength);
        const auto held = std::max ((juce::int64) 0, audioBytes) / std::max (bytesPerFrame, (juce::int64) 1);

        if (held < reader->lengthInSamples)
        {
            notes.add (juce::String (what) + " file ends early: it holds " + juce::String (held) + " of the "
                       + juce::String (reader->lengthInSamples) + " samples its header gives; only those are rendered: "
                       + file.getFullPathName());
            reader->lengthInSamples = held;
        }
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

    result.notes.clear();
    auto inputReader = openWav (formats, options.input, "input", result.notes, error);
    if (inputReader == nullptr)
        return false;

    result.sampleRate = inputReader->sampleRate;
    result.key = {};

    if (! readAll (*inputReader, result.input, "input", options.input, error))
        return false;

    if (options.sidechain != juce::File())
    {
        auto keyReader = openWav (formats, options.sidechain, "side-chain", result.notes, error);
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
