#pragma once

#include "host/RenderOptions.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <iosfwd>

class VellumarProcessor;

/** Sets one parameter from the command line: a number in the parameter's own units (a unit such as "ms",
    "s", "Hz", "kHz", "dB" or "%" may follow it), or, for switches and choices, the text they show.
    Returns false with a message in `error` for an unknown ID or a value the parameter cannot take. */
bool applySetting (VellumarProcessor& processor, const juce::String& id, const juce::String& text, juce::String& error);

/** One line per parameter: ID, name, range, default and the text of its current value. */
juce::String describeParameters (VellumarProcessor& processor);

/** The audio a render plays: the main input, the side-chain key (no channels when there is none) and their rate. */
struct RenderInput
{
    juce::AudioBuffer<float> input;
    juce::AudioBuffer<float> key;
    double sampleRate = 0.0;
};

/** Reads the input file and, when the options name one, the side-chain file: mono or stereo, 8 to 384 kHz, at most
    an hour, both at one rate. Returns false with a message in `error` for a file it refuses. */
bool readRenderInput (const RenderOptions& options, RenderInput& result, juce::String& error);

/** Runs a whole render as the command line asked; returns the process exit code. */
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err);
