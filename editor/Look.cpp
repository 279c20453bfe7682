#include "Look.h"

#include "Palette.h"

#include <VellumarEditorData.h>

namespace
{
juce::Image loadImage (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }
} // namespace

Look::Look()
{
    fontHeight = 16.0f;

    // Fonts that name no typeface of their own resolve through the default look-and-feel, so once this typeface
    // is our default sans-serif face and we are the default look-and-feel, all such text uses it.
    setDefaultSansSerifTypeface (juce::Typeface::createSystemTypefaceFor (EditorData::LeagueSpartanMedium_otf,
                                                                          EditorData::LeagueSpartanMedium_otfSize));
    juce::LookAndFeel::setDefaultLookAndFeel (this);

    setColour (juce::Label::textColourId, greyWhiteQuelt);
    setColour (juce::PopupMenu::textColourId, greyWhiteQuelt);
    setColour (juce::PopupMenu::headerTextColourId, blueQuelt);
    setColour (juce::PopupMenu::backgroundColourId, greyOpacityQuelt);
    setColour (juce::PopupMenu::highlightedTextColourId, whiteQuelt);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, blueDarkQuelt2);
    setColour (juce::ProgressBar::backgroundColourId, blueQuelt);
    setColour (juce::ProgressBar::foregroundColourId, whiteQuelt);
    setColour (juce::AlertWindow::backgroundColourId, greyDownQuelt);
    setColour (juce::AlertWindow::textColourId, whiteQuelt);
    setColour (juce::AlertWindow::outlineColourId, whiteQuelt);
    setColour (juce::TextButton::buttonColourId, whiteQuelt);
    setColour (juce::TextButton::buttonOnColourId, blueDarkQuelt);
    setColour (juce::TextButton::textColourOffId, backgroundQuelt2);
    setColour (juce::TextButton::textColourOnId, blueQuelt);
    setColour (juce::ComboBox::outlineColourId, whiteLightQuelt);
    setColour (juce::ScrollBar::backgroundColourId, blueQuelt);
    setColour (juce::ScrollBar::thumbColourId, whiteQuelt);
    setColour (juce::ScrollBar::trackColourId, blueQuelt);
    setColour (juce::TextEditor::backgroundColourId, greyBlackQuelt);
    setColour (juce::TextEditor::textColourId, whiteQuelt);
    setColour (juce::TextEditor::highlightColourId, blueQuelt);
    setColour (juce::TextEditor::outlineColourId, greyWhiteQuelt);
    setColour (juce::TextEditor::focusedOutlineColourId, blueTransChord);
    setColour (juce::TextEditor::shadowColourId, blackQuelt);
    setColour (juce::ListBox::backgroundColourId, blackQuelt);
    setColour (juce::ListBox::outlineColourId, whiteQuelt);
    setColour (juce::TableHeaderComponent::textColourId, whiteQuelt);
    setColour (juce::TableHeaderComponent::backgroundColourId, blackQuelt);
    setColour (juce::TableHeaderComponent::outlineColourId, blackQuelt);
    setColour (juce::TableHeaderComponent::highlightColourId, blackQuelt);
    setColour (juce::FileChooserDialogBox::titleTextColourId, whiteQuelt);
    setColour (juce::TooltipWindow::backgroundColourId, blackQuelt);
    setColour (juce::FileBrowserComponent::currentPathBoxTextColourId, whiteQuelt);
    setColour (juce::FileBrowserComponent::currentPathBoxArrowColourId, whiteQuelt);
    setColour (juce::FileBrowserComponent::filenameBoxBackgroundColourId, blackQuelt);
    setColour (juce::FileBrowserComponent::filenameBoxTextColourId, whiteQuelt);
    // Value boxes sit on the frame that drawRotarySlider paints under them, so they draw no outline of their own.
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0x00000000));

    knobImage = loadImage (EditorData::knob_png, EditorData::knob_pngSize);
    knobHoverImage = loadImage (EditorData::knob_hover_png, EditorData::knob_hover_pngSize);
    sliderThumbImage = loadImage (EditorData::slider_thumb_png, EditorData::slider_thumb_pngSize);
    pillOffImage = loadImage (EditorData::pill_off_png, EditorData::pill_off_pngSize);
    pillOnImage = loadImage (EditorData::pill_on_png, EditorData::pill_on_pngSize);
    roundOffImage = loadImage (EditorData::round_off_png, EditorData::round_off_pngSize);
    roundOnImage = loadImage (EditorData::round_on_png, EditorData::round_on_pngSize);
    sliceOffImage = loadImage (EditorData::slice_off_png, EditorData::slice_off_pngSize);
    sliceOnImage = loadImage (EditorData::slice_on_png, EditorData::slice_on_pngSize);
}

Look::~Look() = default;

bool Look::isHovered (const juce::Component& component) const { return component.isMouseOverOrDragging(); }

juce::Array<juce::Image> Look::getImages() const
{
    return { knobImage,     knobHoverImage, sliderThumbImage, pillOffImage, pillOnImage,
             roundOffImage, roundOnImage,   sliceOffImage,    sliceOnImage };
}

//==============================================================================
juce::Font Look::getLabelFont (juce::Label& label)
{
    // Every label follows fontHeight, whatever font was set on it before: the editor scales all text this way.
    label.setFont (juce::Font (fontHeight, juce::Font::plain));
    return label.getFont();
}

juce::Label* Look::createSliderTextBox (juce::Slider& slider)
{
    auto* label = juce::LookAndFeel_V4::createSliderTextBox (slider);

    // Only hovering counts here: a box rebuilt under the mouse lights up even when its knob is disabled.
    label->setColour (juce::Label::textColourId, isHovered (slider) ? blueLightQuelt : greyTextBoxQuelt);
    label->setFont (juce::Font (label->getFont().getHeight() - 2.0f));

    // A narrow box (a small window's) keeps its width for the text rather than for side margins.
    if (slider.getTextBoxWidth() < 44)
        label->setBorderSize ({ 1, 1, 1, 1 });

    return label;
}

//==============================================================================
void Look::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                             float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider)
{
    const auto active = isActive (slider);
    const auto radius = (float) juce::jmin (width / 2, height / 2);
    const auto pointerRadius = radius - 0.22f * (float) width;

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    // The face is a width x width square starting a tenth of its size above the area, so a knob area wider
    // than tall still gets a round knob; the value box below covers what hangs over.
    const auto dy = (int) (-0.1f * (float) width);
    g.drawImage (knobImage, 0, dy, width, width, 0, 0, knobImage.getWidth(), knobImage.getHeight());

    // The pointer: a 4 px bar from 0.45 to 1.0 of the pointer radius above the centre (plus a pixel), turned
    // to the value and moved to one pixel above the middle of the area.
    const auto angle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    juce::Path pointer;
    pointer.addRectangle (-2.0f, -1.0f - pointerRadius, 4.0f, 0.55f * pointerRadius + 1.0f);
    pointer.applyTransform (juce::AffineTransform::rotation (angle).translated (
        (float) x + 0.5f * (float) width, (float) y + 0.5f * (float) height - 1.0f));
    g.setColour (active ? blueQuelt : greyWhiteQuelt);
    g.fillPath (pointer);

    // A colour that really changes makes the slider rebuild its value box (createSliderTextBox), which is how
    // the value text lights up while the knob is under the mouse; a plain repaint changes nothing.
    if (active)
    {
        g.drawImage (knobHoverImage, 0, dy, width, width, 0, 0, knobHoverImage.getWidth(), knobHoverImage.getHeight());
        slider.setColour (juce::Slider::textBoxTextColourId, blueLightQuelt);
    }
    else
    {
        slider.setColour (juce::Slider::textBoxTextColourId, greyTextBoxQuelt);
    }

    // The value box's frame, measured from the slider's top (not y), under the box itself.
    const auto cx = (float) x + 0.5f * (float) width;
    const auto tbW = (float) slider.getTextBoxWidth();
    const auto tbH = (float) slider.getTextBoxHeight();
    const auto corner = 0.05f * (float) height;
    const auto box = valueBoxArea ((float) height, tbH);

    g.setColour (active ? blueblueQuelt : maskQuelt);
    g.drawRoundedRectangle (cx - 0.5f * tbW, box.getStart() + 1.0f, tbW, box.getLength(), corner, 2.0f);
    g.setColour (maskTextBox);
    g.fillRoundedRectangle (cx - 0.5f * tbW - 1.0f, box.getStart(), tbW - 1.0f, box.getLength(), corner);
}

juce::Range<float> Look::valueBoxArea (float top, float boxHeight) const
{
    // The box's fill runs from 2 px below the value box's top to 4 px above its bottom, where its frame's lower line
    // begins. A short box grows (within the value box) until the text, centred at the label font's height, lies
    // inside it: cap height and digits reach the ascent, a "/" a little below.
    const juce::Font font (fontHeight);
    const auto textTop = top + 0.5f * (boxHeight - fontHeight);
    const auto start = juce::jmin (top + 2.0f, std::floor (textTop));
    const auto end = juce::jlimit (top + boxHeight - 4.0f, top + boxHeight - 2.0f,
                                   std::ceil (textTop + font.getAscent() + 0.1f * fontHeight));
    return { start, end };
}

void Look::drawLinearSlider (juce::Graphics& g, int x, int, int width, int height, float sliderPos, float minSliderPos,
                             float maxSliderPos, juce::Slider::SliderStyle, juce::Slider& slider)
{
    const auto w = (float) width;
    const auto h = (float) height;
    const auto trackW = (int) (0.4f * w);
    const auto trackX = (float) x + 0.5f * w - 0.5f * (float) trackW;
    const auto corner = (float) (trackW / 2);
    const juce::Rectangle<float> track (trackX, 4.0f, (float) trackW, h - 4.0f);

    g.setColour (blackQuelt);
    g.drawRoundedRectangle (track, corner, 2.0f);
    g.setGradientFill (juce::ColourGradient (greyQuelt, 0.5f * w, 0.0f, greyPlusQuelt, 0.5f * w, h, false));
    g.fillRoundedRectangle (track, corner);

    if (! slider.isEnabled())
        return;

    const auto hovered = isHovered (slider);
    g.setGradientFill (juce::ColourGradient (hovered ? orangeQuelt : blueQuelt, 0.5f * w, 0.3f * h,
                                             hovered ? orangeDarkQuelt : blueDarkQuelt, 0.5f * w, h, false));
    const auto thumbY = 0.85f * sliderPos + 0.3f * (maxSliderPos - minSliderPos);
    g.fillRoundedRectangle (trackX, thumbY + 4.0f, (float) trackW, h - thumbY - 4.0f, corner);

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.drawImage (sliderThumbImage, 0, (int) (thumbY - 0.2f * w), width, width, 0, 0, sliderThumbImage.getWidth(),
                 sliderThumbImage.getHeight());

    if (hovered)
    {
        g.setColour (orangeQuelt);
        g.drawEllipse (0.25f * w, thumbY + 0.05f * w, 0.5f * w, 0.5f * w, 3.0f);
    }
}
