#include "engine/state/FactoryPresets.h"

namespace factorypresets
{
juce::File getFactoryPresetFolder()
{
    // In a plug-in this is the shared library that holds the code (JUCE asks the dynamic loader for it), not the
    // host's executable.
    return getFactoryPresetFolderFor (juce::File::getSpecialLocation (juce::File::currentExecutableFile));
}

juce::File getFactoryPresetFolderFor (const juce::File& binary)
{
    const auto binaryFolder = binary.getParentDirectory();
    const auto contents = binaryFolder.getParentDirectory();

    if (contents.getFileName() == "Contents")
        return contents.getChildFile ("Resources").getChildFile ("Presets");

    return binaryFolder.getChildFile ("Presets");
}
} // namespace factorypresets
