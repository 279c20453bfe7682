#pragma once

/** CPU seconds the drive stage spends on one second of stereo 44.1 kHz noise (512-sample chunks, curve 0, the
    default) at the given Drive in percent; the stage alone, without the rest of the processor. */
double benchmarkDriveStage (float drive, int secondsOfAudio = 20);
