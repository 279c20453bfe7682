// vellumar-window-check: the real-window side of the editor tests, run on an X server of the test's own (Xvfb).
//
//   vellumar-window-check vst3 BUNDLE CYCLES   hosts the built VST3 through JUCE's hosting classes, as a DAW does,
//                                               with audio running on a thread of its own, and CYCLES times opens
//                                               the editor in a window, resizes it, works its controls with the
//                                               mouse and from the host, and closes it; the first time it also
//                                               counts the host's gestures for every kind of control
//   vellumar-window-check prepare-display      creates the atoms a desktop's window manager would have made
//   vellumar-window-check find-window NAME MS   waits up to MS ms for a mapped top-level window called NAME
//   vellumar-window-check close-window NAME     asks the window called NAME to close, as a window manager would
//
// Exit status 0 when everything held, 1 with a message on stderr otherwise.

#include "GestureCheck.h"
#include "WindowCheckDisplay.h"
#include "WindowCheckX11.h"

#include "../SignalHelpers.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cmath>
#include <iostream>
#include <tuple>
#include <thread>

namespace juce
{
// Dispatches pending events and messages of the Linux run loop: the host's message loop, driven by hand.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace windowcheck
{
int failures = 0;

void check (bool condition, const juce::String& what)
{
    if (! condition)
    {
        std::cerr << "FAILED: " << what << std::endl;
        ++failures;
    }
}

/** Runs the host's message loop (and so the plug-in's, which lives on it) for a while. */
void pump (int milliseconds)
{
    const auto until = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    do
    {
        for (int i = 0; i < 200 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
        {
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    } while (juce::Time::getMillisecondCounter() < until);
}

/** Runs the message loop until `done` holds; false if it does not within 20 s, which only a broken build takes. */
bool pumpUntil (const std::function<bool()>& done)
{
    const auto until = juce::Time::getMillisecondCounter() + 20000;

    while (! done())
    {
        if (juce::Time::getMillisecondCounter() > until)
            return false;

        pump (5);
    }

    return true;
}
} // namespace windowcheck

using namespace windowcheck;

namespace
{
juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* p : instance.getParameters())
        if (p->getName (100) == name)
            return p;

    return nullptr;
}

/** Where the editor's layout puts a knob's centre, in window pixels, for a window of width W and height H. */
struct KnobCentres
{
    explicit KnobCentres (int W, int H)
    {
        const double knobUnit = 0.8 * (W / 8);
        const double knobGap = (W - 8.0 * knobUnit) / 9.0;
        const int rowTop = (int) (0.139 * H);
        const int knob = (int) knobUnit;
        preDelay = { (int) knobGap + knob / 2, rowTop + knob / 2 - knob / 8 };
        const int preVerbX = (int) (preDelay.x + knob / 2 + knobGap);
        decay = { (int) (preVerbX + knob + knobGap + knobUnit), rowTop + knob };

        // LOW CUT hangs below the PRE EQ caption, left of the frame; the curve area lies well inside the frame.
        const int mixBottom = (int) (rowTop + knob + 2.0 * knobGap) + knob;
        const int eqTop = (int) (0.033 * W + mixBottom);
        const int frameX = (int) (preVerbX + 0.5 * knobUnit);
        const int leftCentre = (int) ((int) knobGap + 0.5 * (frameX - (int) knobGap));
        const int lowCutY = (int) (eqTop + (int) (0.9 * (int) (0.37 * knobUnit)) + 0.15 * knobUnit);
        lowCut = { (int) (leftCentre - 0.5 * knobUnit) + knob / 2, lowCutY + knob / 2 - knob / 8 };
        curveArea = { frameX + knob / 4, (int) (eqTop + 0.3 * knobUnit), 4 * knob, (int) (0.3 * H) };

        const int smallButton = (int) (0.37 * knobUnit);
        const int presetsRight = (int) (0.375 * W) + (int) (0.25 * W);
        nextPreset = { (int) (presetsRight + 0.106 * smallButton) + (int) (1.06 * smallButton) / 2,
                       (int) (0.08 * rowTop) + smallButton / 2 };
        power = { (int) (0.93 * W) + smallButton / 2, (int) (0.08 * rowTop) + smallButton / 2 };
        eqPower = { (int) knobGap + (int) (0.9 * smallButton) / 2, eqTop + (int) (0.9 * smallButton) / 2 };

        // The XY pad fills the frame, which spans from PREVERB's middle to DRIVE's left edge.
        const int decayX = (int) (preVerbX + knob + knobGap);
        const int characterX = (int) (decayX + (int) (2.0 * knobUnit) + 3.0 * knobGap);
        const int driveX = (int) (characterX + (int) (2.0 * knobUnit) + knobGap);
        const int captionY = rowTop - (8 + juce::roundToInt (0.013f * (float) W + 0.5f));
        pad = { frameX, (int) (eqTop + 0.15 * knobUnit), driveX - preVerbX,
                (int) (mixBottom - captionY - 0.15 * knobUnit) };
    }

    juce::Point<int> preDelay, decay, nextPreset, lowCut, power, eqPower;
    juce::Rectangle<int> curveArea, pad;
};

/** Counts the gestures the plug-in opens on one parameter, as the host hears them. */
class GestureCount : private juce::AudioProcessorParameter::Listener
{
public:
    explicit GestureCount (juce::AudioProcessorParameter& p) : parameter (p) { parameter.addListener (this); }
    ~GestureCount() override { parameter.removeListener (this); }

    std::atomic<int> begun { 0 };

private:
    void parameterValueChanged (int, float) override {}
    void parameterGestureChanged (int, bool starting) override { begun += starting ? 1 : 0; }

    juce::AudioProcessorParameter& parameter;
};

/** Plays noise through the plug-in on a thread of its own, as a host's audio callback does. */
class AudioThread
{
public:
    explicit AudioThread (juce::AudioPluginInstance& p) : plugin (p)
    {
        thread = std::thread ([this] { run(); });
    }

    ~AudioThread()
    {
        stop = true;
        thread.join();
    }

    int blocks() const { return processed.load(); }
    bool allFinite() const { return finite.load(); }

private:
    void run()
    {
        const int channels = std::max (plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, 512);
        juce::MidiBuffer midi;
        juce::Random random (3);

        while (! stop.load())
        {
            testing_helpers::fillNoise (buffer, random, 0.2f);

            plugin.processBlock (buffer, midi);

            for (int c = 0; c < plugin.getTotalNumOutputChannels(); ++c)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    if (! std::isfinite (buffer.getSample (c, i)))
                        finite = false;

            ++processed;
            std::this_thread::sleep_for (std::chrono::milliseconds (3));
        }
    }

    juce::AudioPluginInstance& plugin;
    std::atomic<bool> stop { false }, finite { true };
    std::atomic<int> processed { 0 };
    std::thread thread;
};

/** The parameters the check works from the host. */
struct HostedParameters
{
    juce::AudioProcessorParameter* decay = nullptr;
    juce::AudioProcessorParameter* preDelaySync = nullptr;
    juce::AudioProcessorParameter* room = nullptr;
    juce::AudioProcessorParameter* plate = nullptr;
    juce::AudioProcessorParameter* lfoSync = nullptr;
    juce::AudioProcessorParameter* gain3 = nullptr;
    juce::AudioProcessorParameter* mix = nullptr;
    juce::AudioProcessorParameter* preDelay = nullptr;
    juce::AudioProcessorParameter* decaySync = nullptr;
    juce::AudioProcessorParameter* lowCut = nullptr;
    juce::AudioProcessorParameter* type3 = nullptr;
    juce::AudioProcessorParameter* power = nullptr;
    juce::AudioProcessorParameter* eqPower = nullptr;
    juce::AudioProcessorParameter* freq2 = nullptr;
    juce::AudioProcessorParameter* gain2 = nullptr;

    /** Looks them up by name; false when the plug-in does not publish them all. */
    bool findIn (juce::AudioPluginInstance& instance)
    {
        decay = findParameter (instance, "Decay");
        preDelaySync = findParameter (instance, "Pre Decay Sync");
        room = findParameter (instance, "Room");
        plate = findParameter (instance, "Plate");
        lfoSync = findParameter (instance, "LFO Sync");
        gain3 = findParameter (instance, "Band3 Gain");
        mix = findParameter (instance, "Mix");
        preDelay = findParameter (instance, "PreDelay");
        decaySync = findParameter (instance, "Decay Sync");
        lowCut = findParameter (instance, "Low Cut");
        type3 = findParameter (instance, "Band3 Type");
        power = findParameter (instance, "onButton");
        eqPower = findParameter (instance, "on Equalizer");
        freq2 = findParameter (instance, "Band2 Freq");
        gain2 = findParameter (instance, "Band2 Gain");

        return decay != nullptr && preDelaySync != nullptr && room != nullptr && plate != nullptr && lfoSync != nullptr
               && gain3 != nullptr && mix != nullptr && preDelay != nullptr && decaySync != nullptr
               && lowCut != nullptr && type3 != nullptr && power != nullptr && eqPower != nullptr
               && freq2 != nullptr && gain2 != nullptr;
    }
};

/** The one plug-in in the bundle, created as a host does; null (with the reason on stderr) when that fails. */
std::unique_ptr<juce::AudioPluginInstance> createInstance (const juce::String& bundle)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundle);

    if (types.size() != 1)
    {
        std::cerr << "no plug-in in " << bundle << std::endl;
        return nullptr;
    }

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], 44100.0, 512, error);

    if (instance == nullptr)
        std::cerr << "cannot create the plug-in: " << error << std::endl;

    return instance;
}

/** Resizes within the limits keep the size asked for; others are pulled in at aspect 1.5. */
void checkResize (juce::AudioProcessorEditor& editor, int cycle, const std::function<bool()>& shown)
{
    const std::pair<int, int> sizes[] { { 900, 600 }, { 450, 300 }, { 1800, 1200 }, { 1200, 800 },
                                        { 2400, 1000 }, { 200, 700 }, { 999, 600 } };
    const auto [w, h] = sizes[(size_t) cycle % std::size (sizes)];
    editor.setSize (w, h);
    const int W = editor.getWidth();
    const int H = editor.getHeight();
    check (W >= 450 && W <= 1800 && H >= 300 && H <= 1200,
           "a resize to " + juce::String (w) + " x " + juce::String (h) + " stays in the limits: " + juce::String (W) + " x " + juce::String (H));
    check (std::abs ((double) W / H - 1.5) < 0.01, "the aspect ratio stays 1.5 at " + juce::String (W) + " x " + juce::String (H));
    check (pumpUntil (shown), "the resized window shows at " + juce::String (W) + " x " + juce::String (H));
}

/** Drags DECAY up, and double-clicks PREDELAY and DECAY: that toggles their sync switches and nothing else, so
    the knobs keep their values and the host hears no gesture beyond the two presses. */
void workKnobs (const XSession& x, juce::AudioProcessorEditor& editor, const HostedParameters& params)
{
    const auto origin = editor.getScreenPosition();
    const KnobCentres knobs (editor.getWidth(), editor.getHeight());
    const float decayBefore = params.decay->getValue();
    const auto from = origin + knobs.decay;
    x.drag (from.x, from.y, from.x, from.y - 40, pump);
    check (pumpUntil ([&] { return params.decay->getValue() > decayBefore; }), "dragging the DECAY knob up raises Decay");

    params.preDelay->setValueNotifyingHost (0.6f);
    pump (50);

    using Parameter = juce::AudioProcessorParameter*;
    using Knob = std::tuple<juce::Point<int>, Parameter, Parameter, const char*>;
    const Knob modeKnobs[] { { knobs.preDelay, params.preDelay, params.preDelaySync, "PREDELAY" },
                             { knobs.decay, params.decay, params.decaySync, "DECAY" } };

    for (const auto& [centre, value, sync, name] : modeKnobs)
    {
        const float valueBefore = value->getValue();
        const float syncBefore = sync->getValue();
        const GestureCount gestures (*value);
        const auto target = origin + centre;
        x.doubleClick (target.x, target.y, pump);
        const auto what = juce::String ("double-clicking ") + name;
        check (pumpUntil ([&, s = sync] { return s->getValue() != syncBefore; }), what + " toggles its sync switch");
        check (value->getValue() == valueBefore, what + " keeps its value");
        check (gestures.begun.load() <= 2, what + " opens " + juce::String (gestures.begun.load()) + " gestures");
    }
}

/** Steps to the next factory preset (from the bundle's own folder): it changes the settings but not the mix. */
void stepPreset (const XSession& x, juce::AudioPluginInstance& instance, juce::AudioProcessorEditor& editor,
                 juce::AudioProcessorParameter& mix, const std::function<void()>& afterTwoBlocks)
{
    mix.setValueNotifyingHost (0.37f);
    afterTwoBlocks();
    std::vector<float> before;
    for (auto* p : instance.getParameters())
        before.push_back (p->getValue());

    const auto next = editor.getScreenPosition() + KnobCentres (editor.getWidth(), editor.getHeight()).nextPreset;
    x.click (next.x, next.y, pump);

    const auto changed = [&]
    {
        for (size_t i = 0; i < before.size(); ++i)
            if (instance.getParameters()[(int) i]->getValue() != before[i])
                return true;
        return false;
    };

    check (pumpUntil (changed), "the > button loads a factory preset");
    check (std::abs (mix.getValue() - 0.37f) < 0.011f, "a preset leaves the mix as it was");
}

/** Puts the editor in a host window at the screen's top left, as the editor asks to be; returns whether the server
    shows it at the editor's size, painted. */
std::function<bool()> showWindow (const XSession& x, juce::AudioProcessorEditor& editor)
{
    editor.setTopLeftPosition (0, 0);
    editor.addToDesktop (juce::ComponentPeer::windowIsResizable);
    editor.setVisible (true);

    return [&x, &editor]
    {
        const auto area = editor.getScreenBounds();
        const auto window = (unsigned long) (juce::pointer_sized_uint) editor.getWindowHandle();
        return x.isViewableAt (window, area.getWidth(), area.getHeight())
            && x.fractionNotBlack (area.getX(), area.getY(), area.getWidth(), area.getHeight()) > 0.9;
    };
}

/** Before any audio runs: the response curve follows a LOW CUT drag in the window, and a band type set by the host. */
void checkCurveWithoutAudio (const XSession& x, juce::AudioPluginInstance& instance, const HostedParameters& params)
{
    std::unique_ptr<juce::AudioProcessorEditor> editor (instance.createEditorIfNeeded());
    check (editor != nullptr && pumpUntil (showWindow (x, *editor)), "the editor's window shows before any audio");

    if (failures > 0)
        return;

    const KnobCentres knobs (editor->getWidth(), editor->getHeight());
    const auto area = knobs.curveArea + editor->getScreenPosition();
    const auto curve = [&] { return x.grab (area.getX(), area.getY(), area.getWidth(), area.getHeight()); };
    pump (200);
    auto before = curve();

    const float lowCutBefore = params.lowCut->getValue();
    const auto from = editor->getScreenPosition() + knobs.lowCut;
    x.drag (from.x, from.y, from.x, from.y - 60, pump);
    check (params.lowCut->getValue() > lowCutBefore, "dragging LOW CUT up raises Low Cut");
    check (pumpUntil ([&] { return curve() != before; }), "the curve follows LOW CUT without audio");

    before = curve();
    params.type3->setValueNotifyingHost (1.0f); // High Cut
    check (pumpUntil ([&] { return curve() != before; }), "the curve follows the host's band type without audio");
    const KnobCentres knobs2 (editor->getWidth(), editor->getHeight());
    clickPowerSwitches (x, *editor, knobs2.curveArea, { { knobs2.power, params.power }, { knobs2.eqPower, params.eqPower } });
    doubleClickHandle (x, *editor, knobs2.pad, *params.freq2, *params.gain2);
}

/** Changes settings from the host, as automation or a preset would. */
void automate (const HostedParameters& params, int cycle)
{
    params.room->setValueNotifyingHost (cycle % 2 == 0 ? 1.0f : 0.0f);
    params.plate->setValueNotifyingHost (cycle % 2 == 0 ? 0.0f : 1.0f);
    params.lfoSync->setValueNotifyingHost (cycle % 3 == 0 ? 1.0f : 0.0f);
    params.gain3->setValueNotifyingHost ((float) (cycle % 10) / 10.0f);
    params.decay->setValueNotifyingHost (0.3f);
}

int hostVst3 (const juce::String& bundle, int cycles)
{
    auto instance = createInstance (bundle);

    if (instance == nullptr)
        return 1;

    HostedParameters params;

    if (! params.findIn (*instance))
    {
        std::cerr << "the plug-in does not publish the expected parameters" << std::endl;
        return 1;
    }

    XSession x;
    instance->prepareToPlay (44100.0, 512);
    checkCurveWithoutAudio (x, *instance, params);
    AudioThread audio (*instance);
    int editorsShown = 0;

    // What the host changes reaches the plug-in with the audio thread's next block; the editor follows meanwhile.
    const auto afterTwoBlocks = [&]
    {
        const int seen = audio.blocks();
        check (pumpUntil ([&] { return audio.blocks() >= seen + 2; }), "the audio thread keeps running");
    };

    // A failed cycle ends the run: every later wait would only time out as well.
    int cycle = 0;
    for (; cycle < cycles && failures == 0; ++cycle)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        check (editor != nullptr, "the plug-in has an editor");

        if (editor == nullptr)
            break;

        const auto shown = showWindow (x, *editor);
        const bool painted = pumpUntil (shown);
        check (painted, "the editor's window shows, painted, at " + editor->getBounds().toString());
        editorsShown += painted && (cycle == 0 || cycle == cycles - 1) ? 1 : 0;

        // The first window opens at 900 x 600, later ones at the last size of the one before.
        if (cycle == 0)
            check (editor->getWidth() == 900 && editor->getHeight() == 600,
                   "first editor opens at 900 x 600, not " + editor->getBounds().toString());

        if (cycle == 0 && failures == 0)
            checkGestures (x, *instance, editor->getScreenPosition(), pump, check);

        checkResize (*editor, cycle, shown);
        workKnobs (x, *editor, params);

        const KnobCentres knobs (editor->getWidth(), editor->getHeight());

        if (cycle < 2) // the first with PREDELAY synced, the second plain
        {
            wheelPreDelay (x, *editor, knobs.preDelay, *params.preDelay, *params.preDelaySync);
            clickPowerSwitches (x, *editor, knobs.curveArea, { { knobs.power, params.power }, { knobs.eqPower, params.eqPower } });
        }

        if (cycle < 3) // 900 x 600, 450 x 300 and 1800 x 1200
            openPresetMenu (x, *editor, knobs.nextPreset.withX (editor->getWidth() / 2));

        if (cycle % 10 == 5)
            stepPreset (x, *instance, *editor, *params.mix, afterTwoBlocks);

        automate (params, cycle);
        afterTwoBlocks();
        editor.reset();
    }

    check (audio.blocks() > cycles, "the audio thread kept running");
    check (audio.allFinite(), "the output stayed finite");
    check (editorsShown == std::min (cycles, 2), "the editor was seen on screen");

    std::cout << cycle << " cycles, " << audio.blocks() << " audio blocks, " << XSession::getErrorCount()
              << " X protocol errors ignored" << std::endl;
    return failures == 0 ? 0 : 1;
}
} // namespace

int main (int argc, char* argv[])
{
    const juce::StringArray args (argv + 1, argc - 1);

    if (args.size() >= 1 && args[0] == "prepare-display")
        return XSession().createWindowManagerAtoms() ? 0 : 1;

    if (args.size() >= 2 && args[0] == "find-window")
        return XSession().waitForWindow (args[1].toStdString(), args.size() > 2 ? args[2].getIntValue() : 5000) ? 0 : 1;

    if (args.size() >= 2 && args[0] == "close-window")
        return XSession().requestClose (args[1].toStdString()) ? 0 : 1;

    if (args.size() >= 2 && args[0] == "vst3")
    {
        XSession::prepareHostProcess();
        juce::ScopedJuceInitialiser_GUI juce;
        const int result = hostVst3 (args[1], args.size() > 2 ? args[2].getIntValue() : 50);
        juce::DeletedAtShutdown::deleteAll();
        return result;
    }

    std::cerr << "usage: vellumar-window-check vst3 BUNDLE CYCLES | prepare-display | find-window NAME MS"
                 " | close-window NAME\n";
    return 2;
}
