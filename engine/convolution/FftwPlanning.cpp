// The real transforms that JUCE's FFTW back-end plans for the convolution engines. JUCE plans them in place,
// unaligned and estimated, flags it fixes itself; for such plans FFTW picks a solver that copies through a scratch
// buffer it allocates at every execution, which would be on the audio thread. The link wraps JUCE's two planning
// calls (see cmake/Sources.cmake) so that every such plan is made without that buffering: its executions allocate
// nothing. Planning itself stays under JUCE's lock and FFTW's thread-safe planner (VellumarProcessor.cpp).

#if JUCE_DSP_USE_STATIC_FFTW

#include <fftw3.h>

extern "C"
{
fftwf_plan __real_fftwf_plan_dft_r2c_1d (int n, float* in, fftwf_complex* out, unsigned flags);
fftwf_plan __real_fftwf_plan_dft_c2r_1d (int n, fftwf_complex* in, float* out, unsigned flags);

fftwf_plan __wrap_fftwf_plan_dft_r2c_1d (int n, float* in, fftwf_complex* out, unsigned flags)
{
    return __real_fftwf_plan_dft_r2c_1d (n, in, out, flags | FFTW_NO_BUFFERING);
}

fftwf_plan __wrap_fftwf_plan_dft_c2r_1d (int n, fftwf_complex* in, float* out, unsigned flags)
{
    return __real_fftwf_plan_dft_c2r_1d (n, in, out, flags | FFTW_NO_BUFFERING);
}
}

#endif
