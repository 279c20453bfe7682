#pragma once

#include <fftw3.h>

#include <vector>

/** The yardstick for the engines: a plain uniformly partitioned FFTW convolver for one channel, overlap-save with
    partitions of `partition` samples and a latency of one partition, as JUCE's engines run at a latency of 1024. */
class PlainConvolver
{
public:
    PlainConvolver (const float* response, int length, int partition);
    ~PlainConvolver();

    PlainConvolver (const PlainConvolver&) = delete;
    PlainConvolver& operator= (const PlainConvolver&) = delete;

    void process (const float* input, float* output, int numSamples) noexcept;

private:
    void runPartition() noexcept;

    int size;     // partition length N; the transforms have 2 N points
    int bins;     // N + 1
    int numPartitions;
    int newest = 0; // slot of the newest input spectrum in the ring
    int fill = 0;   // samples gathered towards the next partition
    float* window;  // the last 2 N input samples
    float* result;  // the inverse transform's output
    fftwf_complex* spectrum;
    fftwf_complex* sum;
    std::vector<fftwf_complex*> responseSpectra, inputSpectra;
    std::vector<float> pending, ready; // input of the partition being gathered, output of the last one
    fftwf_plan forward, inverse;
};
