#pragma once

/** CPU seconds that the drive stage spends on one second of stereo 44.1 kHz noise, processed in 512-sample
    chunks at the given Drive (percent) on curve 0, the stage's default. Runs `seconds` of audio and returns the
    average; a result of 0.01 means the stage uses 1 % of one core in real time. */
double measureDriveCost (float drive, double seconds = 30.0);
