#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A desktop window without a display, for measurements and tests. It gathers the areas its components ask to
    repaint and, when told to, paints just those into `screen`, which keeps everything else from earlier paints as
    a real window's pixels do. Like JUCE's X11 windows it keeps the areas as a list of rectangles, unmerged, and
    clips the paint to that list rather than to the box around it. */
class OffscreenPeer : public juce::ComponentPeer
{
public:
    using juce::ComponentPeer::ComponentPeer;

    void repaint (const juce::Rectangle<int>& area) override { dirty.add (area); }

    void performAnyPendingRepaintsNow() override
    {
        if (dirty.isEmpty())
            return;

        if (screen.getBounds() != getComponent().getLocalBounds())
            screen = juce::Image (juce::Image::ARGB, getComponent().getWidth(), getComponent().getHeight(), true);

        for (const auto& r : dirty)
            paintedPixels += (double) r.getWidth() * r.getHeight();

        ++paints;
        auto context = getComponent().getLookAndFeel().createGraphicsContext (screen, {}, dirty);
        dirty.clear();
        handlePaint (*context);
    }

    bool hasPendingRepaints() const noexcept { return ! dirty.isEmpty(); }

    juce::Image screen;
    double paintedPixels = 0.0;
    int paints = 0;

    void* getNativeHandle() const override { return nullptr; }
    void setVisible (bool) override {}
    void setTitle (const juce::String&) override {}
    void setBounds (const juce::Rectangle<int>& newBounds, bool) override { bounds = newBounds; }
    juce::Rectangle<int> getBounds() const override { return bounds; }
    juce::Point<float> localToGlobal (juce::Point<float> p) override { return p; }
    juce::Point<float> globalToLocal (juce::Point<float> p) override { return p; }
    void setMinimised (bool) override {}
    bool isMinimised() const override { return false; }
    void setFullScreen (bool) override {}
    bool isFullScreen() const override { return false; }
    void setIcon (const juce::Image&) override {}
    bool contains (juce::Point<int> p, bool) const override { return bounds.withZeroOrigin().contains (p); }
    OptionalBorderSize getFrameSizeIfPresent() const override { return {}; }
    juce::BorderSize<int> getFrameSize() const override { return {}; }
    bool setAlwaysOnTop (bool) override { return false; }
    void toFront (bool) override {}
    void toBehind (juce::ComponentPeer*) override {}
    bool isFocused() const override { return false; }
    void grabFocus() override {}
    void textInputRequired (juce::Point<int>, juce::TextInputTarget&) override {}
    void setAlpha (float) override {}
    juce::StringArray getAvailableRenderingEngines() override { return { "Software Renderer" }; }

private:
    juce::RectangleList<int> dirty;
    juce::Rectangle<int> bounds;
};

/** A host's window around a component: it goes on the desktop as an OffscreenPeer. */
struct OffscreenWindow : juce::Component
{
    OffscreenWindow() { setOpaque (true); }

    /** Shows `content` at its size in the window. */
    void show (juce::Component& content)
    {
        setSize (content.getWidth(), content.getHeight());
        addAndMakeVisible (content);
        setVisible (true);
        addToDesktop (0);
        repaint(); // what a window system asks for when a window first shows
    }

    OffscreenPeer& peer() { return *dynamic_cast<OffscreenPeer*> (getPeer()); }

    juce::ComponentPeer* createNewPeer (int style, void*) override { return new OffscreenPeer (*this, style); }
};
