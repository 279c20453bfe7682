#pragma once

#include <juce_core/juce_core.h>

/** Where the factory presets (the ".rev" files) lie next to the running plug-in.

    Every format carries the presets inside its own bundle or folder, so that they travel with the plug-in:
    - a bundle whose binary sits in Contents/<platform> (VST3 on every platform, any macOS bundle):
      <bundle>/Contents/Resources/Presets;
    - a flat folder that holds the binary itself (an LV2 bundle, the standalone application on Linux and Windows):
      <folder>/Presets.
*/
namespace factorypresets
{
/** The preset folder of the plug-in whose code runs in this process: the shared library of a plug-in format, or
    the executable of the standalone application. */
juce::File getFactoryPresetFolder();

/** The preset folder for the plug-in binary `binary` (the shared library or executable that holds the code). */
juce::File getFactoryPresetFolderFor (const juce::File& binary);
} // namespace factorypresets
