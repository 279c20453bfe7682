#include "ProcessorEditorTestHelpers.h"

#include <thread>

using namespace editor_testing;

// A window opens and closes many times while the audio thread feeds the spectrum. Each new window resizes the
// analyser FIFO that the audio thread writes into; run under ThreadSanitizer in CI, this shows that the hand-over
// (FIFO sized before the flag goes up, flag down before anything goes away) leaves no race and no overrun.
TEST (EditorConcurrency, WindowsOpenAndCloseWhileTheAudioThreadFeedsTheSpectrum)
{
    VellumarProcessor processor;
    testing_helpers::prepareForRender (processor, 44100.0, 128);

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 };
    std::atomic<bool> finite { true };

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, 128);
        juce::MidiBuffer midi;
        juce::Random random (7);

        while (! stop.load())
        {
            testing_helpers::fillNoise (buffer, random, 0.25f);

            processor.processBlock (buffer, midi);

            if (! testing_helpers::allFiniteAndNormal (buffer))
                finite = false;

            ++blocks;
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    });

    for (int cycle = 0; cycle < 20 && ! HasFailure(); ++cycle)
    {
        {
            TestEditor window (processor);
            EXPECT_TRUE (processor.analyserEnabled.load());
            window.setSize (450 + 45 * cycle, 300 + 30 * cycle);

            // The spectrum's timer drains this window's FIFO into its average while the audio thread fills it.
            const auto& history = window.spectrumAnalyzer.getHistory();
            const auto drained = [&] { return history.getMagnitude (0, 0, history.getNumSamples()) > 0.0f; };
            EXPECT_TRUE (testing_helpers::waitUntil (drained, [] {
                xypad_testing::dispatchPendingMessages();
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }));
        }

        EXPECT_FALSE (processor.analyserEnabled.load());
    }

    stop = true;
    audio.join();

    EXPECT_GT (blocks.load(), 20);
    EXPECT_TRUE (finite.load());
}
