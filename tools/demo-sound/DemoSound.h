#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A short dry phrase to hear a reverb on: plucked notes, a hand clap and a kick, with silence between the
    hits so the tail can be heard. Synthesised here, deterministic, stereo. */
juce::AudioBuffer<float> makeDemoSound (double sampleRate);
