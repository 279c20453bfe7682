#include "engine/state/StateData.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace statedata
{
namespace
{
    constexpr int maxDepth = 16;

    // Markers of juce::var's binary form.
    enum Marker : juce::uint8
    {
        markerInt = 1,
        markerBoolTrue = 2,
        markerBoolFalse = 3,
        markerDouble = 4,
        markerString = 5,
        markerInt64 = 6,
        markerArray = 7,
        markerBinary = 8
    };

    struct Reader
    {
        const juce::uint8* data;
        size_t size;
        size_t pos = 0;

        size_t remaining() const { return size - pos; }

        // JUCE writes only UTF-8, so other bytes are damage; JUCE's text functions would read them as some other
        // text (a damaged byte of a parameter ID can turn it into another ID) or read past them.
        bool isUtf8 (size_t start, size_t length) const
        {
            return juce::CharPointer_UTF8::isValidString (reinterpret_cast<const char*> (data + start), (int) length);
        }

        bool string (juce::String& result)
        {
            const auto start = pos;

            while (pos < size && data[pos] != 0)
                ++pos;

            if (pos >= size || ! isUtf8 (start, pos - start))
                return false;

            result = juce::String::fromUTF8 (reinterpret_cast<const char*> (data + start), (int) (pos - start));
            ++pos;
            return true;
        }

        // The compressed integer of juce::OutputStream::writeCompressedInt.
        bool compressedInt (int& value)
        {
            if (remaining() < 1)
                return false;

            const auto sizeByte = data[pos++];
            const int numBytes = sizeByte & 0x7f;

            if (numBytes > 4 || (size_t) numBytes > remaining())
                return false;

            juce::uint32 v = 0;
            for (int i = 0; i < numBytes; ++i)
                v |= (juce::uint32) data[pos++] << (8 * i);

            if (v > 0x7fffffffu)
                return false;

            value = (sizeByte & 0x80) != 0 ? -(int) v : (int) v;
            return true;
        }

        bool count (int& value) { return compressedInt (value) && value >= 0 && (size_t) value <= remaining(); }

        template <typename T>
        T littleEndian()
        {
            T v;
            std::memcpy (&v, data + pos, sizeof (T));
            pos += sizeof (T);
            return v;
        }

        bool variant (juce::var& result, int depth)
        {
            int numBytes = 0;

            if (depth > maxDepth || ! compressedInt (numBytes) || numBytes < 0 || (size_t) numBytes > remaining())
                return false;

            if (numBytes == 0)
            {
                result = juce::var();
                return true;
            }

            const auto marker = data[pos++];
            const auto payload = (size_t) numBytes - 1;

            switch (marker)
            {
                case markerInt:
                    if (payload != 4) return false;
                    result = (int) juce::ByteOrder::swapIfBigEndian (littleEndian<juce::uint32>());
                    return true;
                case markerInt64:
                    if (payload != 8) return false;
                    result = (juce::int64) juce::ByteOrder::swapIfBigEndian (littleEndian<juce::uint64>());
                    return true;
                case markerDouble:
                    if (payload != 8) return false;
                    result = littleEndian<double>();
                    return true;
                case markerBoolTrue: result = true; return payload == 0;
                case markerBoolFalse: result = false; return payload == 0;
                case markerString:
                {
                    size_t length = 0;
                    while (length < payload && data[pos + length] != 0)
                        ++length;

                    if (! isUtf8 (pos, length))
                        return false;

                    result = juce::String::fromUTF8 (reinterpret_cast<const char*> (data + pos), (int) length);
                    pos += payload;
                }
                    return true;
                case markerBinary:
                    result = juce::MemoryBlock (data + pos, payload);
                    pos += payload;
                    return true;
                case markerArray:
                {
                    int numItems = 0;
                    if (! count (numItems))
                        return false;

                    juce::Array<juce::var> items;
                    for (int i = 0; i < numItems; ++i)
                    {
                        juce::var item;
                        if (! variant (item, depth + 1))
                            return false;
                        items.add (item);
                    }
                    result = items;
                    return true;
                }
                default:
                    pos += payload;
                    result = juce::var();
                    return true;
            }
        }

        // Returns false at a break; `tree` then holds what was read before it (invalid if the type was cut).
        bool tree (juce::ValueTree& result, int depth)
        {
            juce::String type;

            if (depth > maxDepth || ! string (type) || type.isEmpty())
                return false;

            result = juce::ValueTree (type);

            int numProperties = 0;
            if (! count (numProperties))
                return false;

            for (int i = 0; i < numProperties; ++i)
            {
                juce::String name;
                juce::var value;

                if (! string (name) || name.isEmpty() || ! variant (value, depth))
                    return false;

                result.setProperty (name, value, nullptr);
            }

            int numChildren = 0;
            if (! count (numChildren))
                return false;

            for (int i = 0; i < numChildren; ++i)
            {
                // A child cut off part-way is left out: what it held is not known.
                juce::ValueTree child;

                if (! tree (child, depth + 1))
                    return false;

                result.appendChild (child, nullptr);
            }

            return true;
        }
    };

    // A parameter's value becomes a float: a double beyond a float's range would not convert. Numbers are judged
    // as numbers (NaN and infinity fail the comparison); only text is turned into a string, and only text that is
    // a number as a whole is read. A missing value (void) is none of these.
    bool isFiniteNumber (const juce::var& value)
    {
        const bool numeric = value.isDouble() || value.isInt() || value.isInt64() || value.isBool();
        const bool numericText = value.isString() && numberFromText (value.toString()).has_value();

        return (numeric || numericText) && std::abs ((double) value) <= (double) std::numeric_limits<float>::max();
    }
} // namespace

std::optional<double> numberFromText (const juce::String& text)
{
    const auto t = text.trim();

    if (t.isEmpty() || t.length() > 64)
        return {};

    // The characters are checked before JUCE's parser sees them: it stops at the first character it does not
    // expect ("1-2" reads as 1) and overflows on a long exponent.
    const auto s = t.toStdString();
    const auto isDigit = [&s] (size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    const auto isSign = [&s] (size_t i) { return i < s.size() && (s[i] == '+' || s[i] == '-'); };
    size_t i = isSign (0) ? 1 : 0;
    int digits = 0, points = 0;

    for (; isDigit (i) || (i < s.size() && s[i] == '.'); ++i)
        (s[i] == '.' ? points : digits) += 1;

    if (digits == 0 || points > 1)
        return {};

    if (i < s.size() && (s[i] == 'e' || s[i] == 'E'))
    {
        i += isSign (i + 1) ? 2 : 1;
        const auto exponentStart = i;

        while (isDigit (i))
            ++i;

        const auto exponent = s.substr (exponentStart, i - exponentStart);
        const auto firstSignificant = exponent.find_first_not_of ('0');

        if (exponent.empty() || (firstSignificant != std::string::npos && exponent.size() - firstSignificant > 3))
            return {};
    }

    if (i != s.size())
        return {};

    return t.getDoubleValue();
}

ReadResult readTree (const void* data, size_t numBytes)
{
    ReadResult result;

    if (data == nullptr || numBytes == 0)
        return result;

    Reader reader { static_cast<const juce::uint8*> (data), numBytes };
    result.complete = reader.tree (result.tree, 0);
    return result;
}

juce::ValueTree keepKnownParameters (const juce::ValueTree& source, const juce::Identifier& rootType,
                                     const juce::StringArray& parameterIds)
{
    juce::ValueTree result (rootType);

    for (const auto& child : source)
    {
        if (! child.hasType ("PARAM"))
            continue;

        // Only text is turned into a string: JUCE's text form of a NaN double converts it to int on the way.
        const auto& idValue = child.getProperty ("id");
        const auto& value = child.getProperty ("value");

        // A child without a value names a parameter but says nothing about it, as if it were left out.
        if (! idValue.isString() || ! parameterIds.contains (idValue.toString()) || ! isFiniteNumber (value))
            continue;

        juce::ValueTree kept ("PARAM");
        kept.setProperty ("id", idValue.toString(), nullptr);
        kept.setProperty ("value", (double) value, nullptr);
        result.appendChild (kept, nullptr);
    }

    return result;
}
} // namespace statedata
