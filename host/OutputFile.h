#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <string>

/** The file a render writes. It is written under a temporary name in the output's folder and renamed over the
    output only when complete, so that a render that fails or is interrupted (SIGINT, SIGTERM) leaves the old
    output as it was and no temporary file behind. An output that exists but is not a regular file (a device such
    as /dev/null, a FIFO) is written directly. */
class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile(); // removes the temporary file unless it was put in place

    /** Checks that the output can be written and creates the file to write; false with the reason in `error`. */
    bool open (const juce::File& output, juce::String& error);

    /** The stream to write to, once; it must be destroyed before complete(). */
    std::unique_ptr<juce::OutputStream> takeStream();

    /** Puts the written file in the output's place; false with the reason in `error` when writing or renaming
        failed. */
    bool complete (juce::String& error);

private:
    juce::File output;
    std::string target, temporary; // paths as bytes; no temporary when the output is written directly
    std::unique_ptr<juce::OutputStream> stream;
    bool failed = false; // set by the stream when a write, a flush or closing fails

    JUCE_DECLARE_NON_COPYABLE (OutputFile)
};
