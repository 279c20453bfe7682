#include "VellumarProcessorEditor.h"

#include "engine/state/FactoryPresets.h"
#include "engine/processor/VellumarProcessor.h"

// The factory presets: files ending in ".rev" in the plug-in's preset folder. "<" and ">" step through them with
// wrap-around, PRESETS opens a menu of all of them. A preset never changes the dry/wet mix: the MIX knob is put
// back after every load, so a user's balance survives browsing.

namespace
{
/** A preset's name without its two-character ordering prefix ("03Cathedral.rev" shows as "Cathedral"). */
juce::String displayName (const juce::File& file)
{
    return file.getFileNameWithoutExtension().substring (2);
}

// The Look sets an item's text at 0.64 of the item's height: 15 px items carry the legible minimum.
constexpr int minimumMenuItemHeight = 15;

struct CaseInsensitivePathOrder
{
    static int compareElements (const juce::File& a, const juce::File& b)
    {
        return a.getFullPathName().compareIgnoreCase (b.getFullPathName());
    }
};
} // namespace

juce::File VellumarProcessorEditor::getPresetFolder() const
{
    return factorypresets::getFactoryPresetFolder();
}

void VellumarProcessorEditor::loadPresetFiles()
{
    presetFiles.clearQuick();
    presetFiles.minimiseStorageOverheads();

    for (const auto& entry : juce::RangedDirectoryIterator (getPresetFolder(), false, "*.rev",
                                                            juce::File::findFilesAndDirectories
                                                                | juce::File::ignoreHiddenFiles))
        presetFiles.add (entry.getFile());

    if (presetFiles.size() >= 2)
    {
        CaseInsensitivePathOrder order;
        presetFiles.sort (order);
    }
}

void VellumarProcessorEditor::loadPresetKeepingMix (int index, const juce::File& file, const juce::String& name)
{
    presetIndex = index;
    const double mix = mixSlider.getValue();

    audioProcessor.loadPreset (file);
    presetsButton.setButtonText (name);

    // The preset has just set Mix; the knob goes back to the user's value and takes the parameter with it.
    mixSlider.setValue ((int) mix, juce::sendNotificationAsync);
}

void VellumarProcessorEditor::stepPreset (int step)
{
    const int n = presetFiles.size();

    if (n == 0)
        return;

    int i = presetIndex + step;

    if (i <= 0)
        i = n;

    if (i > n)
        i = 1;

    loadPresetKeepingMix (i, presetFiles[i - 1], displayName (presetFiles[i - 1]));
}

void VellumarProcessorEditor::assignPresetCallbacks()
{
    presetsButton.onClick = [this] { openPresetMenu(); };

    previousPresetButton.onClick = [this]
    {
        if (presetFiles.isEmpty())
            loadPresetFiles();

        stepPreset (-1);
    };

    nextPresetButton.onClick = [this]
    {
        if (presetFiles.isEmpty())
            loadPresetFiles();

        stepPreset (+1);
    };
}

void VellumarProcessorEditor::openPresetMenu()
{
    if (! isUnderUserControl (presetsButton) || ! presetsButton.getToggleState())
    {
        presetMenu.clear();
        return;
    }

    const int H = getHeight();

    // The folder is read anew each time the menu opens.
    loadPresetFiles();
    const auto files = presetFiles;
    const int n = files.size();

    presetMenu.addSectionHeader ("FACTORY");

    for (int i = 1; i <= n; ++i)
        presetMenu.addItem (i, displayName (files[i - 1]), true, false);

    presetMenu.addSectionHeader ("Version: " + juce::String (VELLUMAR_VERSION));

    // The menu opens under the PRESETS button, at least as wide as it, its items tall enough for legible text.
    // It opens inside the window, which JUCE keeps it within (adding columns as needed), not over the desktop.
    const auto options = juce::PopupMenu::Options()
                             .withParentComponent (this)
                             .withTargetComponent (&presetsButton)
                             .withMinimumWidth (presetsButton.getWidth())
                             .withMinimumNumColumns (n / 25 + 1)
                             .withStandardItemHeight (juce::jmax ((int) (0.035 * H), minimumMenuItemHeight));

    juce::Component::SafePointer<VellumarProcessorEditor> editor (this);

    showPresetMenu (options, [editor, files] (int result)
    {
        if (editor != nullptr)
        {
            editor->presetMenu.clear();
            editor->presetsButton.setToggleState (false, juce::dontSendNotification);

            if (result > 0 && result <= files.size())
                editor->loadPresetKeepingMix (result, files[result - 1], displayName (editor->presetFiles[result - 1]));
        }
    });
}

void VellumarProcessorEditor::showPresetMenu (const juce::PopupMenu::Options& options, std::function<void (int)> onResult)
{
    presetMenu.showMenuAsync (options, std::move (onResult));
}
