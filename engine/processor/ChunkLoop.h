#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>

/** Runs `processChunk` over a host block in pieces no longer than `chunkLength` samples.

    A block that fits is handed over as it is; a longer one is walked in order through buffers that refer to the
    host's channel memory, so nothing is copied and nothing is allocated (a buffer keeps a few channel pointers in
    its own fixed space). A block of 0 samples still reaches `processChunk` once.
*/
template <typename ChunkFunction>
void forEachChunk (juce::AudioBuffer<float>& block, int chunkLength, ChunkFunction&& processChunk)
{
    const int numSamples = block.getNumSamples();
    chunkLength = std::max (chunkLength, 1);

    if (numSamples <= chunkLength)
    {
        processChunk (block);
        return;
    }

    for (int start = 0; start < numSamples; start += chunkLength)
    {
        juce::AudioBuffer<float> chunk (block.getArrayOfWritePointers(), block.getNumChannels(), start,
                                        std::min (chunkLength, numSamples - start));
        processChunk (chunk);
    }
}
