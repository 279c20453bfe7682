#include "host/Render.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    juce::String error;
    const auto options = parseRenderOptions (args, error);

    if (! options)
    {
        std::cerr << "vellumar-render: " << error << "\n\n" << renderUsage();
        return 2;
    }

    return runRender (*options, std::cout, std::cerr);
}
