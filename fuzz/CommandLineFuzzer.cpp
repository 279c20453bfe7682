// vellumar-render's command line, one argument a line, and the --set values it hands to the parameters.

#include "fuzz/FuzzSupport.h"
#include "host/PathBytes.h"
#include "host/Render.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzzsupport::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzsupport;

    // Converted one by one as main() does with argv (which holds no NUL: an argument ends at the first one). The
    // bytes of each argument must come back unchanged, for file names that are not UTF-8.
    juce::StringArray args;
    const auto* bytes = reinterpret_cast<const char*> (data);
    for (size_t start = 0; start <= size;)
    {
        const auto* end = start < size ? static_cast<const char*> (std::memchr (bytes + start, '\n', size - start))
                                       : nullptr;
        const auto length = end != nullptr ? (size_t) (end - bytes) - start : size - start;
        const std::string arg (bytes + start, strnlen (bytes + start, length));
        args.add (pathbytes::argumentText (arg.c_str()));
        check (pathbytes::bytesOf (args[args.size() - 1]) == arg, "an argument's bytes changed on the way");
        start += length + 1;
    }

    juce::String error;
    const auto options = parseRenderOptions (args, error);

    if (! options)
    {
        check (error.isNotEmpty(), "a refused command line gave no reason");
        return 0;
    }

    const auto tail = options->tailSeconds.value_or (0.0);
    check (options->blockSize >= 1 && options->blockSize <= 65536, "accepted block size:",
           juce::String (options->blockSize));
    check (std::isfinite (tail) && tail >= 0.0 && tail <= 600.0, "accepted tail:", juce::String (tail));
    check (options->showHelp || options->listParameters
               || (options->input != juce::File() && options->output != juce::File()),
           "accepted a render without both files");

    // Each --set either moves only the parameter it names, to a value in range, or is refused with a reason
    // and moves nothing.
    auto& processor = processorAtDefaults();
    const auto parameterIds = processor.getParameterIds();

    for (const auto& [id, text] : options->settings)
    {
        const auto before = snapshot (processor);
        juce::String settingError;
        const bool applied = applySetting (processor, id, text, settingError);
        const auto after = snapshot (processor);
        checkValues (processor);
        check (after.sameSelection (before), "--set changed the selection");

        for (int i = 0; i < parameterIds.size(); ++i)
            if (before.values[(size_t) i] != after.values[(size_t) i] && (! applied || parameterIds[i] != id))
                fail ("--set moved a parameter it does not name:", id + "=" + text + " moved " + parameterIds[i]);

        check (applied || settingError.isNotEmpty(), "a refused --set gave no reason:", id + "=" + text);
    }

    return 0;
}
