// The state block a host hands back: any bytes, from a damaged session or another plug-in.

#include "fuzz/FuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzzsupport::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzsupport;

    if (size > (1u << 24))
        return -1;

    auto& processor = processorAtDefaults();
    const auto before = snapshot (processor);
    processor.setStateInformation (data, (int) size);
    const auto after = snapshot (processor);

    checkValues (processor);
    checkOnlyNamedChanged (processor, before, after, data, size);

    // A block that does not start with this plug-in's tree is refused whole.
    const auto rootType = processor.apvts.state.getType().toString();
    const auto rootLength = (size_t) rootType.getNumBytesAsUTF8() + 1;
    if (size < rootLength || std::memcmp (data, rootType.toRawUTF8(), rootLength) != 0)
        check (after.values == before.values && after.sameSelection (before),
               "a foreign state block changed something");

    // Restoring is absolute: the same block again changes nothing, and what the processor then saves restores the same.
    processor.setStateInformation (data, (int) size);
    const auto again = snapshot (processor);
    checkSameValues (processor, after, again, "a second restore of the same state moved");
    check (again.sameSelection (after), "a second restore of the same state moved the selection");

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    auto& copy = processorAtDefaults (1);
    copy.setStateInformation (saved.getData(), (int) saved.getSize());
    const auto restored = snapshot (copy);
    checkSameValues (processor, after, restored, "the saved state restores differently:");
    check (restored.sameSelection (after), "the saved state restores another selection");
    return 0;
}
