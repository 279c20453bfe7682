#include "engine/convolution/ImpulseResponses.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <system_error>
#include <thread>

namespace
{
// The rate at which the embedded responses were recorded and are handed to the engines.
constexpr double responseRate = 44100.0;

// Decodes one embedded MP3 into `target`; returns false and leaves `target` alone when there is nothing to decode.
bool decodeResource (juce::AudioFormatManager& formats, const char* resourceName, juce::AudioBuffer<float>& target)
{
    int size = 0;
    const auto* data = resourceName != nullptr ? getIRResource (resourceName, size) : nullptr;

    if (data == nullptr || size <= 0)
        return false;

    std::unique_ptr<juce::AudioFormatReader> reader (
        formats.createReaderFor (std::make_unique<juce::MemoryInputStream> (data, (size_t) size, true)));

    if (reader == nullptr || reader->numChannels == 0 || reader->lengthInSamples <= 0
        || reader->lengthInSamples > std::numeric_limits<int>::max())
        return false;

    target.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&target, 0, (int) reader->lengthInSamples, 0, true, true);
    return true;
}

} // namespace

IRTrim irTrimFor (float decay, double rate) noexcept
{
    const int length = (int) ((double) decay * rate);
    const float x = (decay - 2.0f) / 7.0f;
    const float fade = x < 0.0f ? 1.0f : 1.0f - std::min (1.0f, x);
    return { length, std::min ((int) ((float) length * fade), length) };
}

void trimWithFade (juce::AudioBuffer<float>& buffer, int length, int fadeLength)
{
    const int kept = std::min (length, buffer.getNumSamples());

    if (kept >= buffer.getNumSamples())
        return;

    if (fadeLength > 0)
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            buffer.applyGainRamp (c, kept - fadeLength, fadeLength, 1.0f, 0.0f);

    buffer.setSize (buffer.getNumChannels(), kept, true);
}

void VellumarProcessor::decodeIRPair()
{
    const std::string name = irTypeName (irTypeIndex.load()) + std::to_string (irNumber.load());
    const auto* pair = findIRPair (name);

    // Decode outside the lock: it takes a while, and a preparation on the audio thread must not wait for it. The
    // two files decode at once, A on a thread of its own, so a switch waits only for the longer one.
    juce::AudioBuffer<float> decodedA, decodedB;
    bool haveA = false, haveB = false;

    if (pair != nullptr)
    {
        const auto decode = [] (const char* resource, juce::AudioBuffer<float>& target) {
            juce::AudioFormatManager formats;
            formats.registerBasicFormats();
            return decodeResource (formats, resource, target);
        };

        std::thread decoderA;

        try
        {
            decoderA = std::thread ([&] { haveA = decode (pair->resourceA, decodedA); });
        }
        catch (const std::system_error&) // no thread to be had: A decodes here, after B
        {
        }

        haveB = decode (pair->resourceB, decodedB);

        if (decoderA.joinable())
            decoderA.join();
        else
            haveA = decode (pair->resourceA, decodedA);
    }

    const std::lock_guard<std::mutex> lock (irMutex);
    irName = name;

    if (haveA)
        irBufferA = std::move (decodedA);

    if (haveB)
        irBufferB = std::move (decodedB);
}

void VellumarProcessor::updateIRParameters()
{
    const std::lock_guard<std::mutex> lock (irMutex);

    if (irBufferA.getNumSamples() == 0)
        return;

    const float decay = apvts.getRawParameterValue (ids::decay)->load();

    if (irName == loadedIrName && decay == loadedDecay)
        return;

    // The responses are handed to the engines at their own rate, 44.1 kHz, and resampled there: trimmed at that rate,
    // the tail lasts Decay seconds at every processing rate.
    const auto trim = irTrimFor (decay, responseRate);

    irWorkA.makeCopyOf (irBufferA);
    irWorkB.makeCopyOf (irBufferB);
    trimWithFade (irWorkA, trim.length, trim.fadeLength);
    trimWithFade (irWorkB, trim.length, trim.fadeLength);

    if (irWorkA.getNumChannels() == 4)
    {
        juce::AudioBuffer<float> folded (2, irWorkA.getNumSamples());
        for (int c = 0; c < 2; ++c)
        {
            folded.copyFrom (c, 0, irWorkA, c, 0, irWorkA.getNumSamples());
            folded.addFrom (c, 0, irWorkA, c + 2, 0, irWorkA.getNumSamples());
        }
        irWorkA = std::move (folded);
    }

    responseMailbox.post (std::move (irWorkA), std::move (irWorkB));
    convolutionPair.responsesPosted();

    // Only now, so that whoever sees the new Decay here also sees the pair switching to it.
    loadedIrName = irName;
    loadedDecay = decay;
}

// A Decay change from anywhere (host automation or control, a preset, the editor's text box or wheel) retrims the
// responses once Decay has held still for a quarter of a second of audio: a host's ramp, which moves at every block
// (a block of 8192 samples at 44.1 kHz lasts 0.19 s), or a hand on a host's knob rebuilds once at its end, not at
// every step, and a new Decay is still heard within about a third of a second. In real time the loader thread
// trims and builds, and the pair switches over as after a selection. Audio that is not played in real time (an
// export, a freewheel) does both in the chunk at which the hold ends, so a change comes in at the same sample on
// every run, whatever the threads' timing.
void VellumarProcessor::followDecay (int numSamples)
{
    const float decay = chunkParameters.decay->load();
    const bool offline = isNonRealtime();

    if (decay != heldDecay)
    {
        heldDecay = decay;
        decayHeldSamples = 0;
    }
    else
    {
        decayHeldSamples = std::min (decayHoldSamples, decayHeldSamples + numSamples);
    }

    if (decayHeldSamples >= decayHoldSamples && decay != loadedDecay.load() && ! decayDragging.load())
    {
        if (offline)
            updateIRParameters();
        else
            retrimWanted.store (true);
    }

    if (offline)
        convolutionPair.buildPostedNow();
}

// Loader thread, before each look for responses to build.
void VellumarProcessor::retrimWhenWanted()
{
    if (retrimWanted.exchange (false))
        updateIRParameters();
}

bool VellumarProcessor::collectResponses()
{
    return convolutionPair.installPosted();
}
