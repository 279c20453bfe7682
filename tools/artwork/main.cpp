// Draws the editor's images and writes them as the files that are embedded into the plug-in.
// Usage: vellumar-artwork <output folder>

#include "Artwork.h"

#include <VellumarEditorData.h>

#include <iostream>

namespace
{
bool write (const juce::File& folder, const juce::String& name, const juce::Image& image)
{
    const auto file = folder.getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (! stream.openedOk())
        return false;

    if (name.endsWith (".jpg"))
    {
        juce::JPEGImageFormat jpeg;
        jpeg.setQuality (0.92f);
        return jpeg.writeImageToStream (image, stream);
    }

    return juce::PNGImageFormat().writeImageToStream (image, stream);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: vellumar-artwork <output folder>\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File folder (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));

    if (! folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    using artwork::Icon;
    using artwork::SwitchStyle;

    const auto typeface = juce::Typeface::createSystemTypefaceFor (EditorData::LeagueSpartanMedium_otf,
                                                                   EditorData::LeagueSpartanMedium_otfSize);

    const std::pair<const char*, juce::Image> images[] = {
        { "title.png", artwork::drawTitle (typeface) },
        { "texture.jpg", artwork::drawTexture() },
        { "knob.png", artwork::drawKnob() },
        { "knob_hover.png", artwork::drawKnobHover() },
        { "slider_thumb.png", artwork::drawSliderThumb() },
        { "pill_off.png", artwork::drawSwitch (400, 200, SwitchStyle::darkOff) },
        { "pill_on.png", artwork::drawSwitch (400, 200, SwitchStyle::darkOn) },
        { "round_off.png", artwork::drawSwitch (200, 200, SwitchStyle::darkOff) },
        { "round_on.png", artwork::drawSwitch (200, 200, SwitchStyle::darkOn) },
        { "slice_off.png", artwork::drawSwitch (400, 200, SwitchStyle::tealOff) },
        { "slice_on.png", artwork::drawSwitch (400, 200, SwitchStyle::tealOn) },
        { "power_off.png", artwork::drawIcon (Icon::power, false) },
        { "power_on.png", artwork::drawIcon (Icon::power, true) },
        { "low_cut_off.png", artwork::drawIcon (Icon::lowCut, false) },
        { "low_cut_on.png", artwork::drawIcon (Icon::lowCut, true) },
        { "low_shelf_off.png", artwork::drawIcon (Icon::lowShelf, false) },
        { "low_shelf_on.png", artwork::drawIcon (Icon::lowShelf, true) },
        { "peak_off.png", artwork::drawIcon (Icon::peak, false) },
        { "peak_on.png", artwork::drawIcon (Icon::peak, true) },
        { "high_shelf_off.png", artwork::drawIcon (Icon::highShelf, false) },
        { "high_shelf_on.png", artwork::drawIcon (Icon::highShelf, true) },
        { "high_cut_off.png", artwork::drawIcon (Icon::highCut, false) },
        { "high_cut_on.png", artwork::drawIcon (Icon::highCut, true) },
    };

    for (const auto& [name, image] : images)
    {
        if (! write (folder, name, image))
        {
            std::cerr << "cannot write " << name << "\n";
            return 1;
        }

        std::cout << name << " " << image.getWidth() << " x " << image.getHeight() << "\n";
    }

    return 0;
}
