#include "host/AudioFileLayout.h"

#include <algorithm>
#include <cstring>

namespace audiofile
{
namespace
{
bool isId (const void* bytes, const char* id)
{
    return std::memcmp (bytes, id, 4) == 0;
}

// Four bytes of a header as text for a message, with anything unprintable shown as '?'.
juce::String idText (const unsigned char* bytes)
{
    juce::String text;
    for (int i = 0; i < 4; ++i)
        text << (bytes[i] >= 0x20 && bytes[i] < 0x7f ? (char) bytes[i] : '?');
    return "\"" + text + "\"";
}

// An MPEG audio frame header: the sync bits, and a version, layer, bit rate and sample rate that exist.
bool isMpegFrameHeader (const unsigned char* b)
{
    return b[0] == 0xff && (b[1] & 0xe0) == 0xe0 && ((b[1] >> 3) & 3) != 1 && ((b[1] >> 1) & 3) != 0
           && (b[2] >> 4) != 15 && ((b[2] >> 2) & 3) != 3;
}

const char* const pcmBits = "; WAV and AIFF files of 8, 16, 24 or 32 bits are supported";
const char* const encodings = "; WAV and AIFF files of PCM samples (8, 16, 24 or 32 bits) or 32-bit float samples "
                              "are supported";

juce::String wavEncodingName (int tag)
{
    switch (tag)
    {
        case 0x0002: return "MS-ADPCM";
        case 0x0006: return "A-law";
        case 0x0007: return juce::String (juce::CharPointer_UTF8 ("\xc2\xb5-law"));
        case 0x0011: return "IMA ADPCM";
        case 0x0031: return "GSM 6.10";
        case 0x0050: return "MPEG";
        case 0x0055: return "MP3";
        case 0x2000: return "AC-3";
        default: return "format tag 0x" + juce::String::toHexString (tag).paddedLeft ('0', 4);
    }
}

juce::String channelProblem (juce::int64 numChannels)
{
    if (numChannels < 1 || numChannels > 2)
        return "must be mono or stereo, it has " + juce::String (numChannels) + " channels";
    return {};
}

juce::String pcmProblem (int bits)
{
    if (bits == 8 || bits == 16 || bits == 24 || bits == 32)
        return {};
    return "has " + juce::String (bits) + "-bit samples" + pcmBits;
}

// The format chunk of a WAV file: an encoding JUCE's reader decodes, and a shape a render takes.
juce::String wavFormatProblem (const juce::MemoryBlock& format)
{
    if (format.getSize() < 16)
        return "is damaged: its format chunk is too short";

    juce::MemoryInputStream in (format, false);
    int tag = (juce::uint16) in.readShort();
    const int channels = (juce::uint16) in.readShort();
    const auto rate = (juce::uint32) in.readInt();
    in.skipNextBytes (6);
    const int bits = (juce::uint16) in.readShort();

    if (tag == 0xfffe) // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes are the encoding's tag
    {
        if (format.getSize() < 40)
            return "is damaged: its extensible format chunk is too short";
        in.setPosition (24);
        tag = (juce::uint16) in.readShort();
    }

    if (tag != 1 && tag != 3)
        return "holds " + wavEncodingName (tag) + " samples" + encodings;
    if (tag == 3 && bits != 32)
        return "holds " + juce::String (bits) + "-bit float samples" + encodings;
    if (const auto problem = shapeProblem (channels, rate); problem.isNotEmpty())
        return problem;
    return pcmProblem (bits);
}

// The COMM chunk of an AIFF or AIFF-C file. Its sample rate, an 80-bit float, is left to JUCE's reader.
juce::String aiffFormatProblem (const juce::MemoryBlock& format)
{
    const auto* bytes = static_cast<const unsigned char*> (format.getData());
    const auto size = format.getSize();

    if (size < 18 || (size > 18 && size < 22))
        return "is damaged: its COMM chunk is too short";

    const int channels = bytes[0] << 8 | bytes[1];
    const int bits = bytes[6] << 8 | bytes[7];
    const unsigned char* type = size > 18 ? bytes + 18 : reinterpret_cast<const unsigned char*> ("NONE");

    if (isId (type, "fl32") || isId (type, "FL32"))
        return bits == 32 ? channelProblem (channels) : "holds " + juce::String (bits) + "-bit float samples" + encodings;

    if (! isId (type, "NONE") && ! isId (type, "twos") && ! isId (type, "sowt"))
    {
        const auto name = isId (type, "ulaw") || isId (type, "ULAW") ? juce::String (juce::CharPointer_UTF8 ("\xc2\xb5-law"))
                          : isId (type, "alaw") || isId (type, "ALAW") ? juce::String ("A-law")
                          : isId (type, "fl64") || isId (type, "FL64") ? juce::String ("64-bit float")
                          : isId (type, "ima4")                        ? juce::String ("IMA ADPCM")
                                                                       : "compression type " + idText (type);
        return "holds " + name + " samples" + encodings;
    }

    if (const auto problem = channelProblem (channels); problem.isNotEmpty())
        return problem;
    return pcmProblem (bits);
}

// What the walk over the chunks found.
struct Chunks
{
    juce::MemoryBlock format;   // the format chunk's first bytes (as many as a reader looks at)
    juce::int64 audioChunk = -1; // where the audio chunk's header starts
    juce::int64 audioLength = 0; // the audio chunk's length as its header (or RF64's "ds64") gives it
};

// Chunk by chunk, from the first after the container's header. The last audio chunk counts, as for JUCE's readers.
// A chunk other than the audio that claims more than the whole file marks the file as damaged beyond use.
bool walkChunks (juce::InputStream& in, bool aiff, Chunks& found, juce::String& refusal)
{
    const auto fileSize = in.getTotalLength();
    const auto read32 = [&in, aiff] { return (juce::uint32) (aiff ? in.readIntBigEndian() : in.readInt()); };
    char id[4] = {};

    in.setPosition (0);
    in.read (id, 4);
    const bool rf64 = isId (id, "RF64");
    const auto size = read32();
    // A writer that streams may leave the size at 0 or 0xffffffff; RF64 gives its own in the "ds64" chunk.
    auto end = size == 0 || size == 0xffffffff ? fileSize : std::min (fileSize, 8 + (juce::int64) size);
    juce::int64 rf64AudioLength = -1;

    for (juce::int64 pos = 12; pos + 8 <= end;)
    {
        in.setPosition (pos);
        in.read (id, 4);
        const auto length32 = read32();
        auto length = (juce::int64) length32;

        if (length32 == 0 && isId (id, "\0\0\0\0")) // zeros: nothing was written from here on
            break;

        if (isId (id, aiff ? "SSND" : "data"))
        {
            if (rf64 && length32 == 0xffffffff && rf64AudioLength >= 0)
                length = rf64AudioLength;
            found.audioChunk = pos;
            found.audioLength = length;
        }
        else if (isId (id, aiff ? "COMM" : "fmt "))
        {
            found.format.reset();
            in.readIntoMemoryBlock (found.format, (ssize_t) std::min (length, (juce::int64) 64));
        }
        else if (rf64 && isId (id, "ds64") && length >= 16)
        {
            const auto riffLength = in.readInt64();
            rf64AudioLength = in.readInt64();
            if (riffLength > 0 && riffLength < fileSize)
                end = std::min (fileSize, 8 + riffLength);
        }
        else if (length > fileSize)
        {
            refusal = "is damaged: a part of it claims to be larger than the whole file";
            return false;
        }

        if (length > end - pos) // runs past the end: nothing follows it
            break;
        pos += 8 + length + (length & 1);
    }

    return true;
}

void append (juce::MemoryOutputStream& out, const char* id, juce::int64 length, bool bigEndian)
{
    const auto value = (int) (juce::uint32) std::clamp (length, (juce::int64) 0, (juce::int64) 0xffffffff);
    out.write (id, 4);
    bigEndian ? out.writeIntBigEndian (value) : out.writeInt (value);
}

// The container's header, the format chunk as it was and the audio chunk's header. The container's own length
// ends after the audio chunk's header, so that the reader's walk ends with it.
juce::MemoryBlock plainHeader (bool aiff, const char* formType, const juce::MemoryBlock& format,
                               juce::int64 audioBytes)
{
    const auto formatLength = (juce::int64) format.getSize();
    const auto padded = formatLength + (formatLength & 1);
    const auto audioHeader = aiff ? 16 : 8;
    juce::MemoryOutputStream out;

    append (out, aiff ? "FORM" : "RIFF", 4 + 8 + padded + audioHeader, aiff);
    out.write (formType, 4);
    append (out, aiff ? "COMM" : "fmt ", formatLength, aiff);
    out << format;
    out.writeRepeatedByte (0, (size_t) (padded - formatLength));
    append (out, aiff ? "SSND" : "data", audioBytes + (aiff ? 8 : 0), aiff);
    if (aiff)
        out.writeRepeatedByte (0, 8); // offset and block size
    return out.getMemoryBlock();
}

class PlainView final : public juce::InputStream
{
public:
    PlainView (std::unique_ptr<juce::InputStream> f, const Layout& layout)
        : file (std::move (f)), header (layout.header), audioStart (layout.audioStart), audioBytes (layout.audioBytes)
    {
    }

    juce::int64 getTotalLength() override { return (juce::int64) header.getSize() + audioBytes; }
    bool isExhausted() override { return position >= getTotalLength(); }
    juce::int64 getPosition() override { return position; }

    bool setPosition (juce::int64 newPosition) override
    {
        position = std::clamp (newPosition, (juce::int64) 0, getTotalLength());
        return true;
    }

    int read (void* destination, int maxBytes) override
    {
        auto* out = static_cast<char*> (destination);
        const auto headerSize = (juce::int64) header.getSize();
        int done = 0;

        if (maxBytes > 0 && position < headerSize)
        {
            done = (int) std::min ((juce::int64) maxBytes, headerSize - position);
            std::memcpy (out, static_cast<const char*> (header.getData()) + position, (size_t) done);
            position += done;
        }

        const auto wanted = std::min ((juce::int64) maxBytes - done, getTotalLength() - position);

        if (wanted > 0)
        {
            const auto at = audioStart + position - headerSize;
            if (at != filePosition)
                file->setPosition (at);
            const int got = std::max (0, file->read (out + done, (int) wanted));
            filePosition = at + got;
            position += got;
            done += got;
        }

        return done;
    }

private:
    std::unique_ptr<juce::InputStream> file;
    juce::MemoryBlock header;
    juce::int64 audioStart, audioBytes, position = 0, filePosition = -1;
};
} // namespace

juce::String shapeProblem (juce::int64 numChannels, double sampleRate)
{
    if (const auto problem = channelProblem (numChannels); problem.isNotEmpty())
        return problem;
    if (sampleRate < 8000.0 || sampleRate > 384000.0)
        return "has a sample rate of " + juce::String (sampleRate) + " Hz; 8000 to 384000 Hz are supported";
    return {};
}

std::optional<Kind> kindOf (juce::InputStream& in, juce::String& refusal)
{
    unsigned char b[12] = {};
    in.setPosition (0);
    const bool whole = in.read (b, 12) == 12;

    if (whole && (isId (b, "RIFF") || isId (b, "RF64")))
    {
        if (isId (b + 8, "WAVE"))
            return Kind::wav;
        refusal = "is a RIFF file of type " + idText (b + 8) + ", not a WAV file (\"WAVE\")";
    }
    else if (whole && isId (b, "FORM"))
    {
        if (isId (b + 8, "AIFF") || isId (b + 8, "AIFC"))
            return Kind::aiff;
        refusal = "is an IFF file of type " + idText (b + 8) + ", not an AIFF file";
    }
    else if (std::memcmp (b, "ID3", 3) == 0 || isMpegFrameHeader (b))
    {
        return Kind::mp3;
    }
    else
    {
        refusal = isId (b, "BW64")   ? "is a BW64 file; WAV files in RIFF or RF64 form are supported"
                  : isId (b, "fLaC") ? "is a FLAC file; WAV, AIFF and MP3 files are supported"
                  : isId (b, "OggS") ? "is an Ogg file; WAV, AIFF and MP3 files are supported"
                                     : "is not a readable audio file (WAV, AIFF or MP3)";
    }

    return {};
}

bool findAudio (juce::InputStream& in, Kind kind, Layout& layout, juce::String& refusal)
{
    const bool aiff = kind == Kind::aiff;
    const auto fileSize = in.getTotalLength();
    Chunks found;

    if (! walkChunks (in, aiff, found, refusal))
        return false;

    if (found.format.isEmpty())
        refusal = aiff ? "is damaged: it has no COMM chunk" : "is damaged: it has no format chunk";
    else
        refusal = aiff ? aiffFormatProblem (found.format) : wavFormatProblem (found.format);

    if (refusal.isEmpty() && found.audioChunk < 0)
        refusal = "is damaged: it has no audio chunk";

    if (refusal.isNotEmpty())
        return false;

    layout.audioStart = found.audioChunk + 8;
    layout.claimedBytes = found.audioLength;

    if (aiff) // the sound chunk's audio starts after an offset and a block size
    {
        in.setPosition (layout.audioStart);
        const auto skip = 8 + (juce::int64) (juce::uint32) in.readIntBigEndian();
        layout.audioStart += skip;
        layout.claimedBytes = std::max ((juce::int64) 0, layout.claimedBytes - skip);
        const auto* comm = static_cast<const unsigned char*> (found.format.getData());
        layout.declaredFrames = (juce::int64) ((juce::uint32) comm[2] << 24 | (juce::uint32) comm[3] << 16
                                               | (juce::uint32) comm[4] << 8 | comm[5]);
    }

    layout.audioBytes = std::clamp (fileSize - layout.audioStart, (juce::int64) 0, layout.claimedBytes);
    char formType[4] = {};
    in.setPosition (8);
    in.read (formType, 4);
    layout.header = plainHeader (aiff, formType, found.format, layout.audioBytes);
    return true;
}

std::unique_ptr<juce::InputStream> plainView (std::unique_ptr<juce::InputStream> file, const Layout& layout)
{
    return std::make_unique<PlainView> (std::move (file), layout);
}
} // namespace audiofile
