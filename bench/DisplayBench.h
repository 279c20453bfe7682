#pragma once

#include <iosfwd>

/** Prints what the editor's two live displays cost on the message thread (and, for the response curve, on the
    thread that changes a parameter): the analyser's 33 ms tick at 48 and 192 kHz, its paint, the curve's
    recompute and its paint, each with its share of one 33 ms display frame. */
void runDisplayBench (std::ostream& out);
