#include "engine/OfflineRendering.h"

#include "engine/VellumarProcessor.h"

void waitForImpulseResponses (VellumarProcessor&)
{
}
