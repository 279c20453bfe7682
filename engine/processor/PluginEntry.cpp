#include "engine/processor/VellumarProcessor.h"

// The plug-in wrappers create every instance through this function.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VellumarProcessor();
}
