// vellumar-render's audio input: the input file and, after the marker below, a side-chain file.

#include "fuzz/FuzzSupport.h"
#include "host/Render.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <string_view>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzzsupport::initialise();
    return 0;
}

static void checkSamples (const juce::AudioBuffer<float>& buffer, const char* what)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            fuzzsupport::check (std::isfinite (buffer.getSample (c, i)), what);
}

// The most samples a file of these bytes may give: a WAV or AIFF file (by its first bytes) holds at least a byte per
// sample, and its header's claim beyond that is not believed; an MP3 frame of 1152 samples takes more than 18 bytes.
static size_t mostSamples (std::string_view bytes)
{
    const auto starts = [&bytes] (const char* id) { return bytes.substr (0, 4) == id; };
    return starts ("RIFF") || starts ("RF64") || starts ("FORM") ? bytes.size() : 64 * bytes.size() + 1152;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzsupport;

    constexpr std::string_view marker ("VELLUMAR-KEY");
    const std::string_view bytes (reinterpret_cast<const char*> (data), size);
    const auto split = bytes.find (marker);

    RenderOptions options;
    options.input = writeScratch ("input.wav", bytes.data(), std::min (split, size));
    if (split != std::string_view::npos)
        options.sidechain = writeScratch ("key.wav", bytes.data() + split + marker.size(),
                                          size - split - marker.size());

    RenderInput audio;
    juce::String error;

    if (! readRenderInput (options, audio, error))
    {
        check (error.contains ("input") || error.contains ("side-chain"), "a refused file without a clear reason:",
               error);
        return 0;
    }

    const auto& input = audio.input;
    const int keyChannels = audio.key.getNumChannels();
    check (audio.sampleRate >= 8000.0 && audio.sampleRate <= 384000.0, "accepted rate:",
           juce::String (audio.sampleRate));
    check (input.getNumChannels() == 1 || input.getNumChannels() == 2, "accepted input channels");
    check (split == std::string_view::npos ? keyChannels == 0 : (keyChannels == 1 || keyChannels == 2),
           "accepted key channels");
    check (input.getNumSamples() <= audio.sampleRate * 3600 && audio.key.getNumSamples() <= audio.sampleRate * 3600,
           "accepted more than an hour");
    // The render (what was read and the tail) never grows with what a header claims.
    check ((size_t) input.getNumSamples() * (size_t) input.getNumChannels() <= mostSamples (bytes.substr (0, std::min (split, size))),
           "read more samples than the file holds:", juce::String (input.getNumSamples()));
    checkSamples (input, "the input holds a sample that is not a finite number");
    checkSamples (audio.key, "the side-chain holds a sample that is not a finite number");
    return 0;
}
