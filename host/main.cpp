#include "host/PathBytes.h"
#include "host/Render.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;

    // File names need not be UTF-8; their bytes are kept (host/PathBytes.h).
    for (int i = 1; i < argc; ++i)
        args.add (pathbytes::argumentText (argv[i]));

    juce::String error;
    const auto options = parseRenderOptions (args, error);

    if (! options)
    {
        std::cerr << "vellumar-render: " << pathbytes::bytesOf (error) << "\n\n" << renderUsage();
        return 2;
    }

    return runRender (*options, std::cout, std::cerr);
}
