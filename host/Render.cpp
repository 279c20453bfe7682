#include "host/Render.h"

#include "engine/processor/OfflineRendering.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"
#include "engine/state/StateData.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
#include <cmath>
#include <ostream>

namespace
{
bool isPlainNumber (const juce::String& text)
{
    return statedata::numberFromText (text).has_value();
}

// "2.5 kHz" -> 2500, "-3 dB" -> -3; false when the text is not a number with one of the known units. In double:
// a float cannot hold every number that can be typed.
bool parseWithUnit (const juce::String& text, double& value)
{
    const auto t = text.trim();
    const int unitStart = t.indexOfAnyOf ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ%");

    if (unitStart <= 0)
        return false;

    const auto number = t.substring (0, unitStart).trim();
    const auto unit = t.substring (unitStart).trim();

    if (! isPlainNumber (number))
        return false;

    static const juce::StringArray units { "Hz", "ms", "s", "%", "dB" };

    if (unit.equalsIgnoreCase ("kHz"))
    {
        value = *statedata::numberFromText (number) * 1000.0;
        return true;
    }

    if (! units.contains (unit, true))
        return false;

    value = *statedata::numberFromText (number);
    return true;
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
    double value = 0.0;

    if (isPlainNumber (text) || parseWithUnit (text, value))
    {
        if (isPlainNumber (text))
            value = *statedata::numberFromText (text);

        if (! std::isfinite (value) || value < range.start || value > range.end)
        {
            error = "value \"" + text + "\" for " + id + " is outside its range, " + rangeText (range);
            return false;
        }

        parameter->setValueNotifyingHost (range.convertTo0to1 ((float) value));
        return true;
    }

    if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter))
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

    if (dynamic_cast<juce::AudioParameterBool*> (parameter) != nullptr)
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

    error = "value \"" + text + "\" for " + id + " is not a number (range " + rangeText (range) + ")";
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
// The preset first, then the --set values in their order; false with the reason in `error`.
bool applyPresetAndSettings (VellumarProcessor& processor, const RenderOptions& options, std::ostream& err,
                             juce::String& error)
{
    if (options.preset != juce::File())
    {
        if (! options.preset.existsAsFile())
        {
            error = "preset file not found: " + options.preset.getFullPathName();
            return false;
        }

        const auto before = processor.apvts.copyState().toXmlString();
        processor.loadPreset (options.preset);
        if (processor.apvts.copyState().toXmlString() == before && ! options.quiet)
            err << "vellumar-render: note: the preset " << options.preset.getFileName() << " changed no setting\n";
    }

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

// Plays the input (and key) through the processor in host blocks, followed by silence, `total` samples in all.
// Adds the time spent inside processBlock to `processingSeconds`.
juce::AudioBuffer<float> renderBlocks (VellumarProcessor& processor, const RenderInput& audio, const RenderOptions& options,
                                       int total, std::ostream& err, double& processingSeconds)
{
    const int blockSize = options.blockSize;
    const int numOutputs = processor.getTotalNumOutputChannels();
    const int mainInputs = audio.input.getNumChannels();
    juce::AudioBuffer<float> block (std::max (processor.getTotalNumInputChannels(), numOutputs), blockSize);
    juce::AudioBuffer<float> result (numOutputs, total);
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

        for (int c = 0; c < numOutputs; ++c)
            result.copyFrom (c, start, block, c, 0, length);

        start += length;

        if (showProgress && start * 100 >= (juce::int64) total * nextProgress)
        {
            err << "vellumar-render: " << nextProgress << " %\n" << std::flush;
            nextProgress += 10;
        }
    }

    return result;
}

// A 32-bit float WAV; false with the reason in `error`.
bool writeOutput (const juce::AudioBuffer<float>& result, double sampleRate, const juce::File& file, juce::String& error)
{
    file.deleteFile();
    auto stream = file.createOutputStream();

    if (stream == nullptr)
    {
        error = "cannot write the output file: " + file.getFullPathName();
        return false;
    }

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (stream.get(), sampleRate, (unsigned int) result.getNumChannels(), 32, {}, 0));

    if (writer == nullptr)
    {
        error = "cannot write a WAV file here: " + file.getFullPathName();
        return false;
    }

    stream.release();

    if (! writer->writeFromAudioSampleBuffer (result, 0, result.getNumSamples()) || ! writer->flush())
    {
        error = "writing the output file failed: " + file.getFullPathName();
        return false;
    }

    return true;
}
} // namespace

int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err)
{
    const auto fail = [&err] (const juce::String& message) {
        err << "vellumar-render: " << message << "\n";
        return 1;
    };

    if (options.showHelp)
    {
        out << renderUsage();
        return 0;
    }

    auto processor = std::make_unique<VellumarProcessor>();

    if (options.listParameters)
    {
        out << describeParameters (*processor);
        return 0;
    }

    juce::String error;
    RenderInput audio;

    if (! readRenderInput (options, audio, error) || ! applyPresetAndSettings (*processor, options, err, error)
        || ! prepareForFiles (*processor, audio, options.blockSize, error))
        return fail (error);

    const double sampleRate = audio.sampleRate;
    const double decay = processor->apvts.getRawParameterValue (ids::decay)->load();
    const double preDelay = processor->apvts.getRawParameterValue (ids::preDelay)->load() / 1000.0;
    const double tail = options.tailSeconds.value_or (decay + preDelay + 0.5);
    const int total = audio.input.getNumSamples() + (int) std::ceil (tail * sampleRate);

    double processingSeconds = 0.0;
    const auto result = renderBlocks (*processor, audio, options, total, err, processingSeconds);
    processor->releaseResources();

    if (! writeOutput (result, sampleRate, options.output, error))
        return fail (error);

    const double audioSeconds = total / sampleRate;

    if (! options.quiet)
        out << "Rendered " << juce::String (audioSeconds, 2) << " s of audio (" << result.getNumChannels() << " channels, "
            << juce::String (sampleRate, 0) << " Hz) to " << options.output.getFullPathName() << "\n"
            << "Realtime factor: " << juce::String (audioSeconds / std::max (processingSeconds, 1.0e-9), 1)
            << "x (" << juce::String (processingSeconds, 3) << " s of processing)\n";

    return 0;
}
