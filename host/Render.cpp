#include "host/Render.h"

#include "engine/processor/OfflineRendering.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"
#include "engine/state/StateData.h"
#include "host/OutputFile.h"
#include "host/PathBytes.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
#include <cmath>
#include <ostream>

namespace
{
// The unit a number parameter is set in; the others (band Q, drive type, switches, choices) take plain numbers.
juce::String unitOf (const juce::String& id)
{
    if (id == ids::preDelay)
        return "ms";
    if (id == ids::decay)
        return "s";
    if (id == ids::lfoSpeed || id == ids::lowCut || id == ids::highCut || id.endsWith (ids::bandFreq))
        return "Hz";
    if (id == ids::outGain || id.endsWith (ids::bandGain))
        return "dB";
    if (juce::StringArray { ids::preVerb, ids::lfoDepth, ids::character, ids::drive, ids::sideChain, ids::width,
                            ids::mix }.contains (id))
        return "%";
    return {};
}

enum class Reading
{
    number,
    notANumber,
    wrongUnit
};

// "2.5 kHz" -> 2500 for a parameter in Hz, "0.2 s" -> 200 for one in ms, "-3 dB" -> -3. A unit must be the
// parameter's own or convert to it; the number must be one as a whole. In double: a float cannot hold every
// number that can be typed.
Reading readNumber (const juce::String& text, const juce::String& unit, double& value)
{
    const auto t = text.trim();
    int unitStart = t.length();

    while (unitStart > 0 && (juce::CharacterFunctions::isLetter (t[unitStart - 1]) || t[unitStart - 1] == '%'))
        --unitStart;

    const auto number = statedata::numberFromText (t.substring (0, unitStart));
    const auto given = t.substring (unitStart);

    if (! number)
        return Reading::notANumber;

    struct Conversion
    {
        const char* from;
        const char* to;
        double factor;
    };
    static constexpr Conversion conversions[] { { "Hz", "Hz", 1.0 }, { "kHz", "Hz", 1000.0 }, { "ms", "ms", 1.0 },
                                                { "s", "ms", 1000.0 },  { "s", "s", 1.0 },        { "ms", "s", 0.001 },
                                                { "%", "%", 1.0 },      { "dB", "dB", 1.0 } };

    if (given.isEmpty())
    {
        value = *number;
        return Reading::number;
    }

    for (const auto& c : conversions)
    {
        if (given.equalsIgnoreCase (c.from) && unit == c.to)
        {
            value = *number * c.factor;
            return Reading::number;
        }
    }

    const bool known = juce::StringArray { "Hz", "kHz", "ms", "s", "%", "dB" }.contains (given, true);
    return known ? Reading::wrongUnit : Reading::notANumber;
}

// The bounds are floats: 0.2 is held as 0.200000003, above the 0.2 that --list-params prints and a user types. A
// value within a float's precision of a bound counts as the bound.
bool withinRange (double value, const juce::NormalisableRange<float>& range)
{
    const auto slack = [] (float bound) { return 1.0e-6 * std::abs ((double) bound); };
    return std::isfinite (value) && value >= range.start - slack (range.start) && value <= range.end + slack (range.end);
}

juce::String rangeText (const juce::NormalisableRange<float>& range)
{
    return juce::String (range.start) + " to " + juce::String (range.end);
}
} // namespace

bool applySetting (VellumarProcessor& processor, const juce::String& id, const juce::String& text, juce::String& error)
{
    auto* parameter = processor.apvts.getParameter (id);

    if (parameter == nullptr)
    {
        error = "unknown parameter ID \"" + id + "\" (vellumar-render --list-params shows them all)";
        return false;
    }

    const auto& range = parameter->getNormalisableRange();
    const auto unit = unitOf (id);
    auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter);
    const bool isSwitch = dynamic_cast<juce::AudioParameterBool*> (parameter) != nullptr;
    // Switches and choices (the drive type among them) have whole steps; a fraction names none of them.
    const bool stepped = choice != nullptr || isSwitch || (unit.isEmpty() && range.interval == 1.0f);
    double value = 0.0;
    const auto reading = readNumber (text, unit, value);

    if (reading == Reading::wrongUnit)
    {
        error = "value \"" + text + "\" for " + id
                + (unit.isEmpty() ? " has a unit, but " + id + " takes a plain number"
                                  : " has the wrong unit: " + id + " is set in " + unit);
        return false;
    }

    if (reading == Reading::number)
    {
        if (! withinRange (value, range))
        {
            error = "value \"" + text + "\" for " + id + " is outside its range, " + rangeText (range);
            return false;
        }

        if (stepped && value != std::floor (value))
        {
            error = "value \"" + text + "\" for " + id + " is not a whole number: "
                    + (isSwitch ? juce::String ("it must be On or Off (or 1 or 0)")
                                : id + " takes " + rangeText (range)
                                      + (choice != nullptr ? " or one of: " + choice->choices.joinIntoString (", ")
                                                           : juce::String()));
            return false;
        }

        parameter->setValueNotifyingHost (range.convertTo0to1 ((float) value));
        return true;
    }

    if (choice != nullptr)
    {
        for (int i = 0; i < choice->choices.size(); ++i)
        {
            if (choice->choices[i].equalsIgnoreCase (text.trim()))
            {
                parameter->setValueNotifyingHost (range.convertTo0to1 ((float) i));
                return true;
            }
        }

        error = "value \"" + text + "\" for " + id + " is none of: " + choice->choices.joinIntoString (", ");
        return false;
    }

    if (isSwitch)
    {
        static const juce::StringArray onWords { "on", "true", "yes" }, offWords { "off", "false", "no" };

        if (onWords.contains (text.trim(), true) || offWords.contains (text.trim(), true))
        {
            parameter->setValueNotifyingHost (onWords.contains (text.trim(), true) ? 1.0f : 0.0f);
            return true;
        }

        error = "value \"" + text + "\" for " + id + " must be On or Off (or 1 or 0)";
        return false;
    }

    error = "value \"" + text + "\" for " + id + " is not a number (range " + rangeText (range)
            + (unit.isEmpty() ? juce::String (")") : " " + unit + ")");
    return false;
}

juce::String describeParameters (VellumarProcessor& processor)
{
    juce::String result;
    result << "ID\tname\trange\tdefault\tvalue\n";

    for (auto* p : processor.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (ranged == nullptr)
            continue;

        const auto& range = ranged->getNormalisableRange();
        const auto defaultValue = range.convertFrom0to1 (ranged->getDefaultValue());
        result << ranged->paramID << "\t" << ranged->getName (64) << "\t" << rangeText (range) << "\t"
               << ranged->getText (ranged->getDefaultValue(), 64) << " (" << defaultValue << ")\t"
               << ranged->getCurrentValueAsText() << (ranged->isAutomatable() ? "" : "\t(not automatable)") << "\n";
    }

    return result;
}

namespace
{
// Reads the preset through the name's own bytes (it need not be UTF-8) and applies it; false with the reason in
// `error`. The plug-in's own report of a refused preset goes to standard output, except with --quiet.
bool applyPresetFile (VellumarProcessor& processor, const RenderOptions& options, std::ostream& out,
                      std::ostream& err, juce::String& error)
{
    const auto& file = options.preset;

    if (const auto problem = pathbytes::whyNotAFile (file); problem.isNotEmpty())
    {
        error = "preset file " + problem + ": " + file.getFullPathName();
        return false;
    }

    auto in = pathbytes::openForReading (file);
    juce::MemoryBlock bytes;
    if (in != nullptr)
        in->readIntoMemoryBlock (bytes, VellumarProcessor::longestPreset);

    const auto before = processor.apvts.copyState().toXmlString();

    if (in == nullptr || ! processor.applyPreset (bytes.getData(), bytes.getSize()))
    {
        if (! options.quiet)
            out << "LOAD PRESET ERROR\n" << std::flush;
        error = "the preset file is not a preset of this plug-in (damaged, empty or of another kind): "
                + file.getFullPathName();
        return false;
    }

    if (processor.apvts.copyState().toXmlString() == before && ! options.quiet)
        err << "vellumar-render: note: the preset " << pathbytes::bytesOf (file.getFileName()) << " changed no setting\n";

    return true;
}

// The preset first, then the --set values in their order; false with the reason in `error`.
bool applyPresetAndSettings (VellumarProcessor& processor, const RenderOptions& options, std::ostream& out,
                             std::ostream& err, juce::String& error)
{
    if (options.preset != juce::File() && ! applyPresetFile (processor, options, out, err, error))
        return false;

    for (const auto& [id, text] : options.settings)
        if (! applySetting (processor, id, text, error))
            return false;

    return true;
}

// The bus layout follows the files: a mono or stereo main input, stereo out, and the key when one is given. The
// processor is then prepared as a host prepares it, and its engines are loaded before the first block.
bool prepareForFiles (VellumarProcessor& processor, const RenderInput& audio, int blockSize, juce::String& error)
{
    const int keyChannels = audio.key.getNumChannels();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (audio.input.getNumChannels() == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo());
    layout.inputBuses.add (keyChannels == 0 ? juce::AudioChannelSet::disabled()
                           : keyChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());

    if (! processor.setBusesLayout (layout))
    {
        error = "the plug-in refused the bus layout for these files";
        return false;
    }

    processor.setNonRealtime (true);
    processor.setRateAndBufferSizeDetails (audio.sampleRate, blockSize);
    processor.prepareToPlay (audio.sampleRate, blockSize);
    waitForImpulseResponses (processor);
    return true;
}

// Plays the input (and key) through the processor in host blocks, followed by silence, `total` samples in all, and
// writes each block as it comes, so memory does not grow with the length. Adds the time spent inside processBlock
// to `processingSeconds`; false when writing fails.
bool renderBlocks (VellumarProcessor& processor, const RenderInput& audio, const RenderOptions& options, int total,
                   juce::AudioFormatWriter& writer, std::ostream& err, double& processingSeconds)
{
    const int blockSize = options.blockSize;
    const int mainInputs = audio.input.getNumChannels();
    const int numChannels = std::max (processor.getTotalNumInputChannels(), processor.getTotalNumOutputChannels());
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::MidiBuffer midi;
    juce::Random blockSizes (0x5eed);

    const bool showProgress = ! options.quiet && total > audio.sampleRate * 20.0;
    int nextProgress = 10;

    for (int start = 0; start < total;)
    {
        const int length = std::min (total - start, options.variableBlocks ? 1 + blockSizes.nextInt (blockSize) : blockSize);
        block.setSize (block.getNumChannels(), length, false, false, true);
        block.clear();

        const auto copyIn = [&] (const juce::AudioBuffer<float>& source, int sourceChannel, int destChannel) {
            const int available = juce::jlimit (0, length, source.getNumSamples() - start);
            if (available > 0)
                block.copyFrom (destChannel, 0, source, sourceChannel, start, available);
        };

        for (int c = 0; c < mainInputs; ++c)
            copyIn (audio.input, c, c);
        for (int c = 0; c < audio.key.getNumChannels(); ++c)
            copyIn (audio.key, c, mainInputs + c);

        const auto began = std::chrono::steady_clock::now();
        processor.processBlock (block, midi);
        processingSeconds += std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();

        // The writer takes its own number of channels, the outputs, from the front of the block.
        if (! writer.writeFromAudioSampleBuffer (block, 0, length))
            return false;

        start += length;

        if (showProgress && (juce::int64) start * 100 >= (juce::int64) total * nextProgress)
        {
            err << "vellumar-render: " << nextProgress << " %\n" << std::flush;
            nextProgress += 10;
        }
    }

    return writer.flush();
}

// A 32-bit float WAV writer on the output's stream; nothing, with the reason in `error`, when there is none.
std::unique_ptr<juce::AudioFormatWriter> openOutput (OutputFile& file, const juce::File& name, double sampleRate,
                                                     int numChannels, juce::String& error)
{
    auto stream = file.takeStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (
        juce::WavAudioFormat().createWriterFor (stream.get(), sampleRate, (unsigned int) numChannels, 32, {}, 0));

    if (writer == nullptr)
    {
        error = "cannot write a WAV file here: " + name.getFullPathName();
        return nullptr;
    }

    stream.release(); // the writer owns it now
    return writer;
}

// The output must not overwrite a file the render reads.
bool outputIsNew (const RenderOptions& options, juce::String& error)
{
    for (const auto& [file, what] : { std::pair (options.input, "input"), std::pair (options.sidechain, "side-chain"),
                                      std::pair (options.preset, "preset") })
    {
        if (file != juce::File() && (file == options.output || pathbytes::isSameFile (file, options.output)))
        {
            error = "the output file is the " + juce::String (what) + " file: " + options.output.getFullPathName();
            return false;
        }
    }

    return true;
}
} // namespace

int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err)
{
    const auto fail = [&err] (const juce::String& message) {
        err << "vellumar-render: " << pathbytes::bytesOf (message) << "\n";
        return 1;
    };

    if (options.showHelp)
    {
        out << renderUsage();
        return 0;
    }

    auto processor = std::make_unique<VellumarProcessor>();
    juce::String error;

    if (options.listParameters)
    {
        if (! applyPresetAndSettings (*processor, options, out, err, error))
            return fail (error);

        out << describeParameters (*processor);
        return 0;
    }

    // The output is checked and opened first, so that an unwritable path costs no reading or rendering.
    RenderInput audio;
    OutputFile outputFile;

    if (! outputIsNew (options, error) || ! outputFile.open (options.output, error)
        || ! readRenderInput (options, audio, error))
        return fail (error);

    for (const auto& note : audio.notes)
        if (! options.quiet)
            err << "vellumar-render: note: " << pathbytes::bytesOf (note) << "\n";

    if (! applyPresetAndSettings (*processor, options, out, err, error)
        || ! prepareForFiles (*processor, audio, options.blockSize, error))
        return fail (error);

    const double sampleRate = audio.sampleRate;
    const double decay = processor->apvts.getRawParameterValue (ids::decay)->load();
    const double preDelay = processor->apvts.getRawParameterValue (ids::preDelay)->load() / 1000.0;
    const double tail = options.tailSeconds.value_or (decay + preDelay + 0.5);
    // At most an hour of input and ten minutes of tail at 384 kHz: well inside an int.
    const int total = audio.input.getNumSamples() + (int) std::ceil (tail * sampleRate);

    auto writer = openOutput (outputFile, options.output, sampleRate, processor->getTotalNumOutputChannels(), error);
    if (writer == nullptr)
        return fail (error);

    double processingSeconds = 0.0;
    const bool written = renderBlocks (*processor, audio, options, total, *writer, err, processingSeconds);
    processor->releaseResources();
    writer.reset(); // completes the file's header

    if (! written)
        return fail ("writing the output file failed: " + options.output.getFullPathName());

    if (! outputFile.complete (error))
        return fail (error);

    const double audioSeconds = total / sampleRate;

    if (! options.quiet)
        out << "Rendered " << juce::String (audioSeconds, 2) << " s of audio ("
            << processor->getTotalNumOutputChannels() << " channels, " << juce::String (sampleRate, 0) << " Hz) to "
            << pathbytes::pathOf (options.output) << "\n"
            << "Realtime factor: " << juce::String (audioSeconds / std::max (processingSeconds, 1.0e-9), 1)
            << "x (" << juce::String (processingSeconds, 3) << " s of processing)\n";

    return 0;
}
