#include "bench/DisplayBench.h"
#include "bench/DriveBench.h"
#include "bench/DuckingBench.h"
#include "bench/EditorBench.h"
#include "bench/ModulationBench.h"
#include "bench/PluginBench.h"
#include "bench/PreVerbBench.h"
#include "bench/StageBench.h"

#include <juce_events/juce_events.h>

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>

namespace
{
void runEveryOtherBench()
{
    std::cout << "FFT behind the convolution: " << VELLUMAR_FFT_BACKEND << "\n\n";

    const double pairCost = runPluginBench (std::cout);

    std::cout << "\n== Stages other than the convolution (CPU seconds per second of stereo 44.1 kHz audio)\n";
    runPreVerbBench (std::cout);
    const double vibrato = benchmarkModulationStage (false), tremolo = benchmarkModulationStage (true);
    const double drive5 = benchmarkDriveStage (5.0f), drive100 = benchmarkDriveStage (100.0f);
    const double duckKey = benchmarkDuckingStage (false), duckSelf = benchmarkDuckingStage (true);
    std::cout << std::setprecision (5) << "  modulation: vibrato " << vibrato << ", tremolo " << tremolo << "\n"
              << "  drive: at 5 % " << drive5 << ", at 100 % " << drive100 << "\n"
              << "  ducking: side-chain key " << duckKey << ", self-keyed " << duckSelf << "\n";
    runEqualiserBench();
    std::cout << "\n  the convolution pair at default Decay: " << std::setprecision (5) << pairCost << "\n";

    std::cout << "\n== Editor displays (message thread, per 33 ms frame)\n";
    runDisplayBench (std::cout);
}
} // namespace

// Every figure is measured in this one run on this machine and printed as a ratio or a share, so runs on
// different machines compare by their ratios. `vellumar-bench editor` runs only the open editor's measurement.
int main (int argc, char** argv)
{
    // The editor bench builds an editor, and without DISPLAY JUCE connects to ":0", an X server that may end while
    // this process still holds it. The bench paints offscreen, so it points JUCE at a display that is never there.
    if (const char* display = std::getenv ("DISPLAY"); display == nullptr || *display == 0)
        setenv ("DISPLAY", ":32767", 1);

    juce::ScopedJuceInitialiser_GUI juce;
    const auto editorOnly = argc > 1 && std::string (argv[1]) == "editor";

    if (argc > 1 && std::string (argv[1]) == "ratio")
    {
        runPluginRatios (std::cout);
        return 0;
    }

    if (! editorOnly)
        runEveryOtherBench();

    std::cout << "\n== The open editor (900 x 600) against none, while audio plays in real time at 44.1 kHz\n";
    runEditorBench (std::cout);
    return 0;
}
