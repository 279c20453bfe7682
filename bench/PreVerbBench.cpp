#include "bench/PreVerbBench.h"

#include "engine/earlyreverb/PreVerb.h"

#include <chrono>
#include <vector>

namespace
{
/** CPU seconds that `seconds` of stereo audio take, in blocks of `blockSize`. */
double timePreVerb (bool shimmer, int blockSize, double seconds)
{
    constexpr double rate = 44100.0;
    PreVerb preVerb;
    preVerb.prepare (rate);
    preVerb.applyTypeSettings (3);
    preVerb.setEarlyMix (30.0f);

    if (shimmer)
        preVerb.applyShimmerSwitch (true);

    std::vector<float> left ((size_t) blockSize), right ((size_t) blockSize);
    juce::Random random (1);
    const int blocks = (int) (seconds * rate / blockSize);
    double busy = 0.0;

    for (int b = 0; b < blocks; ++b)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            left[(size_t) i] = random.nextFloat() * 0.2f - 0.1f;
            right[(size_t) i] = random.nextFloat() * 0.2f - 0.1f;
        }

        // The chunk path refreshes the settings once per block, as here.
        const auto began = std::chrono::steady_clock::now();
        preVerb.applyTypeSettings (3);
        preVerb.setEarlyMix (30.0f);
        preVerb.processStereo (left.data(), right.data(), blockSize);
        busy += std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();
    }

    return busy / (blocks * blockSize / rate);
}
} // namespace

void runPreVerbBench (std::ostream& out)
{
    constexpr double seconds = 20.0;

    for (const bool shimmer : { false, true })
    {
        const double perSecond = timePreVerb (shimmer, 512, seconds);
        out << "PreVerb (" << (shimmer ? "Shimmer" : "normal") << "), stereo 44.1 kHz, block 512: "
            << perSecond * 1000.0 << " ms CPU per second of audio (" << perSecond * 100.0 << " % of one core)\n";
    }
}
