#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

using editor_testing::HoverLook;
using editor_testing::render;
using Shape = Look::SwitchShape;

namespace
{
enum ImageIndex
{
    pillOff = 3,
    pillOn,
    roundOff,
    roundOn,
    sliceOff,
    sliceOn
};

bool isOpaque (juce::Colour c) { return c.getAlpha() > 200; }

juce::Image renderButton (juce::Button& button, Look& look, int w, int h, bool on)
{
    button.setLookAndFeel (&look);
    button.setSize (w, h);
    button.setToggleState (on, juce::dontSendNotification);
    auto image = render (button);
    button.setLookAndFeel (nullptr);
    return image;
}

juce::Image solidIcon()
{
    juce::Image icon (juce::Image::ARGB, 10, 10, true);
    icon.clear (icon.getBounds(), juce::Colours::white);
    return icon;
}
} // namespace

TEST (LookButtons, ProportionsDecideTheSwitchShape)
{
    EXPECT_EQ (Look::getSwitchShape (100, 100), Shape::square);
    EXPECT_EQ (Look::getSwitchShape (100, 50), Shape::pill);
    EXPECT_EQ (Look::getSwitchShape (101, 50), Shape::pill);
    EXPECT_EQ (Look::getSwitchShape (99, 50), Shape::pill);
    EXPECT_EQ (Look::getSwitchShape (102, 50), Shape::wide);
    EXPECT_EQ (Look::getSwitchShape (98, 50), Shape::shortPill);
    EXPECT_EQ (Look::getSwitchShape (60, 50), Shape::shortPill);
    EXPECT_EQ (Look::getSwitchShape (40, 50), Shape::tall);

    // The editor's own buttons at 900 x 600: type buttons 72 x 36, number buttons 33 x 33, PRESETS 225 x 39,
    // "<" and ">" 34 x 33.
    EXPECT_EQ (Look::getSwitchShape (72, 36), Shape::pill);
    EXPECT_EQ (Look::getSwitchShape (33, 33), Shape::square);
    EXPECT_EQ (Look::getSwitchShape (225, 39), Shape::wide);
    EXPECT_EQ (Look::getSwitchShape (34, 33), Shape::shortPill);
}

TEST (LookButtons, EachShapeAndStatePicksItsSwitchImage)
{
    Look look;
    const auto images = look.getImages();
    const struct
    {
        Shape shape;
        int off, on;
    } expected[] = { { Shape::square, roundOff, roundOn },
                     { Shape::pill, pillOff, pillOn },
                     { Shape::wide, sliceOff, sliceOn },
                     { Shape::shortPill, sliceOff, sliceOn } };

    for (const auto& e : expected)
    {
        ASSERT_NE (look.getSwitchImage (e.shape, false), nullptr);
        ASSERT_NE (look.getSwitchImage (e.shape, true), nullptr);
        EXPECT_EQ (*look.getSwitchImage (e.shape, false), images[e.off]) << (int) e.shape;
        EXPECT_EQ (*look.getSwitchImage (e.shape, true), images[e.on]) << (int) e.shape;
    }

    EXPECT_EQ (look.getSwitchImage (Shape::tall, false), nullptr);
    EXPECT_EQ (look.getSwitchImage (Shape::tall, true), nullptr);
}

TEST (LookButtons, TextButtonsShowTheirStateInTheDrawnImage)
{
    Look look;
    juce::TextButton button ("ROOM");

    // Switched on, every shaped button gets a cyan rim; switched off, none has any cyan.
    for (auto size : { juce::Point<int> (33, 33), { 72, 36 }, { 225, 39 }, { 34, 33 } })
    {
        const auto area = juce::Rectangle<int> (size.x, size.y);
        const auto on = renderButton (button, look, size.x, size.y, true);
        const auto off = renderButton (button, look, size.x, size.y, false);
        EXPECT_GT (editor_testing::countPixels (on, area, editor_testing::isCyan), 20) << size.toString();
        EXPECT_EQ (editor_testing::countPixels (off, area, editor_testing::isCyan), 0) << size.toString();
        EXPECT_GT (editor_testing::countPixels (off, area, isOpaque), area.getWidth() * area.getHeight() / 2)
            << size.toString();
    }

    // A tall button has no image: only its text.
    button.setButtonText ({});
    const auto tall = renderButton (button, look, 40, 50, true);
    EXPECT_EQ (editor_testing::countPixels (tall, { 40, 50 }, isOpaque), 0);
}

TEST (LookButtons, SlicedSwitchesKeepTheirCapsWhole)
{
    Look look;
    juce::TextButton button;

    // Wide: the caps keep their shape and the middle strip is the same in every column.
    const auto wide = renderButton (button, look, 300, 50, false);

    for (int x = 60; x < 240; x += 7)
        for (int y = 0; y < 50; ++y)
        {
            const auto p = wide.getPixelAt (x, y);
            const auto q = wide.getPixelAt (150, y);
            ASSERT_LE (std::abs (p.getAlpha() - q.getAlpha()) + std::abs (p.getGreen() - q.getGreen()), 3)
                << x << ", " << y;
        }

    // Short: the right half cap comes from the image's right end, so the switch is a mirror image of itself.
    for (auto width : { 80, 60, 98 })
    {
        const auto shortSwitch = renderButton (button, look, width, 50, false);
        double difference = 0.0;

        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < width / 2; ++x)
                difference += std::abs (shortSwitch.getPixelAt (x, y).getAlpha() -
                                        shortSwitch.getPixelAt (width - 1 - x, y).getAlpha());

        EXPECT_LT (difference / (25.0 * width), 8.0) << width;
    }
}

TEST (LookButtons, HoverHighlightFollowsTheProportions)
{
    const auto expectArea = [] (juce::Rectangle<float> area, float x, float y, float w, float h)
    {
        EXPECT_NEAR (area.getX(), x, 1.0e-4f);
        EXPECT_NEAR (area.getY(), y, 1.0e-4f);
        EXPECT_NEAR (area.getWidth(), w, 1.0e-4f);
        EXPECT_NEAR (area.getHeight(), h, 1.0e-4f);
    };

    expectArea (Look::getHoverHighlightArea (Shape::square, 40, 40), 4.0f, 4.0f, 32.0f, 32.0f);
    expectArea (Look::getHoverHighlightArea (Shape::wide, 103, 50), 3.09f, 7.5f, 96.82f, 35.0f);
    expectArea (Look::getHoverHighlightArea (Shape::wide, 102, 50), 5.1f, 7.5f, 91.8f, 35.0f);
    expectArea (Look::getHoverHighlightArea (Shape::tall, 40, 50), 2.0f, 7.5f, 36.0f, 35.0f);

    // Only an active button shows it: a disabled one under the mouse looks as when the mouse is away.
    HoverLook look;
    juce::TextButton button ("PLATE");
    const auto plain = renderButton (button, look, 72, 36, false);
    look.setHovered (button, true);
    const auto hovered = renderButton (button, look, 72, 36, false);
    button.setEnabled (false);
    const auto disabledHovered = renderButton (button, look, 72, 36, false);
    look.setHovered (button, false);
    const auto disabled = renderButton (button, look, 72, 36, false);

    EXPECT_GT (editor_testing::meanDifference (plain, hovered), 1.0);
    EXPECT_EQ (editor_testing::meanDifference (disabled, disabledHovered), 0.0);
}

TEST (LookButtons, TinyButtonsDrawNoTextInsteadOfDividingByZero)
{
    Look look;
    juce::TextButton withText ("SHIMMER"), withoutText;

    for (auto height : { 1, 4, 5 })
        EXPECT_EQ (editor_testing::meanDifference (renderButton (withText, look, 40, height, false),
                                                   renderButton (withoutText, look, 40, height, false)),
                   0.0)
            << height;

    // From 6 px up the text is drawn.
    EXPECT_GT (editor_testing::meanDifference (renderButton (withText, look, 60, 12, false),
                                               renderButton (withoutText, look, 60, 12, false)),
               0.0);
}

TEST (LookButtons, ImageButtonIconOpacityAndOverlay)
{
    Look look;
    juce::ImageButton button;
    const auto icon = solidIcon();
    const auto centre = juce::Point<int> (50, 50);

    const auto setIcon = [&] (juce::Colour overlay)
    {
        button.setImages (false, true, true, icon, 1.0f, overlay, {}, 1.0f, juce::Colours::transparentBlack, icon, 1.0f,
                          overlay, 0.0f);
    };

    // Transparent overlay: the plain icon, at full opacity, in the middle 40 %.
    setIcon (juce::Colours::transparentBlack);
    const auto enabled = renderButton (button, look, 100, 100, false);
    EXPECT_EQ (enabled.getPixelAt (centre.x, centre.y), juce::Colours::white);
    EXPECT_NE (enabled.getPixelAt (25, 50), juce::Colours::white) << "outside the middle 40 %";

    // Disabled: the icon at 0.3 of its opacity over the switch image.
    button.setEnabled (false);
    const auto disabled = renderButton (button, look, 100, 100, false);
    juce::ImageButton blank;
    const juce::Image clearIcon (juce::Image::ARGB, 10, 10, true);
    blank.setImages (false, true, true, clearIcon, 1.0f, {}, {}, 1.0f, {}, clearIcon, 1.0f, {}, 0.0f);
    const auto background = renderButton (blank, look, 100, 100, false);
    button.setEnabled (true);
    const auto mixed = disabled.getPixelAt (centre.x, centre.y);
    EXPECT_NEAR (mixed.getRed(), 0.3f * 255.0f + 0.7f * (float) background.getPixelAt (centre.x, centre.y).getRed(),
                 3.0f);

    // Opaque overlay: only the tinted icon.
    setIcon (juce::Colours::red);
    EXPECT_EQ (renderButton (button, look, 100, 100, false).getPixelAt (centre.x, centre.y), juce::Colours::red);
}

TEST (LookPopupMenu, SeparatorsDividersHighlightAndInactiveItems)
{
    Look look;
    const juce::Rectangle<int> area (0, 0, 200, 24);

    const auto drawItem = [&] (bool separator, bool active, bool highlighted)
    {
        juce::Image image (juce::Image::ARGB, 200, 25, true);
        juce::Graphics g (image);
        look.drawPopupMenuItem (g, area, separator, active, highlighted, false, false, "Cathedral", {}, nullptr,
                                nullptr);
        return image;
    };

    // A separator is a line along the item's bottom edge and nothing else.
    const auto separator = drawItem (true, true, false);
    EXPECT_GT (separator.getPixelAt (100, 23).getAlpha(), 0);
    EXPECT_EQ (separator.getPixelAt (100, 12).getAlpha(), 0);
    EXPECT_EQ (separator.getPixelAt (100, 0).getAlpha(), 0);

    // Other items carry a short divider at the top, from 40 % to 60 % of the width.
    const auto item = drawItem (false, true, false);
    EXPECT_GT (item.getPixelAt (100, 0).getAlpha(), 0);
    EXPECT_EQ (item.getPixelAt (20, 0).getAlpha(), 0);

    // An inactive item's text is much fainter; its divider keeps its colour.
    const auto inactive = drawItem (false, false, false);
    int brightestActive = 0, brightestInactive = 0;

    for (int y = 3; y < 22; ++y)
        for (int x = 40; x < 160; ++x)
        {
            brightestActive = juce::jmax (brightestActive, (int) item.getPixelAt (x, y).getAlpha());
            brightestInactive = juce::jmax (brightestInactive, (int) inactive.getPixelAt (x, y).getAlpha());
        }

    EXPECT_GT (brightestActive, 200);
    EXPECT_LT (brightestInactive, 100);
    EXPECT_EQ (inactive.getPixelAt (100, 0), item.getPixelAt (100, 0));

    // Highlighted: the item's area is filled with the highlight colour.
    EXPECT_EQ (drawItem (false, true, true).getPixelAt (3, 12), blueDarkQuelt2);
}

TEST (LookButtons, SwitchRimsStayWholeAtEverySize)
{
    // A switch that is on, at the sizes the window gives its round switches, against the same switch drawn eight
    // times as large and reduced evenly: a reduction that skips pixels breaks the glowing rim into dots.
    Look look;
    juce::ImageButton button;
    const juce::Image clearIcon (juce::Image::ARGB, 10, 10, true);
    button.setImages (false, true, true, clearIcon, 1.0f, {}, {}, 1.0f, {}, clearIcon, 1.0f, {}, 0.0f);

    for (const int size : { 14, 16, 29, 33, 59, 66 })
    {
        auto reference = renderButton (button, look, 8 * size, 8 * size, true);

        for (int halving = 0; halving < 3; ++halving)
            reference = reference.rescaled (reference.getWidth() / 2, reference.getHeight() / 2,
                                            juce::Graphics::highResamplingQuality);

        EXPECT_LT (editor_testing::meanDifference (renderButton (button, look, size, size, true), reference),
                   size < 16 ? 8.0 : 4.0) << size << " px";
    }
}
