#pragma once

/** CPU seconds the ducking stage spends on one second of stereo 44.1 kHz audio (512-sample chunks, SideChain 50 %),
    keyed by a stereo side-chain or, with `compressor`, by the wet signal itself; the stage alone, without the rest
    of the processor. The best of three runs. */
double benchmarkDuckingStage (bool compressor, int secondsOfAudio = 20);
