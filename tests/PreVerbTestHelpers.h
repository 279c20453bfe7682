#pragma once

#include "SignalHelpers.h"

#include "engine/earlyreverb/PreVerb.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace preverb_testing
{
using testing_helpers::allFinite;
using testing_helpers::largestStep;
using testing_helpers::noise;

inline std::unique_ptr<PreVerb> makePreVerb (double rate, float percent, int type = 0)
{
    auto preVerb = std::make_unique<PreVerb>();
    preVerb->prepare (rate);
    preVerb->applyTypeSettings (type);
    preVerb->setEarlyMix (percent);
    return preVerb;
}

/** Runs silence through until every ramp of the level and settings has finished. */
inline void settle (PreVerb& preVerb)
{
    std::vector<float> left ((size_t) (0.1 * preVerb.sampleRate) + 2, 0.0f), right (left);
    preVerb.processStereo (left.data(), right.data(), (int) left.size());
}

inline bool filtersAreSilent (const PreVerb& preVerb, int channel)
{
    for (auto& comb : preVerb.combs[(size_t) channel])
        for (int i = 0; i < comb.bufferSize; ++i)
            if (comb.buffer[i] != 0.0f || comb.filterStore != 0.0f)
                return false;

    for (auto& allPass : preVerb.allPasses[(size_t) channel])
        for (int i = 0; i < allPass.bufferSize; ++i)
            if (allPass.buffer[i] != 0.0f)
                return false;

    return true;
}

/** The delay memory blocks of every filter, to show that a rebuild reused them rather than reallocating
    (the memory comes from malloc, which the allocation counter does not see). */
inline std::vector<const float*> delayMemory (const PreVerb& preVerb)
{
    std::vector<const float*> blocks;

    for (int c = 0; c < 2; ++c)
    {
        for (auto& comb : preVerb.combs[(size_t) c])
            blocks.push_back (comb.buffer.get());

        for (auto& allPass : preVerb.allPasses[(size_t) c])
            blocks.push_back (allPass.buffer.get());
    }

    return blocks;
}
} // namespace preverb_testing
