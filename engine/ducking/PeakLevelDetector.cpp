#include "engine/ducking/PeakLevelDetector.h"

#include <cmath>

namespace Sidechain
{
void PeakLevelDetector::setDetector (float sampleRate)
{
    envelope = 0.0f;
    attackCoefficient = 1.0f;
    feedback = std::exp (-1.0f / (sampleRate * releaseTime));
    releaseCoefficient = 1.0f - feedback;
}
} // namespace Sidechain
