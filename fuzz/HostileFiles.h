#pragma once

// Audio files as a careless tool or an attacker writes them, built byte by byte: the renderer's tests run them
// through vellumar-render, and the WAV fuzz target starts from them.

#include <juce_core/juce_core.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace hostilefiles
{
/** A chunk of a RIFF or IFF file: its ID, its bytes, and the length its header gives (the bytes' own when -1). */
struct Chunk
{
    const char* id;
    juce::MemoryBlock body;
    juce::int64 claimed = -1;
};

inline void writeLength (juce::MemoryOutputStream& out, juce::int64 length, bool bigEndian)
{
    bigEndian ? out.writeIntBigEndian ((int) (juce::uint32) length) : out.writeInt ((int) (juce::uint32) length);
}

/** "RIFF"/"RF64"/"BW64"/"FORM", the form type ("WAVE", "AIFF", ...) and the chunks, each padded to an even length. */
inline juce::MemoryBlock container (const char* id, const char* form, const std::vector<Chunk>& chunks,
                                    bool bigEndian = false)
{
    juce::MemoryOutputStream body;
    body.write (form, 4);
    for (const auto& chunk : chunks)
    {
        body.write (chunk.id, 4);
        writeLength (body, chunk.claimed >= 0 ? chunk.claimed : (juce::int64) chunk.body.getSize(), bigEndian);
        body << chunk.body;
        body.writeRepeatedByte (0, chunk.body.getSize() & 1);
    }

    juce::MemoryOutputStream out;
    out.write (id, 4);
    writeLength (out, (juce::int64) body.getDataSize(), bigEndian);
    out << body.getMemoryBlock();
    return out.getMemoryBlock();
}

/** A WAV format chunk: encoding tag, channels, sample rate, bits per sample. */
inline juce::MemoryBlock wavFormat (int tag, int channels, int rate, int bits)
{
    juce::MemoryOutputStream out;
    out.writeShort ((short) tag);
    out.writeShort ((short) channels);
    out.writeInt (rate);
    out.writeInt (rate * channels * bits / 8);
    out.writeShort ((short) (channels * bits / 8));
    out.writeShort ((short) bits);
    return out.getMemoryBlock();
}

/** A WAVE_FORMAT_EXTENSIBLE format chunk of PCM with the given channel mask. */
inline juce::MemoryBlock extensibleFormat (int channels, int rate, int bits, juce::uint32 mask)
{
    juce::MemoryOutputStream out;
    out << wavFormat (0xfffe, channels, rate, bits);
    out.writeShort (22);
    out.writeShort ((short) bits);
    out.writeInt ((int) mask);
    const unsigned char pcm[] = { 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71 };
    out.write (pcm, sizeof (pcm));
    return out.getMemoryBlock();
}

/** Frames of a 441 Hz tone at half scale, 16-bit little-endian PCM. */
inline juce::MemoryBlock tone (int frames, int channels)
{
    juce::MemoryOutputStream out;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.writeShort ((short) std::lround (16384.0 * std::sin (i * 2.0 * juce::MathConstants<double>::pi / 100.0)));
    return out.getMemoryBlock();
}

/** A mono 44.1 kHz 16-bit WAV file of `frames` frames of the tone. */
inline juce::MemoryBlock toneWav (int frames)
{
    return container ("RIFF", "WAVE", { { "fmt ", wavFormat (1, 1, 44100, 16) }, { "data", tone (frames, 1) } });
}

/** MPEG-1 layer III frames of silence (mono, 44.1 kHz, 128 kbit/s, 417 bytes each); the first carries a Xing header
    that gives `claimedFrames`. */
inline juce::MemoryBlock mp3 (int frames, juce::uint32 claimedFrames)
{
    juce::MemoryOutputStream out;
    for (int i = 0; i <= frames; ++i)
    {
        const unsigned char header[] = { 0xff, 0xfb, 0x90, 0xc4 };
        juce::MemoryBlock frame (417, true);
        frame.copyFrom (header, 0, 4);
        if (i == 0)
        {
            const unsigned char xing[] = { 'X', 'i', 'n', 'g', 0, 0, 0, 1 };
            frame.copyFrom (xing, 4 + 17, sizeof (xing));
            const auto count = juce::ByteOrder::swapIfLittleEndian (claimedFrames);
            frame.copyFrom (&count, 4 + 17 + 8, 4);
        }
        out << frame;
    }
    return out.getMemoryBlock();
}

/** A damaged MP3 frame whose intensity-stereo bands would have JUCE's decoder write past a granule, after an empty
    ID3 tag. */
inline juce::MemoryBlock damagedMp3()
{
    juce::MemoryOutputStream bytes;
    const unsigned char frame[] = { 'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0, 0x4a, 0xef, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfb,
                                    0x27, 0x58, 0x8f, 0xc1, 0x47, 0x6f, 0x25, 0x22, 0x46, 0xc3, 0x21, 0xcb, 0x22, 0x41,
                                    0x98, 0xc5, 0xb5, 0x10, 0x20, 0xc4, 0x7f, 0xc8 };
    bytes.write (frame, sizeof (frame));
    bytes.writeRepeatedByte (0x1b, 12);
    bytes.writeRepeatedByte (0xff, 8);
    bytes.writeRepeatedByte (0x1b, 60);
    return bytes.getMemoryBlock();
}

/** The files, by name. */
inline std::vector<std::pair<std::string, juce::MemoryBlock>> all()
{
    const auto pcm = wavFormat (1, 1, 44100, 16);
    const auto audio = tone (4410, 1);
    const auto wavWith = [&] (juce::MemoryBlock format, const juce::MemoryBlock& data) {
        return container ("RIFF", "WAVE", { { "fmt ", std::move (format) }, { "data", data } });
    };
    juce::MemoryOutputStream aifcUlaw;
    for (const int field : { 1 << 16, 4410 << 16 | 8 }) // 1 channel, 4410 frames, 8 bits
        aifcUlaw.writeIntBigEndian (field);
    const unsigned char rate44100[] = { 0x40, 0x0e, 0xac, 0x44, 0, 0, 0, 0, 0, 0 };
    aifcUlaw.write (rate44100, sizeof (rate44100));
    aifcUlaw.write ("ulaw", 4);

    return {
        { "bw64.wav", container ("BW64", "WAVE", { { "fmt ", pcm }, { "data", audio } }) },
        { "a-law.wav", wavWith (wavFormat (6, 1, 44100, 8), tone (2205, 1)) },
        { "u-law.wav", wavWith (wavFormat (7, 1, 44100, 8), tone (2205, 1)) },
        { "ms-adpcm.wav", wavWith (wavFormat (2, 1, 44100, 4), tone (1100, 1)) },
        { "float64.wav", wavWith (wavFormat (3, 1, 44100, 64), tone (17640, 1)) },
        { "rate-0.wav", wavWith (wavFormat (1, 1, 0, 16), audio) },
        { "no-channels.wav", wavWith (wavFormat (1, 0, 44100, 16), audio) },
        { "lower-case.wav", container ("RIFF", "wave", { { "fmt ", pcm }, { "data", audio } }) },
        { "flac.wav", [] { juce::MemoryBlock b ("fLaC\0\0\0\x22", 8); b.setSize (64, true); return b; }() },
        { "u-law.aifc", container ("FORM", "AIFC", { { "COMM", aifcUlaw.getMemoryBlock() }, { "SSND", juce::MemoryBlock (8 + 4410, true) } }, true) },
        { "empty-junk.wav", container ("RIFF", "WAVE", { { "fmt ", pcm }, { "JUNK", {} }, { "data", audio } }) },
        { "data-first.wav", container ("RIFF", "WAVE", { { "data", audio }, { "fmt ", pcm } }) },
        { "data-unsized.wav", container ("RIFF", "WAVE", { { "fmt ", pcm }, { "data", audio, 0xffffffff } }) },
        { "mask-top-bit.wav", wavWith (extensibleFormat (1, 44100, 16, 0x80000000), audio) },
        { "claims-an-hour.mp3", mp3 (8, 149000) },
        { "damaged-frame.mp3", damagedMp3() },
    };
}
} // namespace hostilefiles
