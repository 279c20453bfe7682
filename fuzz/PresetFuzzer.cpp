// Preset files: whatever a user drops into the preset folder or opens from anywhere.

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzzsupport::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzsupport;

    const auto file = writeScratch ("input.rev", data, size);
    auto& processor = processorAtDefaults();
    const auto before = snapshot (processor);
    const bool loaded = processor.loadPreset (file);
    const auto after = snapshot (processor);

    checkValues (processor);
    check (loaded || (after.values == before.values && after.sameSelection (before)),
           "a refused preset changed something");
    checkOnlyNamedChanged (processor, before, after, data, size);
    check (after.sameSelection (before), "a preset changed the impulse-response selection");

    processor.loadPreset (file);
    checkSameValues (processor, after, snapshot (processor), "loading the same preset again moved");
    return 0;
}
