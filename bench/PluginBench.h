#pragma once

#include <iosfwd>

/** Whole-plug-in figures: realtime factors, per-block load at small host buffers, the cost of a pair switch, and
    our convolution pair against two bare JUCE engines. Returns the pair's cost per second of audio at defaults. */
double runPluginBench (std::ostream& out);
