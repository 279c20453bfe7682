#include "TempoSync.h"

#include "VellumarProcessorEditor.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <cmath>
#include <vector>

namespace temposync
{
namespace
{
struct KnobSettings
{
    double start, end;
    bool logOfValuePlusOne;
    const char* unit;
    std::vector<const char*> noteNames; // for base x 1, 2, 4, ...
};

const KnobSettings& settingsOf (Knob knob)
{
    static const KnobSettings lfo { (double) 0.1f, 20.0, false, " Hz",
                                    { "8 T", "4 T", "2 T", "1 T", "1/2 T", "1/4 T", "1/8 T", "1/16 T", "1/32 T",
                                      "1/64 T", "1/128 T" } };
    static const KnobSettings preDelay { (double) 0.001f, 300.0, true, " ms",
                                         { "1/256 T", "1/128 T", "1/64 T", "1/32 T", "1/16 T", "1/8 T", "1/4 T",
                                           "1/2 T", "T", "2T" } };
    static const KnobSettings decay { (double) 0.2f, 10.0, true, " s",
                                      { "1/8 T", "1/4 T", "1/2 T", "T", "2T", "4T", "8T", "16T" } };

    switch (knob)
    {
        case Knob::lfoSpeed: return lfo;
        case Knob::preDelay: return preDelay;
        case Knob::decay: break;
    }

    return decay;
}
} // namespace

float syncBase (Knob knob, float bpm)
{
    if (knob == Knob::lfoSpeed)
        return std::isfinite (bpm) && bpm > 1.0f ? bpm / 240.0f * 0.25f : 0.1f;

    // Without a tempo the note lengths would be infinite; the tempo a host reports before it has one stands in.
    const float tempo = std::isfinite (bpm) && bpm > 0.0f ? bpm : 120.0f;

    return knob == Knob::preDelay ? 7500.0f / (tempo * 32.0f) : 480.0f / (tempo * 16.0f);
}

double snapToDoubling (float base, double end, double value)
{
    const auto v = (float) value;
    float best = base;
    float bestDistance = std::abs (base - v);

    // Doubling stops at the end of the range, and also if it stops growing (a base of 0 or NaN).
    for (float candidate = base + base; (double) candidate <= end && candidate > best; candidate = candidate + candidate)
    {
        const float distance = std::abs (candidate - v);

        if (distance < bestDistance)
        {
            best = candidate;
            bestDistance = distance;
        }
    }

    return best;
}

juce::NormalisableRange<double> makeSyncRange (Knob knob, float base, std::function<double (double, double)> choose)
{
    const auto& s = settingsOf (knob);
    const double end = s.end;
    const float offset = s.logOfValuePlusOne ? 1.0f : 0.0f;

    auto fromZeroToOne = [offset] (double start, double rangeEnd, double p)
    {
        const float low = std::log10 ((float) start + offset);
        const float high = std::log10 ((float) rangeEnd + offset);
        return std::pow (10.0, (double) (low + (float) p * (high - low))) - (double) offset;
    };

    auto toZeroToOne = [offset] (double start, double rangeEnd, double v)
    {
        const float low = std::log10 ((float) start + offset);
        const float high = std::log10 ((float) rangeEnd + offset);
        return (double) ((std::log10 ((float) v + offset) - low) / (high - low));
    };

    auto snap = [base, end, choose = std::move (choose)] (double start, double, double v)
    {
        const auto snapped = snapToDoubling (base, end, v);
        return choose == nullptr ? snapped : choose (juce::jlimit (start, end, v), snapped);
    };

    return { s.start, end, std::move (fromZeroToOne), std::move (toZeroToOne), std::move (snap) };
}

juce::NormalisableRange<double> makePlainRange (Knob knob)
{
    switch (knob)
    {
        case Knob::lfoSpeed: return { (double) 0.1f, 20.0, (double) 0.02f, 1.0, false };
        case Knob::preDelay: return { 0.0, 300.0, 1.0, 0.5, false };
        case Knob::decay: break;
    }

    return { (double) 0.2f, 10.0, (double) 0.01f, 1.0, false };
}

juce::String textForValue (Knob knob, float base, double value)
{
    const auto& s = settingsOf (knob);
    float multiple = 1.0f;

    for (const auto* name : s.noteNames)
    {
        if (value == (double) (base * multiple))
            return name;

        multiple *= 2.0f;
    }

    return juce::String (value, 1) + s.unit;
}
} // namespace temposync

//==============================================================================
// Each sync switch swaps its knob's range and text; the caption says which mode the knob is in. Only the user's own
// turn of the knob snaps to a note value, which its attachment then hands to the parameter as a gesture. A switch,
// a preset or the host never changes what the parameter holds, so a saved session keeps its values: the knob shows
// them as they are. Turning a switch off gives the knob back its plain range, its parameter's text and its unit.

void VellumarProcessorEditor::assignSyncCallbacks()
{
    lfoSyncButton.onClick = [this] { applyLfoSync(); };
    preDelaySyncButton.onClick = [this] { applyPreDelaySync(); };
    decaySyncButton.onClick = [this] { applyDecaySync(); };
}

void VellumarProcessorEditor::sliderDragStarted (juce::Slider* knob) { knobTurnedByUser = knob; }

void VellumarProcessorEditor::sliderDragEnded (juce::Slider* knob)
{
    if (knobTurnedByUser == knob)
        knobTurnedByUser = nullptr;
}

void VellumarProcessorEditor::applyKnobSync (juce::Slider& knob, temposync::Knob which, bool on)
{
    const auto id = which == temposync::Knob::lfoSpeed ? ids::lfoSpeed
                  : which == temposync::Knob::preDelay ? ids::preDelay
                                                       : ids::decay;
    auto& parameter = *valueTreeState.getParameter (id);

    if (on)
    {
        const auto base = temposync::syncBase (which, audioProcessor.hostBpm);
        knob.textFromValueFunction = [which, base] (double value)
        { return temposync::textForValue (which, base, value); };

        // A press that does not move the knob asks for its own value again (up to rounding): that stays as it is.
        const auto choose = [this, &knob] (double value, double snapped)
        {
            const auto current = knob.getValue();
            const auto moved = knob.valueToProportionOfLength (value) - knob.valueToProportionOfLength (current);
            return std::abs (moved) < 1.0e-6 ? current : knobTurnedByUser == &knob ? snapped : value;
        };
        knob.setNormalisableRange (temposync::makeSyncRange (which, base, choose));
        knob.setTextValueSuffix ({});
    }
    else
    {
        knob.setNormalisableRange (temposync::makePlainRange (which));
        knob.textFromValueFunction = [&parameter] (double value)
        { return parameter.getText (parameter.convertTo0to1 ((float) value), 0); };
        knob.setTextValueSuffix (which == temposync::Knob::lfoSpeed   ? " Hz"
                                 : which == temposync::Knob::preDelay ? " ms"
                                                                      : " s");
    }

    // A new range pulls the knob's value into its own steps; the parameter's value is what it must show.
    knob.setValue (parameter.convertFrom0to1 (parameter.getValue()), juce::dontSendNotification);
    knob.updateText();
}

void VellumarProcessorEditor::applyLfoSync()
{
    const bool on = lfoSyncButton.getToggleState();
    applyKnobSync (lfoSpeedSlider, temposync::Knob::lfoSpeed, on);
    audioProcessor.lfoSyncOn = on;

    const bool tremolo = audioProcessor.tremoloOn;
    setCaption (lfoSpeedLabel, juce::String (tremolo ? "TREM" : "LFO") + (on ? " SYNC" : " SPEED"), on);
}

void VellumarProcessorEditor::applyPreDelaySync()
{
    const bool on = preDelaySyncButton.getToggleState();
    applyKnobSync (preDelaySlider, temposync::Knob::preDelay, on);
    setCaption (preDelayLabel, on ? "SYNC DELAY" : "PREDELAY", on);
}

void VellumarProcessorEditor::applyDecaySync()
{
    const bool on = decaySyncButton.getToggleState();
    applyKnobSync (decaySlider, temposync::Knob::decay, on);
    setCaption (decayLabel, on ? "SYNC DECAY" : "DECAY", on);
}
