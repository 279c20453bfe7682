#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <optional>

/** Reading parameter trees from bytes that may be damaged or come from anywhere.

    `juce::ValueTree::readFromStream` trusts the counts it reads: a damaged count can make it reserve gigabytes or
    loop for a very long time. This reader takes the same binary form but checks every count against the bytes
    that are left, and stops at the first thing that does not fit (a count past the end, text that is not UTF-8).
*/
namespace statedata
{
struct ReadResult
{
    juce::ValueTree tree;   // invalid when not even the root's type could be read
    bool complete = false;  // true when the whole tree was read without a break
};

/** Reads the first tree in the data. A tree that breaks off keeps what was read before the break. */
ReadResult readTree (const void* data, size_t numBytes);

/** The value of a number written as text, or nothing for text that is not one as a whole: an optional sign,
    digits with at most one point, and an optional exponent of at most three significant digits; 64 characters at
    most. JUCE's parser, which reads it, overflows on a longer exponent and drops the exponent of a number with
    hundreds of digits. */
std::optional<double> numberFromText (const juce::String& text);

/** A copy of `source` with only its "PARAM" children whose "id" is one of `parameterIds` and whose "value" is a
    finite number within a float's range; the root gets the type `rootType`. */
juce::ValueTree keepKnownParameters (const juce::ValueTree& source, const juce::Identifier& rootType,
                                     const juce::StringArray& parameterIds);
} // namespace statedata
