#pragma once

#include <ostream>

/** Times the early reverb alone on stereo noise at 44.1 kHz, in its normal and its Shimmer setting, and prints
    the CPU time it needs per second of audio. */
void runPreVerbBench (std::ostream& out);
