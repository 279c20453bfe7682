// The Look's switches, icon buttons, combo boxes and popup menus.

#include "Look.h"

#include "Palette.h"

Look::SwitchShape Look::getSwitchShape (int w, int h) noexcept
{
    if (w == h)
        return SwitchShape::square;

    if (w < h)
        return SwitchShape::tall;

    if (w >= 2 * h + 2)
        return SwitchShape::wide;

    if (w > 2 * h - 2)
        return SwitchShape::pill;

    return SwitchShape::shortPill;
}

const juce::Image* Look::getSwitchImage (SwitchShape shape, bool on) const noexcept
{
    switch (shape)
    {
        case SwitchShape::square: return on ? &roundOnImage : &roundOffImage;
        case SwitchShape::pill: return on ? &pillOnImage : &pillOffImage;
        case SwitchShape::wide:
        case SwitchShape::shortPill: return on ? &sliceOnImage : &sliceOffImage;
        case SwitchShape::tall: break;
    }

    return nullptr;
}

juce::Rectangle<float> Look::getHoverHighlightArea (SwitchShape shape, int width, int height) noexcept
{
    const auto w = (float) width;
    const auto h = (float) height;

    if (shape == SwitchShape::square)
        return { 0.1f * w, 0.1f * w, 0.8f * w, 0.8f * w };

    if (width >= 2 * height + 3)
        return { 0.03f * w, 0.15f * h, 0.94f * w, 0.7f * h };

    return { 0.05f * w, 0.15f * h, 0.9f * w, 0.7f * h };
}

void Look::drawHoverHighlight (juce::Graphics& g, const juce::Component& component, SwitchShape shape, int w, int h)
{
    if (! isActive (component))
        return;

    g.setColour (lightQuelt2);
    g.fillRoundedRectangle (getHoverHighlightArea (shape, w, h),
                            shape == SwitchShape::square ? 0.5f * (float) w : 0.5f * (float) h);
}

const juce::Image& Look::reducedFor (const juce::Image& image, int width)
{
    if (! image.isValid() || image.getWidth() / 2 < width)
        return image;

    auto& [source, copies] = reducedImages[image.getPixelData()];
    source = image.getPixelData();
    const juce::Image* best = &image;

    for (size_t i = 0; best->getWidth() / 2 >= juce::jmax (1, width); ++i)
    {
        if (i == copies.size())
            copies.push_back (best->rescaled (juce::jmax (1, best->getWidth() / 2), juce::jmax (1, best->getHeight() / 2),
                                              juce::Graphics::highResamplingQuality));

        best = &copies[i];
    }

    return *best;
}

void Look::drawSwitchImage (juce::Graphics& g, SwitchShape shape, const juce::Image& image, int w, int h)
{
    const auto iw = image.getWidth();
    const auto ih = image.getHeight();

    switch (shape)
    {
        case SwitchShape::square:
        {
            const auto& reduced = reducedFor (image, w);
            g.drawImage (reduced, 0, 0, w, w, 0, 0, reduced.getWidth(), reduced.getHeight());
            break;
        }

        case SwitchShape::pill:
        {
            const auto& reduced = reducedFor (image, w);
            g.drawImage (reduced, 0, 0, w, h, 0, 0, reduced.getWidth(), reduced.getHeight());
            break;
        }

        case SwitchShape::wide:
            // Square caps from both ends of the image, and a straight strip stretched between them.
            g.drawImage (image, 0, 0, h, h, 0, 0, ih, ih);
            g.drawImage (image, w - h, 0, h, h, iw - ih, 0, ih, ih);
            g.drawImage (image, h, 0, w - 2 * h, h, ih, 0, (int) (0.5 * ih), ih);
            break;

        case SwitchShape::shortPill:
        {
            // Too short for full caps: half caps at both ends. The right one's source runs past the image edge;
            // drawImage clips it at the same scale, so the image's last half-height columns land at the right.
            const auto halfIh = (int) (0.5 * ih);
            const auto halfH = (int) (0.5 * h);
            g.drawImage (image, 0, 0, halfH, h, 0, 0, halfIh, ih);
            g.drawImage (image, (int) (w - 0.5 * h), 0, h, h, (int) (iw - 0.5 * ih), 0, ih, ih);
            g.drawImage (image, halfH, 0, w - h, h, halfIh, 0, (int) (0.15 * ih), ih);
            break;
        }

        case SwitchShape::tall: break;
    }
}

//==============================================================================
void Look::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&, bool, bool)
{
    const auto w = button.getWidth();
    const auto h = button.getHeight();
    const auto shape = getSwitchShape (w, h);

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    if (auto* image = getSwitchImage (shape, button.getToggleState()))
        drawSwitchImage (g, shape, *image, w, h);

    drawHoverHighlight (g, button, shape, w, h);
}

void Look::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const auto w = button.getWidth();
    const auto h = button.getHeight();
    const auto yIndent = juce::roundToInt (0.1 * h);

    // A small button's text is held at the legible minimum, as far as the button has room for it.
    const auto legible = juce::jmin (minimumTextHeight, (float) (h - 2 * yIndent));
    g.setFont (juce::Font (juce::jmax (0.3f * (float) h, legible)));
    g.setColour (
        button
            .findColour (button.getToggleState() ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId)
            .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f));

    // Buttons at most 5 px high have no indent to divide by, and no room for legible text: they show none.
    if (yIndent <= 0)
        return;

    const auto cornerSize = juce::jmin (w, h) / 2;
    const auto leftIndent = cornerSize / (button.isConnectedOnLeft() ? 2 * yIndent : yIndent);
    const auto rightIndent = cornerSize / (button.isConnectedOnRight() ? 2 * yIndent : yIndent);
    const auto textWidth = w - leftIndent - rightIndent;

    if (textWidth > 0)
        g.drawFittedText (button.getButtonText(), leftIndent, yIndent + 1, textWidth, h - 2 * yIndent,
                          juce::Justification::centred, 2, 0.5f);
}

void Look::drawImageButton (juce::Graphics& g, juce::Image* image, int imageX, int imageY, int imageW, int imageH,
                            const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton& button)
{
    const auto w = button.getWidth();
    const auto h = button.getHeight();
    const auto shape = getSwitchShape (w, h);
    const auto on = button.getToggleState();

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    const auto& background = reducedFor (shape == SwitchShape::square ? (on ? roundOnImage : roundOffImage)
                                                                      : (on ? pillOnImage : pillOffImage), w);
    g.drawImage (background, 0, 0, w, shape == SwitchShape::square ? w : h, 0, 0, background.getWidth(),
                 background.getHeight());

    if (image != nullptr && image->isValid())
    {
        // The icon sits at 40 % of its rectangle; with the whole button as that rectangle, in the middle 40 %. On a
        // small button it takes more of the disc, up to 64 %, so that it stays 9 px wide and recognisable.
        const auto share = juce::jlimit (0.4f, 0.64f, 9.0f / (float) juce::jmax (1, imageW));
        const auto& icon = reducedFor (*image, juce::roundToInt (share * (float) imageW));
        const auto t = juce::RectanglePlacement (juce::RectanglePlacement::stretchToFit)
                           .getTransformToFit (icon.getBounds().toFloat(),
                                               juce::Rectangle<int> (imageX, imageY, imageW, imageH).toFloat())
                           .scaled (share)
                           .translated (0.5f * (1.0f - share) * (float) w, 0.5f * (1.0f - share) * (float) h);

        if (! overlayColour.isOpaque())
        {
            g.setOpacity (button.isEnabled() ? imageOpacity : 0.3f * imageOpacity);
            g.drawImageTransformed (icon, t, false);
        }

        if (! overlayColour.isTransparent())
        {
            g.setColour (overlayColour);
            g.drawImageTransformed (icon, t, true);
        }
    }

    drawHoverHighlight (g, button, shape, w, h);
}

//==============================================================================
void Look::drawComboBox (juce::Graphics& g, int width, int height, bool, int buttonX, int buttonY, int buttonW,
                         int buttonH, juce::ComboBox&)
{
    const juce::Rectangle<float> body (2.0f, 2.0f, (float) width - 4.0f, (float) height - 4.0f);
    const auto corner = 0.4f * (float) height;

    g.setGradientFill (juce::ColourGradient (backgroundQueltL, 0.48f * (float) width, 0.0f, greyBlackQuelt,
                                             0.51f * (float) width, (float) height, false));
    g.fillRoundedRectangle (body, corner);
    g.setColour (blackQuelt);
    g.drawRoundedRectangle (body, corner, 2.0f);

    g.setColour (whiteQuelt);
    g.setFont (juce::Font ((float) buttonW));
    g.drawText (":", buttonX, buttonY, buttonW, buttonH, juce::Justification::left, true);
}

void Look::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.setColour (findColour (juce::PopupMenu::backgroundColourId));
    g.fillRoundedRectangle (0.0f, 0.0f, (float) width, (float) height, 6.0f);
}

void Look::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                              bool isHighlighted, bool, bool hasSubMenu, const juce::String& text,
                              const juce::String& shortcutKeyText, const juce::Drawable*,
                              const juce::Colour* textColourToUse)
{
    const auto left = (float) area.getX();
    const auto top = (float) area.getY();
    const auto w = (float) area.getWidth();
    const auto h = (float) area.getHeight();

    if (isSeparator)
    {
        g.setColour (whitePadQuelt);
        g.drawLine (left, top + h, left + w, top + h);
        return;
    }

    // A short divider at the top of every item, the first included; it keeps full colour on inactive items.
    g.setColour (termsQuelt);
    g.drawLine (left + 0.4f * w, top, left + 0.6f * w, top);

    auto textColour = textColourToUse != nullptr ? *textColourToUse : findColour (juce::PopupMenu::textColourId);

    if (isHighlighted)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRect (area);
        textColour = findColour (juce::PopupMenu::highlightedTextColourId);
    }

    g.setColour (textColour);

    if (! isActive)
        g.setOpacity (0.3f);

    auto font = juce::LookAndFeel_V2::getPopupMenuFont();
    font.setHeight (0.64f * h);
    font.setBold (false);
    g.setFont (font);

    auto textArea = area;

    if (hasSubMenu)
    {
        const auto arrowH = 0.6f * juce::LookAndFeel_V2::getPopupMenuFont().getAscent();
        const auto strip = textArea.removeFromRight ((int) arrowH);
        const auto ax = (float) strip.getX();
        const auto cy = (float) (strip.getY() + strip.getHeight() / 2);

        juce::Path arrow;
        arrow.addTriangle (ax, cy - 0.5f * arrowH, ax, cy + 0.5f * arrowH, ax + 0.6f * arrowH, cy);
        g.fillPath (arrow);
    }

    g.drawFittedText (text, textArea, juce::Justification::centred, 1, 0.0f);

    if (shortcutKeyText.isNotEmpty())
    {
        font.setHeight (0.75f * font.getHeight());
        font.setHorizontalScale (0.95f);
        g.setFont (font);
        g.drawText (shortcutKeyText, textArea, juce::Justification::centred, true);
    }
}

void Look::drawPopupMenuSectionHeader (juce::Graphics& g, const juce::Rectangle<int>& area,
                                       const juce::String& sectionName)
{
    g.setFont (juce::LookAndFeel_V2::getPopupMenuFont().boldened());
    g.setColour (findColour (juce::PopupMenu::headerTextColourId));
    g.drawFittedText (sectionName, area, juce::Justification::centred, 1, 0.0f);
}

float Look::getSectionHeaderHeight (const juce::PopupMenu::Options& options) noexcept
{
    // The menu font's 17 px over the 21 px items of a 900 x 600 window, and in that proportion to other items.
    const auto itemHeight = options.getStandardItemHeight();
    return itemHeight > 0 ? 17.0f * (float) itemHeight / 21.0f : 17.0f;
}

void Look::drawPopupMenuSectionHeaderWithOptions (juce::Graphics& g, const juce::Rectangle<int>& area,
                                                  const juce::String& sectionName,
                                                  const juce::PopupMenu::Options& options)
{
    g.setFont (juce::LookAndFeel_V2::getPopupMenuFont().withHeight (getSectionHeaderHeight (options)).boldened());
    g.setColour (findColour (juce::PopupMenu::headerTextColourId));
    g.drawFittedText (sectionName, area, juce::Justification::centred, 1, 0.0f);
}

void Look::getIdealPopupMenuItemSizeWithOptions (const juce::String& text, bool isSeparator,
                                                 int standardMenuItemHeight, int& idealWidth, int& idealHeight,
                                                 const juce::PopupMenu::Options& options)
{
    if (isSeparator)
    {
        juce::LookAndFeel_V4::getIdealPopupMenuItemSizeWithOptions (text, true, standardMenuItemHeight, idealWidth,
                                                                     idealHeight, options);
        return;
    }

    // JUCE measures an item in the menu font at no more than 17 px, however tall the item, while the text is drawn
    // at 0.64 of the item's height: a tall item's text would not fit. Measured at the height JUCE takes for items
    // of up to 22 px, the text fits every item; a header (no item height) scales with the menu's items.
    const auto textHeight = standardMenuItemHeight > 0 ? (float) standardMenuItemHeight / 1.3f
                                                       : getSectionHeaderHeight (options);
    idealHeight = standardMenuItemHeight > 0 ? standardMenuItemHeight : juce::roundToInt (textHeight * 1.3f);
    idealWidth = juce::LookAndFeel_V2::getPopupMenuFont().withHeight (textHeight).getStringWidth (text) + 2 * idealHeight;
}
