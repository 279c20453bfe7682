#pragma once

/** CPU seconds that the ducking stage needs for one second of stereo 44.1 kHz audio, keyed by a stereo side-chain
    at 50 % in 512-sample chunks (the best of three runs of 20 seconds each). */
double duckingSecondsPerSecond();
