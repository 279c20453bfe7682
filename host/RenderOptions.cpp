#include "host/RenderOptions.h"

#include "engine/state/StateData.h"
#include "host/PathBytes.h"

juce::String renderUsage()
{
    return "Usage: vellumar-render [options] INPUT.wav OUTPUT.wav\n"
           "       vellumar-render --list-params\n"
           "\n"
           "Renders a WAV file (mono or stereo) through Vellumar the way a DAW plays a track through it,\n"
           "followed by the reverb tail, and writes a 32-bit float WAV.\n"
           "\n"
           "Options:\n"
           "  --sidechain KEY.wav   key signal for the ducking stage (enables the side-chain input)\n"
           "  --block N             host block size in samples, 1 to 65536 (default 1024)\n"
           "  --variable-blocks     vary the block size from block to block (1 to N samples)\n"
           "  --set ID=VALUE        set a parameter in its own units (Decay=4.5, Mix=40) or by its text\n"
           "                        (onButton=Off, 3Type=\"High Cut\"); may be repeated\n"
           "  --preset FILE         load a preset file before the --set values are applied\n"
           "  --tail SECONDS        length of the tail after the input (default: Decay + pre-delay + 0.5 s)\n"
           "  --list-params         list every parameter: ID, name, range, default and value text\n"
           "  --quiet               print nothing but errors\n"
           "  --help                this text\n"
           "  --                    ends the options: what follows are file names (for a name that starts with -)\n";
}

namespace
{
// A file name need not be UTF-8 (main() keeps its bytes, see host/PathBytes.h); every other argument is text.
bool isText (const juce::StringArray& args, int index, juce::String& error)
{
    if (! pathbytes::holdsForeignBytes (args[index]))
        return true;

    error = "argument " + juce::String (index + 1) + " is not UTF-8 text";
    return false;
}

bool isValueOption (const juce::String& arg)
{
    return arg == "--sidechain" || arg == "--preset" || arg == "--block" || arg == "--tail" || arg == "--set";
}

// Takes the value that follows one of the options above; false with the reason in `error` when it is unusable.
bool readValue (const juce::String& arg, const juce::String& value, RenderOptions& options, juce::String& error)
{
    const auto trimmed = value.trim();

    if (arg == "--sidechain" || arg == "--preset")
    {
        auto& file = arg == "--sidechain" ? options.sidechain : options.preset;
        if (file != juce::File())
        {
            error = arg + " is given twice";
            return false;
        }
        file = juce::File::getCurrentWorkingDirectory().getChildFile (value);
    }
    else if (arg == "--block")
    {
        if (! trimmed.containsOnly ("0123456789") || trimmed.isEmpty() || trimmed.length() > 6
            || trimmed.getIntValue() < 1 || trimmed.getIntValue() > 65536)
        {
            error = "--block needs a whole number of samples from 1 to 65536, not \"" + value + "\"";
            return false;
        }
        options.blockSize = trimmed.getIntValue();
    }
    else if (arg == "--tail")
    {
        const auto seconds = statedata::numberFromText (trimmed); // the characters are checked before parsing
        if (! seconds || *seconds < 0.0 || *seconds > 600.0)
        {
            error = "--tail needs a number of seconds from 0 to 600, not \"" + value + "\"";
            return false;
        }
        options.tailSeconds = *seconds;
    }
    else // --set
    {
        const int equals = value.indexOfChar ('=');
        if (equals <= 0)
        {
            error = "--set needs ID=VALUE, not \"" + value + "\"";
            return false;
        }
        options.settings.emplace_back (value.substring (0, equals).trim(), value.substring (equals + 1).trim());
    }

    return true;
}
} // namespace

std::optional<RenderOptions> parseRenderOptions (const juce::StringArray& args, juce::String& error)
{
    RenderOptions options;
    juce::StringArray positional;
    bool optionsEnded = false;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];
        if (! optionsEnded && arg.startsWith ("-") && arg.length() > 1 && ! isText (args, i, error))
            return {};

        if (optionsEnded)
        {
            positional.add (arg);
        }
        else if (arg == "--")
        {
            optionsEnded = true;
        }
        else if (arg == "--help" || arg == "-h")
        {
            options.showHelp = true;
        }
        else if (arg == "--list-params")
        {
            options.listParameters = true;
        }
        else if (arg == "--quiet" || arg == "-q")
        {
            options.quiet = true;
        }
        else if (arg == "--variable-blocks")
        {
            options.variableBlocks = true;
        }
        else if (isValueOption (arg))
        {
            if (i + 1 >= args.size())
            {
                error = arg + " needs a value";
                return {};
            }

            ++i;
            if ((arg != "--sidechain" && arg != "--preset" && ! isText (args, i, error))
                || ! readValue (arg, args[i], options, error))
                return {};
        }
        else if (arg.startsWith ("-") && arg.length() > 1)
        {
            error = "unknown option " + arg;
            return {};
        }
        else
        {
            positional.add (arg);
        }
    }

    if (options.showHelp || options.listParameters)
        return options;

    if (positional.size() != 2)
    {
        error = positional.size() < 2 ? "an input and an output file are needed" : "too many file names: " + positional.joinIntoString (" ");
        return {};
    }

    options.input = juce::File::getCurrentWorkingDirectory().getChildFile (positional[0]);
    options.output = juce::File::getCurrentWorkingDirectory().getChildFile (positional[1]);
    return options;
}
