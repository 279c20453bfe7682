#pragma once

#include "host/RenderInput.h"
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

/** Runs a whole render as the command line asked; returns the process exit code. */
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err);
