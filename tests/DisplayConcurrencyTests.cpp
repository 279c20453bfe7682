// Host automation publishes the response curve's coefficients on whatever thread changes a parameter while the
// curve's timer recomputes and paints on the message thread, and the analyser drains the FIFO that the audio thread fills. These tests run all three at once: host automation on
// one thread, audio on another, ticking and painting on this (the message) thread. They are short and bounded so
// that they run in the ordinary suite; under ThreadSanitizer they also prove that no access races.

#include "DisplayTestHelpers.h"
#include "EditorTestHelpers.h"

#include "editor/Frame.h"
#include "editor/FrequencyCurve.h"
#include "editor/SpectrumAnalyzer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace display_testing;

namespace
{
using Clock = std::chrono::steady_clock;

/** The three displays' parent as the editor builds it, with the analyser hand-over open. */
struct Displays
{
    Displays()
    {
        testing_helpers::prepareForRender (*processor, 48000.0, 256);
        openAnalyser (*processor);
        frame.addAndMakeVisible (analyser);
        frame.addAndMakeVisible (curve);
        frame.setVisible (true);
        layOut (600, 400);
    }

    void layOut (int w, int h)
    {
        frame.setBounds (0, 0, w, h);
        analyser.setBounds (frame.getLocalBounds());
        curve.setBounds (frame.getLocalBounds());
    }

    std::unique_ptr<VellumarProcessor> processor = testing_helpers::makeProcessor();
    Frame frame;
    SpectrumAnalyzer analyser { *processor };
    FrequencyCurve curve { *processor };
};

/** Runs the audio callback with noise until told to stop. */
class AudioThread
{
public:
    explicit AudioThread (VellumarProcessor& p)
        : thread ([this, &p]
                  {
                      juce::AudioBuffer<float> buffer (2, 256);
                      juce::MidiBuffer midi;
                      juce::Random random (3);

                      while (! stop.load())
                      {
                          testing_helpers::fillNoise (buffer, random, 0.25f);

                          p.processBlock (buffer, midi);
                          blocks.fetch_add (1);
                      }
                  })
    {
    }

    ~AudioThread()
    {
        stop.store (true);
        thread.join();
    }

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 };

private:
    std::thread thread;
};

template <typename Condition>
void runUntil (Clock::duration limit, Condition done)
{
    const auto began = Clock::now();
    while (! done() && Clock::now() - began < limit)
        std::this_thread::yield();
}
} // namespace

TEST (DisplayConcurrency, AutomationAudioAndPaintingRunTogether)
{
    Displays displays;
    auto& processor = *displays.processor;

    juce::StringArray automated { ids::lowCut, ids::highCut, ids::onButton, ids::onEqButton };
    for (int band = 1; band <= 5; ++band)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            automated.add (bandId (band, suffix));

    std::atomic<bool> stop { false };
    std::atomic<int> changes { 0 };
    AudioThread audio (processor);

    std::thread automation ([&]
                            {
                                juce::Random random (11);

                                while (! stop.load())
                                {
                                    auto* parameter = processor.apvts.getParameter (automated[random.nextInt (automated.size())]);

                                    // The power switches stay on most of the time, so the effect keeps running.
                                    const bool isSwitch = parameter->getNumSteps() == 2;
                                    parameter->setValueNotifyingHost (isSwitch ? (random.nextInt (8) == 0 ? 0.0f : 1.0f)
                                                                               : random.nextFloat());
                                    changes.fetch_add (1);

                                    // A host sends automation a block at a time; a tight loop would only keep the
                                    // curve's reader retrying.
                                    std::this_thread::sleep_for (std::chrono::microseconds (100));
                                }
                            });

    int paints = 0;
    const auto began = Clock::now();

    while ((paints < 60 || changes.load() < 300 || audio.blocks.load() < 300) && Clock::now() - began < std::chrono::seconds (20))
    {
        juce::dispatchNextMessageOnSystemQueue (true); // the curve's timer
        displays.analyser.timerCallback();
        const auto image = editor_testing::render (displays.frame);
        ASSERT_TRUE (image.isValid());

        // Resizing rebuilds the curve here while automation publishes new coefficients on the other thread.
        if (++paints % 10 == 0)
            displays.layOut (paints % 20 == 0 ? 600 : 450, paints % 20 == 0 ? 400 : 300);
    }

    stop.store (true);
    automation.join();

    EXPECT_GE (paints, 60);
    EXPECT_GE (changes.load(), 300);
    EXPECT_GE (audio.blocks.load(), 300);

    for (auto r : displays.curve.getBandResponse())
        EXPECT_TRUE (std::isfinite (r));
}

TEST (DisplayConcurrency, CoefficientSetsAreNeverTornWhileAutomated)
{
    Displays displays;
    auto& processor = *displays.processor;
    auto& curve = displays.curve;
    const auto gainId = bandId (3, ids::bandGain);

    // Every other band flat, band 3 a peak whose gain the host flips between two values while it also moves the
    // low cut between two frequencies: each recomputed curve must be exactly one of the four whole states.
    setBand (processor, 3, true, 2, 640.0f, 0.0f, 2.0f);
    std::array<std::vector<double>, 2> bandStates, cutStates;
    std::array<std::array<float, 5>, 2> coefficientStates;
    const float gains[] { 12.0f, -6.0f };
    const float cuts[] { 20.0f, 40.0f };

    for (size_t k = 0; k < 2; ++k)
    {
        testing_helpers::setParameter (processor, gainId, gains[k]);
        testing_helpers::setParameter (processor, ids::lowCut, cuts[k]);
        ASSERT_TRUE (waitForCurve (curve));
        bandStates[k] = curve.getBandResponse();
        cutStates[k] = curve.getCutResponse();
        coefficientStates[k] = { processor.bands[2].curveCoefficients->coefficients[0], processor.bands[2].curveCoefficients->coefficients[1],
                                 processor.bands[2].curveCoefficients->coefficients[2], processor.bands[2].curveCoefficients->coefficients[3],
                                 processor.bands[2].curveCoefficients->coefficients[4] };
    }

    ASSERT_NE (bandStates[0][300], bandStates[1][300]);
    ASSERT_NE (cutStates[0][0], cutStates[1][0]);

    std::atomic<bool> stop { false };
    std::atomic<int> flips { 0 };
    AudioThread audio (processor);

    std::thread automation ([&]
                            {
                                for (int k = 0; ! stop.load(); ++k)
                                {
                                    testing_helpers::setParameter (processor, gainId, gains[k % 2]);
                                    testing_helpers::setParameter (processor, ids::lowCut, cuts[(k / 3) % 2]);
                                    flips.fetch_add (1);
                                    std::this_thread::sleep_for (std::chrono::microseconds (100));
                                }
                            });

    int checks = 0, torn = 0;
    const auto isOneOf = [] (const std::vector<double>& seen, const std::array<std::vector<double>, 2>& states)
    { return seen == states[0] || seen == states[1]; };

    runUntil (std::chrono::seconds (20),
              [&]
              {
                  // Recompute by the timer and directly, while the automation thread publishes.
                  juce::dispatchNextMessageOnSystemQueue (true);
                  curve.resized();

                  if (! isOneOf (curve.getBandResponse(), bandStates) || ! isOneOf (curve.getCutResponse(), cutStates))
                      ++torn;

                  {
                      CoefficientHandOff<1>::Sets seen;
                      processor.bands[2].curveHandOff.read (seen);

                      if (seen[0] != coefficientStates[0] && seen[0] != coefficientStates[1])
                          ++torn;
                  }

                  if (checks % 8 == 0)
                      editor_testing::render (displays.frame);

                  return ++checks >= 400 && flips.load() >= 400;
              });

    stop.store (true);
    automation.join();

    EXPECT_GE (checks, 400);
    EXPECT_GE (flips.load(), 400);
    EXPECT_EQ (torn, 0);
}

TEST (DisplayConcurrency, AnalyserDrainsWhatTheAudioThreadWrites)
{
    Displays displays;
    auto& processor = *displays.processor;
    testing_helpers::setParameter (processor, ids::mix, 100.0f);
    int ticks = 0, ticksWithFrames = 0;

    {
        AudioThread audio (processor);

        runUntil (std::chrono::seconds (20),
                  [&]
                  {
                      const int slot = displays.analyser.getHistorySlot();
                      displays.analyser.timerCallback();
                      ticksWithFrames += displays.analyser.getHistorySlot() != slot ? 1 : 0;
                      editor_testing::render (displays.analyser);
                      ++ticks;
                      std::this_thread::sleep_for (std::chrono::milliseconds (2));
                      return ticksWithFrames >= 20 && ticks >= 50;
                  });
    }

    EXPECT_GE (ticksWithFrames, 20) << "frames keep arriving while the audio thread runs";

    float loudest = 0.0f;
    for (int bin = 0; bin < SpectrumAnalyzer::fftSize / 2; ++bin)
        loudest = std::max (loudest, displays.analyser.getHistory().getSample (0, bin));

    EXPECT_GT (loudest, 1.0e-4f) << "the wet noise shows in the average";
    EXPECT_TRUE (std::isfinite (loudest));
}
