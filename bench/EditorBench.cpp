#include "bench/EditorBench.h"

#include "engine/processor/OfflineRendering.h"
#include "engine/processor/VellumarProcessor.h"
#include "tools/demo-sound/DemoSound.h"
#include "tools/offscreen/OffscreenPeer.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <ostream>
#include <thread>

namespace juce
{
// Runs the next event or message of the Linux run loop, waiting for one when none is pending.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
double threadCpuSeconds()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return (double) t.tv_sec + 1.0e-9 * (double) t.tv_nsec;
}

double wallSeconds() { return juce::Time::getMillisecondCounterHiRes() / 1000.0; }

// The audio the editor shows: 44.1 kHz in blocks of 512.
constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

/** Paints the window's pending repaints 60 times a second, as JUCE's X11 windows do (less the copy to the screen). */
struct ScreenRefresh : juce::Timer
{
    explicit ScreenRefresh (OffscreenWindow& w) : window (w) { startTimerHz (60); }
    ~ScreenRefresh() override { stopTimer(); }
    void timerCallback() override { window.peer().performAnyPendingRepaintsNow(); }

    OffscreenWindow& window;
};

/** Plays the demo sound in a loop, block by block at the pace of real time, as a host's audio thread does. */
class RealtimeAudio
{
public:
    explicit RealtimeAudio (VellumarProcessor& p) : processor (p), demo (makeDemoSound (sampleRate))
    {
        thread = std::thread ([this] { run(); });
    }

    ~RealtimeAudio()
    {
        running = false;
        thread.join();
    }

private:
    void run()
    {
        juce::AudioBuffer<float> block (2, blockSize);
        juce::MidiBuffer midi;
        const auto period = std::chrono::duration<double> (blockSize / sampleRate);
        auto due = std::chrono::steady_clock::now();
        int position = 0;

        while (running)
        {
            if (position + blockSize > demo.getNumSamples())
                position = 0;

            for (int c = 0; c < 2; ++c)
                block.copyFrom (c, 0, demo, c % demo.getNumChannels(), position, blockSize);

            position += blockSize;
            processor.processBlock (block, midi);
            due += std::chrono::duration_cast<std::chrono::steady_clock::duration> (period);
            std::this_thread::sleep_until (due);
        }
    }

    VellumarProcessor& processor;
    const juce::AudioBuffer<float> demo;
    std::atomic<bool> running { true };
    std::thread thread;
};

/** Runs the message loop for the given time; returns the message thread's CPU time meanwhile as a share of it. */
double runMessageLoop (double seconds)
{
    // Wakes the loop now and then, so that it notices the end of the time even when nothing else happens.
    struct Tick : juce::Timer
    {
        void timerCallback() override {}
    } tick;
    tick.startTimerHz (10);

    const double startWall = wallSeconds();
    const double startCpu = threadCpuSeconds();

    while (wallSeconds() - startWall < seconds)
        juce::dispatchNextMessageOnSystemQueue (false);

    return (threadCpuSeconds() - startCpu) / (wallSeconds() - startWall);
}
} // namespace

void runEditorBench (std::ostream& out)
{
    VellumarProcessor processor;

    // Bands and both cuts in use, so that the response curve has something to draw.
    for (const auto& [id, value] : { std::pair { "1Gain", 3.0f }, std::pair { "3Gain", -4.5f }, std::pair { "5Gain", 4.0f },
                                     std::pair { "LowCut", 70.0f }, std::pair { "HighCut", 11000.0f } })
    {
        auto* parameter = processor.apvts.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    waitForImpulseResponses (processor);

    RealtimeAudio audio (processor);
    constexpr int rounds = 3;
    constexpr double phaseSeconds = 4.0;
    double closed = 0.0, open = 0.0, pixelsPerSecond = 0.0;
    int paintsPerSecond = 0;

    // Closed and open in turns, so that both see the same load on the machine.
    for (int round = 0; round < rounds; ++round)
    {
        runMessageLoop (0.5);
        closed += runMessageLoop (phaseSeconds) / rounds;

        OffscreenWindow window;
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        editor->setSize (900, 600);
        window.show (*editor);
        ScreenRefresh refresh (window);

        // The spectrum waits a few ticks after its first size before it draws.
        runMessageLoop (1.0);

        const auto& peer = window.peer();
        const double pixelsBefore = peer.paintedPixels;
        const int paintsBefore = peer.paints;
        open += runMessageLoop (phaseSeconds) / rounds;
        pixelsPerSecond += (peer.paintedPixels - pixelsBefore) / phaseSeconds / rounds;
        paintsPerSecond += (int) ((peer.paints - paintsBefore) / phaseSeconds / rounds);

        editor.reset();
    }

    out << std::fixed << std::setprecision (2) << "  message thread, editor closed: " << 100.0 * closed
        << " % of a core; open: " << 100.0 * open << " % of a core; open / closed: " << open / closed << "\n"
        << "  repainted while open: " << paintsPerSecond << " paints a second covering " << std::setprecision (1)
        << 100.0 * pixelsPerSecond / (900.0 * 600.0) << " % of the window a second\n";
}
