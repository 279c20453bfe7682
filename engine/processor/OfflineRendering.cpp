#include "engine/processor/OfflineRendering.h"

#include "engine/processor/VellumarProcessor.h"

void waitForImpulseResponses (VellumarProcessor& processor)
{
    // Builds a pair still in the mailbox into the running engines on this thread, or takes over the one the loader
    // built, and then starts the engines afresh: no switch between pairs is heard at the start of a render.
    const std::lock_guard<std::mutex> lock (processor.irMutex);
    processor.collectResponses();
    processor.convolutionPair.prepare (processor.processSpec);
}
