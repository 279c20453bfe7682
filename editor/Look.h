#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <utility>
#include <vector>

/** The editor's look-and-feel.

    Knobs, sliders and switches are drawn from bitmap images rather than vector shapes, every text is set in
    the embedded typeface, and menus, combo boxes and value boxes take the editor's palette. Constructing a Look
    also makes it the process-wide default look-and-feel, so popup menus and other windows that JUCE opens on its
    own draw through it too (and find the embedded typeface).

    Hover state is read from the component being drawn, never from the flags JUCE passes: a control is "hovered"
    while the mouse is over it or dragging it, and "active" while it is hovered and enabled.
*/
class Look : public juce::LookAndFeel_V4
{
public:
    Look();
    ~Look() override;

    //==============================================================================
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted,
                         bool shouldDrawButtonAsDown) override;
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColourToUse) override;
    void drawPopupMenuSectionHeader (juce::Graphics&, const juce::Rectangle<int>& area,
                                     const juce::String& sectionName) override;
    void drawPopupMenuSectionHeaderWithOptions (juce::Graphics&, const juce::Rectangle<int>& area,
                                                const juce::String& sectionName,
                                                const juce::PopupMenu::Options&) override;
    void getIdealPopupMenuItemSizeWithOptions (const juce::String& text, bool isSeparator, int standardMenuItemHeight,
                                               int& idealWidth, int& idealHeight,
                                               const juce::PopupMenu::Options&) override;

    /** The section headers' text height in a menu with these options: it scales with the menu's items. */
    static float getSectionHeaderHeight (const juce::PopupMenu::Options&) noexcept;
    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown, int buttonX, int buttonY, int buttonW,
                       int buttonH, juce::ComboBox&) override;
    juce::Font getLabelFont (juce::Label&) override;
    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, juce::Slider::SliderStyle, juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    void drawImageButton (juce::Graphics&, juce::Image*, int imageX, int imageY, int imageW, int imageH,
                          const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton&) override;

    //==============================================================================
    /** How a button's proportions decide its switch image. */
    enum class SwitchShape
    {
        square,    ///< w == h: the round image
        pill,      ///< 2h - 2 < w < 2h + 2: the pill image, whole
        wide,      ///< w >= 2h + 2: slice image, full caps and a stretched middle
        shortPill, ///< h < w <= 2h - 2: slice image, half caps and a stretched middle
        tall       ///< w < h: no image
    };

    static SwitchShape getSwitchShape (int width, int height) noexcept;

    /** The image a text button of this shape shows in this toggle state, or nullptr for tall buttons. */
    const juce::Image* getSwitchImage (SwitchShape shape, bool toggledOn) const noexcept;

    /** The soft highlight laid over an active button of the given size. */
    static juce::Rectangle<float> getHoverHighlightArea (SwitchShape shape, int width, int height) noexcept;

    /** Where a knob's value box is filled, from `top` (the top of a value box `boxHeight` high) down: as far in
        from the value box's edges as room allows, but never cutting through the value's text. */
    juce::Range<float> valueBoxArea (float top, float boxHeight) const;

    /** The nine images, in the order the constructor loads them; for checks that they all decoded. */
    juce::Array<juce::Image> getImages() const;

protected:
    /** Whether the mouse is over the component or dragging it. */
    virtual bool isHovered (const juce::Component& component) const;

    bool isActive (const juce::Component& component) const { return isHovered (component) && component.isEnabled(); }

private:
    /** The image, or a copy of it halved as often as it can be while staying at least `width` px wide. JUCE's
        resampler blends no more than 2 x 2 source pixels, so an image reduced further than to half its size
        loses the pixels in between: thin lines and glowing rims break into dots. The copies are kept. */
    const juce::Image& reducedFor (const juce::Image& image, int width);

    void drawSwitchImage (juce::Graphics& g, SwitchShape shape, const juce::Image& image, int w, int h);
    void drawHoverHighlight (juce::Graphics& g, const juce::Component& component, SwitchShape shape, int w, int h);

    juce::Image sliderThumbImage;
    juce::Image knobImage;
    juce::Image knobHoverImage;
    juce::Image pillOffImage;
    juce::Image pillOnImage;
    juce::Image roundOffImage;
    juce::Image roundOnImage;
    juce::Image sliceOffImage;
    juce::Image sliceOnImage;

    // Halved copies of the images drawn small, by the pixel data they were made from (held, so it stays).
    std::map<juce::ImagePixelData*, std::pair<juce::ImagePixelData::Ptr, std::vector<juce::Image>>> reducedImages;

public:
    /** Height of every label font. The editor sets it from its width on every layout. */
    float fontHeight;

    /** The smallest text height that stays legible; no text in a small window goes below it. */
    static constexpr float minimumTextHeight = 9.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Look)
};
