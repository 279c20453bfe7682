#include "engine/VellumarProcessor.h"

#include "editor/VellumarProcessorEditor.h"

#include "engine/ChunkLoop.h"
#include "engine/ParameterIds.h"
#include "engine/StateData.h"

#include <cmath>
#include <cstdio>
#include <thread>

#if JUCE_DSP_USE_STATIC_FFTW
extern "C" void fftwf_make_planner_thread_safe (void);
#endif

namespace
{
// JUCE plans its FFTW transforms under a lock of its own, but other plug-ins in the same host may plan with the
// same FFTW library at the same time; FFTW's planner is only safe across threads once it is told so.
void makeFftPlannerThreadSafe()
{
#if JUCE_DSP_USE_STATIC_FFTW
    static const bool done = [] { fftwf_make_planner_thread_safe(); return true; }();
    juce::ignoreUnused (done);
#endif
}
} // namespace

//==============================================================================
VellumarProcessor::BusesProperties VellumarProcessor::makeBuses()
{
    // This runs first in every construction, before any engine could plan a transform.
    makeFftPlannerThreadSafe();

    // JUCE's LV2 wrapper reads every input port it declared without checking that the host connected it, and it
    // declares the ports of a bus that is off by default as optional. An LV2 host that leaves the key unconnected
    // would crash the plug-in, so there the side-chain is a required port: on from the start.
    const bool sidechainOnByDefault = juce::PluginHostType::getPluginLoadedAs() == juce::AudioProcessor::wrapperType_LV2;

    return BusesProperties()
        .withInput ("Input", juce::AudioChannelSet::stereo(), true)
        .withInput ("Sidechain", juce::AudioChannelSet::stereo(), sidechainOnByDefault)
        .withOutput ("Output", juce::AudioChannelSet::stereo(), true);
}

VellumarProcessor::VellumarProcessor()
    : juce::AudioProcessor (makeBuses()),
      apvts (*this, nullptr, "Parameters", createParameters())
{
    preDelaySmoother.reset (12800);

    for (int n = 1; n <= (int) bands.size(); ++n)
    {
        auto& band = bands[(size_t) n - 1];
        band.onValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandOn));
        band.typeValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandType));
        band.freqValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandFreq));
        band.gainValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandGain));
        band.qValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandQ));

        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            apvts.addParameterListener (bandParameterId (n, suffix), &band);
    }

    apvts.addParameterListener (ids::lowCut, this);
    apvts.addParameterListener (ids::highCut, this);
}

VellumarProcessor::~VellumarProcessor()
{
    for (int n = 1; n <= (int) bands.size(); ++n)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            apvts.removeParameterListener (bandParameterId (n, suffix), &bands[(size_t) n - 1]);

    apvts.removeParameterListener (ids::lowCut, this);
    apvts.removeParameterListener (ids::highCut, this);
}

//==============================================================================
const juce::String VellumarProcessor::getName() const { return "Vellumar"; }
void VellumarProcessor::releaseResources() {}
double VellumarProcessor::getTailLengthSeconds() const { return 0.0; }
bool VellumarProcessor::acceptsMidi() const { return false; }
bool VellumarProcessor::producesMidi() const { return false; }
bool VellumarProcessor::isMidiEffect() const { return false; }
juce::AudioProcessorEditor* VellumarProcessor::createEditor() { return new VellumarProcessorEditor (*this, apvts); }
bool VellumarProcessor::hasEditor() const { return true; }
int VellumarProcessor::getNumPrograms() { return 1; }
int VellumarProcessor::getCurrentProgram() { return 0; }
void VellumarProcessor::setCurrentProgram (int) {}
const juce::String VellumarProcessor::getProgramName (int) { return {}; }
void VellumarProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
// Hosts other than AAX keep only what the state block holds, so it carries the parameter tree in the same binary
// form as a preset file. Data that is not such a tree (empty, damaged, from another plug-in) changes nothing.
//
// The Hall type has no switch parameter, so the selected pair (type and number) travels as two properties of the
// root, "irType" and "irNumber": the selection playing, or the one a restore is still waiting to load. A processor
// that has never selected a pair writes neither, and its restore follows the switches as before.
void VellumarProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    destData.reset();
    juce::MemoryOutputStream stream (destData, false);
    auto state = apvts.copyState();

    if (const int restored = restoredIrSelection.load(); restored >= 0)
    {
        state.setProperty ("irType", restored >> 8, nullptr);
        state.setProperty ("irNumber", restored & 0xff, nullptr);
    }
    else if (irLoaded)
    {
        state.setProperty ("irType", irTypeIndex.load(), nullptr);
        state.setProperty ("irNumber", irNumber.load(), nullptr);
    }

    state.writeToStream (stream);
}

void VellumarProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    const auto read = statedata::readTree (data, (size_t) sizeInBytes);

    if (! read.complete || ! read.tree.hasType (apvts.state.getType()))
        return;

    installParameterTree (statedata::keepKnownParameters (read.tree, apvts.state.getType(), getParameterIds()));
    restoreIrSelection (read.tree);
}

// A processor that already plays a pair changes to the restored one at once; otherwise the first preparation
// loads it in place of the one the switches name. A selection out of range is ignored.
void VellumarProcessor::restoreIrSelection (const juce::ValueTree& state)
{
    const auto& type = state.getProperty ("irType");
    const auto& number = state.getProperty ("irNumber");

    if (! (type.isInt() || type.isInt64()) || ! (number.isInt() || number.isInt64()))
        return;

    const auto typeIndex = (juce::int64) type;
    const auto variant = (juce::int64) number;

    if (typeIndex < 0 || typeIndex > 4 || variant < 1 || variant > 5)
        return;

    if (irLoaded)
        loadIrSelection ((int) typeIndex, (int) variant);
    else
        restoredIrSelection = (int) (typeIndex << 8 | variant);
}

void VellumarProcessor::loadIrSelection (int typeIndex, int number)
{
    irLoaded = true;
    irTypeIndex = typeIndex;
    irNumber = number;
    decodeIRPair();
    updateIRParameters();
}

juce::StringArray VellumarProcessor::getParameterIds() const
{
    juce::StringArray result;

    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*> (parameter))
            result.add (withId->paramID);

    return result;
}

// A preset is a parameter tree in the binary stream form. A file that cannot be opened is reported on standard
// output; one that opens but does not start with a tree (empty, foreign) is treated the same way, since
// installing an empty state would silently empty the session the host saves. A tree that breaks off part-way
// still applies what it holds. Only children naming a parameter with a finite value (or none) are installed.
void VellumarProcessor::loadPreset (juce::File file)
{
    juce::FileInputStream stream (file);
    juce::MemoryBlock bytes;

    if (stream.openedOk())
        stream.readIntoMemoryBlock (bytes);

    const auto read = statedata::readTree (bytes.getData(), bytes.getSize());
    const auto tree = statedata::keepKnownParameters (read.tree, apvts.state.getType(), getParameterIds());

    if (! stream.openedOk() || tree.getNumChildren() == 0)
    {
        std::puts ("LOAD PRESET ERROR");
        std::fflush (stdout);
        return;
    }

    installParameterTree (tree);
}

// JUCE 7's parameter state gives every parameter that the new tree does not name its default value; a preset or
// state that leaves a parameter out must leave it as it is, so those parameters join the tree with their current
// values first.
void VellumarProcessor::installParameterTree (juce::ValueTree tree)
{
    if (tree.getNumChildren() == 0)
        return;

    for (const auto& id : getParameterIds())
    {
        if (! tree.getChildWithProperty ("id", id).isValid())
        {
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", id, nullptr);
            child.setProperty ("value", apvts.getRawParameterValue (id)->load(), nullptr);
            tree.appendChild (child, nullptr);
        }
    }

    apvts.replaceState (tree);
}

//==============================================================================
bool VellumarProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto input = layouts.getMainInputChannelSet();
    const auto output = layouts.getMainOutputChannelSet();

    if (output == mono)
        return input == mono;

    if (output == stereo)
        return input == mono || input == stereo;

    return false;
}

void VellumarProcessor::parameterChanged (const juce::String&, float)
{
    updateInputEq();
}

float VellumarProcessor::limitCutoff (float frequency, double sampleRate) noexcept
{
    const auto limit = (float) (0.499 * sampleRate);
    return std::isfinite (frequency) ? juce::jlimit (1.0f, limit, frequency) : limit;
}

juce::String VellumarProcessor::bandParameterId (int bandNumber, const char* suffix)
{
    return juce::String (bandNumber) + suffix;
}

void VellumarProcessor::updateInputEq()
{
    // Before the first preparation there is no sample rate yet; the construction rate stands in.
    const double rate = processSpec.sampleRate > 0.0 ? processSpec.sampleRate : 44100.0;
    const float lowCut = apvts.getRawParameterValue (ids::lowCut)->load();
    const float highCut = apvts.getRawParameterValue (ids::highCut)->load();

    const auto lowCutSet = juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (rate, limitCutoff (lowCut, rate), 0.6f);
    const auto highCutSet = juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (rate, limitCutoff (highCut, rate), 0.7f);

    const std::lock_guard<std::mutex> lock (curveCoefficientMutex);
    *lowCutCoefficients = lowCutSet;
    *highCutCoefficients = highCutSet;
}

//==============================================================================
void VellumarProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    // The editor's selection loads the engines at this rate, on the message thread, while a host may prepare on the
    // audio thread: the rate and the engines change only under the pair's lock.
    std::unique_lock<std::mutex> irLock (irMutex);
    const auto numOutputs = (juce::uint32) getTotalNumOutputChannels();
    processSpec = { sampleRate, (juce::uint32) samplesPerBlock, numOutputs };

    dryWetMixer.prepare (processSpec);
    dryWetMixer.reset();

    preDelayLine.prepare (processSpec);
    preDelayLine.reset();
    preDelayLine.setMaximumDelayInSamples ((int) sampleRate);
    preDelayLine.reset();

    const float preDelayMs = apvts.getRawParameterValue (ids::preDelay)->load();
    preDelaySmoother.setCurrentAndTargetValue (preDelayMs);

    convolutionPair.prepare (processSpec);
    irLock.unlock();

    prepareDucking (sampleRate);

    sidechainBuffer.setSize (2, samplesPerBlock);

    lowCutFilter.prepare (processSpec);
    highCutFilter.prepare (processSpec);
    updateInputEq();

    preVerb.prepare (sampleRate);
    prepareModulation (sampleRate);

    grain.prepare (processSpec);

    for (auto& band : bands)
        band.prepare (processSpec);

    lowCutSmoother.prepare (sampleRate);
    highCutSmoother.prepare (sampleRate);

    effectFade.prepare (sampleRate, samplesPerBlock, (int) numOutputs);
    earlyReverbFade.prepare (sampleRate, samplesPerBlock, (int) numOutputs);
    inputCutFade.prepare (sampleRate, samplesPerBlock, (int) numOutputs);
    bandFade.prepare (sampleRate, samplesPerBlock, (int) numOutputs);

    widthSmoother.reset (sampleRate, 0.05);
    widthSmoother.setCurrentAndTargetValue (widthSmoother.getTargetValue());

    flipStep = 1.0f / std::max (1.0f, 0.02f * (float) sampleRate);
    stereoStageStarted = false;

    if (auto* mainInput = getBus (true, 0))
        mainInputChannels = mainInput->getNumberOfChannels();
    outputChannels = getTotalNumOutputChannels();

    {
        const std::lock_guard<std::mutex> lock (irMutex);
        loadedIrName.clear();
    }

    if (const int restored = restoredIrSelection.exchange (-1); restored >= 0)
    {
        loadIrSelection (restored >> 8, restored & 0xff);
        return;
    }

    if (irLoaded)
    {
        updateIRParameters();
        collectResponses();
        return;
    }

    // First preparation: the pair follows the switches. Room is tested before Plate, so Room wins when both are on.
    irLoaded = true;
    const auto isOn = [this] (const char* id) { return apvts.getRawParameterValue (id)->load() == 1.0f; };

    for (const auto& [id, type] : { std::pair { ids::roomButton, 1 }, std::pair { ids::plateButton, 0 },
                                    std::pair { ids::springButton, 2 }, std::pair { ids::spaceButton, 4 } })
    {
        if (isOn (id))
        {
            irTypeIndex = type;
            break;
        }
    }

    const char* numberIds[] { ids::oneButton, ids::twoButton, ids::threeButton, ids::fourButton, ids::fiveButton };

    for (int number = 1; number <= 5; ++number)
    {
        if (isOn (numberIds[number - 1]))
        {
            irNumber = number;
            break;
        }
    }

    decodeIRPair();
    updateIRParameters();
    collectResponses();
}

//==============================================================================
void VellumarProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    forEachChunk (buffer, (int) processSpec.maximumBlockSize, [this] (juce::AudioBuffer<float>& chunk) { processChunk (chunk); });
}

void VellumarProcessor::processChunk (juce::AudioBuffer<float>& buffer)
{
    // A host that sends audio before preparing gets it back untouched: no stage has its buffers yet.
    if (processSpec.sampleRate <= 0.0)
        return;

    collectResponses();

    const int n = buffer.getNumSamples();
    const auto value = [this] (const char* id) { return apvts.getRawParameterValue (id)->load(); };

    // Final mix proportion, flip target and the switch fields.
    dryWetMixer.setWetMixProportion (value (ids::mix) / 100.0f);

    const float flipTarget = apvts.getParameter (ids::lrFlipButton)->getValue() != 0.0f ? 1.0f : 0.0f;

    effectOffDisplay = value (ids::onButton) < 0.5f;
    eqOffDisplay = value (ids::onEqButton) < 0.5f;
    tremoloOn = value (ids::tremolo) >= 0.5f;
    lfoSyncOn = value (ids::lfoSync) >= 0.5f;
    compressorOn = value (ids::compressor) >= 0.5f;

    // Shimmer rebuilds and clears the early reverb, so it is switched only when the state changes, and never
    // while the early reverb is heard: it first fades out (below), switches once silent, and fades back in. The
    // first chunk after a preparation has nothing sounding yet and switches at once.
    const bool shimmerWanted = value (ids::shimmer) >= 0.5f;

    if (shimmerWanted != shimmerOn && (! stereoStageStarted || earlyReverbFade.getGain() == 0.0f))
    {
        preVerb.applyShimmerSwitch (shimmerWanted);
        shimmerOn = shimmerWanted;
    }

    // A DriveType that is not a whole curve number in range (5 or more, negative, NaN) asks for curve 0.
    if (const int driveType = Grain<float>::waveFromValue (value (ids::driveType)); driveType != grain.driveTypeIndex)
        grain.driveTypeIndex = driveType;

    captureSidechain (buffer);

    // A mono input feeds both output channels.
    if (mainInputChannels == 1 && outputChannels == 2 && n > 0)
        buffer.copyFrom (1, 0, buffer, 0, 0, n);

    if (auto* playHead = getPlayHead())
        if (const auto position = playHead->getPosition())
            if (const auto bpm = position->getBpm())
                hostBpm = (float) *bpm;

    // The wet path works in place on the output channels; the dry signal is held back before it starts.
    juce::AudioBuffer<float> chunk (buffer.getArrayOfWritePointers(), std::min (outputChannels, buffer.getNumChannels()), n);
    juce::dsp::AudioBlock<float> block (chunk);
    const juce::dsp::ProcessContextReplacing<float> context (block);

    dryWetMixer.pushDrySamples (block);

    // A NaN or infinite input sample would stay in the filters, delay lines and engines of the wet path for good
    // (or for the length of the response); the wet path hears silence in its place instead. The dry signal carries
    // it only while it lasts.
    for (size_t c = 0; c < block.getNumChannels(); ++c)
    {
        auto* samples = block.getChannelPointer (c);
        for (size_t i = 0; i < block.getNumSamples(); ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;
    }

    const float widthTarget = value (ids::width) / 100.0f;
    widthSmoother.setTargetValue (widthTarget);

    if (! stereoStageStarted)
    {
        widthSmoother.setCurrentAndTargetValue (widthTarget);
        flipAmount = flipTarget;
        stereoStageStarted = true;
    }

    if (effectFade.begin (block, ! effectOffDisplay))
    {
        processPreDelay (block, value (ids::preDelay));

        // Input cut filters, crossfaded in and out with the equaliser switch.
        if (inputCutFade.begin (block, ! eqOffDisplay))
        {
            lowCutSmoother.process (context, lowCutFilter, true, value (ids::lowCut), 0.6f);
            highCutSmoother.process (context, highCutFilter, false, value (ids::highCut), 0.7f);
            inputCutFade.end (block);
        }

        convolutionPair.setBlend ((float) juce::jlimit (0.0, 1.0, (double) value (ids::character) * 0.01));
        convolutionPair.process (context);

        // Early reflections shaped by the impulse-response type (a new type is heard once the level refreshes
        // the settings).
        preVerb.applyTypeSettings (irTypeIndex.load());
        preVerb.setEarlyMix (value (ids::preVerb));

        if (earlyReverbFade.begin (block, shimmerWanted == shimmerOn))
        {
            preVerb.process (block);
            earlyReverbFade.end (block);
        }

        processModulation (block, value (ids::lfoSpeed), value (ids::lfoDepth));

        grain.process (context, value (ids::drive));

        // Ducking, keyed by the side-chain while the host has one connected.
        const auto* keyBus = getBus (true, 1);
        processDucking (block, value (ids::sideChain), keyBus != nullptr && keyBus->isEnabled());

        // Equaliser bands: a cascade on the same block, switched together with the input cuts.
        if (bandFade.begin (block, ! eqOffDisplay))
        {
            for (auto& band : bands)
                band.process (block);

            bandFade.end (block);
        }

        feedAnalyser (block);

        if (outputChannels == 2)
            processFlipAndWidth (block, flipTarget);

        effectFade.end (block);
    }

    dryWetMixer.mixWetSamples (block);
}

void VellumarProcessor::captureSidechain (const juce::AudioBuffer<float>& buffer)
{
    auto* key = getBus (true, 1);

    if (key == nullptr || ! key->isEnabled())
        return;

    const int n = buffer.getNumSamples();
    sidechainBuffer.setSize (2, n, false, false, true);
    const int extra = buffer.getNumChannels() - mainInputChannels;

    if (extra == 1)
    {
        sidechainBuffer.copyFrom (0, 0, buffer, mainInputChannels, 0, n);
        sidechainBuffer.copyFrom (1, 0, buffer, mainInputChannels, 0, n);
    }
    else if (extra == 2)
    {
        sidechainBuffer.copyFrom (0, 0, buffer, mainInputChannels, 0, n);
        sidechainBuffer.copyFrom (1, 0, buffer, mainInputChannels + 1, 0, n);
    }
}

void VellumarProcessor::processPreDelay (juce::dsp::AudioBlock<float>& block, float preDelayMs)
{
    preDelaySmoother.setTargetValue (preDelayMs);
    const float rate = (float) processSpec.sampleRate;
    const float maxDelay = (float) preDelayLine.getMaximumDelayInSamples();
    const auto numChannels = (int) block.getNumChannels();

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float seconds = preDelaySmoother.getNextValue() / 1000.0f;
        preDelayLine.setDelay (std::min (std::abs (rate * seconds), maxDelay));

        for (int c = 0; c < numChannels; ++c)
        {
            auto* samples = block.getChannelPointer ((size_t) c);
            preDelayLine.pushSample (c, samples[i]);
            samples[i] = preDelayLine.popSample (c);
        }
    }
}

// The editor's spectrum gets the wet signal after the equaliser: a whole chunk or nothing, never blocking.
void VellumarProcessor::feedAnalyser (const juce::dsp::AudioBlock<float>& block)
{
    if (! analyserEnabled.load())
        return;

    // An editor that opens checks this flag before it resizes the FIFO; checking the enabled flag once more after
    // raising it keeps this thread out of a FIFO that a closed editor has just handed back.
    analyserWriting = true;

    if (! analyserEnabled.load())
    {
        analyserWriting = false;
        return;
    }

    const int n = (int) block.getNumSamples();

    if (analyserFifo.getFreeSpace() < n)
    {
        analyserWriting = false;
        return;
    }

    int start1, size1, start2, size2;
    analyserFifo.prepareToWrite (n, start1, size1, start2, size2);

    analyserBuffer.copyFrom (0, start1, block.getChannelPointer (0), size1);
    if (size2 > 0)
        analyserBuffer.copyFrom (0, start2, block.getChannelPointer (0) + size1, size2);

    for (int c = 1; c < std::min (mainInputChannels, (int) block.getNumChannels()); ++c)
    {
        analyserBuffer.addFrom (0, start1, block.getChannelPointer ((size_t) c), size1);
        if (size2 > 0)
            analyserBuffer.addFrom (0, start2, block.getChannelPointer ((size_t) c) + size1, size2);
    }

    analyserFifo.finishedWrite (size1 + size2);
    analyserDataReady.exchange (true);
    analyserWriting = false;
}

void VellumarProcessor::waitUntilAnalyserIsIdle() const
{
    // One chunk's copy at most: microseconds.
    while (analyserWriting.load())
        std::this_thread::yield();
}

void VellumarProcessor::processFlipAndWidth (juce::dsp::AudioBlock<float>& block, float flipTarget)
{
    auto* left = block.getChannelPointer (0);
    auto* right = block.getChannelPointer (1);

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float w = widthSmoother.getNextValue();

        if (flipAmount < flipTarget)
            flipAmount = std::min (flipAmount + flipStep, flipTarget);
        else if (flipAmount > flipTarget)
            flipAmount = std::max (flipAmount - flipStep, flipTarget);

        const float s = flipAmount;
        const float a = (1.0f - s) * left[i] + s * right[i];
        const float b = (1.0f - s) * right[i] + s * left[i];
        left[i] = 0.5f * ((1.0f + w) * a + (1.0f - w) * b);
        right[i] = 0.5f * ((1.0f - w) * a + (1.0f + w) * b);
    }
}
