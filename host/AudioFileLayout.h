#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <optional>

/** What kind of audio file a file is, and, for WAV and AIFF, where its audio lies.

    The kind comes from the file's first bytes, not from trying each of JUCE's readers in turn: a reader that
    refuses a file would hand it to the next, and the MP3 decoder finds "frames" in any bytes.

    JUCE's WAV and AIFF readers stop at things other programs read past (an empty chunk before the audio, the audio
    before the format chunk), believe a metadata chunk's length far enough to reserve gigabytes for it, and decode
    whatever they are given as the encoding they expect. Our own walk over the chunks finds the format chunk and the
    audio, checks the encoding, and JUCE's reader is then given a plain view of the file: a header with only those
    two chunks, followed by as much of the audio as the file holds.
*/
namespace audiofile
{
enum class Kind
{
    wav,
    aiff,
    mp3
};

/** The kind the first bytes name; nothing, with the reason in `refusal`, for a file that is none of them. */
std::optional<Kind> kindOf (juce::InputStream& in, juce::String& refusal);

struct Layout
{
    juce::MemoryBlock header;        // container, format chunk and audio chunk header, as JUCE's reader expects them
    juce::int64 audioStart = 0;      // the first byte of the audio in the file
    juce::int64 audioBytes = 0;      // the audio bytes the file holds, no more than its header gives
    juce::int64 claimedBytes = 0;    // the audio bytes its header gives
    juce::int64 declaredFrames = -1; // AIFF: the frame count its COMM chunk gives
};

/** Walks a WAV or AIFF file; false with the reason in `refusal` (such as "holds A-law samples; ..."). The walk ends
    at the end of the file, at the end its RIFF or FORM header gives, or at a chunk header of zeros. */
bool findAudio (juce::InputStream& in, Kind kind, Layout& layout, juce::String& refusal);

/** The layout's header followed by the file's audio bytes, as one stream for JUCE's reader. */
std::unique_ptr<juce::InputStream> plainView (std::unique_ptr<juce::InputStream> file, const Layout& layout);

/** Why a render cannot take audio of this shape, or nothing: mono or stereo, 8 to 384 kHz. */
juce::String shapeProblem (juce::int64 numChannels, double sampleRate);
} // namespace audiofile
