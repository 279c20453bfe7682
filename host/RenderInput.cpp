#include "host/RenderInput.h"

#include "host/AudioFileLayout.h"
#include "host/PathBytes.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// A file as the user named it in a message: "input file <problem>: <path>".
struct Source
{
    const juce::File& file;
    const char* what;

    juce::String says (const juce::String& problem) const
    {
        return juce::String (what) + " file " + problem + ": " + file.getFullPathName();
    }
};

void noteEarlyEnd (const Source& source, juce::int64 held, juce::int64 claimed, juce::StringArray& notes)
{
    notes.add (source.says ("ends early: it holds " + juce::String (held) + " of the " + juce::String (claimed)
                            + " samples its header gives; only those are rendered"));
}

// JUCE's WAV or AIFF reader on a plain view of the file's audio (host/AudioFileLayout.h), with the length the file
// holds: a header may overstate it by gigabytes (a cut-off recording), and the reader would make up silence for the
// rest.
std::unique_ptr<juce::AudioFormatReader> openPcm (std::unique_ptr<juce::InputStream> stream, audiofile::Kind kind,
                                                  const Source& source, juce::StringArray& notes, juce::String& error)
{
    audiofile::Layout layout;
    juce::String refusal;

    if (! audiofile::findAudio (*stream, kind, layout, refusal))
    {
        error = source.says (refusal);
        return nullptr;
    }

    auto view = audiofile::plainView (std::move (stream), layout);
    const bool wav = kind == audiofile::Kind::wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav ? juce::WavAudioFormat().createReaderFor (view.release(), true)
                                                         : juce::AiffAudioFormat().createReaderFor (view.release(), true));

    if (reader == nullptr)
    {
        error = source.says (wav ? "is damaged: the WAV reader refuses its format chunk"
                                 : "is damaged: the AIFF reader refuses its COMM chunk");
        return nullptr;
    }

    const auto bytesPerFrame = std::max (1, (int) (reader->numChannels * reader->bitsPerSample / 8));
    auto claimed = layout.claimedBytes / bytesPerFrame;
    if (layout.declaredFrames >= 0)
        claimed = std::min (claimed, layout.declaredFrames);
    const auto held = std::min (claimed, layout.audioBytes / bytesPerFrame);

    if (held < claimed)
        noteEarlyEnd (source, held, claimed, notes);

    reader->lengthInSamples = held;
    return reader;
}

// A float file may hold NaN or infinity, which would reach the output unchanged through the dry path; such a file
// is refused rather than rendered into a file that no player can use.
bool allFinite (const juce::AudioBuffer<float>& buffer, const Source& source, juce::String& error)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        const auto* samples = buffer.getReadPointer (c);

        if (! std::all_of (samples, samples + buffer.getNumSamples(), [] (float x) { return std::isfinite (x); }))
        {
            error = source.says ("holds samples that are not finite numbers (NaN or infinity)");
            return false;
        }
    }

    return true;
}

// JUCE's MP3 reader takes its length from a frame count in the file's first frame, or guesses it from the file's
// size, and gives silence for whatever it cannot decode: a 2 kB file that claims an hour would become an hour. The
// frames are decoded a block at a time until the decoder finds no more, so the audio is what the file holds. A
// frame of 1152 samples takes more than 18 bytes, so the decoding also stops where the file could hold no more.
bool decodeMp3 (juce::AudioFormatReader& reader, juce::AudioBuffer<float>& audio, const Source& source,
                juce::StringArray& notes, juce::String& error)
{
    constexpr int block = 1152; // an MPEG-1 layer III frame
    const int channels = (int) reader.numChannels;
    const auto longest = (juce::int64) reader.sampleRate * 3600;
    const auto most = 64 * reader.input->getTotalLength() + block;
    std::vector<float> samples[2];
    float decoded[2][block];

    for (juce::int64 position = 0; position < most; position += block)
    {
        int* destinations[] { reinterpret_cast<int*> (decoded[0]), reinterpret_cast<int*> (decoded[1]) };
        const bool more = reader.readSamples (destinations, channels, 0, position, block);
        int length = block;

        // The block in which the decoder runs out is filled up with zeros.
        while (! more && length > 0 && decoded[0][length - 1] == 0.0f && decoded[channels - 1][length - 1] == 0.0f)
            --length;

        for (int c = 0; c < channels; ++c)
            samples[c].insert (samples[c].end(), decoded[c], decoded[c] + length);

        if ((juce::int64) samples[0].size() > longest)
        {
            error = source.says ("is longer than an hour");
            return false;
        }

        if (! more)
            break;
    }

    const auto held = (juce::int64) samples[0].size();

    if (reader.lengthInSamples > held + std::max ((juce::int64) 2 * block, held / 100))
        noteEarlyEnd (source, held, reader.lengthInSamples, notes);

    audio.setSize (channels, (int) held);
    for (int c = 0; c < channels; ++c)
        std::copy (samples[c].begin(), samples[c].end(), audio.getWritePointer (c));

    return allFinite (audio, source, error);
}

// Reads a whole file, of the kind its first bytes name; false with the reason in `error`.
bool readAudioFile (const Source& source, juce::AudioBuffer<float>& audio, double& sampleRate,
                    juce::StringArray& notes, juce::String& error)
{
    if (const auto problem = pathbytes::whyNotAFile (source.file); problem.isNotEmpty())
    {
        error = source.says (problem);
        return false;
    }

    // Opened through the name's own bytes: it need not be UTF-8.
    auto stream = pathbytes::openForReading (source.file);
    juce::String refusal;
    const auto kind = stream != nullptr ? audiofile::kindOf (*stream, refusal) : std::nullopt;

    if (! kind)
    {
        error = source.says (stream == nullptr ? juce::String ("cannot be opened") : refusal);
        return false;
    }

    const bool mp3 = *kind == audiofile::Kind::mp3;
    stream->setPosition (0);
    auto reader = mp3 ? std::unique_ptr<juce::AudioFormatReader> (juce::MP3AudioFormat().createReaderFor (stream.release(), true))
                      : openPcm (std::move (stream), *kind, source, notes, error);

    if (reader == nullptr)
    {
        if (mp3)
            error = source.says ("is not a readable audio file: the MP3 reader refuses it");
        return false;
    }

    if (const auto problem = audiofile::shapeProblem (reader->numChannels, reader->sampleRate); problem.isNotEmpty())
    {
        error = source.says (problem);
        return false;
    }

    sampleRate = reader->sampleRate;

    if (mp3)
        return decodeMp3 (*reader, audio, source, notes, error);

    if (reader->lengthInSamples > (juce::int64) reader->sampleRate * 3600)
    {
        error = source.says ("is longer than an hour");
        return false;
    }

    audio.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&audio, 0, (int) reader->lengthInSamples, 0, true, true);
    return allFinite (audio, source, error);
}
} // namespace

bool readRenderInput (const RenderOptions& options, RenderInput& result, juce::String& error)
{
    result.notes.clear();
    result.key = {};

    if (! readAudioFile ({ options.input, "input" }, result.input, result.sampleRate, result.notes, error))
        return false;

    if (options.sidechain == juce::File())
        return true;

    double keyRate = 0.0;

    if (! readAudioFile ({ options.sidechain, "side-chain" }, result.key, keyRate, result.notes, error))
        return false;

    if (std::abs (keyRate - result.sampleRate) > 0.5)
    {
        error = "the side-chain file's sample rate (" + juce::String (keyRate) + " Hz) differs from the input's ("
                + juce::String (result.sampleRate) + " Hz)";
        return false;
    }

    return true;
}
