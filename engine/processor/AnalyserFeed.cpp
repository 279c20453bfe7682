#include "engine/processor/VellumarProcessor.h"

#include <thread>

// The editor's spectrum gets the wet signal after the equaliser: a whole chunk or nothing, never blocking.
void VellumarProcessor::feedAnalyser (const juce::dsp::AudioBlock<float>& block)
{
    if (! analyserEnabled.load())
        return;

    // An editor that opens checks this flag before it resizes the FIFO; checking the enabled flag once more after
    // raising it keeps this thread out of a FIFO that a closed editor has just handed back.
    analyserWriting = true;

    if (! analyserEnabled.load())
    {
        analyserWriting = false;
        return;
    }

    const int n = (int) block.getNumSamples();

    if (analyserFifo.getFreeSpace() < n)
    {
        analyserWriting = false;
        return;
    }

    int start1, size1, start2, size2;
    analyserFifo.prepareToWrite (n, start1, size1, start2, size2);

    analyserBuffer.copyFrom (0, start1, block.getChannelPointer (0), size1);
    if (size2 > 0)
        analyserBuffer.copyFrom (0, start2, block.getChannelPointer (0) + size1, size2);

    for (int c = 1; c < std::min (mainInputChannels, (int) block.getNumChannels()); ++c)
    {
        analyserBuffer.addFrom (0, start1, block.getChannelPointer ((size_t) c), size1);
        if (size2 > 0)
            analyserBuffer.addFrom (0, start2, block.getChannelPointer ((size_t) c) + size1, size2);
    }

    analyserFifo.finishedWrite (size1 + size2);
    analyserDataReady.exchange (true);
    analyserWriting = false;
}

void VellumarProcessor::waitUntilAnalyserIsIdle() const
{
    // One chunk's copy at most: microseconds.
    while (analyserWriting.load())
        std::this_thread::yield();
}
