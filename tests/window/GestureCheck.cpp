#include "GestureCheck.h"

#include <map>
#include <mutex>
#include <regex>

namespace
{
/** What the host hears of each parameter, in order: b for a gesture's begin, c for a change, e for an end. */
class HostLog : private juce::AudioProcessorListener
{
public:
    explicit HostLog (juce::AudioProcessor& p) : processor (p) { processor.addListener (this); }
    ~HostLog() override { processor.removeListener (this); }

    std::map<int, std::string> take()
    {
        const std::scoped_lock lock (mutex);
        return std::exchange (events, {});
    }

    bool ended (int index)
    {
        const std::scoped_lock lock (mutex);
        return events.count (index) != 0 && events[index].back() == 'e';
    }

private:
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override { add (index, 'c'); }
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { add (index, 'b'); }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { add (index, 'e'); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    void add (int index, char event)
    {
        const std::scoped_lock lock (mutex);
        events[index] += event;
    }

    juce::AudioProcessor& processor;
    std::mutex mutex;
    std::map<int, std::string> events;
};
} // namespace

void checkGestures (const XSession& x, juce::AudioPluginInstance& instance, juce::Point<int> origin,
                    const XSession::Pump& pump, const std::function<void (bool, const juce::String&)>& check)
{
    std::map<juce::String, juce::AudioProcessorParameter*> byName;
    for (auto* p : instance.getParameters())
        byName[p->getName (100)] = p;

    // Band 2's handle on the pad: the frame's top left plus the normalised frequency and gain across the pad.
    const auto handle = [&]
    {
        return origin + juce::Point<int> (173 + (int) (548.0f * byName["Band2 Freq"]->getValue()),
                                          343 + (int) (224.0f * (1.0f - byName["Band2 Gain"]->getValue())));
    };
    const auto click = [&] (int cx, int cy)
    { return [&x, &pump, p = origin + juce::Point<int> (cx, cy)] { x.click (p.x, p.y, pump); }; };
    const auto dragUp = [&] (int cx, int cy, int by = 30)
    { return [&x, &pump, by, p = origin + juce::Point<int> (cx, cy)] { x.drag (p.x, p.y, p.x, p.y - by, pump); }; };

    // Where a 900 x 600 window has its controls; the shared band controls work on band 2 once its handle is pressed.
    struct Row
    {
        const char* what;
        std::function<void()> act;
        std::vector<juce::String> edited;
    };
    const Row rows[] {
        { "a press on band 2's handle", [&] { const auto p = handle(); x.click (p.x, p.y, pump); }, { "Band2 Gain" } },
        { "a drag on GAIN", dragUp (758, 405), { "Band2 Gain" } },
        { "a drag on FREQ", dragUp (805, 488), { "Band2 Freq" } },
        { "a drag on Q", dragUp (852, 405), { "Band2 Q" } },
        { "a click on the band switch", click (805, 392), { "Band2 On" } },
        { "a second click on the band switch", click (805, 392), { "Band2 On" } },
        { "a click on High Shelf", click (830, 551), { "Band2 Type" } },
        { "a click on Peak", click (804, 551), { "Band2 Type" } },
        { "a drag of band 2's handle", [&] { const auto p = handle(); x.drag (p.x, p.y, p.x + 40, p.y - 30, pump); },
          { "Band2 Freq", "Band2 Gain" } },
        { "a drag on PREDELAY", dragUp (64, 127), { "PreDelay" } },
        { "a drag on PREVERB", dragUp (173, 127), { "PreVerb" } },
        { "a drag on DECAY", dragUp (326, 172), { "Decay" } },
        { "a drag on CHARACTER", dragUp (567, 210), { "Character" } },
        { "a drag on DRIVE", dragUp (721, 127), { "Drive" } },
        { "a drag on WIDTH", dragUp (830, 127), { "Width" } },
        { "a drag on LFO SPEED", dragUp (64, 256), { "LfoSpeed" } },
        { "a drag on LFO DEPTH", dragUp (173, 256), { "LfoDepth" } },
        { "a drag on SIDECHAIN", dragUp (721, 256), { "SideChain" } },
        { "a drag on MIX", dragUp (830, 256), { "Mix" } },
        { "a drag on LOW CUT", dragUp (95, 416), { "Low Cut" } },
        { "a drag down on HIGH CUT", dragUp (95, 527, -30), { "High Cut" } },
        { "a click on ROOM", click (291, 72), { "Room" } },
        { "a click on 2", click (449, 149), { "Two Button" } },
        { "a click on the equaliser's switch", click (34, 344), { "on Equalizer" } },
        { "a second click on the equaliser's switch", click (34, 344), { "on Equalizer" } },
        { "a click on the power switch", click (853, 22), { "onButton" } },
        { "a second click on the power switch", click (853, 22), { "onButton" } },
    };

    HostLog log (instance);

    for (const auto& row : rows)
    {
        log.take();
        row.act();

        // A change that comes late, after its gesture's end, would show in the time the loop runs on.
        for (int waited = 0; waited < 2000 && ! log.ended (byName[row.edited.front()]->getParameterIndex()); waited += 10)
            pump (10);

        pump (150);
        const auto heard = log.take();

        // Every change lies inside a gesture, and the edited parameter hears exactly one, around its changes.
        for (const auto& [index, events] : heard)
            check (std::regex_match (events, std::regex ("(bc*e)*")), juce::String (row.what) + " changes "
                       + instance.getParameters()[index]->getName (100) + " outside a gesture: " + events);

        for (const auto& name : row.edited)
        {
            const auto it = heard.find (byName[name]->getParameterIndex());
            const auto events = it != heard.end() ? it->second : std::string();
            check (std::regex_match (events, std::regex ("bc+e")), juce::String (row.what) + " is one gesture around changes of "
                                                                     + name + ": " + events);
        }
    }
}
