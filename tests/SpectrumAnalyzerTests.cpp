#include "AllocationCounter.h"
#include "DisplayTestHelpers.h"
#include "EditorTestHelpers.h"

#include "editor/Frame.h"
#include "editor/FrequencyCurve.h"
#include "editor/SpectrumAnalyzer.h"
#include "tools/offscreen/OffscreenPeer.h"

#include <gtest/gtest.h>

using namespace display_testing;
using testing_helpers::noise;
using testing_helpers::sine;

namespace
{
constexpr int N = SpectrumAnalyzer::fftSize;

/** A prepared processor with its analyser hand-over open, and an analyser laid out and ready to draw. */
struct AnalyserRig
{
    explicit AnalyserRig (double sampleRate = 44100.0, int width = 900, int height = 600)
    {
        testing_helpers::prepare (*processor, sampleRate, 512);
        openAnalyser (*processor);
        analyser.setBounds (0, 0, width, height);
        analyser.setVisible (true);
        settle();
    }

    /** Passes the five ticks that follow a resize, so that the next tick with data drains. */
    void settle()
    {
        while (analyser.getRebuildCountdown() > 0)
        {
            processor->analyserDataReady.store (true);
            analyser.timerCallback();
        }

        processor->analyserDataReady.store (false);
    }

    void push (const std::vector<float>& samples)
    {
        ASSERT_TRUE (pushToAnalyser (*processor, samples.data(), (int) samples.size()));
    }

    std::unique_ptr<VellumarProcessor> processor = testing_helpers::makeProcessor();
    SpectrumAnalyzer analyser { *processor };
};

/** |X[k]| of the windowed frame starting at `start`, by a direct sum in double. */
double referenceMagnitude (const std::vector<float>& signal, int start, int bin, const juce::Array<float>& window)
{
    double re = 0.0, im = 0.0;

    for (int n = 0; n < N; ++n)
    {
        const double x = (double) signal[(size_t) (start + n)] * (double) window[n];
        const double angle = juce::MathConstants<double>::twoPi * bin * n / N;
        re += x * std::cos (angle);
        im -= x * std::sin (angle);
    }

    return std::hypot (re, im);
}

float historyAt (const SpectrumAnalyzer& analyser, int channel, int bin)
{
    return analyser.getHistory().getSample (channel, bin);
}
} // namespace

TEST (SpectrumAnalyzer, ThreeFramesOfSamplesGiveFiveHalfOverlappingFrames)
{
    AnalyserRig rig;
    const auto signal = noise (3 * N, 7, 1.0f);
    rig.push (signal);
    ASSERT_EQ (rig.processor->analyserFifo.getNumReady(), 3 * N);

    rig.analyser.timerCallback();

    // Frames at 0, 2048, 4096, 6144 and 8192, each releasing half a frame; 2048 samples wait for the next tick.
    EXPECT_EQ (readPosition (rig.processor->analyserFifo), 5 * N / 2);
    EXPECT_EQ (rig.processor->analyserFifo.getNumReady(), N / 2);
    EXPECT_EQ (rig.analyser.getHistorySlot(), 2) << "five frames went into slots 1, 2, 3, 4, 1";
    EXPECT_FALSE (rig.processor->analyserDataReady.load());

    // Slot 1 now holds the fifth frame, slots 2 to 4 the second to fourth; the first has left the average.
    const int slotStart[] { 0, 4 * N / 2, N / 2, 2 * N / 2, 3 * N / 2 };
    const auto& window = rig.analyser.getWindow();

    for (const int bin : { 0, 1, 7, 93, 500, 1500, 2047 })
    {
        double average = 0.0;

        for (int slot = 1; slot <= 4; ++slot)
        {
            const double expected = referenceMagnitude (signal, slotStart[slot], bin, window) / 8192.0;
            EXPECT_NEAR (historyAt (rig.analyser, slot, bin), expected, 2.0e-3 * std::max (expected, 0.01))
                << "slot " << slot << ", bin " << bin;
            average += expected;
        }

        EXPECT_NEAR (historyAt (rig.analyser, 0, bin), average, 2.0e-3 * std::max (average, 0.01)) << "bin " << bin;
    }

    // The samples left over join the next delivery: the sixth frame starts at 10240.
    rig.push (noise (N / 2, 8, 1.0f));
    rig.analyser.timerCallback();
    EXPECT_EQ (readPosition (rig.processor->analyserFifo), 6 * N / 2);
    EXPECT_EQ (rig.analyser.getHistorySlot(), 3);
}

TEST (SpectrumAnalyzer, FramesThatWrapAroundTheFifoEndAreReadWhole)
{
    AnalyserRig rig;
    const int fifoSize = rig.processor->analyserFifo.getTotalSize();
    ASSERT_EQ (fifoSize, 44100) << "one second at the prepared rate";

    // Fill and drain until the reader stands 2048 samples before the write end, close to the end of the buffer.
    const auto lead = noise (40960, 1, 1.0f);
    rig.push (lead);
    rig.analyser.timerCallback();
    ASSERT_EQ (readPosition (rig.processor->analyserFifo), 40960 - N / 2);

    // The next frames straddle the end of the buffer; compare them with the same samples read contiguously.
    auto tail = noise (6144, 2, 1.0f);
    rig.push (tail);
    rig.analyser.timerCallback();

    std::vector<float> contiguous (lead.end() - N / 2, lead.end());
    contiguous.insert (contiguous.end(), tail.begin(), tail.end());
    EXPECT_EQ (readPosition (rig.processor->analyserFifo), (40960 - N / 2 + 3 * N / 2) % fifoSize);

    // Three frames, at 0, 2048 and 4096 of the contiguous copy; the last one went into the slot before the next.
    const int lastSlot = rig.analyser.getHistorySlot() == 1 ? 4 : rig.analyser.getHistorySlot() - 1;

    for (const int bin : { 3, 64, 900 })
    {
        const double expected = referenceMagnitude (contiguous, N, bin, rig.analyser.getWindow()) / 8192.0;
        EXPECT_NEAR (historyAt (rig.analyser, lastSlot, bin), expected, 2.0e-3 * std::max (expected, 0.01));
    }
}

TEST (SpectrumAnalyzer, AverageHoldsExactlyTheLastFourFrames)
{
    AnalyserRig rig;
    const double rate = rig.processor->processSpec.sampleRate;
    const int bin = 100;
    const float amplitude = 0.5f;

    // Four frames of a sine centred on a bin (4096 + 3 x 2048 samples), then silence half a frame at a time.
    auto signal = sine (N + 3 * N / 2, bin * rate / N, rate, amplitude);
    rig.push (signal);
    rig.analyser.timerCallback();
    ASSERT_EQ (rig.analyser.getHistorySlot(), 1);

    // The window sums to N, so the bin holds amplitude x N / 2; each frame enters with 1 / 8192 of that, and the
    // four together read the amplitude itself.
    const float average = historyAt (rig.analyser, 0, bin);
    EXPECT_NEAR (average, amplitude, 1.0e-3f);

    for (int b = 0; b < N / 2; b += 37)
        for (int slot = 1; slot <= 4; ++slot)
            EXPECT_NEAR (4.0f * historyAt (rig.analyser, slot, b), historyAt (rig.analyser, 0, b), 1.0e-4f) << "bin " << b;

    // Each new frame replaces the oldest: the average is always the sum of the last four frames. The first frame
    // after the sine still holds its last half; from the fifth on only silence is left.
    std::vector<int> frameStarts { 0, N / 2, N, 3 * N / 2 };
    const std::vector<float> silence ((size_t) N / 2, 0.0f);

    for (int k = 1; k <= 5; ++k)
    {
        rig.push (silence);
        signal.insert (signal.end(), silence.begin(), silence.end());
        rig.analyser.timerCallback();
        frameStarts.push_back (frameStarts.back() + N / 2);

        for (const int b : { bin, bin + 1, 7 })
        {
            double expected = 0.0;
            for (size_t f = frameStarts.size() - 4; f < frameStarts.size(); ++f)
                expected += referenceMagnitude (signal, frameStarts[f], b, rig.analyser.getWindow()) / 8192.0;

            EXPECT_NEAR (historyAt (rig.analyser, 0, b), expected, 1.0e-3 * amplitude) << k << " frames later, bin " << b;
        }
    }

    EXPECT_NEAR (historyAt (rig.analyser, 0, bin), 0.0f, 1.0e-5f) << "the sine has left the average";
}

TEST (SpectrumAnalyzer, NothingMovesWithoutFreshDataOrWhileHidden)
{
    AnalyserRig rig;
    rig.push (noise (2 * N, 3, 1.0f));
    rig.processor->analyserDataReady.store (false);

    rig.analyser.timerCallback();
    EXPECT_EQ (rig.processor->analyserFifo.getNumReady(), 2 * N) << "no flag, no drain";

    rig.processor->analyserDataReady.store (true);
    rig.analyser.setVisible (false);
    rig.analyser.timerCallback();
    EXPECT_EQ (rig.processor->analyserFifo.getNumReady(), 2 * N) << "hidden, no drain";
    EXPECT_TRUE (rig.processor->analyserDataReady.load());

    rig.analyser.setVisible (true);
    rig.analyser.timerCallback();
    EXPECT_EQ (rig.processor->analyserFifo.getNumReady(), N / 2) << "frames at 0, 2048 and 4096";
    EXPECT_FALSE (rig.processor->analyserDataReady.load()) << "cleared after the drain";
}

TEST (SpectrumAnalyzer, AfterAResizeTheDisplayStaysBlankForFiveTicksWithData)
{
    AnalyserRig rig;
    rig.push (noise (2 * N, 4, 1.0f));
    rig.analyser.timerCallback();
    const auto before = editor_testing::render (rig.analyser);
    EXPECT_GT (editor_testing::countPixels (before, before.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 0; }),
               1000);

    rig.analyser.setBounds (0, 0, 600, 400);
    EXPECT_EQ (rig.analyser.getRebuildCountdown(), 5);

    // Ticks without data leave the countdown where it is.
    rig.analyser.timerCallback();
    EXPECT_EQ (rig.analyser.getRebuildCountdown(), 5);

    for (int tick = 1; tick <= 5; ++tick)
    {
        const auto image = editor_testing::render (rig.analyser);
        EXPECT_EQ (editor_testing::countPixels (image, image.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 0; }),
                   0)
            << "blank before tick " << tick;

        rig.push (noise (N / 2, 100 + tick, 1.0f));
        const int ready = rig.processor->analyserFifo.getNumReady();
        rig.analyser.timerCallback();
        EXPECT_EQ (rig.analyser.getRebuildCountdown(), 5 - tick);
        EXPECT_EQ (rig.processor->analyserFifo.getNumReady(), ready) << "counting ticks drain nothing";
        EXPECT_TRUE (rig.processor->analyserDataReady.load());
    }

    const auto columns = rig.analyser.getColumns();
    ASSERT_FALSE (columns.empty());
    // The last bin (22 kHz) lies a little past the right edge: 60 pixels per octave, 10.1 octaves above 20 Hz.
    EXPECT_NEAR (columns.back().x, 60.0 * std::log2 ((N / 2 - 1) * 44100.0 / N / 20.0) + 0.5, 1.0)
        << "the table was rebuilt for the new width";

    rig.analyser.timerCallback();
    EXPECT_LT (rig.processor->analyserFifo.getNumReady(), N);
    const auto after = editor_testing::render (rig.analyser);
    EXPECT_GT (editor_testing::countPixels (after, after.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 0; }),
               1000);
}

TEST (SpectrumAnalyzer, ColumnTableGroupsBinsByPixel)
{
    struct Case
    {
        double rate;
        int width;
    };

    for (const auto& c : { Case { 44100.0, 900 }, Case { 44100.0, 450 }, Case { 48000.0, 1800 }, Case { 8000.0, 900 },
                           Case { 384000.0, 900 } })
    {
        AnalyserRig rig (c.rate, c.width, c.width * 2 / 3);
        const auto columns = rig.analyser.getColumns();
        SCOPED_TRACE (juce::String (c.rate) + " Hz, " + juce::String (c.width) + " px");
        ASSERT_FALSE (columns.empty());

        // Column 0 holds every bin at or below 20 Hz and nothing above.
        const int lastAtOrBelow20Hz = (int) std::floor (20.0 * N / c.rate);
        EXPECT_EQ (columns[0].x, 0);
        EXPECT_EQ (columns[0].firstBin, 0);
        EXPECT_EQ (columns[0].lastBin, lastAtOrBelow20Hz);

        // Consecutive bins, one column per pixel at most, up to the last bin.
        for (size_t i = 1; i < columns.size(); ++i)
        {
            EXPECT_EQ (columns[i].firstBin, columns[i - 1].lastBin + 1);
            EXPECT_GT (columns[i].x, columns[i - 1].x);
            EXPECT_LE (columns[i].firstBin, columns[i].lastBin);
        }

        EXPECT_EQ (columns.back().lastBin, N / 2 - 1);
        const double topPosition = c.width / 10.0 * std::log2 ((N / 2 - 1) * c.rate / N / 20.0) + 0.5;
        EXPECT_NEAR (columns.back().x, topPosition, 1.0);
    }

    // At 44.1 kHz bins 0 and 1 (10.77 Hz) share column 0; bin 2 (21.5 Hz) is the next column.
    AnalyserRig rig;
    const auto columns = rig.analyser.getColumns();
    EXPECT_EQ (columns[0].lastBin, 1);
    EXPECT_EQ (columns[1].firstBin, 2);
}

TEST (SpectrumAnalyzer, SilenceDrawsBothShapesAlongTheBottomEdge)
{
    AnalyserRig rig (44100.0, 900, 300);
    rig.push (std::vector<float> ((size_t) 2 * N, 0.0f));
    rig.analyser.timerCallback();

    juce::Image image;
    for (int paint = 0; paint < 80; ++paint)
        image = editor_testing::render (rig.analyser);

    const float h = 300.0f, w = 900.0f;

    for (const auto* path : { &rig.analyser.getFastPath(), &rig.analyser.getSlowPath() })
    {
        const auto elements = elementsOf (*path);
        ASSERT_EQ (elements.size(), rig.analyser.getColumns().size() + 2);
        EXPECT_EQ (elements.front().type, juce::Path::Iterator::startNewSubPath);
        EXPECT_EQ (elements.front().point, juce::Point<float> (w, 800.0f)) << "starts outside, below and right";
        EXPECT_EQ (elements.back().point, juce::Point<float> (-w, h)) << "ends outside, to the left";

        for (size_t i = 1; i + 1 < elements.size(); ++i)
            EXPECT_NEAR (elements[i].point.y, h + 0.5f, 1.0e-3f);
    }

    // Only the fast shape's 10-pixel outline reaches into the component, as a thin line at the bottom.
    const auto lit = [] (juce::Colour c) { return c.getAlpha() > 0; };
    EXPECT_EQ (editor_testing::countPixels (image, { 0, 0, 900, 290 }, lit), 0);
    EXPECT_GT (editor_testing::countPixels (image, { 10, 295, 880, 5 }, lit), 800);

    // At rest, a tick that brings no new frame asks for no paint; one that brings a frame does.
    OffscreenWindow window;
    window.show (rig.analyser);
    window.peer().performAnyPendingRepaintsNow();
    rig.processor->analyserDataReady.store (true);
    rig.analyser.timerCallback();
    EXPECT_FALSE (window.peer().hasPendingRepaints());
    rig.push (std::vector<float> ((size_t) N, 0.0f));
    rig.analyser.timerCallback();
    EXPECT_TRUE (window.peer().hasPendingRepaints());
}

TEST (SpectrumAnalyzer, LevelsMapFromMinus84AtTheBottomToPlus6AtTheTopAndTheSlowShapeGlides)
{
    AnalyserRig rig (48000.0, 900, 600);
    const double rate = 48000.0;
    const int bin = 300;

    // A sine of 2.0 at a bin centre reads 2.0 there (+6.02 dB): the top edge. Everything else lies far lower.
    rig.push (sine (N + 3 * N / 2, bin * rate / N, rate, 2.0f));
    rig.analyser.timerCallback();
    editor_testing::render (rig.analyser);

    const auto columns = rig.analyser.getColumns();
    const auto fast = elementsOf (rig.analyser.getFastPath());
    const auto column = std::find_if (columns.begin(), columns.end(),
                                      [&] (const auto& c) { return c.firstBin <= bin && bin <= c.lastBin; });
    ASSERT_NE (column, columns.end());
    const auto index = (size_t) (column - columns.begin());

    // Drawn from the last column to the first, after the start point.
    const auto& peak = fast[columns.size() - index];
    EXPECT_EQ (peak.point.x, (float) column->x);
    EXPECT_NEAR (peak.point.y, (6.02f + 84.0f) * -600.0f / 90.0f + 600.0f + 0.5f, 0.05f);
    EXPECT_NEAR (peak.point.y, 0.5f, 0.2f);

    // The slow shape moves a third of the way towards the fast one at each paint.
    const auto slowBefore = rig.analyser.getSlowY();
    editor_testing::render (rig.analyser);
    const auto slowAfter = rig.analyser.getSlowY();

    for (size_t c = 0; c < slowAfter.size(); c += 25)
        EXPECT_NEAR (slowAfter[c], (2.0f * slowBefore[c] + fast[columns.size() - c].point.y) / 3.0f, 1.0e-3f);
}

TEST (SpectrumAnalyzer, TicksDrainWithoutAllocating)
{
    AnalyserRig rig;
    const auto signal = noise (4 * N, 5, 1.0f);
    rig.push (signal);

    AllocationCounter counter;
    rig.analyser.timerCallback();
    EXPECT_EQ (counter.count(), 0u);
}
