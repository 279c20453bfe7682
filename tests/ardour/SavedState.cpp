#include "SavedState.h"

#include <juce_data_structures/juce_data_structures.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

// Ardour 7.3 keeps a VST3's state as the base64 of a VST3 preset in the <chunk> element of the session file; the
// preset's "Comp" chunk is what the component's getState wrote: JUCE's VST3 wrapper puts our state block first and
// its own private data after it. An LV2's state is the StateString property of the state folder's state.ttl, in
// the text form of JUCE's MemoryBlock::toBase64Encoding, holding the state block alone.
namespace
{
struct Preset
{
    juce::MemoryBlock header; // "VST3", the version and the class ID, without the list's offset
    std::vector<std::pair<std::string, juce::MemoryBlock>> chunks;
};

// A VST3 preset: the header, the chunk list's offset (64 bits), the chunks, then the list: "List", the number of
// chunks, and for each its ID, offset and size. All numbers are little-endian.
std::optional<Preset> readPreset (const juce::MemoryBlock& bytes)
{
    const auto* p = static_cast<const char*> (bytes.getData());
    const auto size = (juce::int64) bytes.getSize();

    if (size < 48 || std::memcmp (p, "VST3", 4) != 0)
        return {};

    const auto list = (juce::int64) juce::ByteOrder::littleEndianInt64 (p + 40);

    if (list < 48 || list > size - 8 || std::memcmp (p + list, "List", 4) != 0)
        return {};

    Preset preset { juce::MemoryBlock (p, 40), {} };
    const auto count = (juce::int64) juce::ByteOrder::littleEndianInt (p + list + 4);

    for (juce::int64 entry = list + 8; entry < list + 8 + 20 * count; entry += 20)
    {
        if (entry > size - 20)
            return {};

        const auto offset = (juce::int64) juce::ByteOrder::littleEndianInt64 (p + entry + 4);
        const auto length = (juce::int64) juce::ByteOrder::littleEndianInt64 (p + entry + 12);

        if (offset < 0 || length < 0 || offset > size - length)
            return {};

        preset.chunks.emplace_back (std::string (p + entry, 4), juce::MemoryBlock (p + offset, (size_t) length));
    }

    return preset;
}

juce::MemoryBlock writePreset (const Preset& preset)
{
    juce::MemoryOutputStream out;
    out << preset.header;
    out.writeInt64 (0);
    std::vector<juce::int64> offsets;

    for (const auto& chunk : preset.chunks)
    {
        offsets.push_back (out.getPosition());
        out << chunk.second;
    }

    const auto list = out.getPosition();
    out.write ("List", 4);
    out.writeInt ((int) preset.chunks.size());

    for (size_t i = 0; i < preset.chunks.size(); ++i)
    {
        out.write (preset.chunks[i].first.data(), 4);
        out.writeInt64 (offsets[i]);
        out.writeInt64 ((juce::int64) preset.chunks[i].second.getSize());
    }

    out.setPosition (preset.header.getSize());
    out.writeInt64 (list);
    return out.getMemoryBlock();
}

int fail (const juce::String& message)
{
    std::cerr << "vellumar-export-check: " << message << "\n";
    return 1;
}
} // namespace

int savedStateMain (int argc, char* argv[])
{
    const juce::String mode (argv[1]);

    if (! ((mode == "select" && argc >= 5) || (mode == "expect" && argc >= 4)))
        return fail ("usage: vellumar-export-check select FILE TYPE NUMBER [ID=VALUE...] | expect FILE NAME=VALUE...");

    const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));
    auto text = file.loadFileAsString();

    // Exactly one state in the file: the session holds one plug-in.
    const bool vst3 = text.contains ("<chunk>");
    const juce::String open = vst3 ? "<chunk>" : "StateString> \"", close = vst3 ? "</chunk>" : "\"";
    const int start = text.indexOf (open) + open.length();
    const int end = text.indexOf (start, close);

    if (start < open.length() || end < 0 || text.indexOf (end, open) >= 0)
        return fail (file.getFullPathName() + " does not hold exactly one state of the plug-in");

    const auto encoded = text.substring (start, end).removeCharacters (" \t\r\n");
    juce::MemoryBlock bytes;
    std::optional<Preset> preset;
    juce::MemoryBlock* block = &bytes;

    if (vst3)
    {
        juce::MemoryOutputStream decoded;
        juce::Base64::convertFromBase64 (decoded, encoded);
        preset = readPreset (decoded.getMemoryBlock());

        if (preset)
            for (auto& chunk : preset->chunks)
                if (chunk.first == "Comp")
                    block = &chunk.second;
    }
    else
    {
        bytes.fromBase64Encoding (encoded);
    }

    juce::MemoryInputStream in (*block, false);
    auto tree = juce::ValueTree::readFromStream (in);
    juce::MemoryBlock trailer;
    in.readIntoMemoryBlock (trailer);

    if (tree.getNumChildren() == 0)
        return fail ("the state in " + file.getFullPathName() + " holds no parameters");

    if (mode == "select")
    {
        tree.setProperty ("irType", juce::String (argv[3]).getIntValue(), nullptr);
        tree.setProperty ("irNumber", juce::String (argv[4]).getIntValue(), nullptr);
        for (int i = 5; i < argc; ++i)
            tree.getChildWithProperty ("id", juce::String (argv[i]).upToFirstOccurrenceOf ("=", false, false))
                .setProperty ("value", juce::String (argv[i]).fromFirstOccurrenceOf ("=", false, false).getDoubleValue(), nullptr);
        juce::MemoryOutputStream edited;
        tree.writeToStream (edited);
        edited << trailer;
        *block = edited.getMemoryBlock();
        const auto rewritten = vst3 ? writePreset (*preset) : bytes;
        const auto reencoded = vst3 ? juce::Base64::toBase64 (rewritten.getData(), rewritten.getSize())
                                    : rewritten.toBase64Encoding();
        return file.replaceWithText (text.replaceSection (start, end - start, reencoded), false, false, nullptr)
                   ? 0
                   : fail ("cannot write " + file.getFullPathName());
    }

    int failures = 0;

    for (int i = 3; i < argc; ++i)
    {
        const auto name = juce::String (argv[i]).upToFirstOccurrenceOf ("=", false, false);
        const auto expected = juce::String (argv[i]).fromFirstOccurrenceOf ("=", false, false).getDoubleValue();
        const auto value = tree.hasProperty (name) ? tree[name] : tree.getChildWithProperty ("id", name)["value"];

        if (value.isVoid() || std::abs ((double) value - expected) > 1.0e-4)
            failures += fail (name + " came back as " + value.toString() + ", not " + juce::String (expected));
    }

    std::cout << (failures == 0 ? "the saved state holds the values it was given\n" : "");
    return failures == 0 ? 0 : 1;
}
