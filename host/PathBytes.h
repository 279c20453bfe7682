#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <string>

/** File names as the system gives them: bytes, which need not be UTF-8 (a Latin-1 "caf\xe9.wav").

    JUCE takes every string to be valid UTF-8 and reads or writes outside its buffer on other bytes. A command-line
    argument therefore becomes text byte-preservingly: valid UTF-8 as it is, and each byte that is not part of
    valid UTF-8 as the code point U+DC00 + byte (which valid UTF-8 never holds). The files such names denote are
    opened through their original bytes, never through JUCE's own file streams.
*/
namespace pathbytes
{
/** A command-line argument (a NUL-terminated byte string) as text, as described above. */
juce::String argumentText (const char* bytes);

/** True when the text holds a byte that was not valid UTF-8. */
bool holdsForeignBytes (const juce::String& text);

/** The bytes the text stands for: what `argumentText` was given, for text made by it. Messages that name files
    are written out in these bytes, so that a name reads as the user typed it. */
std::string bytesOf (const juce::String& text);

/** The bytes of the file's full path as the system knows it. */
std::string pathOf (const juce::File& file);

/** Why the path cannot be read as a file: "not found", "is a folder" or "is not a regular file" (a FIFO, a
    device); empty for an existing regular file (symbolic links followed). */
juce::String whyNotAFile (const juce::File& file);

/** True when both paths name the same existing file. */
bool isSameFile (const juce::File& a, const juce::File& b);

/** Opens the file for reading, or nothing. */
std::unique_ptr<juce::InputStream> openForReading (const juce::File& file);
} // namespace pathbytes
