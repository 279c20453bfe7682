#include "host/PathBytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace pathbytes
{
namespace
{
    constexpr juce::juce_wchar foreignByteBase = 0xdc00;

    // The length of the well-formed UTF-8 sequence at `s` (`n` bytes left), or 0: no overlong forms, surrogates
    // or code points beyond U+10FFFF, which JUCE would not read back as the same bytes.
    size_t sequenceLength (const unsigned char* s, size_t n)
    {
        if (s[0] < 0x80)
            return 1;

        const size_t length = s[0] >= 0xc2 && s[0] <= 0xdf ? 2 : s[0] >= 0xe0 && s[0] <= 0xef ? 3
                              : s[0] >= 0xf0 && s[0] <= 0xf4 ? 4 : 0;

        if (length == 0 || length > n)
            return 0;

        for (size_t k = 1; k < length; ++k)
            if ((s[k] & 0xc0) != 0x80)
                return 0;

        if ((s[0] == 0xe0 && s[1] < 0xa0) || (s[0] == 0xed && s[1] >= 0xa0) || (s[0] == 0xf0 && s[1] < 0x90)
            || (s[0] == 0xf4 && s[1] >= 0x90))
            return 0;

        return length;
    }

    juce::juce_wchar decode (const unsigned char* s, size_t length)
    {
        if (length == 1)
            return s[0];

        auto c = (juce::juce_wchar) (s[0] & (0x7f >> length));
        for (size_t k = 1; k < length; ++k)
            c = (c << 6) | (s[k] & 0x3f);
        return c;
    }

    class StdioInputStream final : public juce::InputStream
    {
    public:
        explicit StdioInputStream (std::FILE* f) : file (f)
        {
            if (std::fseek (file, 0, SEEK_END) == 0)
                length = std::max ((juce::int64) 0, (juce::int64) ftello (file));
            std::fseek (file, 0, SEEK_SET);
        }

        ~StdioInputStream() override { std::fclose (file); }

        juce::int64 getTotalLength() override { return length; }
        bool isExhausted() override { return getPosition() >= length; }
        juce::int64 getPosition() override { return (juce::int64) ftello (file); }
        bool setPosition (juce::int64 position) override { return fseeko (file, (off_t) position, SEEK_SET) == 0; }

        int read (void* destBuffer, int maxBytesToRead) override
        {
            return maxBytesToRead > 0 ? (int) std::fread (destBuffer, 1, (size_t) maxBytesToRead, file) : 0;
        }

    private:
        std::FILE* file;
        juce::int64 length = 0;
    };
} // namespace

juce::String argumentText (const char* bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*> (bytes);
    const auto n = std::strlen (bytes);
    std::vector<juce::juce_wchar> text;

    for (size_t i = 0; i < n;)
    {
        const auto length = sequenceLength (s + i, n - i);
        text.push_back (length > 0 ? decode (s + i, length) : foreignByteBase + s[i]);
        i += std::max (length, (size_t) 1);
    }

    text.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (text.data()));
}

bool holdsForeignBytes (const juce::String& text)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
        if (const auto c = p.getAndAdvance(); c >= foreignByteBase + 0x80 && c <= foreignByteBase + 0xff)
            return true;

    return false;
}

std::string bytesOf (const juce::String& text)
{
    std::string result;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c >= foreignByteBase + 0x80 && c <= foreignByteBase + 0xff)
        {
            result += (char) (c - foreignByteBase);
        }
        else
        {
            char encoded[8] = {};
            juce::CharPointer_UTF8 out (encoded);
            out.write (c);
            result += encoded;
        }
    }

    return result;
}

std::string pathOf (const juce::File& file)
{
    return bytesOf (file.getFullPathName());
}

juce::String whyNotAFile (const juce::File& file)
{
    std::error_code ignored;
    const auto status = std::filesystem::status (std::filesystem::path (pathOf (file)), ignored);

    if (std::filesystem::is_regular_file (status))
        return {};

    if (std::filesystem::is_directory (status))
        return "is a folder";

    return std::filesystem::exists (status) ? "is not a regular file" : "not found";
}

bool isSameFile (const juce::File& a, const juce::File& b)
{
    std::error_code ignored;
    return std::filesystem::equivalent (std::filesystem::path (pathOf (a)), std::filesystem::path (pathOf (b)),
                                        ignored);
}

std::unique_ptr<juce::InputStream> openForReading (const juce::File& file)
{
    if (auto* f = std::fopen (pathOf (file).c_str(), "rb"))
        return std::make_unique<StdioInputStream> (f);

    return nullptr;
}
} // namespace pathbytes
