#pragma once

#include "editor/Look.h"
#include "editor/Palette.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <set>

namespace editor_testing
{
/** Folder for rendered images that a person can look at after a test run. */
inline juce::File artefactFolder()
{
    auto folder = juce::File (VELLUMAR_TEST_OUTPUT_DIR).getChildFile ("editor");
    folder.createDirectory();
    return folder;
}

inline void saveArtefact (const juce::Image& image, const juce::String& name)
{
    const auto file = artefactFolder().getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (stream.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, stream);
}

/** A Look whose hover state is set by the test instead of the mouse, which a headless test cannot move. */
class HoverLook : public Look
{
public:
    void setHovered (const juce::Component& component, bool hovered)
    {
        if (hovered)
            hoveredComponents.insert (&component);
        else
            hoveredComponents.erase (&component);
    }

    juce::Label* createSliderTextBox (juce::Slider& slider) override
    {
        ++textBoxesBuilt;
        return Look::createSliderTextBox (slider);
    }

    int textBoxesBuilt = 0;

protected:
    bool isHovered (const juce::Component& component) const override
    {
        return hoveredComponents.count (&component) > 0;
    }

private:
    std::set<const juce::Component*> hoveredComponents;
};

/** Paints a component and its children into a new image, at the given scale. */
inline juce::Image render (juce::Component& component, float scale = 1.0f, juce::Colour background = {})
{
    juce::Image image (juce::Image::ARGB, juce::roundToInt ((float) component.getWidth() * scale),
                       juce::roundToInt ((float) component.getHeight() * scale), true);
    juce::Graphics g (image);
    g.fillAll (background);
    g.addTransform (juce::AffineTransform::scale (scale));
    component.paintEntireComponent (g, true);
    return image;
}

/** Mean absolute difference per channel between two images of the same size, 0..255. */
inline double meanDifference (const juce::Image& a, const juce::Image& b)
{
    jassert (a.getBounds() == b.getBounds());
    double sum = 0.0;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const auto p = a.getPixelAt (x, y);
            const auto q = b.getPixelAt (x, y);
            sum += std::abs (p.getRed() - q.getRed()) + std::abs (p.getGreen() - q.getGreen()) +
                   std::abs (p.getBlue() - q.getBlue()) + std::abs (p.getAlpha() - q.getAlpha());
        }

    return sum / (4.0 * a.getWidth() * a.getHeight());
}

/** True when the colour is clearly cyan: much more green and blue than red. */
inline bool isCyan (juce::Colour c)
{
    return c.getAlpha() > 100 && c.getGreen() > c.getRed() + 60 && c.getBlue() > c.getRed() + 60;
}

inline int countPixels (const juce::Image& image, juce::Rectangle<int> area, bool (*predicate) (juce::Colour))
{
    int n = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (predicate (image.getPixelAt (x, y)))
                ++n;

    return n;
}
} // namespace editor_testing
