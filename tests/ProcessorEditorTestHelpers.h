#pragma once

#include "EditorTestHelpers.h"
#include "TestHelpers.h"
#include "XYPadTestHelpers.h"

#include "editor/VellumarProcessorEditor.h"
#include "engine/processor/VellumarProcessor.h"

#include <gtest/gtest.h>

#include <set>

namespace editor_testing
{
/** The editor with the three things a headless test cannot provide replaced: the mouse (which controls the user
    is working), the preset folder, and the popup menu (whose options and result the test sees). */
class TestEditor : public VellumarProcessorEditor
{
public:
    TestEditor (VellumarProcessor& owner, juce::File folder = {})
        : VellumarProcessorEditor (owner, owner.apvts), presetFolder (std::move (folder))
    {
    }

    /** Marks a control as under the mouse (or not), as if the user pointed at it. */
    void setUserControl (const juce::Component& control, bool underMouse)
    {
        if (underMouse)
            controlsUnderMouse.insert (&control);
        else
            controlsUnderMouse.erase (&control);
    }

    /** Changes a control's value or state as the user would: with the mouse on it, as one drag, and notifying. */
    void userSetValue (juce::Slider& slider, double value)
    {
        setUserControl (slider, true);
        {
            const juce::Slider::ScopedDragNotification drag (slider);
            slider.setValue (value, juce::sendNotificationSync);
        }
        setUserControl (slider, false);
    }

    /** A click through the button's own click handling (toggling, radio groups), with the mouse on it. */
    void userClick (juce::Button& button)
    {
        setUserControl (button, true);
        button.triggerClick();
        xypad_testing::dispatchPendingMessages();
        setUserControl (button, false);
    }

    /** A double-click as the editor hears it from one of the components it listens to. */
    void doubleClick (juce::Component& target)
    {
        const auto now = juce::Time::getCurrentTime();
        const juce::MouseEvent event (juce::Desktop::getInstance().getMainMouseSource(), {}, {},
                                      juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &target,
                                      &target, now, {}, now, 2, false);
        mouseDoubleClick (event);
    }

    struct ShownMenu
    {
        juce::PopupMenu::Options options;
        juce::Rectangle<int> anchorBounds;
        juce::StringArray items;   // "text" for items, "[text]" for section headers
        juce::Array<int> itemIds;
        std::function<void (int)> onResult;
    };

    std::vector<ShownMenu> menus;

protected:
    bool isUnderUserControl (const juce::Component& control) const override
    {
        return controlsUnderMouse.count (&control) > 0;
    }

    juce::File getPresetFolder() const override { return presetFolder; }

    void showPresetMenu (const juce::PopupMenu::Options& options, std::function<void (int)> onResult) override
    {
        ShownMenu shown { options, {}, {}, {}, std::move (onResult) };

        if (auto* anchor = options.getTargetComponent())
            shown.anchorBounds = anchor->getBounds();

        for (juce::PopupMenu::MenuItemIterator it (presetMenu); it.next();)
        {
            const auto& item = it.getItem();
            shown.items.add (item.isSectionHeader ? "[" + item.text + "]" : item.text);
            shown.itemIds.add (item.itemID);
        }

        menus.push_back (std::move (shown));
    }

private:
    juce::File presetFolder;
    std::set<const juce::Component*> controlsUnderMouse;
};

/** A processor prepared at 44.1 kHz and an editor on it. */
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override { testing_helpers::prepare (processor, 44100.0, 512); }

    /** A new window; like a host, the previous one closes first. */
    TestEditor& open (juce::File presetFolder = {})
    {
        editor.reset();
        editor = std::make_unique<TestEditor> (processor, std::move (presetFolder));
        return *editor;
    }

    void close() { editor.reset(); }

    static void dispatch() { xypad_testing::dispatchPendingMessages(); }

    float parameter (const juce::String& id) { return testing_helpers::getParameter (processor, id); }
    void setParameter (const juce::String& id, float value) { testing_helpers::setParameter (processor, id, value); }

    VellumarProcessor processor;
    std::unique_ptr<TestEditor> editor;
};
} // namespace editor_testing
