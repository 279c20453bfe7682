#pragma once

class VellumarProcessor;

/** Blocks until both convolution engines run the impulse-response pair that the last preparation or selection
    handed them. A live host never waits; an offline render calls this after preparing so that its output is
    right from the first sample and the same on every run. */
void waitForImpulseResponses (VellumarProcessor& processor);
