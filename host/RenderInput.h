#pragma once

#include "host/RenderOptions.h"

#include <juce_audio_basics/juce_audio_basics.h>

/** The audio a render plays: the main input, the side-chain key (no channels when there is none) and their rate. */
struct RenderInput
{
    juce::AudioBuffer<float> input;
    juce::AudioBuffer<float> key;
    double sampleRate = 0.0;
    juce::StringArray notes; // what the user should know about files that were read all the same (cut short)
};

/** Reads the input file and, when the options name one, the side-chain file: WAV, AIFF or MP3 (as the file's first
    bytes say), mono or stereo, 8 to 384 kHz, at most an hour, both at one rate, as many samples as the file holds.
    Returns false with a message in `error` for a file it refuses. */
bool readRenderInput (const RenderOptions& options, RenderInput& result, juce::String& error);
