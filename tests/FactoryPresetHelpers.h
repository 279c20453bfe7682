#pragma once

#include "engine/state/StateData.h"

#include <juce_data_structures/juce_data_structures.h>

#include <algorithm>
#include <map>
#include <vector>

namespace testing_helpers
{
/** The factory presets as the build generated them, sorted by file name. */
inline std::vector<juce::File> factoryPresetFiles()
{
    auto files = juce::File (VELLUMAR_PRESET_FOLDER).findChildFiles (juce::File::findFiles, false, "*.rev");
    std::sort (files.begin(), files.end(),
               [] (const juce::File& a, const juce::File& b) { return a.getFileName() < b.getFileName(); });
    return { files.begin(), files.end() };
}

/** A preset file's tree read with the bounds-checked reader; `complete` is false when it breaks off. */
inline statedata::ReadResult readPresetFile (const juce::File& file)
{
    juce::MemoryBlock bytes;
    file.loadFileAsData (bytes);
    return statedata::readTree (bytes.getData(), bytes.getSize());
}

/** The values that a preset file stores, by parameter ID. */
inline std::map<juce::String, double> storedValues (const juce::File& file)
{
    std::map<juce::String, double> values;
    for (const auto& child : readPresetFile (file).tree)
        values[child["id"].toString()] = (double) child["value"];
    return values;
}
} // namespace testing_helpers
