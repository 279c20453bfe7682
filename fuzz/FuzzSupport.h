#pragma once

// What the fuzz targets share: JUCE's start-up, a look at everything a restore may change, and the checks that
// stop a run. A failed check aborts, so libFuzzer keeps the input that broke it.

#include "engine/processor/VellumarProcessor.h"

#include <juce_events/juce_events.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fuzzsupport
{
[[noreturn]] inline void fail (const char* what, const juce::String& detail = {})
{
    std::fprintf (stderr, "\nINVARIANT BROKEN: %s %s\n", what, detail.toRawUTF8());
    std::fflush (stderr);
    std::abort();
}

inline void check (bool condition, const char* what, const juce::String& detail = {})
{
    if (! condition)
        fail (what, detail);
}

/** JUCE's message manager for the whole run, kept off every X server as the tests are. */
inline void initialise()
{
    if (const char* display = std::getenv ("DISPLAY"); display == nullptr || *display == 0)
        setenv ("DISPLAY", ":32767", 1);

    // Never destroyed: libFuzzer leaves through exit(), and JUCE must not shut down under a running target.
    static auto* juceInitialiser = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (juceInitialiser);
}

/** A file on tmpfs that each input is written to, for the readers that take a file; removed when the run ends. */
inline juce::File scratchFile (const char* name)
{
    static const auto folder = [] {
        const juce::File shm ("/dev/shm");
        auto dir = (shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory))
                       .getChildFile ("vellumar-fuzz-" + juce::String ((int) getpid()));
        dir.createDirectory();
        static const juce::File toRemove = dir;
        std::atexit ([] { toRemove.deleteRecursively(); });
        return dir;
    }();

    return folder.getChildFile (name);
}

inline juce::File writeScratch (const char* name, const void* data, size_t size)
{
    auto file = scratchFile (name);
    check (file.replaceWithData (data, size), "cannot write the scratch file", file.getFullPathName());
    return file;
}

/** A processor at its defaults, as a new one starts. A new processor for each input would cost more than the
    input itself (its convolution thread takes milliseconds to stop), so a few are kept and set back instead. */
inline VellumarProcessor& processorAtDefaults (size_t index = 0)
{
    static auto* processors = new std::array<VellumarProcessor, 2>(); // lives as long as JUCE does

    auto& processor = processors->at (index);
    for (auto* parameter : processor.getParameters())
        parameter->setValueNotifyingHost (parameter->getDefaultValue());

    processor.irTypeIndex = 0;
    processor.irNumber = 1;
    processor.restoredIrSelection = -1;
    processor.irLoaded = false;
    return processor;
}

/** Every value a state, a preset or a --set may change, and the impulse-response selection. */
struct Snapshot
{
    std::vector<float> values; // in parameter order
    int irTypeIndex = 0, irNumber = 0, restoredIrSelection = 0;
    bool irLoaded = false;

    bool sameSelection (const Snapshot& other) const
    {
        return irTypeIndex == other.irTypeIndex && irNumber == other.irNumber
            && restoredIrSelection == other.restoredIrSelection && irLoaded == other.irLoaded;
    }
};

inline Snapshot snapshot (VellumarProcessor& processor)
{
    Snapshot s;
    for (const auto& id : processor.getParameterIds())
        s.values.push_back (processor.apvts.getRawParameterValue (id)->load());
    s.irTypeIndex = processor.irTypeIndex.load();
    s.irNumber = processor.irNumber.load();
    s.restoredIrSelection = processor.restoredIrSelection.load();
    s.irLoaded = processor.irLoaded.load();
    return s;
}

/** Every parameter holds a finite value within its range, and the selection names a pair that exists. */
inline void checkValues (VellumarProcessor& processor)
{
    for (const auto& id : processor.getParameterIds())
    {
        auto* parameter = processor.apvts.getParameter (id);
        const auto& range = parameter->getNormalisableRange();
        const float value = processor.apvts.getRawParameterValue (id)->load();
        const float slack = 1.0e-5f * (range.end - range.start);

        check (std::isfinite (value) && value >= range.start - slack && value <= range.end + slack,
               "parameter value outside its range:", id + " = " + juce::String (value));
        check (parameter->getValue() >= 0.0f && parameter->getValue() <= 1.0f, "normalised value outside 0..1:", id);
    }

    const int type = processor.irTypeIndex.load(), number = processor.irNumber.load();
    check (type >= 0 && type <= 4 && number >= 1 && number <= 5, "selection names no pair:",
           juce::String (type) + "/" + juce::String (number));

    if (const int restored = processor.restoredIrSelection.load(); restored != -1)
        check ((restored >> 8) >= 0 && (restored >> 8) <= 4 && (restored & 0xff) >= 1 && (restored & 0xff) <= 5,
               "restored selection names no pair:", juce::String (restored));
}

inline bool holds (const void* data, size_t size, const juce::String& text)
{
    const std::string_view bytes (static_cast<const char*> (data), size);
    return bytes.find (text.toStdString()) != std::string_view::npos;
}

/** Data that does not hold a parameter's ID cannot name it, so that parameter keeps its value; the selection changes
    only through data that names it. Refused data thus changes nothing. */
inline void checkOnlyNamedChanged (VellumarProcessor& processor, const Snapshot& before, const Snapshot& after,
                                   const void* data, size_t size)
{
    const auto parameterIds = processor.getParameterIds();

    for (int i = 0; i < parameterIds.size(); ++i)
        if (before.values[(size_t) i] != after.values[(size_t) i] && ! holds (data, size, parameterIds[i]))
            fail ("data that does not name a parameter changed it:",
                  parameterIds[i] + " " + juce::String (before.values[(size_t) i], 9) + " -> "
                      + juce::String (after.values[(size_t) i], 9));

    if (! after.sameSelection (before) && ! (holds (data, size, "irType") && holds (data, size, "irNumber")))
        fail ("data that does not name a selection changed it");
}

/** Equal within the rounding that a restore's conversions to and from the normalised range may bring. */
inline void checkSameValues (VellumarProcessor& processor, const Snapshot& a, const Snapshot& b, const char* what)
{
    const auto parameterIds = processor.getParameterIds();

    for (int i = 0; i < parameterIds.size(); ++i)
    {
        const auto& range = processor.apvts.getParameter (parameterIds[i])->getNormalisableRange();
        if (std::abs (a.values[(size_t) i] - b.values[(size_t) i]) > 1.0e-5f * (range.end - range.start))
            fail (what, parameterIds[i] + ": " + juce::String (a.values[(size_t) i]) + " vs "
                            + juce::String (b.values[(size_t) i]));
    }
}
} // namespace fuzzsupport
