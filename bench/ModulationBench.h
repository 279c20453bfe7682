#pragma once

/** CPU seconds the modulation stage spends on one second of stereo 44.1 kHz audio (512-sample chunks, full depth,
    5 Hz), in vibrato or in tremolo mode; the stage alone, without the rest of the processor. */
double benchmarkModulationStage (bool tremolo, int secondsOfAudio = 20);
