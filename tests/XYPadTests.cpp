// The equaliser pad on a real processor's parameters: where the handles sit, what a press, a drag, a release and a
// double-click do to the parameters and to the host's gestures, and which band ends up selected.

#include "EditorTestHelpers.h"
#include "TestHelpers.h"
#include "XYPadTestHelpers.h"

#include "editor/BandEditor.h"
#include "editor/Frame.h"
#include "engine/parameters/ParameterFactories.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

using namespace xypad_testing;
using testing_helpers::getParameter;
using testing_helpers::setParameter;

TEST_F (XYPadTest, HandlesWaitAtTheCornerUntilThePadHasASize)
{
    XYPad fresh (bandParameters (processor));

    for (const auto& handle : fresh.handles)
    {
        EXPECT_EQ (handle->x, 0.0f);
        EXPECT_EQ (handle->y, 0.0f);
    }

    fresh.setSize (400, 200);
    EXPECT_NEAR (fresh.handles[0]->x, eq::positionFromFrequency (40.0f) * 400.0f, 1e-3f);
    EXPECT_NEAR (fresh.handles[4]->x, eq::positionFromFrequency (10000.0f) * 400.0f, 1e-3f);
    EXPECT_EQ (fresh.handles[2]->y, 100.0f);
}

TEST_F (XYPadTest, HandlePositionsComeFromTheParameterValues)
{
    // The band defaults: 40, 170, 800, 3000 and 10000 Hz, all at 0 dB, on the frame's own grid.
    const float defaults[] { 40.0f, 170.0f, 800.0f, 3000.0f, 10000.0f };

    for (int k = 0; k < 5; ++k)
    {
        EXPECT_NEAR (handle (k).x, eq::positionFromFrequency (defaults[k]) * width, 1e-3f) << "band " << k + 1;
        EXPECT_NEAR (handle (k).x, Frame::xForFrequency (defaults[k], width), 1e-3f);
        EXPECT_EQ (handle (k).y, 240.0f);
    }

    setParameter (processor, "3Freq", 1000.0f);
    setParameter (processor, "3Gain", 12.0f);
    EXPECT_NEAR (handle (2).x, Frame::xForFrequency (1000.0f, width), 1e-3f);
    EXPECT_NEAR (handle (2).y, Frame::yForGain (12.0f, height), 1e-3f);

    setParameter (processor, "1Gain", 24.0f);
    setParameter (processor, "5Gain", -24.0f);
    setParameter (processor, "5Freq", 20000.0f);
    EXPECT_NEAR (handle (0).y, 0.0f, 1e-3f);
    EXPECT_NEAR (handle (4).y, height, 1e-3f);
    EXPECT_NEAR (handle (4).x, eq::positionFromFrequency (20000.0f) * width, 1e-3f) << "20 kHz is just short of the edge";
}

TEST_F (XYPadTest, ResizingReplacesEveryHandleWithoutTellingTheHost)
{
    setParameter (processor, "2Gain", -6.0f);
    ParameterLog log (processor);

    pad.setSize (500, 240);

    for (int k = 0; k < 5; ++k)
    {
        const auto* x = processor.apvts.getParameter (getPrmName (k + 1, "Freq"));
        const auto* y = processor.apvts.getParameter (getPrmName (k + 1, "Gain"));
        EXPECT_NEAR (handle (k).x, x->getValue() * 500.0f, 1e-3f);
        EXPECT_NEAR (handle (k).y, 240.0f - y->getValue() * 240.0f, 1e-3f);
    }

    EXPECT_NEAR (handle (1).y, Frame::yForGain (-6.0f, 240.0f), 1e-3f);
    EXPECT_TRUE (log.entries.empty()) << "a resize changes no parameter, so nobody but the handles hears of it";
}

TEST_F (XYPadTest, HandlesFollowChangesMadeOnOtherThreads)
{
    std::thread automation ([this] { setParameter (processor, "4Gain", 6.0f); });
    automation.join();
    EXPECT_EQ (handle (3).y, 240.0f) << "the change reaches the pad on the message thread";

    dispatchPendingMessages();
    EXPECT_NEAR (handle (3).y, Frame::yForGain (6.0f, height), 1e-3f);
}

TEST_F (XYPadTest, APressBesideEveryHandleChangesNothing)
{
    setParameter (processor, "3Freq", 640.0f); // x = 500
    press (handle (4).x, handle (4).y);
    release();
    move (0, 0);
    ASSERT_EQ (pad.selectedHandle, 4);
    render();

    ParameterLog log (processor);
    const auto values = allBandValues();

    press (509.0f, 241.0f); // 9.06 pixels from band 3
    drag (700.0f, 100.0f);
    release();

    EXPECT_TRUE (log.entries.empty());
    EXPECT_EQ (pad.selectedHandle, 4);
    EXPECT_EQ (pad.draggedHandle, nullptr);
    EXPECT_EQ (allBandValues(), values);

    press (508.0f, 244.0f); // 8.94 pixels: in reach
    EXPECT_EQ (pad.selectedHandle, 2);
    release();
}

TEST_F (XYPadTest, TheLowerBandWinsWhenTwoHandlesAreInReach)
{
    setParameter (processor, "2Freq", 640.0f); // x = 500
    setParameter (processor, "3Freq", 660.0f); // x = 504.4
    render();
    ParameterLog log (processor);

    press (502.0f, 240.0f);
    release();

    EXPECT_EQ (pad.selectedHandle, 1);
    EXPECT_EQ (pad.draggedHandle, &handle (1));
    EXPECT_EQ (log.gestures ("2Freq"), "begin end");
    EXPECT_EQ (log.gestures ("3Freq"), "");
    EXPECT_EQ (log.gestures ("3Gain"), "");
}

TEST_F (XYPadTest, DraggingAHandleIsOneGestureOnBothParameters)
{
    ParameterLog log (processor);

    press (handle (2).x, handle (2).y);
    EXPECT_EQ (log.gestures ("3Freq"), "begin");
    EXPECT_EQ (log.gestures ("3Gain"), "begin");

    drag (700.0f, 120.0f);
    drag (720.0f, 60.0f);
    EXPECT_NEAR (getParameter (processor, "3Freq"), eq::frequencyFromPosition (0.72f), 0.05f);
    EXPECT_NEAR (getParameter (processor, "3Gain"), 18.0f, 1e-4f);
    EXPECT_NEAR (handle (2).x, 720.0f, 1e-2f) << "the handle follows through its attachments";
    EXPECT_NEAR (handle (2).y, 60.0f, 1e-2f);

    release();
    EXPECT_EQ (log.gestures ("3Freq"), "begin end");
    EXPECT_EQ (log.gestures ("3Gain"), "begin end");
    EXPECT_TRUE (log.valueChangesLieInsideGestures());

    for (const auto& id : { "1Freq", "1Gain", "2Freq", "2Gain", "4Freq", "4Gain", "5Freq", "5Gain" })
        EXPECT_EQ (log.count (id), 0) << id;
}

TEST_F (XYPadTest, DraggingPastTheEdgesStopsTheHandleAtTheEdge)
{
    press (handle (1).x, handle (1).y);
    drag (-50.0f, height + 50.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Freq"), 20.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Gain"), -24.0f);
    EXPECT_NEAR (handle (1).x, 0.0f, 1e-3f);
    EXPECT_NEAR (handle (1).y, height, 1e-3f);

    drag (width + 80.0f, -40.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Freq"), 20000.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Gain"), 24.0f);
    EXPECT_NEAR (handle (1).x, eq::positionFromFrequency (20000.0f) * width, 1e-3f);
    EXPECT_NEAR (handle (1).y, 0.0f, 1e-3f);
    release();
}

TEST_F (XYPadTest, PressingAHandleSelectsItsBandAndRefreshesItsGainListeners)
{
    // The editor shows a band in its shared knobs when that band's hidden Gain slider reports a change.
    BandEditor band4 (processor.apvts, 4);
    int refreshes = 0;
    band4.gainSlider.onValueChange = [&] { ++refreshes; };

    for (const auto gain : { 5.5f, 24.0f, -24.0f, 0.0f })
    {
        setParameter (processor, "4Gain", gain);
        render();
        const auto frequency = getParameter (processor, "4Freq");
        const auto position = std::make_pair (handle (3).x, handle (3).y);
        pad.selectedHandle = 0;
        refreshes = 0;

        press (handle (3).x, handle (3).y);
        release();

        EXPECT_EQ (pad.selectedHandle, 3) << gain << " dB";
        EXPECT_GT (refreshes, 0) << gain << " dB";
        EXPECT_FLOAT_EQ (getParameter (processor, "4Gain"), gain);
        EXPECT_FLOAT_EQ (getParameter (processor, "4Freq"), frequency);
        EXPECT_FLOAT_EQ ((float) band4.gainSlider.getValue(), gain);
        EXPECT_EQ (std::make_pair (handle (3).x, handle (3).y), position) << "the handle does not move";
        move (0, 0);
    }
}

TEST_F (XYPadTest, RingsStayAfterTheReleaseUntilTheMouseMoves)
{
    // Band 3 selected and the mouse moved on, so the second press adds only the rings.
    press (handle (2).x, handle (2).y);
    release();
    move (0.0f, 0.0f);
    const auto before = render();

    press (handle (2).x, handle (2).y);
    release();
    EXPECT_EQ (pad.draggedHandle, &handle (2));

    const auto withRings = render();
    const auto around = juce::Rectangle<int> ((int) handle (2).x - 12, (int) handle (2).y - 12, 25, 25);
    const auto changed = changedPixels (before, withRings);
    EXPECT_GT (changed.size(), 100u);

    for (const auto& p : changed)
        ASSERT_TRUE (around.contains (p)) << "only the pressed handle gains rings";

    move (handle (2).x + 1.0f, handle (2).y);
    EXPECT_EQ (pad.draggedHandle, nullptr);
    EXPECT_TRUE (changedPixels (before, render()).empty()) << "the rings are gone, the halo stays";
}

TEST_F (XYPadTest, DoubleClickResetsTheGainAsAGestureOfItsOwn)
{
    setParameter (processor, "2Freq", 300.0f);
    setParameter (processor, "2Gain", 9.0f);
    render();
    ParameterLog log (processor);

    doubleClick (handle (1).x, handle (1).y);

    EXPECT_FLOAT_EQ (getParameter (processor, "2Gain"), 0.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Freq"), 300.0f);
    EXPECT_EQ (log.gestures ("2Gain"), "begin end begin end begin end");
    EXPECT_EQ (log.gestures ("2Freq"), "begin end begin end");
    EXPECT_TRUE (log.valueChangesLieInsideGestures());
    EXPECT_NEAR (handle (1).y, height / 2.0f, 1e-3f);

    // A double-click whose press found no handle resets nothing.
    setParameter (processor, "2Gain", 9.0f);
    move (10.0f, 10.0f);
    doubleClick (10.0f, 10.0f);
    EXPECT_FLOAT_EQ (getParameter (processor, "2Gain"), 9.0f);
}

TEST_F (XYPadTest, APressThatMissesLeavesTheLastPressedBandAlone)
{
    // After a double-click the handle jumps to 0 dB under a still mouse; pressing and dragging there again must not
    // move that band, nor end a gesture that was never begun.
    setParameter (processor, "2Gain", 12.0f);
    render();
    const auto spot = juce::Point<float> (handle (1).x, handle (1).y);
    doubleClick (spot.x, spot.y);
    render();
    ASSERT_FLOAT_EQ (getParameter (processor, "2Gain"), 0.0f);

    ParameterLog log (processor);
    press (spot.x, spot.y);
    drag (spot.x + 40.0f, spot.y - 40.0f);
    release();

    EXPECT_TRUE (log.entries.empty());
    EXPECT_FLOAT_EQ (getParameter (processor, "2Gain"), 0.0f);
    EXPECT_EQ (pad.draggedHandle, nullptr);
}

TEST_F (XYPadTest, RendersTheBandsOverTheFrame)
{
    const std::pair<float, float> bands[] { { 60.0f, 6.0f }, { 220.0f, -4.5f }, { 900.0f, 9.0f },
                                            { 3500.0f, -10.0f }, { 11000.0f, 3.0f } };

    for (int k = 0; k < 5; ++k)
    {
        setParameter (processor, getPrmName (k + 1, "Freq"), bands[k].first);
        setParameter (processor, getPrmName (k + 1, "Gain"), bands[k].second);
    }

    Look look;
    Frame frame;
    frame.addAndMakeVisible (pad);

    for (const auto& [w, h, name] : { std::make_tuple (560, 270, "xypad-560x270.png"),
                                      std::make_tuple (1120, 540, "xypad-1120x540.png") })
    {
        frame.setSize (w, h);
        pad.setBounds (frame.getLocalBounds());
        editor_testing::render (frame);

        // Band 3 held down and dragged a little, band 3 selected: rings on it, the halo follows the selection.
        press (handle (2).x, handle (2).y);
        drag (handle (2).x + 6.0f, handle (2).y - 4.0f);
        const auto image = editor_testing::render (frame);

        // A close-up of the held handle, six times enlarged, to see the rings.
        constexpr float zoom = 6.0f;
        const auto closeUp = editor_testing::render (frame, zoom).getClippedImage (
            juce::Rectangle<float> (40.0f, 40.0f).withCentre ({ handle (2).x, handle (2).y }).toNearestInt() * zoom);
        editor_testing::saveArtefact (closeUp, juce::String (name).replace (".png", "-held-band.png"));
        release();
        move (0, 0);

        for (int k = 0; k < 5; ++k)
        {
            const auto centre = image.getPixelAt ((int) handle (k).x, (int) handle (k).y);
            EXPECT_GT (centre.getBrightness(), 0.6f) << "band " << k + 1 << " at " << w << " x " << h;
        }

        editor_testing::saveArtefact (image, name);
    }
}
