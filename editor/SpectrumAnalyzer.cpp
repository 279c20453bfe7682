#include "SpectrumAnalyzer.h"

#include "Palette.h"
#include "engine/processor/VellumarProcessor.h"

#include <cmath>

namespace
{
constexpr int numBins = SpectrumAnalyzer::fftSize / 2;

// The running average holds the last four frames; each enters scaled by 1 / (bins x frames).
constexpr int averagedFrames = 4;
constexpr float frameScale = 1.0f / (float) (numBins * averagedFrames);

// Level axis of the display: -84 dB on the bottom edge, +6 dB on the top edge.
constexpr float floorDb = -84.0f;
constexpr float rangeDb = 90.0f;

// Each shape's end points lie outside the component at every editor size, so it closes below and to the left.
constexpr float shapeStartY = 800.0f;

// How far from the fast shape's edge its outline can reach: half the stroke, plus a mitred joint's point, which
// reaches at most three stroke widths past the end of its edge, plus a pixel of antialiasing.
constexpr float outlineReach = 5.0f + 30.0f + 2.0f;

// The display is repainted in strips this wide, merged into at most this many rectangles.
constexpr int stripWidth = 16;
constexpr int maxChangingAreas = 4;
} // namespace

SpectrumAnalyzer::SpectrumAnalyzer (VellumarProcessor& processorToShow) : processor (processorToShow)
{
    // Hann window, normalised so that its values sum to the frame length: a full-scale sine then reads the same
    // whatever the window costs in level.
    window.resize (fftSize);
    float sum = 0.0f;

    for (int i = 0; i < fftSize; ++i)
    {
        const float angle = (float) (2 * i) * juce::MathConstants<float>::pi / (float) (fftSize - 1);
        window.set (i, 0.5f - 0.5f * std::cos (angle));
        sum += window[i];
    }

    for (int i = 0; i < fftSize; ++i)
        window.set (i, window[i] * ((float) fftSize / sum));

    history.clear();
    fftData.clear();
    fftPoints.resize ((size_t) numBins);

    for (auto* v : { &pointX, &pointY })
        v->resize ((size_t) numBins + 2);

    for (auto* v : { &fastLevels, &slowLevels })
        v->resize ((size_t) numBins);

    {
        const juce::ScopedLock sl (lock);
        slowPath.preallocateSpace (4096);
        fastPath.preallocateSpace (4096);
    }

    startTimer (33);
}

SpectrumAnalyzer::~SpectrumAnalyzer() { stopTimer(); }

std::vector<SpectrumAnalyzer::fftPoint> SpectrumAnalyzer::getColumns() const
{
    return { fftPoints.begin(), fftPoints.begin() + fftPointCount };
}

void SpectrumAnalyzer::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    rebuildCountdown = 5;
    paintedTop = 0.0f;
    fastShapesStale = true;

    // Until the first paint after the resize, the screen's pixels are unknown all the way down.
    const auto numStrips = (size_t) (getWidth() + stripWidth - 1) / stripWidth;

    for (auto* strips : { &fastStrips, &screenStrips, &workStrips })
        strips->assign (numStrips, {});

    for (auto& strip : screenStrips)
        strip.include (0.0f, h);

    changingAreas.resize (numStrips);
    pendingArea = {};
    fillGradient = juce::ColourGradient (blueSpectre, (float) (0.5 * w), (float) (0.3 * h), blueSpectreDark,
                                         (float) (0.5 * w), (float) (0.9 * h), false);
}

//==============================================================================
void SpectrumAnalyzer::timerCallback()
{
    // Without fresh audio nothing moves, not even the countdown: the last picture stays.
    if (! isVisible() || ! processor.analyserDataReady.load())
        return;

    // After a resize the width is settled only once the host stops dragging; the table waits a few ticks.
    if (rebuildCountdown > 0)
    {
        if (--rebuildCountdown == 0)
            rebuildColumns();

        return;
    }

    drainFrames();
    processor.analyserDataReady.exchange (false);

    // Above and below both the shapes on screen and the ones the next paint draws, nothing changes: the frame's
    // grid, the response curve and the handles there stay as they are.
    const int count = changingArea();

    for (int i = 0; i < count; ++i)
    {
        repaint (changingAreas[(size_t) i]);
        pendingArea = pendingArea.getUnion (changingAreas[(size_t) i]);
    }
}

float SpectrumAnalyzer::levelY (const fftPoint& point, const float* average, float h) const noexcept
{
    float m = 0.0f;

    for (int bin = point.firstBin; bin <= point.lastBin; ++bin)
        m = juce::jmax (m, average[bin]);

    const float dB = m <= 0.0f ? floorDb : juce::jmax (20.0f * std::log10 (m), floorDb);
    return (dB - floorDb) * (-h) / rangeDb + h + 0.5f;
}

int SpectrumAnalyzer::setPolyline (const float* levels, float w, float h) noexcept
{
    pointX[0] = -w;
    pointY[0] = h;

    for (int i = 0; i < fftPointCount; ++i)
    {
        pointX[(size_t) i + 1] = (float) fftPoints[(size_t) i].x;
        pointY[(size_t) i + 1] = levels[i];
    }

    pointX[(size_t) fftPointCount + 1] = w;
    pointY[(size_t) fftPointCount + 1] = shapeStartY;
    return fftPointCount + 2;
}

int SpectrumAnalyzer::changingArea() noexcept
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    {
        const juce::ScopedLock sl (lock);
        const float* average = history.getReadPointer (0);

        // The slow shape moves towards the fast one; if the columns have changed, it starts from nothing.
        const bool glides = (int) slowY.size() == fftPointCount;

        // Without a new frame, once the slow shape has come to rest the next paint would draw the same pixels.
        bool settled = glides && ! fastShapesStale;

        for (int i = 0; i < fftPointCount; ++i)
        {
            const float y = levelY (fftPoints[(size_t) i], average, h);
            const float slow = glides ? (2.0f * slowY[(size_t) i] + y) / 3.0f : y / 3.0f;
            settled = settled && slow == slowY[(size_t) i];
            fastLevels[(size_t) i] = y;
            slowLevels[(size_t) i] = slow;
        }

        if (settled)
            return 0;

        // The fast shapes of a new frame are built by the paint; until then their rows are known only from their
        // points, the outline's widened by all it can reach.
        if (fastShapesStale)
        {
            clearStrips (workStrips);
            const int n = setPolyline (fastLevels.data(), w, h);
            addRoundedPolylineToStrips (pointX.data(), pointY.data(), n, stripWidth, h, outlineReach, workStrips);
        }
        else
        {
            workStrips = fastStrips;
        }

        const int n = setPolyline (slowLevels.data(), w, h);
        addRoundedPolylineToStrips (pointX.data(), pointY.data(), n, stripWidth, h, 0.0f, workStrips);
    }

    // The screen will show the new shapes; the paint must cover both them and the old ones.
    for (size_t s = 0; s < workStrips.size(); ++s)
    {
        const auto onScreen = screenStrips[s];
        screenStrips[s] = workStrips[s];

        if (! onScreen.isEmpty())
            workStrips[s].include (onScreen.top, onScreen.bottom);
    }

    return stripRectangles (workStrips, stripWidth, getWidth(), getHeight(), maxChangingAreas, changingAreas.data());
}

void SpectrumAnalyzer::drainFrames()
{
    auto& fifo = processor.analyserFifo;

    while (fifo.getNumReady() >= fftSize)
    {
        fftData.clear();
        float* frame = fftData.getWritePointer (0);
        const float* source = processor.analyserBuffer.getReadPointer (0);

        int start1, size1, start2, size2;
        fifo.prepareToRead (fftSize, start1, size1, start2, size2);

        // Copied from the raw samples: the audio thread keeps writing the buffer's other regions meanwhile.
        juce::FloatVectorOperations::copy (frame, source + start1, size1);

        if (size2 > 0)
            juce::FloatVectorOperations::copy (frame + size1, source + start2, size2);

        // Only half a frame is released, so the next frame starts half a frame later.
        fifo.finishedRead ((size1 + size2) / 2);

        juce::FloatVectorOperations::multiply (frame, window.getRawDataPointer(), juce::jmin (window.size(), fftSize));
        fft.performFrequencyOnlyForwardTransform (frame);

        const juce::ScopedLock sl (lock);
        history.addFrom (0, 0, history, historySlot, 0, numBins, -1.0f);
        history.copyFrom (historySlot, 0, frame, numBins, frameScale);
        history.addFrom (0, 0, history, historySlot, 0, numBins);

        if (++historySlot == averagedFrames + 1)
            historySlot = 1;

        fastShapesStale = true;
    }
}

void SpectrumAnalyzer::rebuildColumns()
{
    const float scale = (float) getWidth() / 10.0f;
    const auto sampleRate = (float) processor.processSpec.sampleRate;
    int bin = 0, x = 0, count = 0;

    // Consecutive bins whose octave position rounds to the same pixel share a column; everything at or below
    // 20 Hz lands in the first.
    while (bin < numBins)
    {
        auto& point = fftPoints[(size_t) count];
        point.firstBin = bin;
        point.x = x;
        int xNew = x;

        do
        {
            ++bin;
            const float f = (float) bin * sampleRate / (float) fftSize / 20.0f;
            const float octaves = std::log (f) / 0.6931472f;
            xNew = octaves > 0.0f ? juce::roundToInt (scale * octaves + 0.5f) : 0;
        } while (xNew <= x && bin < numBins);

        point.lastBin = bin - 1;
        ++count;
        x = xNew;
    }

    fftPointCount = count;
    fastShapesStale = true;
}

//==============================================================================
void SpectrumAnalyzer::paint (juce::Graphics& g)
{
    if (! isVisible() || rebuildCountdown > 0)
        return;

    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const juce::ScopedLock sl (lock);

    if (fastShapesStale)
        buildFastShapes (w, h);

    slowPath.clear();
    slowPath.startNewSubPath (w, shapeStartY);

    if ((int) slowY.size() != fftPointCount)
        slowY.assign ((size_t) fftPointCount, 0.0f);

    const float* average = history.getReadPointer (0);

    for (int i = fftPointCount - 1; i >= 0; --i)
    {
        auto& slow = slowY[(size_t) i];
        slow = (2.0f * slow + levelY (fftPoints[(size_t) i], average, h)) / 3.0f;
        slowPath.lineTo ((float) fftPoints[(size_t) i].x, slow);
    }

    slowPath.lineTo (-w, h);

    g.setColour (blueCurveDark);
    g.fillPath (outlinePath);

    g.setColour (blueSpectreDark);
    g.fillPath (fastShape);

    const auto slowShape = slowPath.createPathWithRoundedCorners (30.0f);
    g.setGradientFill (fillGradient);
    g.fillPath (slowShape);

    paintedTop = juce::jmin (outlinePath.getBounds().getY(), fastShape.getBounds().getY(), slowShape.getBounds().getY())
                 - 2.0f;

    // What the screen may show now: just these shapes once a paint has covered all that was asked for; otherwise
    // these where this paint reached, and what was there before elsewhere.
    workStrips = fastStrips;
    const int n = setPolyline (slowY.data(), w, h);
    addRoundedPolylineToStrips (pointX.data(), pointY.data(), n, stripWidth, h, 0.0f, workStrips);
    const bool covering = ! pendingArea.isEmpty() && g.getClipBounds().contains (pendingArea);

    for (size_t s = 0; s < workStrips.size(); ++s)
    {
        if (covering)
            screenStrips[s] = workStrips[s];
        else if (! workStrips[s].isEmpty())
            screenStrips[s].include (workStrips[s].top, workStrips[s].bottom);
    }

    if (covering)
        pendingArea = {};
}

void SpectrumAnalyzer::buildFastShapes (float w, float h)
{
    fastPath.clear();
    fastPath.startNewSubPath (w, shapeStartY);
    const float* average = history.getReadPointer (0);

    for (int i = fftPointCount - 1; i >= 0; --i)
        fastPath.lineTo ((float) fftPoints[(size_t) i].x, levelY (fftPoints[(size_t) i], average, h));

    fastPath.lineTo (-w, h);

    outlinePath.clear();
    outlineStroke.createStrokedPath (outlinePath, fastPath.createPathWithRoundedCorners (70.0f), {}, 1.0f);
    fastShape = fastPath.createPathWithRoundedCorners (25.0f);
    fastShapesStale = false;

    // The line that closes each shape below the display is the same for every frame, so it changes no pixel.
    clearStrips (fastStrips);
    addPathToStrips (outlinePath, stripWidth, h, true, fastStrips);
    addPathToStrips (fastShape, stripWidth, h, false, fastStrips);
}
