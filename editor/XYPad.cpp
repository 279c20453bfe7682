#include "XYPad.h"

#include "Palette.h"
#include "engine/parameters/ParameterFactories.h"

namespace
{
/** Moves a parameter to a normalised position within the gesture its attachment has open. */
void setNormalised (juce::ParameterAttachment& attachment, const juce::RangedAudioParameter& parameter, float value)
{
    attachment.setValueAsPartOfGesture (parameter.convertFrom0to1 (value));
}

void drawRing (juce::Graphics& g, juce::Colour colour, juce::Point<float> centre, float diameter, float thickness)
{
    const auto area = juce::Rectangle<float> (diameter, diameter).withCentre (centre);

    // Stroking the ring is most of its cost; a paint elsewhere in the pad skips it.
    if (! g.clipRegionIntersects (area.expanded (thickness + 1.0f).getSmallestIntegerContainer()))
        return;

    g.setColour (colour);
    g.drawEllipse (area, thickness);
}
} // namespace

//==============================================================================
XYPad::XYPadHandle::XYPadHandle (XYPad& owner, juce::RangedAudioParameter& frequency, juce::RangedAudioParameter& gain)
    : pad (owner), xParameter (&frequency), yParameter (&gain)
{
    prmChangedCallback = [this] (float)
    {
        const auto width = (float) pad.getWidth();
        const auto height = (float) pad.getHeight();
        x = xParameter->getValue() * width;
        y = height - yParameter->getValue() * height;
        pad.repaint();
    };

    xAttachment = std::make_unique<juce::ParameterAttachment> (frequency, prmChangedCallback);
    yAttachment = std::make_unique<juce::ParameterAttachment> (gain, prmChangedCallback);
}

//==============================================================================
XYPad::XYPad (const std::array<ParameterPair, 5>& bandParameters)
{
    for (const auto& [frequency, gain] : bandParameters)
    {
        jassert (frequency != nullptr && gain != nullptr);
        handles.push_back (std::make_unique<XYPadHandle> (*this, *frequency, *gain));
    }

    handlePositions.reserve (handles.size());
}

XYPad::~XYPad() = default;

void XYPad::mouseMove (const juce::MouseEvent&)
{
    if (draggedHandle != nullptr)
    {
        draggedHandle = nullptr;
        repaint();
    }
}

void XYPad::mouseDown (const juce::MouseEvent& e)
{
    const auto p = e.getPosition().toFloat();
    XYPadHandle* pressed = nullptr;

    for (auto& handle : handles)
    {
        if (p.getDistanceFrom ({ handle->x, handle->y }) < grabRadius * juce::jmax (1.0f, handleScale))
        {
            pressed = handle.get();
            break;
        }
    }

    if (pressed == nullptr)
    {
        // Forget the handle of an earlier press (its rings may still show when the handle moved away under a still
        // mouse, as after a double-click reset), so that this press's drag and release leave that band alone.
        if (draggedHandle != nullptr)
        {
            draggedHandle = nullptr;
            repaint();
        }

        return;
    }

    draggedHandle = pressed;
    pressed->xAttachment->beginGesture();
    pressed->yAttachment->beginGesture();
    repaint();

    lastPosition = { pressed->x, pressed->y };

    for (size_t i = 0; i < handlePositions.size(); ++i)
    {
        if (handlePositions[i].first == pressed->x)
        {
            selectedHandle = (int) i;
            break;
        }
    }

    // Move the gain a tenth of a pixel and back, so that the band's gain listeners (the editor's shared knobs)
    // hear from this press even though the handle stays where it is.
    if (getHeight() <= 0)
        return;

    const auto y = pressed->y;
    const auto height = (double) getHeight();
    auto nudged = 1.0 - ((double) y - 0.1) / height;

    // At +24 dB the nudge upwards would be clamped back to the same value; nudge downwards there instead.
    if (nudged > 1.0)
        nudged = 1.0 - ((double) y + 0.1) / height;

    setNormalised (*pressed->yAttachment, *pressed->yParameter, (float) nudged);
    setNormalised (*pressed->yAttachment, *pressed->yParameter, 1.0f - y / (float) getHeight());
}

void XYPad::mouseDrag (const juce::MouseEvent& e)
{
    if (draggedHandle == nullptr || getWidth() <= 0 || getHeight() <= 0)
        return;

    // Positions outside the pad give frequencies and gains outside the ranges, which the parameters clamp: the
    // handle stops at the edge.
    const auto frequency = eq::frequencyFromPosition (e.position.x / (float) getWidth());
    draggedHandle->xAttachment->setValueAsPartOfGesture (frequency);
    setNormalised (*draggedHandle->yAttachment, *draggedHandle->yParameter, 1.0f - e.position.y / (float) getHeight());

    lastPosition = e.position;
    repaint();
}

void XYPad::mouseUp (const juce::MouseEvent&)
{
    if (draggedHandle != nullptr)
    {
        draggedHandle->xAttachment->endGesture();
        draggedHandle->yAttachment->endGesture();
    }
}

void XYPad::mouseDoubleClick (const juce::MouseEvent&)
{
    // The double-click arrives after its second release has closed the press's gesture, so the reset to 0 dB
    // (the middle of the symmetric gain range) is a gesture of its own.
    if (draggedHandle == nullptr)
        return;

    draggedHandle->yAttachment->setValueAsCompleteGesture (draggedHandle->yParameter->convertFrom0to1 (0.5f));

    // The handle has jumped away from the mouse: the press is over, and its rings (which would stay where the
    // handle was) go with it. The selected band keeps its halo on the handle.
    draggedHandle = nullptr;
    repaint();
}

void XYPad::setHandleScale (float newScale)
{
    if (newScale != handleScale)
    {
        handleScale = newScale;
        repaint();
    }
}

void XYPad::paint (juce::Graphics& g)
{
    const auto s = handleScale;
    handlesPath.clear();
    handlePositions.clear();

    for (const auto& handle : handles)
    {
        handlePositions.emplace_back (handle->x, handle->y);
        handlesPath.addEllipse (handle->x - 4.0f * s, handle->y - 4.0f * s, 8.0f * s, 8.0f * s);
    }

    if (g.clipRegionIntersects (handlesPath.getBounds().expanded (1.0f).getSmallestIntegerContainer()))
    {
        g.setColour (whiteQuelt);
        g.fillPath (handlesPath);
    }

    if (draggedHandle != nullptr)
    {
        drawRing (g, whiteQuelt, lastPosition, 4.5f * s, 1.0f * s);
        drawRing (g, whiteLightQuelt, lastPosition, 13.5f * s, 8.0f * s);
        drawRing (g, blueQuelt, { draggedHandle->x, draggedHandle->y }, 18.0f * s, 3.0f * s);
    }

    if (handlePositions.empty())
        return;

    const auto& selected = handlePositions[(size_t) juce::jlimit (0, (int) handlePositions.size() - 1, selectedHandle)];
    lastPosition = { selected.first, selected.second };
    drawRing (g, blueTransQuelt, lastPosition, 13.5f * s, 5.0f * s);
    drawRing (g, greyWhiteQuelt, lastPosition, 9.0f * s, 5.0f * s);
}

void XYPad::resized()
{
    // Re-place every handle from its parameters at the new size. Only the pad's own attachments are told: the
    // parameters have not changed, so neither the host nor the other listeners hear of a resize.
    for (auto& handle : handles)
    {
        handle->xAttachment->sendInitialUpdate();
        handle->yAttachment->sendInitialUpdate();
    }
}
