#include "WindowCheckDisplay.h"

#include <cmath>
#include <iostream>
#include <numeric>

namespace windowcheck
{
/** Turns the wheel on PREDELAY three notches up: synchronised, each notch lands on the next note value above (at
    the host's 120 BPM, 1.953125 ms times a power of two, held to the parameter's 1 ms); plain, it rises. */
void wheelPreDelay (const XSession& x, juce::AudioProcessorEditor& editor, juce::Point<int> knob,
                    juce::AudioProcessorParameter& preDelay, juce::AudioProcessorParameter& sync)
{
    const auto at = editor.getScreenPosition() + knob;
    const bool synced = sync.getValue() > 0.5f;
    const auto ms = [&] { return 300.0 * std::pow ((double) preDelay.getValue(), 2.0); };

    for (int notch = 0; notch < 3; ++notch)
    {
        const double before = ms();
        double next = 1.953125;

        while (next <= before + 0.5)
            next *= 2.0;

        x.wheel (at.x, at.y, 1, pump);
        const auto what = juce::String (synced ? "a synced" : "a plain") + " PREDELAY's wheel notch up from " + juce::String (before);
        check (pumpUntil ([&] { return ms() > before + 0.5 || (synced && next > 300.0); }), what + " raises it");
        check (! synced || next > 300.0 || std::abs (ms() - next) <= 0.51, what + " lands on " + juce::String (next) + ", not " + juce::String (ms()));
    }
}

namespace
{
/** The pixels of an area of the screen that show the cut curve's orange. */
int orangePixels (const XSession& x, juce::Rectangle<int> area)
{
    int n = 0;

    for (const auto p : x.grab (area.getX(), area.getY(), area.getWidth(), area.getHeight()))
    {
        const int r = (int) (p >> 16) & 255, g = (int) (p >> 8) & 255, b = (int) p & 255;
        n += r > g + 15 && g > b + 15 ? 1 : 0;
    }

    return n;
}
} // namespace

/** Each power switch turns the whole response curve grey at once, and back: while a cut bites, no orange stays. */
void clickPowerSwitches (const XSession& x, juce::AudioProcessorEditor& editor, juce::Rectangle<int> curveArea,
                         const std::vector<PowerSwitch>& switches)
{
    const auto area = curveArea + editor.getScreenPosition();
    check (orangePixels (x, area) > 50, "the raised LOW CUT shows in orange");

    for (const auto& [point, parameter] : switches)
    {
        const auto name = parameter->getName (100);

        for (const bool on : { false, true })
        {
            const auto at = editor.getScreenPosition() + point;
            x.click (at.x, at.y, pump);
            check (pumpUntil ([p = parameter, on] { return (p->getValue() > 0.5f) == on; }), juce::String (name) + " switches");
            pump (150);
            const int orange = orangePixels (x, area);
            check (on ? orange > 50 : orange == 0, juce::String (name) + (on ? " on colours the curve again" : " off leaves " + juce::String (orange) + " orange pixels"));
        }
    }
}

/** A double-click on a raised handle puts its band back to 0 dB and leaves nothing white where the handle was. */
void doubleClickHandle (const XSession& x, juce::AudioProcessorEditor& editor, juce::Rectangle<int> padArea,
                        juce::AudioProcessorParameter& frequency, juce::AudioProcessorParameter& gain)
{
    gain.setValueNotifyingHost (0.8f);
    pump (100);
    const auto pad = padArea + editor.getScreenPosition();
    const juce::Point<int> handle { pad.getX() + (int) (frequency.getValue() * (float) pad.getWidth()),
                                    pad.getY() + (int) (0.2f * (float) pad.getHeight()) };
    x.doubleClick (handle.x, handle.y, pump);
    check (pumpUntil ([&] { return gain.getValue() == 0.5f; }), "double-clicking a handle puts its gain to 0 dB");
    pump (150);
    int white = 0;

    for (const auto p : x.grab (handle.x - 12, handle.y - 12, 24, 24))
        white += ((p >> 16) & 255) > 200 && ((p >> 8) & 255) > 200 && (p & 255) > 200 ? 1 : 0;

    check (white == 0, juce::String (white) + " white pixels stay where the handle was");
}

/** PRESETS opens the preset menu inside the window at any size: nothing shows right of or below the window, and a
    click beside the menu closes it. */
void openPresetMenu (const XSession& x, juce::AudioProcessorEditor& editor, juce::Point<int> presetsButton)
{
    const auto b = editor.getScreenBounds();
    const auto size = juce::String (b.getWidth()) + " x " + juce::String (b.getHeight());
    const auto beside = [&]
    {
        auto pixels = x.grab (b.getRight(), b.getY(), 150, b.getHeight() + 150);
        const auto below = x.grab (b.getX(), b.getBottom(), b.getWidth(), 150);
        pixels.insert (pixels.end(), below.begin(), below.end());
        return pixels;
    };
    const auto under = [&] { return x.grab (b.getX() + b.getWidth() * 3 / 8, b.getY() + b.getHeight() / 10, b.getWidth() / 4, b.getHeight() * 3 / 10); };
    x.click (b.getX() + 5, b.getBottom() - 5, pump); // the mouse off the knobs, which light up under it
    pump (100);
    const auto outside = beside();
    const auto before = under();
    const auto presets = presetsButton + b.getPosition();

    x.click (presets.x, presets.y, pump);
    // A knob's pointer may move meanwhile (the host's automation); the menu covers much of the area.
    const auto changed = [&]
    {
        const auto now = under();
        return (double) std::inner_product (now.begin(), now.end(), before.begin(), 0, std::plus<>(), std::not_equal_to<>()) / (double) now.size();
    };
    check (pumpUntil ([&] { return changed() > 0.2; }), "PRESETS opens its menu at " + size);
    pump (100);
    check (beside() == outside, "the preset menu stays within the window at " + size);
    x.click (b.getX() + 5, b.getBottom() - 5, pump);
    check (pumpUntil ([&] { return changed() < 0.01; }), "a click beside the preset menu closes it at " + size);
}
} // namespace windowcheck
