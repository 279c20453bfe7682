#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The editor's artwork, drawn from code so that it can be regenerated at will.

    Everything is painted with JUCE's own renderer. The images are scaled down a long way in the editor (a 300 px
    knob face becomes 90 px, a 200 px switch 30 px), so the shapes rely on broad gradients, soft shadows and
    rims several pixels wide rather than on fine detail that would shimmer once resampled.
*/
namespace artwork
{
//==============================================================================
// Shared helpers (ArtworkHelpers.cpp)

/** Blurs a single-channel image with a Gaussian of the given standard deviation, in place. */
void blur (juce::Image& mask, float sigma);

/** Paints a soft copy of the path: its coverage blurred by sigma, moved by offset, tinted with colour. */
void drawSoftShape (juce::Graphics& g, juce::Rectangle<int> canvas, const juce::Path& path, juce::Colour colour,
                    float sigma, juce::Point<float> offset = {});

/** A soft glow around a stroked outline. */
void drawGlow (juce::Graphics& g, juce::Rectangle<int> canvas, const juce::Path& outline, float strokeWidth,
               juce::Colour colour, float sigma);

/** A vertical gradient over the given span. */
juce::ColourGradient verticalGradient (juce::Colour top, float topY, juce::Colour bottom, float bottomY);

/** A pill (rectangle with semicircular ends) or, for a square area, a disc. */
juce::Path makePill (juce::Rectangle<float> area);

//==============================================================================
// Knob, hover rings and slider thumb (ControlArt.cpp)
juce::Image drawKnob();
juce::Image drawKnobHover();
juce::Image drawSliderThumb();

//==============================================================================
// Switch backgrounds (SwitchArt.cpp)
enum class SwitchStyle
{
    darkOff, ///< dark grey body in a black shadow
    darkOn,  ///< dark body with a glowing cyan rim
    tealOff, ///< muted teal body in a black shadow
    tealOn   ///< dark teal body with a glowing cyan rim
};

/** A switch image: a disc when width == height, otherwise a pill whose straight middle is the same in every
    column, so that it can be cut into caps and a stretched middle strip. */
juce::Image drawSwitch (int width, int height, SwitchStyle style);

//==============================================================================
// Icons (IconArt.cpp)
enum class Icon
{
    power,
    lowCut,
    lowShelf,
    peak,
    highShelf,
    highCut
};

/** A 100 x 100 icon on a transparent ground: light grey when off, glowing cyan when on. */
juce::Image drawIcon (Icon icon, bool on);

//==============================================================================
// Title and texture (PanelArt.cpp)
juce::Image drawTitle (juce::Typeface::Ptr typeface);

/** A 200 x 200 dark, fine-grained tile that repeats without seams. */
juce::Image drawTexture();
} // namespace artwork
