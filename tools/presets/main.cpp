#include "tools/presets/PresetSource.h"

#include "engine/processor/VellumarProcessor.h"

#include <juce_events/juce_events.h>

#include <iostream>

// Builds the factory presets: reads the sources of a folder and writes one ".rev" file per preset into each output
// folder. Any error in a source fails the build, naming the file and line.
int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    if (argc < 3)
    {
        std::cerr << "Usage: vellumar-presets SOURCE_FOLDER OUTPUT_FOLDER [OUTPUT_FOLDER...]\n";
        return 2;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto sourceFolder = cwd.getChildFile (juce::String::fromUTF8 (argv[1]));

    // The processor's own layout gives every parameter's ID, range and default.
    VellumarProcessor processor;
    juce::Array<presetsource::Preset> presets;

    if (const auto parsed = presetsource::parseFolder (sourceFolder, processor.getParameters(), presets); parsed.failed())
    {
        std::cerr << parsed.getErrorMessage() << "\n";
        return 1;
    }

    for (int i = 2; i < argc; ++i)
    {
        const auto folder = cwd.getChildFile (juce::String::fromUTF8 (argv[i]));

        if (const auto written = presetsource::writeFolder (presets, folder); written.failed())
        {
            std::cerr << "vellumar-presets: " << written.getErrorMessage() << "\n";
            return 1;
        }
    }

    std::cout << "vellumar-presets: " << presets.size() << " presets written\n";
    return 0;
}
