#pragma once

#include <iosfwd>

/** Whole-plug-in figures: realtime factors, per-block load at small host buffers, the cost of a pair switch, and
    the whole plug-in and our convolution pair against bare engines and a plain FFTW convolver. Returns the pair's
    CPU cost per second of audio at defaults. */
double runPluginBench (std::ostream& out);

/** Only the first of those figures: the whole plug-in at defaults against the bare engines and the plain
    convolver, at blocks of 1024 and 64. */
void runPluginRatios (std::ostream& out);
