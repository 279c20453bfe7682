#include "FactoryPresetHelpers.h"
#include "TestHelpers.h"

#include "tools/demo-sound/DemoSound.h"

#include <gtest/gtest.h>

using namespace testing_helpers;

namespace
{
struct Rendered
{
    juce::AudioBuffer<float> audio;
    juce::String irName;
};

// Plays the demo phrase (peaks at -6 dBFS) through a preset with the built-in impulse responses, as a host would
// after loading it, followed by a tail long enough for the reverb to die away.
Rendered render (const juce::File& preset, double sampleRate, std::optional<float> mix)
{
    auto processor = makeProcessor();
    processor->loadPreset (preset);

    if (mix)
        setParameter (*processor, "Mix", *mix);

    prepareForRender (*processor, sampleRate, 512);

    Rendered result;
    result.irName = processor->irName;

    const auto input = makeDemoSound (sampleRate);
    const double tail = getParameter (*processor, "Decay") + getParameter (*processor, "PreDelay") / 1000.0 + 1.0;
    result.audio.setSize (2, input.getNumSamples() + (int) (tail * sampleRate));
    result.audio.clear();

    for (int c = 0; c < 2; ++c)
        result.audio.copyFrom (c, 0, input, c, 0, input.getNumSamples());

    processInBlocks (*processor, result.audio, 512);
    return result;
}

std::string testName (const ::testing::TestParamInfo<std::string>& info)
{
    auto name = juce::File (info.param).getFileNameWithoutExtension().retainCharacters (
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    return name.isEmpty() ? std::to_string (info.index) : name.toStdString();
}

// The presets' full paths; a path prints readably when a test fails.
std::vector<std::string> factoryPresetPaths()
{
    std::vector<std::string> paths;
    for (const auto& file : factoryPresetFiles())
        paths.push_back (file.getFullPathName().toStdString());
    return paths;
}

class FactoryPresetRender : public ::testing::TestWithParam<std::string>
{
};
} // namespace

// At its own mix a preset keeps the phrase below full scale: the wet level of every response and drive setting
// has been balanced against the dry signal.
TEST_P (FactoryPresetRender, StaysFiniteBelowFullScaleAndDiesAway)
{
    const juce::File preset (GetParam());
    const auto result = render (preset, 44100.0, std::nullopt);
    const auto& audio = result.audio;

    // The pair that the preset's switches select is the one that plays.
    const auto stored = storedValues (preset);
    EXPECT_TRUE (result.irName.isNotEmpty());
    for (const auto* type : { "Room", "Plate", "Spring", "Space" })
        EXPECT_EQ (result.irName.startsWith (type), stored.at (juce::String (type) + "Button") >= 0.5) << type;

    ASSERT_TRUE (allFiniteAndNormal (audio));

    const float peak = audio.getMagnitude (0, audio.getNumSamples());
    EXPECT_LT (peak, 1.0f);
    EXPECT_GT (peak, 0.1f);

    // The phrase's last note stops 6.4 s in; the half second after it is the reverb's tail.
    EXPECT_GT (rms (audio, allChannels, (int) (6.45 * 44100.0), 22050), 0.003f * rms (audio, allChannels));

    // Summed to mono, that tail loses at most 3 dB more than an uncorrelated one would (correlation -0.5).
    EXPECT_GE (channelCorrelation (audio, (int) (6.45 * 44100.0), 22050), -0.5);

    // Nothing rings on: the last 100 ms lie 60 dB below the peak.
    EXPECT_LT (rms (audio, allChannels, audio.getNumSamples() - 4410, 4410), peak * 0.001f);
}

// The editor keeps the user's mix across preset loads, so a preset must also behave fully wet.
TEST_P (FactoryPresetRender, FullyWetStaysFiniteAndWithinAFewDecibelsOfTheInput)
{
    const auto result = render (juce::File (GetParam()), 48000.0, 100.0f);
    ASSERT_TRUE (allFiniteAndNormal (result.audio));

    const float peak = result.audio.getMagnitude (0, result.audio.getNumSamples());
    EXPECT_LT (peak, 2.0f); // +6 dBFS for a phrase peaking at -6 dBFS
    EXPECT_GT (peak, 0.05f);
}

INSTANTIATE_TEST_SUITE_P (Factory, FactoryPresetRender, ::testing::ValuesIn (factoryPresetPaths()), testName);
