// Renders the frame with the spectrum of processed audio and the equaliser's response over it, as the editor
// stacks them, at the smallest, first and largest window sizes. The images are kept for a person to look at.

#include "DisplayTestHelpers.h"
#include "EditorTestHelpers.h"

#include "editor/DisplayStrips.h"
#include "editor/Frame.h"
#include "editor/FrequencyCurve.h"
#include "editor/SpectrumAnalyzer.h"
#include "tools/offscreen/OffscreenPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace display_testing;
using testing_helpers::setParameter;

namespace
{
struct Scene
{
    Scene (int w, int h)
    {
        testing_helpers::prepareForRender (*processor, 48000.0, 512);
        openAnalyser (*processor);

        setBand (*processor, 1, true, 1, 80.0f, 4.0f, 0.7f);
        setBand (*processor, 2, true, 2, 250.0f, -6.0f, 1.2f);
        setBand (*processor, 3, true, 2, 1200.0f, 9.0f, 2.0f);
        setBand (*processor, 4, true, 2, 4000.0f, -3.0f, 1.0f);
        setBand (*processor, 5, true, 3, 9000.0f, 5.0f, 0.8f);
        setParameter (*processor, ids::lowCut, 120.0f);
        setParameter (*processor, ids::highCut, 9000.0f);
        setParameter (*processor, ids::mix, 100.0f);

        frame.addAndMakeVisible (analyser);
        frame.addAndMakeVisible (curve);
        frame.setBounds (0, 0, w, h);
        analyser.setBounds (frame.getLocalBounds());
        curve.setBounds (frame.getLocalBounds());
    }

    /** Plays noise with a little more low end than high end, a 33 ms tick and a paint after every three blocks
        unless the caller ticks and paints itself. */
    void play (double seconds, bool tickAndPaint = true, float level = 1.0f)
    {
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        float& low = lowPassed;
        const int blocks = (int) (seconds * 48000.0 / 512.0);

        for (int b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < 512; ++i)
            {
                const float white = random.nextFloat() * 2.0f - 1.0f;
                low += 0.05f * (white - low);
                buffer.setSample (0, i, level * (0.2f * white + 1.5f * low));
                buffer.setSample (1, i, level * (0.2f * white + 1.4f * low));
            }

            processor->processBlock (buffer, midi);

            if (tickAndPaint && b % 3 == 2)
            {
                analyser.timerCallback();
                editor_testing::render (frame); // the slow shape glides once per paint
            }
        }
    }

    std::unique_ptr<VellumarProcessor> processor = testing_helpers::makeProcessor();
    juce::Random random { 21 };
    float lowPassed = 0.0f;
    Frame frame;
    SpectrumAnalyzer analyser { *processor };
    FrequencyCurve curve { *processor };
};

bool isBright (juce::Colour c) { return c.getBrightness() > 0.35f; }
} // namespace

TEST (DisplayRender, SpectrumAndResponseOverTheFrameAtThreeSizes)
{
    for (const auto& [w, h] : { std::pair { 450, 300 }, std::pair { 900, 600 }, std::pair { 1800, 1200 } })
    {
        Scene scene (w, h);
        scene.play (1.5);
        const auto image = editor_testing::render (scene.frame);
        ASSERT_EQ (image.getWidth(), w);

        // The spectrum lights the lower part of the display across the band; the top quarter stays dark apart from
        // the frame's labels.
        const auto lowerHalf = juce::Rectangle<int> (w / 20, h / 2, w - w / 10, h / 2);
        EXPECT_GT (editor_testing::countPixels (image, lowerHalf, isBright), lowerHalf.getWidth() * lowerHalf.getHeight() / 10)
            << w << " x " << h;

        editor_testing::saveArtefact (image, "displays-" + juce::String (w) + "x" + juce::String (h) + ".png");

        if (w == 900)
        {
            scene.processor->eqOffDisplay.store (true);
            editor_testing::saveArtefact (editor_testing::render (scene.frame), "displays-equaliser-off-900x600.png");
            editor_testing::saveArtefact (editor_testing::render (scene.analyser, 1.0f, juce::Colours::black),
                                          "spectrum-analyser-900x600.png");
        }
    }
}

namespace
{
struct OnScreen : Scene
{
    OnScreen() : Scene (900, 600) { window.show (frame); }

    OffscreenPeer& peer() { return window.peer(); }

    OffscreenWindow window;
};
} // namespace

TEST (DisplayRender, RepaintingOnlyTheSpectrumsChangingRowsShowsWhatWholePaintsShow)
{
    OnScreen partly;
    Scene wholly (900, 600);

    // The same audio into both; one is painted where its spectrum asks, the other whole, whenever the spectrum asks.
    // Midway the curve changes in both, and its kept layers with it.
    for (int tick = 0; tick < 60; ++tick)
    {
        if (tick == 30)
        {
            for (auto* scene : { static_cast<Scene*> (&partly), &wholly })
            {
                setParameter (*scene->processor, ids::lowCut, 430.0f);
                setBand (*scene->processor, 3, true, 4, 2500.0f, 12.0f, 3.0f);
            }
        }

        // A quiet stretch, in which the shapes fall.
        const float level = tick >= 40 && tick < 50 ? 0.0f : 1.0f;
        partly.play (512.0 * 3 / 48000.0, false, level);
        wholly.play (512.0 * 3 / 48000.0, false, level);

        // Another component's small repaint paints the spectrum there only, and the slow shape glides all the same.
        if (tick % 10 == 5 || level == 0.0f)
        {
            partly.frame.repaint (380, 120, 30, 30);
            partly.peer().performAnyPendingRepaintsNow();
            editor_testing::render (wholly.frame);
        }

        if (tick == 30)
        {
            for (auto* curve : { &partly.curve, &wholly.curve })
            {
                curve->drawFrequencyCurve();
                curve->repaint();
            }

            // A curve drawn anew from the same state shows what the kept one shows.
            FrequencyCurve fresh (*partly.processor);
            fresh.setBounds (partly.curve.getBounds());
            ASSERT_EQ (editor_testing::meanDifference (editor_testing::render (partly.curve),
                                                       editor_testing::render (fresh)), 0.0);
        }

        const juce::AudioBuffer<float> averageBefore (partly.analyser.getHistory());
        const auto fastBefore = partly.analyser.getFastPath();
        partly.analyser.timerCallback();
        wholly.analyser.timerCallback();

        if (! partly.peer().hasPendingRepaints())
            continue;

        partly.peer().performAnyPendingRepaintsNow();
        const auto whole = editor_testing::render (wholly.frame);
        ASSERT_EQ (editor_testing::meanDifference (partly.peer().screen, whole), 0.0) << tick;

        // The fast shape is kept between analysis frames, and only between them.
        const bool newFrame = std::memcmp (averageBefore.getReadPointer (0), partly.analyser.getHistory().getReadPointer (0),
                                           sizeof (float) * (size_t) averageBefore.getNumSamples()) != 0;
        EXPECT_EQ (newFrame, partly.analyser.getFastPath() != fastBefore) << tick;
    }
}

TEST (DisplayRender, ShapesChangeNoPixelOutsideTheRowsOfTheirStrips)
{
    // Polylines like the analyser's: columns far apart at the left and a pixel apart at the right, closed by points
    // below and beside the display, with corners rounded as its shapes' are, and one stroked as its outline is.
    constexpr int w = 400, h = 200, stripWidth = 16;
    constexpr float outlineReach = 5.0f + 30.0f + 2.0f;
    std::vector<float> x { -(float) w };

    for (float column = 0.0f; column < (float) w - 1.0f; column += column < 120.0f ? 17.0f : 1.0f)
        x.push_back (column);

    x.push_back ((float) w);
    juce::Random random (3);

    for (int trial = 0; trial < 24; ++trial)
    {
        const float radius = trial % 3 == 0 ? 25.0f : trial % 3 == 1 ? 30.0f : 70.0f;
        const bool stroked = trial % 3 == 2;
        const bool fromPoints = trial % 2 == 0;
        std::vector<StripRows> strips ((size_t) w / stripWidth);
        juce::Image images[2];

        for (auto& image : images)
        {
            std::vector<float> y { (float) h };

            for (size_t i = 1; i + 1 < x.size(); ++i)
                y.push_back (random.nextFloat() * (h + 20.0f) - 10.0f);

            y.push_back (800.0f);
            juce::Path path;
            path.startNewSubPath (x.back(), y.back());

            for (size_t i = x.size() - 1; i-- > 0;)
                path.lineTo (x[i], y[i]);

            path = path.createPathWithRoundedCorners (radius);

            if (stroked)
                juce::PathStrokeType (10.0f, juce::PathStrokeType::mitered).createStrokedPath (path, path);

            if (fromPoints)
                addRoundedPolylineToStrips (x.data(), y.data(), (int) x.size(), stripWidth, (float) h,
                                            stroked ? outlineReach : 0.0f, strips);
            else
                addPathToStrips (path, stripWidth, (float) h, stroked, strips);

            image = juce::Image (juce::Image::ARGB, w, h, true);
            juce::Graphics g (image);
            g.setColour (juce::Colours::white);
            g.fillPath (path);
        }

        std::vector<juce::Rectangle<int>> rows (strips.size());
        const int count = stripRectangles (strips, stripWidth, w, h, (int) rows.size(), rows.data());

        for (int py = 0; py < h; ++py)
        {
            for (int px = 0; px < w; ++px)
            {
                const bool inRows = std::any_of (rows.begin(), rows.begin() + count,
                                                 [&] (const auto& r) { return r.contains (px, py); });
                ASSERT_TRUE (inRows || images[0].getPixelAt (px, py) == images[1].getPixelAt (px, py))
                    << "trial " << trial << " at " << px << ", " << py;
            }
        }
    }
}
