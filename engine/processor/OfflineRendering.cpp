#include "engine/processor/OfflineRendering.h"

#include "engine/processor/VellumarProcessor.h"

void waitForImpulseResponses (VellumarProcessor& processor)
{
    // A preparation of the engines first runs every load still queued for the loader thread, on this thread, and
    // then starts from the newest response without a crossfade from the previous one.
    const std::lock_guard<std::mutex> lock (processor.irMutex);
    processor.collectResponses();
    processor.convolutionPair.prepare (processor.processSpec);
}
