#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <string>

/** The type words of the impulse-response selection, by type index; any other index reads as "Plate". */
extern const std::array<const char*, 5> irTypeNames;

const char* irTypeName (int typeIndex) noexcept;

/** One built-in pair: its name (type word and number, as "Room3"), the embedded MP3 resources for engine A and
    engine B, and each file's length in MP3 frames of 1152 samples at 44.1 kHz. */
struct IRPair
{
    const char* name;
    const char* resourceA;
    const char* resourceB;
    int framesA;
    int framesB;
};

/** The twenty built-in pairs of Plate, Room, Space and Spring, followed by our five Hall pairs. */
extern const std::array<IRPair, 25> irPairTable;

/** The row named exactly (case-sensitive) `name`, or nullptr. */
const IRPair* findIRPair (const std::string& name) noexcept;

/** The bytes of an embedded resource, or nullptr with size 0 when the program holds no such resource. */
const void* getIRResource (const char* resourceName, int& size) noexcept;

/** How much of a response a Decay keeps at a processing rate, and how long its fade-out is: the whole kept part
    fades up to 2 s, the fade shrinks to nothing between 2 s and 9 s. */
struct IRTrim
{
    int length;
    int fadeLength;
};

IRTrim irTrimFor (float decaySeconds, double sampleRate) noexcept;

/** Fades the `fadeLength` samples before `length` out and cuts the buffer there; a buffer no longer than
    `length` stays whole. */
void trimWithFade (juce::AudioBuffer<float>& buffer, int length, int fadeLength);
