#pragma once

#include <juce_dsp/juce_dsp.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/DisplayStrips.h"

#include <vector>

class VellumarProcessor;

/** The live spectrum of the wet signal, drawn under the response curve and the XY pad.

    The audio thread writes the wet signal into the processor's analyser FIFO. Every 33 ms this component drains it
    in 4096-sample frames that overlap by half, windows and transforms each frame and keeps the average of the last
    four magnitude spectra. It paints two filled shapes over a ten-octave axis from 20 Hz: a fast one that shows the
    newest average, and a slow one whose columns glide towards it from paint to paint.

    Everything here runs on the message thread; `lock` keeps the averaged spectrum and the paths whole between the
    timer and the paint all the same.
*/
class SpectrumAnalyzer : public juce::Component,
                         private juce::Timer
{
public:
    explicit SpectrumAnalyzer (VellumarProcessor& processorToShow);
    ~SpectrumAnalyzer() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Drains the FIFO (or counts down towards rebuilding the column table after a resize). Public so that a test
        or a benchmark can tick the analyser without a running message loop. */
    void timerCallback() override;

    /** One pixel column of the display: the bins `firstBin` .. `lastBin` all fall on column `x`. */
    struct fftPoint
    {
        int firstBin = 0;
        int lastBin = 0;
        int x = 0;
    };

    static constexpr int fftOrder = 12;
    static constexpr int fftSize = 1 << fftOrder;

    //==============================================================================
    // Read-only views for tests and measurements; call them on the message thread.
    const juce::AudioBuffer<float>& getHistory() const noexcept { return history; }
    int getHistorySlot() const noexcept { return historySlot; }
    int getRebuildCountdown() const noexcept { return rebuildCountdown; }
    const juce::Array<float>& getWindow() const noexcept { return window; }
    std::vector<fftPoint> getColumns() const;
    const std::vector<float>& getSlowY() const noexcept { return slowY; }
    const juce::Path& getFastPath() const noexcept { return fastPath; }
    const juce::Path& getSlowPath() const noexcept { return slowPath; }
    const juce::ColourGradient& getFillGradient() const noexcept { return fillGradient; }

private:
    void drainFrames();
    void rebuildColumns();
    void buildFastShapes (float w, float h);

    /** The column's level on the display, y pixels from the top of a display `h` high. */
    float levelY (const fftPoint& point, const float* average, float h) const noexcept;

    /** Works out the part of the display that the next paint can change into `changingAreas` and returns how many
        rectangles it takes: none when the next paint would draw what is there. Allocates nothing. */
    int changingArea() noexcept;

    /** Sets the scratch points to the shapes' polyline with the given levels, from left to right: the closing point
        at the left, one point per column, the starting point at the right. Returns the number of points. */
    int setPolyline (const float* levels, float w, float h) noexcept;

    VellumarProcessor& processor;
    juce::ColourGradient fillGradient;
    int rebuildCountdown = 0;
    juce::dsp::FFT fft { fftOrder };
    juce::Array<float> window;
    juce::AudioBuffer<float> fftData { 1, 2 * fftSize };
    juce::AudioBuffer<float> history { 5, fftSize / 2 };
    int historySlot = 1;
    juce::Path slowPath;
    juce::Path fastPath;
    juce::Path outlinePath;
    juce::Path fastShape;
    juce::PathStrokeType outlineStroke { 10.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt };
    juce::CriticalSection lock;
    int fftPointCount = 0;
    std::vector<fftPoint> fftPoints;
    std::vector<float> slowY;

    // The fast shape and its outline change only with a new analysis frame, new columns or a new size; between those
    // paints reuse them instead of stroking and rounding the path again.
    bool fastShapesStale = true;

    // The top of what the last paint drew (the whole height until something is drawn).
    float paintedTop = 0.0f;

    // The display in strips of columns, and in each the rows the shapes' outlines reach: the outline's and the fast
    // shape's as built, and those of the shapes that the screen may show. Above and below these rows a paint draws
    // the same pixels whatever the shapes do there, so only the rows in between are repainted.
    std::vector<StripRows> fastStrips, screenStrips, workStrips;
    std::vector<juce::Rectangle<int>> changingAreas;

    // What has been asked to be repainted since the last paint that covered it.
    juce::Rectangle<int> pendingArea;

    // Scratch for the timer, which must not allocate: a polyline's points and the levels the shapes move to.
    std::vector<float> pointX, pointY, fastLevels, slowLevels;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpectrumAnalyzer)
};
