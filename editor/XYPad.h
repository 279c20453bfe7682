#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

/** The equaliser's handles, drawn over the response curve and the spectrum.

    Handle k sits at x = the normalised value of band k's frequency parameter times the width (the band frequency's
    own mapping, 20 * 2^(10p), so the handle lines up with the frame's grid) and y = (1 - the normalised gain) times
    the height (+24 dB at the top). Dragging a handle sets both parameters as one host gesture, pressing it selects
    its band for the editor's shared knobs, and a double-click puts its gain back to 0 dB. The handles follow their
    parameters whoever changes them.
*/
class XYPad : public juce::Component
{
public:
    /** A band's frequency parameter (x) and gain parameter (y). */
    using ParameterPair = std::pair<juce::RangedAudioParameter*, juce::RangedAudioParameter*>;

    /** One handle per pair, in band order 1 to 5. The handles stay at (0, 0) until the pad gets its first size. */
    explicit XYPad (const std::array<ParameterPair, 5>& bandParameters);
    ~XYPad() override;

    void mouseMove (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    /** A band's handle: its position in pad pixels and the attachments that keep it on its two parameters. */
    class XYPadHandle
    {
    public:
        XYPadHandle (XYPad& owner, juce::RangedAudioParameter& frequency, juce::RangedAudioParameter& gain);

        XYPad& pad;
        float x = 0.0f, y = 0.0f;
        juce::RangedAudioParameter* xParameter;
        juce::RangedAudioParameter* yParameter;
        std::unique_ptr<juce::ParameterAttachment> xAttachment, yAttachment;

        // Both attachments call this: a change of either parameter re-places the handle from both.
        std::function<void (float)> prmChangedCallback;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XYPadHandle)
    };

    /** Index 0 to 4 of the selected band; the editor's shared band controls edit this band. */
    int selectedHandle = 0;

    std::vector<std::unique_ptr<XYPadHandle>> handles;

    /** The pressed handle; it stays set after the release, so its rings show until the mouse next moves. */
    XYPadHandle* draggedHandle = nullptr;

    /** A press closer than this to a handle's centre picks it up (further in a window scaled up). */
    static constexpr float grabRadius = 9.0f;

    /** Sizes the handles' dots and rings: 8 px dots at 1. The editor sets it from its own size. */
    void setHandleScale (float newScale);

private:
    float handleScale = 1.0f;

    juce::Path handlesPath;
    std::vector<std::pair<float, float>> handlePositions;
    juce::Point<float> lastPosition;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XYPad)
};
