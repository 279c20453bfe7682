#pragma once

#include "EditorTestHelpers.h"

#include "editor/BandEditor.h"
#include "editor/XYPad.h"
#include "engine/processor/VellumarProcessor.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace juce
{
// Dispatches one pending message of the Linux run loop; the same routine the plug-in wrapper's message thread uses.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace xypad_testing
{
/** Runs the messages posted so far, such as the attachments' updates for changes made on other threads. */
inline void dispatchPendingMessages()
{
    for (int i = 0; i < 1000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}

/** The pad's parameter pairs, looked up as the editor does. */
inline std::array<XYPad::ParameterPair, 5> bandParameters (VellumarProcessor& processor)
{
    std::array<XYPad::ParameterPair, 5> pairs;

    for (int band = 1; band <= 5; ++band)
        pairs[(size_t) band - 1] = { processor.apvts.getParameter (getPrmName (band, "Freq")),
                                     processor.apvts.getParameter (getPrmName (band, "Gain")) };

    return pairs;
}

/** Everything the host would hear from the 25 band parameters: value changes and gesture starts and ends. */
class ParameterLog : private juce::AudioProcessorParameter::Listener
{
public:
    enum class Kind
    {
        value,
        begin,
        end
    };

    struct Entry
    {
        juce::String id;
        Kind kind;
    };

    explicit ParameterLog (VellumarProcessor& processor)
    {
        for (int band = 1; band <= 5; ++band)
            for (const auto* suffix : { "On", "Type", "Freq", "Gain", "Q" })
            {
                auto* parameter = processor.apvts.getParameter (getPrmName (band, suffix));
                parameters.push_back (parameter);
                parameter->addListener (this);
            }
    }

    ~ParameterLog() override
    {
        for (auto* parameter : parameters)
            parameter->removeListener (this);
    }

    /** "begin end ..." for one parameter. */
    juce::String gestures (const juce::String& id) const
    {
        juce::StringArray words;

        for (const auto& e : entries)
            if (e.id == id && e.kind != Kind::value)
                words.add (e.kind == Kind::begin ? "begin" : "end");

        return words.joinIntoString (" ");
    }

    int count (const juce::String& id) const
    {
        int n = 0;

        for (const auto& e : entries)
            n += e.id == id && e.kind == Kind::value ? 1 : 0;

        return n;
    }

    /** True when every value change falls inside an open gesture and gestures neither nest nor end unopened. */
    bool valueChangesLieInsideGestures() const
    {
        std::map<juce::String, bool> open;

        for (const auto& e : entries)
        {
            auto& isOpen = open[e.id];

            if ((e.kind == Kind::value && ! isOpen) || (e.kind == Kind::begin && isOpen)
                || (e.kind == Kind::end && ! isOpen))
                return false;

            if (e.kind != Kind::value)
                isOpen = e.kind == Kind::begin;
        }

        return true;
    }

    std::vector<Entry> entries;

private:
    juce::String idOf (int index) const
    {
        for (auto* p : parameters)
            if (p->getParameterIndex() == index)
                return p->getParameterID();

        return {};
    }

    void parameterValueChanged (int index, float) override { entries.push_back ({ idOf (index), Kind::value }); }

    void parameterGestureChanged (int index, bool starting) override
    {
        entries.push_back ({ idOf (index), starting ? Kind::begin : Kind::end });
    }

    std::vector<juce::RangedAudioParameter*> parameters;
};

/** A pad of 1000 x 480 pixels on a fresh processor's parameters, painted once as the screen would. */
class XYPadTest : public ::testing::Test
{
protected:
    static constexpr float width = 1000.0f;
    static constexpr float height = 480.0f;

    XYPadTest() { pad.setSize ((int) width, (int) height); }

    void SetUp() override { render(); }

    XYPad::XYPadHandle& handle (int index) { return *pad.handles[(size_t) index]; }

    juce::Image render() { return editor_testing::render (pad); }

    juce::MouseEvent event (float x, float y, int clicks = 1)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), { x, y },
                                 juce::ModifierKeys::leftButtonModifier, juce::MouseInputSource::defaultPressure, 0.0f,
                                 0.0f, 0.0f, 0.0f, &pad, &pad, now, lastPress, now, clicks, false);
    }

    void press (float x, float y, int clicks = 1)
    {
        lastPress = lastMouse = { x, y };
        pad.mouseDown (event (x, y, clicks));
    }

    void drag (float x, float y)
    {
        lastMouse = { x, y };
        pad.mouseDrag (event (x, y));
    }

    void release() { pad.mouseUp (event (lastMouse.x, lastMouse.y)); }

    void move (float x, float y)
    {
        lastMouse = { x, y };
        pad.mouseMove (event (x, y));
    }

    /** The events of a double-click in the order the framework sends them: the double-click follows its second
        release. */
    void doubleClick (float x, float y)
    {
        press (x, y);
        release();
        press (x, y, 2);
        release();
        pad.mouseDoubleClick (event (x, y, 2));
    }

    std::vector<float> allBandValues()
    {
        std::vector<float> values;

        for (int band = 1; band <= 5; ++band)
            for (const auto* suffix : { "On", "Type", "Freq", "Gain", "Q" })
                values.push_back (processor.apvts.getRawParameterValue (getPrmName (band, suffix))->load());

        return values;
    }

    static std::vector<juce::Point<int>> changedPixels (const juce::Image& a, const juce::Image& b)
    {
        std::vector<juce::Point<int>> changed;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    changed.push_back ({ x, y });

        return changed;
    }

    VellumarProcessor processor;
    XYPad pad { bandParameters (processor) };
    juce::Point<float> lastPress, lastMouse;
};
} // namespace xypad_testing
