// Compares a DAW's export of a track played through the plug-in with vellumar-render's output for the same input
// and settings:
//
//   vellumar-export-check EXPORT.wav REFERENCE.wav MAX_LAG TOLERANCE_DB
//
// and reads or edits the plug-in's state in a saved session (SavedState.h).
//
// The export may start later than the reference where the host does not compensate the plug-in's latency, so the
// two are aligned first: the lag is where each first rises above a fortieth of its peak, then the best of the
// lags around it and of those up to MAX_LAG (an export whose start is cut has its onset a few samples off). The
// difference over the span both cover must stay TOLERANCE_DB below the reference's peak.

#include "SavedState.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <iostream>

namespace
{
std::unique_ptr<juce::AudioBuffer<float>> readWav (const juce::String& path)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (
        wav.createReaderFor (juce::File (path).createInputStream().release(), true));

    if (reader == nullptr || reader->numChannels != 2 || reader->lengthInSamples > (1 << 24))
    {
        std::cerr << "vellumar-export-check: " << path << " is not a stereo WAV file of at most 2^24 frames\n";
        return {};
    }

    auto buffer = std::make_unique<juce::AudioBuffer<float>> (2, (int) reader->lengthInSamples);
    reader->read (buffer.get(), 0, buffer->getNumSamples(), 0, true, true);
    return buffer;
}

float peak (const juce::AudioBuffer<float>& b)
{
    return juce::jmax (b.getMagnitude (0, 0, b.getNumSamples()), b.getMagnitude (1, 0, b.getNumSamples()));
}

int onset (const juce::AudioBuffer<float>& b)
{
    const float threshold = peak (b) / 40.0f;

    for (int i = 0; i < b.getNumSamples(); ++i)
        if (std::abs (b.getSample (0, i)) > threshold || std::abs (b.getSample (1, i)) > threshold)
            return i;

    return 0;
}

// The largest difference between export[i + lag] and reference[i] where both exist.
float largestDifference (const juce::AudioBuffer<float>& exported, const juce::AudioBuffer<float>& reference, int lag)
{
    const int first = juce::jmax (0, -lag);
    const int end = juce::jmin (reference.getNumSamples(), exported.getNumSamples() - lag);
    float largest = 0.0f;

    for (int c = 0; c < 2; ++c)
        for (int i = first; i < end; ++i)
            largest = juce::jmax (largest, std::abs (exported.getSample (c, i + lag) - reference.getSample (c, i)));

    return largest;
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc > 1 && (juce::String (argv[1]) == "select" || juce::String (argv[1]) == "expect"))
        return savedStateMain (argc, argv);

    if (argc != 5)
    {
        std::cerr << "Usage: vellumar-export-check EXPORT.wav REFERENCE.wav MAX_LAG TOLERANCE_DB\n";
        return 2;
    }

    const auto exported = readWav (argv[1]);
    const auto reference = readWav (argv[2]);
    const int maxLag = juce::String (argv[3]).getIntValue();
    const float toleranceDb = juce::String (argv[4]).getFloatValue();

    if (exported == nullptr || reference == nullptr)
        return 2;

    if (peak (*reference) < 1.0e-3f || peak (*exported) < 1.0e-3f)
    {
        std::cerr << "vellumar-export-check: " << (peak (*exported) < 1.0e-3f ? argv[1] : argv[2]) << " is silent\n";
        return 1;
    }

    const int roughLag = onset (*exported) - onset (*reference);
    int lag = roughLag;
    float difference = largestDifference (*exported, *reference, lag);

    const int lastCandidate = juce::jmax (roughLag + 8, maxLag);

    for (int candidate = juce::jmin (roughLag - 8, -maxLag); candidate <= lastCandidate; ++candidate)
    {
        if (const float d = largestDifference (*exported, *reference, candidate); d < difference)
        {
            lag = candidate;
            difference = d;
        }
    }

    const float differenceDb = juce::Decibels::gainToDecibels (difference / peak (*reference), -200.0f);
    const int covered = juce::jmin (reference->getNumSamples(), exported->getNumSamples() - lag) - juce::jmax (0, -lag);
    std::cout << "export lags the reference by " << lag << " samples; over " << covered
              << " frames the largest difference is " << juce::String (differenceDb, 1) << " dB of the reference's peak"
              << " (tolerance " << toleranceDb << " dB)\n";

    if (std::abs (lag) > maxLag || covered < reference->getNumSamples() / 2)
    {
        std::cerr << "vellumar-export-check: the lag is beyond " << maxLag << " samples or the files barely overlap\n";
        return 1;
    }

    return differenceDb <= toleranceDb ? 0 : 1;
}
