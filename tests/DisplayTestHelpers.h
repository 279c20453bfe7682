#pragma once

#include "TestHelpers.h"

#include "editor/FrequencyCurve.h"
#include "engine/parameters/ParameterIds.h"

#include <chrono>
#include <thread>

#include <cmath>
#include <vector>

namespace juce
{
// Dispatches one pending message of the Linux run loop; the same routine the plug-in wrapper's message thread uses.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace display_testing
{
/** Sizes the analyser hand-over to one second and raises the flag last, as the editor does when it opens. */
inline void openAnalyser (VellumarProcessor& processor)
{
    const auto n = (int) processor.processSpec.sampleRate;
    processor.analyserFifo.setTotalSize (n);
    processor.analyserBuffer.setSize (1, n, false, true, false);
    processor.analyserFifo.reset();
    processor.analyserBuffer.clear();
    processor.analyserEnabled.store (true);
}

/** Writes samples into the analyser FIFO as the chunk path does: all of them or, without room, none. */
inline bool pushToAnalyser (VellumarProcessor& processor, const float* samples, int n)
{
    auto& fifo = processor.analyserFifo;

    if (fifo.getFreeSpace() < n)
        return false;

    int start1, size1, start2, size2;
    fifo.prepareToWrite (n, start1, size1, start2, size2);
    processor.analyserBuffer.copyFrom (0, start1, samples, size1);

    if (size2 > 0)
        processor.analyserBuffer.copyFrom (0, start2, samples + size1, size2);

    fifo.finishedWrite (size1 + size2);
    processor.analyserDataReady.exchange (true);
    return true;
}

/** Where the FIFO's reader stands; only known while something is ready, -1 otherwise. */
inline int readPosition (juce::AbstractFifo& fifo)
{
    if (fifo.getNumReady() == 0)
        return -1;

    int start1, size1, start2, size2;
    fifo.prepareToRead (1, start1, size1, start2, size2);
    return start1;
}

struct PathElement
{
    juce::Path::Iterator::PathElementType type;
    juce::Point<float> point;
};

inline std::vector<PathElement> elementsOf (const juce::Path& path)
{
    std::vector<PathElement> result;
    juce::Path::Iterator it (path);

    while (it.next())
        result.push_back ({ it.elementType, { it.x1, it.y1 } });

    return result;
}

/** Runs the message loop until the curve's timer has drawn every change made so far; false if it has not after
    ten seconds. */
inline bool waitForCurve (FrequencyCurve& curve)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds (10);

    while (curve.hasPendingChange())
    {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }

    return true;
}

inline juce::String bandId (int band, const char* suffix) { return juce::String (band) + suffix; }

/** Sets all five parameters of a band, in its own units. */
inline void setBand (VellumarProcessor& processor, int band, bool on, int type, float frequency, float gainDb, float q)
{
    using testing_helpers::setParameter;
    setParameter (processor, bandId (band, ids::bandOn), on ? 1.0f : 0.0f);
    setParameter (processor, bandId (band, ids::bandType), (float) type);
    setParameter (processor, bandId (band, ids::bandFreq), frequency);
    setParameter (processor, bandId (band, ids::bandGain), gainDb);
    setParameter (processor, bandId (band, ids::bandQ), q);
}

/** The magnitude of a biquad given by raw coefficients (b0, b1, b2, a0, a1, a2) at a frequency, in double. */
inline double biquadMagnitude (const std::array<double, 6>& c, double frequency, double sampleRate)
{
    const double w = juce::MathConstants<double>::twoPi * frequency / sampleRate;
    const std::complex<double> z1 = std::polar (1.0, -w), z2 = std::polar (1.0, -2.0 * w);
    return std::abs ((c[0] + c[1] * z1 + c[2] * z2) / (c[3] + c[4] * z1 + c[5] * z2));
}

/** The cookbook peak, shelves and second-order cuts, worked out independently in double. Types as the band's
    Type parameter: 0 low cut, 1 low shelf, 2 peak, 3 high shelf, 4 high cut. */
inline double analyticBandMagnitude (int type, double f0, double q, double gainDb, double frequency, double sampleRate)
{
    const double A = std::pow (10.0, gainDb / 40.0);
    const double w0 = juce::MathConstants<double>::twoPi * f0 / sampleRate;
    const double cw = std::cos (w0), sw = std::sin (w0);
    const double alpha = sw / (2.0 * q);
    const double beta = sw * std::sqrt (A) / q; // the shelves' 2 sqrt(A) alpha, with this Q's meaning
    std::array<double, 6> c {};

    switch (type)
    {
        case 0: c = { (1 + cw) / 2, -(1 + cw), (1 + cw) / 2, 1 + alpha, -2 * cw, 1 - alpha }; break;
        case 4: c = { (1 - cw) / 2, 1 - cw, (1 - cw) / 2, 1 + alpha, -2 * cw, 1 - alpha }; break;
        case 2: c = { 1 + alpha * A, -2 * cw, 1 - alpha * A, 1 + alpha / A, -2 * cw, 1 - alpha / A }; break;
        case 1:
            c = { A * ((A + 1) - (A - 1) * cw + beta), 2 * A * ((A - 1) - (A + 1) * cw), A * ((A + 1) - (A - 1) * cw - beta),
                  (A + 1) + (A - 1) * cw + beta, -2 * ((A - 1) + (A + 1) * cw), (A + 1) + (A - 1) * cw - beta };
            break;
        default:
            c = { A * ((A + 1) + (A - 1) * cw + beta), -2 * A * ((A - 1) + (A + 1) * cw), A * ((A + 1) + (A - 1) * cw - beta),
                  (A + 1) - (A - 1) * cw + beta, 2 * ((A - 1) - (A + 1) * cw), (A + 1) - (A - 1) * cw - beta };
            break;
    }

    return biquadMagnitude (c, frequency, sampleRate);
}
} // namespace display_testing
