#include "bench/PlainConvolver.h"

#include <algorithm>
#include <cstring>

PlainConvolver::PlainConvolver (const float* response, int length, int partition)
    : size (partition), bins (partition + 1), numPartitions (std::max (1, (length + partition - 1) / partition))
{
    const auto points = (size_t) (2 * size);
    window = fftwf_alloc_real (points);
    result = fftwf_alloc_real (points);
    spectrum = fftwf_alloc_complex ((size_t) bins);
    sum = fftwf_alloc_complex ((size_t) bins);
    std::fill (window, window + points, 0.0f);
    pending.assign ((size_t) size, 0.0f);
    ready.assign ((size_t) size, 0.0f);

    forward = fftwf_plan_dft_r2c_1d (2 * size, window, spectrum, FFTW_MEASURE);
    inverse = fftwf_plan_dft_c2r_1d (2 * size, sum, result, FFTW_MEASURE);

    // Each partition of the response, zero-padded to 2 N points; the 1 / 2N of the inverse is folded in here.
    // FFTW's new-array execution wants the alignment of the planned arrays: the scratch is FFTW's own too.
    float* padded = fftwf_alloc_real (points);
    for (int p = 0; p < numPartitions; ++p)
    {
        std::fill (padded, padded + points, 0.0f);
        const int start = p * size;
        const int count = std::min (size, length - start);
        for (int i = 0; i < count; ++i)
            padded[i] = response[start + i] / (float) points;

        auto* h = fftwf_alloc_complex ((size_t) bins);
        fftwf_execute_dft_r2c (forward, padded, h);
        responseSpectra.push_back (h);

        auto* x = fftwf_alloc_complex ((size_t) bins);
        std::memset (x, 0, sizeof (fftwf_complex) * (size_t) bins);
        inputSpectra.push_back (x);
    }
    fftwf_free (padded);
}

PlainConvolver::~PlainConvolver()
{
    fftwf_destroy_plan (forward);
    fftwf_destroy_plan (inverse);
    for (auto* p : responseSpectra)
        fftwf_free (p);
    for (auto* p : inputSpectra)
        fftwf_free (p);
    fftwf_free (window);
    fftwf_free (result);
    fftwf_free (spectrum);
    fftwf_free (sum);
}

void PlainConvolver::process (const float* input, float* output, int numSamples) noexcept
{
    for (int i = 0; i < numSamples;)
    {
        const int n = std::min (numSamples - i, size - fill);
        std::copy (input + i, input + i + n, pending.begin() + fill);
        std::copy (ready.begin() + fill, ready.begin() + fill + n, output + i);
        fill += n;
        i += n;

        if (fill == size)
        {
            runPartition();
            fill = 0;
        }
    }
}

void PlainConvolver::runPartition() noexcept
{
    // Overlap-save: the window holds the previous and the new partition of input.
    std::memmove (window, window + size, sizeof (float) * (size_t) size);
    std::copy (pending.begin(), pending.end(), window + size);

    newest = newest == 0 ? numPartitions - 1 : newest - 1;
    fftwf_execute_dft_r2c (forward, window, inputSpectra[(size_t) newest]);

    std::memset (sum, 0, sizeof (fftwf_complex) * (size_t) bins);
    for (int p = 0; p < numPartitions; ++p)
    {
        const auto* x = inputSpectra[(size_t) ((newest + p) % numPartitions)];
        const auto* h = responseSpectra[(size_t) p];
        for (int k = 0; k < bins; ++k)
        {
            sum[k][0] += x[k][0] * h[k][0] - x[k][1] * h[k][1];
            sum[k][1] += x[k][0] * h[k][1] + x[k][1] * h[k][0];
        }
    }

    fftwf_execute_dft_c2r (inverse, sum, result);
    std::copy (result + size, result + 2 * size, ready.begin());
}
