// Renders every control the Look draws onto a stand-in for the editor's panel, at half, normal and double
// window size, and keeps the images as test artefacts for a person to look at.

#include "EditorTestHelpers.h"

#include <VellumarEditorData.h>
#include <gtest/gtest.h>

using editor_testing::HoverLook;

namespace
{
/** A popup menu, drawn item by item as JUCE's menu window would. */
struct MenuPreview : juce::Component
{
    void paint (juce::Graphics& g) override
    {
        auto& look = getLookAndFeel();
        look.drawPopupMenuBackground (g, getWidth(), getHeight());

        const auto itemHeight = getHeight() / 7;
        auto area = getLocalBounds().withHeight (itemHeight);
        const auto next = [&]
        {
            auto r = area;
            area.translate (0, itemHeight);
            return r;
        };

        look.drawPopupMenuSectionHeader (g, next(), "FACTORY");
        look.drawPopupMenuItem (g, next(), false, true, false, false, false, "Cathedral", {}, nullptr, nullptr);
        look.drawPopupMenuItem (g, next(), false, true, true, false, false, "Drum Room", {}, nullptr, nullptr);
        look.drawPopupMenuItem (g, next(), false, false, false, false, false, "Old Spring", {}, nullptr, nullptr);
        look.drawPopupMenuItem (g, next(), true, true, false, false, false, {}, {}, nullptr, nullptr);
        look.drawPopupMenuItem (g, next(), false, true, false, false, true, "User", {}, nullptr, nullptr);
        look.drawPopupMenuItem (g, next(), false, true, false, false, false, "Reload", "Ctrl+R", nullptr, nullptr);
    }
};

/** Every control the Look draws, laid out as the editor would at the given scale of its 900 x 600 size. */
class ControlSheet : public juce::Component
{
public:
    explicit ControlSheet (float scaleToUse) : scale (scaleToUse)
    {
        look.fontHeight = 0.013f * 900.0f * scale;
        setLookAndFeel (&look);
        texture = juce::ImageCache::getFromMemory (EditorData::texture_jpg, EditorData::texture_jpgSize);
        title = juce::ImageCache::getFromMemory (EditorData::title_png, EditorData::title_pngSize);

        addKnobs();
        addSelectionButtons();
        addPresetButtons();
        addImageButtons();
        addOtherControls();
        showHoveredAndDisabled();

        setSize (juce::roundToInt (900.0f * scale), juce::roundToInt (600.0f * scale));
    }

    ~ControlSheet() override { setLookAndFeel (nullptr); }

    void resized() override
    {
        const auto s = [this] (double v) { return (int) (v * scale); };
        const auto unit = 0.8 * (getWidth() / 8);
        const auto k = (int) unit;

        const int knobX[] = { s (25), s (135), s (245), s (360), s (590), s (665), s (770) };

        for (int i = 0; i < 7; ++i)
        {
            const auto big = i == 3;
            const auto eq = i == 4 || i == 6;
            const auto size = big ? (int) (2 * unit) : eq ? (int) (0.75 * unit) : k;
            knobs[i].setTextBoxStyle (juce::Slider::TextBoxBelow, true,
                                      (int) ((big  ? 0.85
                                              : eq ? 0.5
                                                   : 0.7) *
                                             unit),
                                      (int) ((big ? 0.4 : 0.2) * unit));
            knobs[i].setBounds (knobX[i], s (eq ? 135 : 110), size, size);
            captions[i].attachToComponent (&knobs[i], false);
        }

        const auto typeW = (int) (0.08 * getWidth());
        const auto small = (int) (0.37 * unit);

        for (int i = 0; i < 5; ++i)
        {
            typeButtons[i].setBounds (s (25) + (int) (1.1 * typeW * i), s (330), typeW, typeW / 2);
            numberButtons[i].setBounds (s (25) + (int) (1.3 * small * i), s (390), small, small);
        }

        previousButton.setBounds (s (250), s (390), (int) (1.06 * small), small);
        presetsButton.setBounds (previousButton.getRight() + s (6), s (390) - (int) (0.1 * small),
                                 (int) (0.25 * getWidth()), (int) (1.2 * small));
        nextButton.setBounds (presetsButton.getRight() + s (6), s (390), (int) (1.06 * small), small);
        presetsOnButton.setBounds (presetsButton.getBounds().translated (0, s (55)));

        const auto eqButton = (int) (0.9 * small);
        imageButtons[0].setBounds (s (25), s (460), small, small);
        imageButtons[1].setBounds (s (25) + (int) (1.3 * small), s (460), small, small);

        for (int i = 2; i < 7; ++i)
            imageButtons[i].setBounds (s (120) + (int) (0.95 * eqButton * (i - 2)), s (462), eqButton, eqButton);

        combo.setBounds (s (25), s (520), s (200), s (28));
        linearSlider.setBounds (s (560), s (330), s (36), s (200));
        linearSliderHovered.setBounds (s (610), s (330), s (36), s (200));
        menu.setBounds (s (680), s (330), s (190), s (210));
    }

    void paint (juce::Graphics& g) override
    {
        // A stand-in for the editor's own background: the accent gradient, a textured panel and the title.
        const auto w = (float) getWidth();
        const auto h = (float) getHeight();
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF98F7FE), 0.25f * w, 0.06f * h, blueTransChord,
                                                 0.85f * w, 0.99f * h, true));
        g.fillAll();

        const auto panel = juce::Rectangle<float> (0.015f * w, 0.1f * h, 0.97f * w, 0.88f * h);
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFFAAABAC), 0.3f * w, 0.15f * h, blackUltraQuelt,
                                                 0.75f * w, 1.1f * h, true));
        g.fillRoundedRectangle (panel, 25.0f);
        g.setTiledImageFill (texture, 0, 0, 0.5f);
        g.fillRoundedRectangle (panel.withTrimmedLeft (3.0f).withTrimmedTop (3.0f), 25.0f);
        g.setColour (blackQuelt);
        g.drawRoundedRectangle (panel.withTrimmedLeft (3.0f).withTrimmedTop (3.0f), 25.0f, 3.0f);

        const auto titleHeight = (int) (0.4 * (int) (0.146 * h));
        g.drawImage (title, (int) (0.03f * w), (int) (0.07 * (int) (0.146 * h)), (int) (4.3478 * titleHeight),
                     titleHeight, 0, 0, title.getWidth(), title.getHeight());
    }

private:
    /** Seven rotary knobs with their captions; the fourth is the large DECAY one. */
    void addKnobs()
    {
        const char* knobNames[] = { "PREDELAY", "PREVERB", "LFO SPEED", "DECAY", "GAIN", "FREQ", "Q" };

        for (int i = 0; i < 7; ++i)
        {
            knobs[i].setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
            knobs[i].setRange (0.0, 100.0, 0.1);
            knobs[i].setValue (15.0 + 11.0 * i, juce::dontSendNotification);
            knobs[i].setTextValueSuffix (i == 3 ? " s" : " %");
            addAndMakeVisible (knobs[i]);
            captions[i].setText (knobNames[i], juce::dontSendNotification);
            captions[i].setJustificationType (juce::Justification::centred);
            addAndMakeVisible (captions[i]);
        }
    }

    /** The impulse-response type and number rows, PLATE 3 selected and SPACE disabled. */
    void addSelectionButtons()
    {
        const char* typeNames[] = { "ROOM", "HALL", "PLATE", "SPRING", "SPACE" };

        for (int i = 0; i < 5; ++i)
        {
            typeButtons[i].setButtonText (typeNames[i]);
            numberButtons[i].setButtonText (juce::String (i + 1));
            addAndMakeVisible (typeButtons[i]);
            addAndMakeVisible (numberButtons[i]);
        }

        typeButtons[2].setToggleState (true, juce::dontSendNotification);
        numberButtons[2].setToggleState (true, juce::dontSendNotification);
        typeButtons[4].setEnabled (false);
    }

    /** The preset stepper, and its name button off and on. */
    void addPresetButtons()
    {
        for (auto* b : { &presetsButton, &presetsOnButton, &previousButton, &nextButton })
        {
            b->setColour (juce::TextButton::textColourOffId, blackUltraQuelt);
            b->setColour (juce::TextButton::textColourOnId, greyWhiteQuelt);
            addAndMakeVisible (b);
        }

        presetsOnButton.setToggleState (true, juce::dontSendNotification);
    }

    /** The two power switches and the five filter-type buttons, two of them on. */
    void addImageButtons()
    {
        const auto icon = [] (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); };
        const std::pair<juce::Image, juce::Image> icons[] = {
            { icon (EditorData::power_off_png, EditorData::power_off_pngSize),
              icon (EditorData::power_on_png, EditorData::power_on_pngSize) },
            { icon (EditorData::power_off_png, EditorData::power_off_pngSize),
              icon (EditorData::power_on_png, EditorData::power_on_pngSize) },
            { icon (EditorData::low_cut_off_png, EditorData::low_cut_off_pngSize),
              icon (EditorData::low_cut_on_png, EditorData::low_cut_on_pngSize) },
            { icon (EditorData::low_shelf_off_png, EditorData::low_shelf_off_pngSize),
              icon (EditorData::low_shelf_on_png, EditorData::low_shelf_on_pngSize) },
            { icon (EditorData::peak_off_png, EditorData::peak_off_pngSize),
              icon (EditorData::peak_on_png, EditorData::peak_on_pngSize) },
            { icon (EditorData::high_shelf_off_png, EditorData::high_shelf_off_pngSize),
              icon (EditorData::high_shelf_on_png, EditorData::high_shelf_on_pngSize) },
            { icon (EditorData::high_cut_off_png, EditorData::high_cut_off_pngSize),
              icon (EditorData::high_cut_on_png, EditorData::high_cut_on_pngSize) },
        };

        for (int i = 0; i < 7; ++i)
        {
            imageButtons[i].setImages (false, true, true, icons[i].first, 1.0f, {}, {}, 1.0f, {}, icons[i].second, 1.0f,
                                       {}, 0.0f);
            imageButtons[i].setToggleState (i == 1 || i == 4, juce::dontSendNotification);
            addAndMakeVisible (imageButtons[i]);
        }
    }

    /** A combo box, two vertical sliders and a popup menu. */
    void addOtherControls()
    {
        combo.addItem ("Cathedral", 1);
        combo.setSelectedId (1);
        addAndMakeVisible (combo);

        for (auto* s : { &linearSlider, &linearSliderHovered })
        {
            s->setSliderStyle (juce::Slider::LinearVertical);
            s->setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
            s->setRange (0.0, 4.0, 1.0);
            s->setValue (2.0, juce::dontSendNotification);
            addAndMakeVisible (s);
        }

        addAndMakeVisible (menu);
    }

    /** Hovered and disabled examples. */
    void showHoveredAndDisabled()
    {
        look.setHovered (knobs[1], true);
        look.setHovered (knobs[5], true);
        knobs[2].setEnabled (false);
        look.setHovered (typeButtons[1], true);
        look.setHovered (numberButtons[4], true);
        look.setHovered (nextButton, true);
        look.setHovered (imageButtons[3], true);
        look.setHovered (linearSliderHovered, true);
    }

    float scale;
    HoverLook look;
    juce::Image texture, title;
    juce::Slider knobs[7];
    juce::Label captions[7];
    juce::TextButton typeButtons[5], numberButtons[5];
    juce::TextButton presetsButton { "PRESETS" }, presetsOnButton { "PRESETS" }, previousButton { "<" }, nextButton { ">" };
    juce::ImageButton imageButtons[7];
    juce::ComboBox combo;
    juce::Slider linearSlider, linearSliderHovered;
    MenuPreview menu;
};

void renderSheet (float scale, const juce::String& name)
{
    ControlSheet sheet (scale);
    editor_testing::render (sheet); // first paint builds the knobs' value boxes
    const auto image = editor_testing::render (sheet);

    EXPECT_EQ (image.getWidth(), sheet.getWidth());
    EXPECT_GT (editor_testing::countPixels (image, image.getBounds(), editor_testing::isCyan), 50)
        << "the lit switches and hovered knobs show cyan";
    editor_testing::saveArtefact (image, name);
}
} // namespace

TEST (LookRender, ControlSheetAtHalfNormalAndDoubleSize)
{
    renderSheet (0.5f, "controls-450x300.png");
    renderSheet (1.0f, "controls-900x600.png");
    renderSheet (2.0f, "controls-1800x1200.png");
}

TEST (LookRender, EmbeddedImagesAsArtefacts)
{
    // The raw artwork on the panel's dark grey and on the light accent colour, for a quick look at every image.
    const std::pair<const char*, int> images[] = {
        { EditorData::knob_png, EditorData::knob_pngSize },
        { EditorData::knob_hover_png, EditorData::knob_hover_pngSize },
        { EditorData::slider_thumb_png, EditorData::slider_thumb_pngSize },
        { EditorData::round_off_png, EditorData::round_off_pngSize },
        { EditorData::round_on_png, EditorData::round_on_pngSize },
        { EditorData::pill_off_png, EditorData::pill_off_pngSize },
        { EditorData::pill_on_png, EditorData::pill_on_pngSize },
        { EditorData::slice_off_png, EditorData::slice_off_pngSize },
        { EditorData::slice_on_png, EditorData::slice_on_pngSize },
    };

    juce::Image sheet (juce::Image::ARGB, 1600, 640, true);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colour (0xFF3A3B3C));
    g.setColour (juce::Colour (0xFF98F7FE));
    g.fillRect (0, 320, 1600, 320);
    auto x = 10, y = 10;

    for (const auto& [data, size] : images)
    {
        const auto image = juce::ImageCache::getFromMemory (data, size);
        ASSERT_TRUE (image.isValid());

        if (x + image.getWidth() > sheet.getWidth())
            x = 10, y += 320;

        g.drawImageAt (image, x, y);
        x += image.getWidth() + 10;
    }

    editor_testing::saveArtefact (sheet, "artwork.png");
}
