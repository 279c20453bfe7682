#pragma once

/** Prints the cost of the input cut filters and the five equaliser bands per second of stereo 44.1 kHz audio. */
void runEqualiserBench();
