#pragma once

#include <iosfwd>

/** Prints what the open editor costs its message thread while audio plays in real time: the thread's CPU time with
    the 900 x 600 window open against the same with it closed, over one continuous audio run, as shares of a core
    and as their ratio. The window is painted offscreen the way a desktop window repaints (dirty regions, 60 times
    a second), so no display is needed. Call it on the message thread. */
void runEditorBench (std::ostream& out);
