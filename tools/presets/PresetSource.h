#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The readable source form of a factory preset, and its translation into the parameter tree that the plug-in
    loads.

    A source is plain text, one setting per line, `key = value`, with `#` starting a comment:

        title    = Vocal Plate         the name shown in the preset menu
        response = Plate 1             impulse-response type (Room, Plate, Spring, Space) and number (1 to 5)
        Decay    = 1.8                 any parameter by its ID, in the parameter's own units
        Shimmer  = on                  switches take on/off (or 1/0), band types their name or index
        3Type    = Peak

    Parameters that a source leaves out take their defaults, so every preset sets all parameters. Anything that
    would make a doubtful preset is an error that names the line: an unknown key, a value outside its range or
    between its steps, a setting given twice, or a selection with no or several type or number switches on.
*/
namespace presetsource
{
struct Preset
{
    juce::String title;
    juce::String fileName; // the two-character sorting prefix, the title and ".rev"
    juce::ValueTree tree;  // root "Parameters", one "PARAM" child with "id" and "value" per parameter, in layout order
};

/** Translates one source. `prefix` is the sorting prefix (two characters), `sourceName` names the source in error
    messages. On failure the result's message lists every error found, one per line. */
juce::Result parse (const juce::String& text, const juce::String& prefix, const juce::String& sourceName,
                    const juce::Array<juce::AudioProcessorParameter*>& parameters, Preset& result);

/** Reads every "*.preset" file of `sourceFolder`, in file-name order; each file's first two characters are its
    sorting prefix. Fails when a source fails, when two presets share a prefix or a title, or when there are none. */
juce::Result parseFolder (const juce::File& sourceFolder, const juce::Array<juce::AudioProcessorParameter*>& parameters,
                          juce::Array<Preset>& result);

/** Writes the presets as ".rev" files into `folder` (created if needed) and removes any other ".rev" file there,
    so that a renamed or deleted preset does not linger. */
juce::Result writeFolder (const juce::Array<Preset>& presets, const juce::File& folder);
} // namespace presetsource
