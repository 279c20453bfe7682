#pragma once

#include <cmath>

namespace Sidechain
{
/** Follows the peak level of one key channel for the ducking stage.

    The envelope jumps up with a rising input and falls back with a one-pole release. The feedback term is applied
    in both directions, so a rising input lands on top of the old envelope (it can overshoot the input for a moment
    and then settles back to it with the release).
*/
class PeakLevelDetector
{
public:
    PeakLevelDetector() = default;

    /** Clears the envelope and derives the release from `releaseTime` (seconds) at this sample rate. */
    void setDetector (float sampleRate);

    /** Feeds one key sample and returns the new envelope. */
    float tick (float sample)
    {
        auto level = std::abs (sample);

        // A NaN or infinite key sample carries no level: it counts as silence, so the envelope (and the gain that
        // follows it) carries on as soon as the bad samples have passed instead of staying NaN or infinite for good.
        if (! (level <= maximumLevel))
            level = std::isfinite (level) ? maximumLevel : 0.0f;

        // Both candidates are formed before the comparison picks one, so that the next sample waits only on a
        // multiplication and an addition.
        const float held = envelope * feedback;
        const float rising = level * attackCoefficient + held;
        const float falling = level * releaseCoefficient + held;
        envelope = level > envelope ? rising : falling;
        return envelope;
    }

    /** Inputs above this level (+120 dB above full scale) are held at it, so that the envelope cannot overflow. */
    static constexpr float maximumLevel = 1.0e6f;

    float envelope = 0.0f;
    float attackCoefficient = 1.0f;
    float releaseCoefficient = 1.0f;
    float feedback = 0.0f;
    float releaseTime = 0.001f;
};
} // namespace Sidechain
