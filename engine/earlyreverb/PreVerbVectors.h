#pragma once

#include "engine/earlyreverb/PreVerb.h"

#include <cmath>
#include <cstring>

// The four-lane arithmetic that the early reverb's block walk runs on (engine/earlyreverb/PreVerbProcess.cpp).
namespace preverb
{
// Four single-precision lanes; each operation works lane by lane exactly as on one float.
using Float4 = float __attribute__ ((vector_size (16)));
using Int4 = int __attribute__ ((vector_size (16)));

constexpr int combGroups = PreVerb::numCombs / 4;
static_assert (PreVerb::numCombs % 4 == 0, "the combs run in groups of four");

/** PreVerb::flushTiny in every lane. */
inline Float4 flushTiny4 (Float4 v) noexcept
{
    return (v + 0.1f) - 0.1f;
}

/** What a filter writes: in a silent block, lanes below the residue level become zero (NaN compares false and
    passes, for the recovery); in any other block the value as it is. `written1` is the same for one value. */
template <bool cutResidues>
Float4 written4 (Float4 v) noexcept
{
    if constexpr (! cutResidues)
        return v;

    const Float4 magnitude = (Float4) ((Int4) v & 0x7fffffff);
    return (Float4) ((Int4) v & ~(magnitude < PreVerb::residueLevel));
}

template <bool cutResidues>
float written1 (float v) noexcept
{
    if constexpr (! cutResidues)
        return v;

    return std::abs (v) < PreVerb::residueLevel ? 0.0f : v;
}

inline Float4 splat (float v) noexcept
{
    return Float4 { v, v, v, v };
}

inline Float4 load4 (const float* source) noexcept
{
    Float4 v;
    std::memcpy (&v, source, sizeof (v));
    return v;
}

inline void store4 (float* destination, Float4 v) noexcept
{
    std::memcpy (destination, &v, sizeof (v));
}

template <int lane>
Float4 lane4 (Float4 v) noexcept
{
    return __builtin_shufflevector (v, v, lane, lane, lane, lane);
}

/** Swaps rows and columns: lane k of row s becomes lane s of row k. */
inline void transpose (Float4& a, Float4& b, Float4& c, Float4& d) noexcept
{
    const Float4 ab0 = __builtin_shufflevector (a, b, 0, 4, 1, 5), ab1 = __builtin_shufflevector (a, b, 2, 6, 3, 7);
    const Float4 cd0 = __builtin_shufflevector (c, d, 0, 4, 1, 5), cd1 = __builtin_shufflevector (c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector (ab0, cd0, 0, 1, 4, 5);
    b = __builtin_shufflevector (ab0, cd0, 2, 3, 6, 7);
    c = __builtin_shufflevector (ab1, cd1, 0, 1, 4, 5);
    d = __builtin_shufflevector (ab1, cd1, 2, 3, 6, 7);
}

/** One step of a comb's low-pass and write for one sample, four combs in the lanes (`s` picks the sample's lane
    of the per-sample values). */
template <int s, bool cutResidues>
Float4 combStep (Float4 delayed, Float4& store, Float4 keep, Float4 damp, Float4 feedback, Float4 input) noexcept
{
    store = flushTiny4 (delayed * lane4<s> (keep) + store * lane4<s> (damp));
    return written4<cutResidues> (flushTiny4 (store * lane4<s> (feedback) + lane4<s> (input)));
}

/** A smoother as a run reads it. A settled one gives its target for every sample; read once, it stays in a
    register. */
struct RunValue
{
    explicit RunValue (juce::SmoothedValue<float>& s) noexcept
        : smoother (s), settled (! s.isSmoothing()), target (s.getTargetValue())
    {
    }

    float next() noexcept { return settled ? target : smoother.getNextValue(); }

    /** The next four values, in order. */
    Float4 nextFour() noexcept
    {
        if (settled)
            return splat (target);

        const float a = smoother.getNextValue(), b = smoother.getNextValue(), c = smoother.getNextValue();
        return Float4 { a, b, c, smoother.getNextValue() };
    }

    juce::SmoothedValue<float>& smoother;
    const bool settled;
    const float target;
};
} // namespace preverb
