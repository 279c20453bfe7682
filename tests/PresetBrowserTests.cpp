#include "FactoryPresetHelpers.h"
#include "ProcessorEditorTestHelpers.h"

using namespace editor_testing;

namespace
{
/** A preset folder of its own for each test, removed afterwards. */
class PresetFolder
{
public:
    PresetFolder() { folder.createDirectory(); }
    ~PresetFolder() { folder.deleteRecursively(); }

    /** A preset that sets Decay (to tell the presets apart) and Mix. */
    juce::File add (const juce::String& fileName, float decay, float mix = 80.0f)
    {
        juce::ValueTree tree ("Parameters");
        for (const auto& [id, value] : { std::pair { "Decay", decay }, std::pair { "Mix", mix } })
        {
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", id, nullptr);
            child.setProperty ("value", value, nullptr);
            tree.appendChild (child, nullptr);
        }

        const auto file = folder.getChildFile (fileName);
        juce::FileOutputStream stream (file);
        tree.writeToStream (stream);
        return file;
    }

    /** n presets "NN Preset N" with Decay 0.2 + N / 10. */
    void addNumbered (int n)
    {
        for (int i = 1; i <= n; ++i)
            add (juce::String (i).paddedLeft ('0', 2) + "Preset " + juce::String (i) + ".rev", 0.2f + (float) i / 10.0f);
    }

    juce::File folder { juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("vellumar-presets-" + juce::String (juce::Random::getSystemRandom().nextInt64())) };
};

float presetDecay (int i) { return 0.2f + (float) i / 10.0f; }
} // namespace

TEST_F (EditorTest, ListsRevFilesAndFoldersSortedWithoutRegardToCase)
{
    PresetFolder presets;
    presets.add ("02beta.rev", 1.0f);
    presets.add ("01Alpha.rev", 2.0f);
    presets.add ("03Gamma.REV.txt", 3.0f);
    presets.add (".04Hidden.rev", 4.0f);
    presets.add ("05.rev", 5.0f);
    presets.folder.getChildFile ("04Folder.rev").createDirectory();

    auto& e = open (presets.folder);
    e.loadPresetFiles();

    juce::StringArray names;
    for (const auto& f : e.presetFiles)
        names.add (f.getFileName());

    EXPECT_EQ (names, juce::StringArray ({ "01Alpha.rev", "02beta.rev", "04Folder.rev", "05.rev" }));

    // The display name drops the two-character prefix; a name of two characters shows as nothing.
    e.userClick (e.nextPresetButton);
    EXPECT_EQ (e.presetsButton.getButtonText(), "Alpha");
    e.stepPreset (+1);
    EXPECT_EQ (e.presetsButton.getButtonText(), "beta");
    e.stepPreset (+2);
    EXPECT_EQ (e.presetsButton.getButtonText(), "");

    // A missing folder lists nothing, and the arrows then do nothing.
    auto& other = open (presets.folder.getChildFile ("missing"));
    other.userClick (other.nextPresetButton);
    other.userClick (other.previousPresetButton);
    EXPECT_TRUE (other.presetFiles.isEmpty());
    EXPECT_EQ (other.presetsButton.getButtonText(), "PRESETS");
    EXPECT_EQ (other.presetIndex, 0);
}

TEST_F (EditorTest, TheArrowsStepThroughThePresetsWithWrapAround)
{
    PresetFolder presets;
    presets.addNumbered (3);
    auto& e = open (presets.folder);

    e.userClick (e.previousPresetButton); // the first "<" loads the last
    EXPECT_EQ (e.presetIndex, 3);
    EXPECT_FLOAT_EQ (parameter ("Decay"), presetDecay (3));
    EXPECT_EQ (e.presetsButton.getButtonText(), "Preset 3");

    e.userClick (e.nextPresetButton); // ">" on the last loads the first
    EXPECT_EQ (e.presetIndex, 1);
    EXPECT_FLOAT_EQ (parameter ("Decay"), presetDecay (1));

    e.userClick (e.previousPresetButton); // "<" on the first loads the last
    EXPECT_EQ (e.presetIndex, 3);
    e.userClick (e.previousPresetButton);
    EXPECT_EQ (e.presetIndex, 2);
    EXPECT_FLOAT_EQ (parameter ("Decay"), presetDecay (2));

    // A new window starts from no preset: its first ">" loads the first.
    auto& reopened = open (presets.folder);
    reopened.userClick (reopened.nextPresetButton);
    EXPECT_EQ (reopened.presetIndex, 1);

    // With a single preset both arrows reload it.
    PresetFolder single;
    single.add ("01Only.rev", 4.0f);
    auto& one = open (single.folder);
    one.userClick (one.nextPresetButton);
    setParameter ("Decay", 1.0f);
    one.userClick (one.nextPresetButton);
    EXPECT_FLOAT_EQ (parameter ("Decay"), 4.0f);
    setParameter ("Decay", 1.0f);
    one.userClick (one.previousPresetButton);
    EXPECT_FLOAT_EQ (parameter ("Decay"), 4.0f);
    EXPECT_EQ (one.presetIndex, 1);
}

TEST_F (EditorTest, ALoadedPresetLeavesTheMixAsItWas)
{
    PresetFolder presets;
    presets.add ("01Wet.rev", 5.0f, 80.0f);
    auto& e = open (presets.folder);

    e.userSetValue (e.mixSlider, 35.0);
    ASSERT_FLOAT_EQ (parameter ("Mix"), 35.0f);

    e.userClick (e.nextPresetButton);
    dispatch();
    EXPECT_FLOAT_EQ (parameter ("Decay"), 5.0f);
    EXPECT_DOUBLE_EQ (e.mixSlider.getValue(), 35.0);
    EXPECT_FLOAT_EQ (parameter ("Mix"), 35.0f);
}

TEST_F (EditorTest, ThePresetMenuListsThePresetsInColumnsUnderItsButton)
{
    for (const auto& [count, columns] : { std::pair { 0, 1 }, std::pair { 24, 1 }, std::pair { 25, 2 }, std::pair { 49, 2 },
                                          std::pair { 50, 3 } })
    {
        PresetFolder presets;
        presets.addNumbered (count);
        auto& e = open (presets.folder);
        e.userClick (e.presetsButton);

        ASSERT_EQ (e.menus.size(), 1u) << count;
        const auto& menu = e.menus.back();
        EXPECT_EQ (menu.options.getMinimumNumColumns(), columns);
        EXPECT_EQ (menu.options.getMinimumWidth(), e.presetsButton.getWidth());
        EXPECT_EQ (menu.options.getStandardItemHeight(), (int) (0.035 * 600));

        // However many columns, the menu hangs from the PRESETS button.
        EXPECT_EQ (menu.anchorBounds, e.presetsButton.getBounds()) << count;

        ASSERT_EQ (menu.items.size(), count + 2);
        EXPECT_EQ (menu.items[0], "[FACTORY]");
        EXPECT_EQ (menu.items[count + 1], "[Version: 1.0.1]");
        if (count > 0)
        {
            EXPECT_EQ (menu.items[1], "Preset 1");
            EXPECT_EQ (menu.itemIds[1], 1);
            EXPECT_EQ (menu.itemIds[count], count);
        }

        // Dismissed: the button goes off and nothing loads.
        EXPECT_TRUE (e.presetsButton.getToggleState());
        setParameter ("Decay", 9.0f);
        menu.onResult (0);
        EXPECT_FALSE (e.presetsButton.getToggleState());
        EXPECT_FLOAT_EQ (parameter ("Decay"), 9.0f);
        EXPECT_EQ (e.presetIndex, 0);
        close();
    }
}

TEST_F (EditorTest, AChoiceFromTheMenuLoadsThatPresetAndTheArrowsGoOnFromIt)
{
    PresetFolder presets;
    presets.addNumbered (8);
    auto& e = open (presets.folder);
    e.userSetValue (e.mixSlider, 20.0);

    e.userClick (e.presetsButton);
    ASSERT_EQ (e.menus.size(), 1u);
    e.menus.back().onResult (5);
    dispatch();

    EXPECT_FALSE (e.presetsButton.getToggleState());
    EXPECT_EQ (e.presetsButton.getButtonText(), "Preset 5");
    EXPECT_FLOAT_EQ (parameter ("Decay"), presetDecay (5));
    EXPECT_FLOAT_EQ (parameter ("Mix"), 20.0f);

    e.userClick (e.nextPresetButton);
    EXPECT_EQ (e.presetIndex, 6);
    EXPECT_FLOAT_EQ (parameter ("Decay"), presetDecay (6));

    // A click that turns PRESETS off, or one that does not come from the mouse, opens no menu.
    e.userClick (e.presetsButton);
    e.userClick (e.presetsButton);
    EXPECT_EQ (e.menus.size(), 2u);
    e.presetsButton.setToggleState (true, juce::sendNotification);
    EXPECT_EQ (e.menus.size(), 2u);
}

TEST_F (EditorTest, AMenuResultAfterTheWindowClosedDoesNothing)
{
    PresetFolder presets;
    presets.addNumbered (3);
    auto& e = open (presets.folder);
    e.userClick (e.presetsButton);
    ASSERT_EQ (e.menus.size(), 1u);
    auto onResult = e.menus.back().onResult;

    close();
    setParameter ("Decay", 9.0f);
    onResult (2);
    EXPECT_FLOAT_EQ (parameter ("Decay"), 9.0f);
}

TEST_F (EditorTest, TheFactoryMenuSizesItsItemsForTheirWholeTextsAndItsHeadersWithThem)
{
    auto& e = open (testing_helpers::factoryPresetFiles().front().getParentDirectory());

    for (const auto& [w, h] : { std::pair { 450, 300 }, std::pair { 900, 600 }, std::pair { 1800, 1200 } })
    {
        e.setSize (w, h);
        e.userClick (e.presetsButton);
        const auto& shown = e.menus.back();
        const int itemHeight = shown.options.getStandardItemHeight();

        // The sizes JUCE asks the look for when it lays the menu out (a header with a "[...]" here), against the
        // fonts the items and headers are drawn in.
        for (const auto& item : shown.items)
        {
            const bool header = item.startsWith ("[");
            const auto text = header ? item.substring (1, item.length() - 1) : item;
            int idealWidth = 0, idealHeight = 0;
            e.getLookAndFeel().getIdealPopupMenuItemSizeWithOptions (text, false, header ? -1 : itemHeight, idealWidth,
                                                                     idealHeight, shown.options);
            const auto font = header ? juce::Font (Look::getSectionHeaderHeight (shown.options)).boldened()
                                     : juce::Font (0.64f * (float) idealHeight);
            EXPECT_LE (font.getStringWidthFloat (text), (float) idealWidth) << text << " at " << w;

            if (header) // JUCE makes a header 1.5 times the height it asks for
            {
                EXPECT_NEAR (1.5 * idealHeight / itemHeight, 1.57, 0.12) << text << " at " << w;
            }
        }

        e.menus.back().onResult (0);
    }
}
