#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <utility>
#include <vector>

/** What `vellumar-render` was asked to do, read from its command line. */
struct RenderOptions
{
    juce::File input;
    juce::File output;
    juce::File sidechain;
    juce::File preset;
    int blockSize = 1024;
    bool variableBlocks = false;
    std::optional<double> tailSeconds;
    std::vector<std::pair<juce::String, juce::String>> settings; // ID, value text, in command-line order
    bool listParameters = false;
    bool quiet = false;
    bool showHelp = false;
};

/** Reads the arguments (without the program name). On failure returns nothing and puts the reason in `error`. */
std::optional<RenderOptions> parseRenderOptions (const juce::StringArray& args, juce::String& error);

juce::String renderUsage();
