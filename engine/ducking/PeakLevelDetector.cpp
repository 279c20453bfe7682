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

float PeakLevelDetector::tick (float sample)
{
    auto level = std::abs (sample);

    // A NaN or infinite key sample carries no level: it counts as silence, so the envelope (and the gain that
    // follows it) carries on as soon as the bad samples have passed instead of staying NaN or infinite for good.
    if (! (level <= maximumLevel))
        level = std::isfinite (level) ? maximumLevel : 0.0f;

    const float coefficient = level > envelope ? attackCoefficient : releaseCoefficient;
    envelope = level * coefficient + envelope * feedback;
    return envelope;
}
} // namespace Sidechain
