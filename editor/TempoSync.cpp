#include "TempoSync.h"

#include "VellumarProcessorEditor.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <cmath>
#include <limits>
#include <tuple>
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

double noteTolerance (double note, double step)
{
    // Float rounding: a few units in the last place of a float of the note's size.
    return 0.5 * step + 4.0 * std::abs (note) * (double) std::numeric_limits<float>::epsilon();
}

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

juce::NormalisableRange<double> makePlainRange (const juce::RangedAudioParameter& parameter)
{
    // The same range the knob's slider attachment builds from the parameter.
    auto range = parameter.getNormalisableRange();

    auto from0To1 = [range] (double start, double end, double p) mutable
    {
        range.start = (float) start;
        range.end = (float) end;
        return (double) range.convertFrom0to1 ((float) p);
    };

    auto to0To1 = [range] (double start, double end, double v) mutable
    {
        range.start = (float) start;
        range.end = (float) end;
        return (double) range.convertTo0to1 ((float) v);
    };

    auto snap = [range] (double start, double end, double v) mutable
    {
        range.start = (float) start;
        range.end = (float) end;
        return (double) range.snapToLegalValue ((float) v);
    };

    juce::NormalisableRange<double> result { (double) range.start, (double) range.end, std::move (from0To1),
                                             std::move (to0To1), std::move (snap) };
    result.interval = range.interval;
    result.skew = range.skew;
    result.symmetricSkew = range.symmetricSkew;
    return result;
}

double stepToDoubling (float base, double end, double current, double towards, double tolerance)
{
    // A knob within the tolerance of a doubling is on it: the step goes on from there.
    double result = current;

    for (float candidate = base; (double) candidate <= end; candidate = candidate + candidate)
    {
        if (towards > current && (double) candidate > current + tolerance)
            return candidate;

        if (towards < current && (double) candidate < current - tolerance)
            result = candidate;

        if (! (candidate + candidate > candidate))
            break;
    }

    return result;
}

juce::String textForValue (Knob knob, float base, double value, double step)
{
    const auto& s = settingsOf (knob);
    float multiple = 1.0f;

    for (const auto* name : s.noteNames)
    {
        const auto note = (double) (base * multiple);

        if (std::abs (value - note) <= noteTolerance (note, step))
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

    // The wheel steps a synchronised knob from note to note (mouseWheelMove); JUCE's own small wheel steps would
    // snap back to the note they started from.
    knob.setScrollWheelEnabled (! on);

    if (on)
    {
        const auto base = temposync::syncBase (which, audioProcessor.hostBpm);
        syncBases[(size_t) which] = base;

        // The parameter holds a note value rounded to its own step, which still names the note.
        const auto step = (double) parameter.getNormalisableRange().interval;
        knob.textFromValueFunction = [which, base, step] (double value)
        { return temposync::textForValue (which, base, value, step); };

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
        knob.setNormalisableRange (temposync::makePlainRange (parameter));
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

void VellumarProcessorEditor::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    // The editor hears the wheel on the knobs it listens to, and its own (or one passed up to it).
    if (e.eventComponent == this)
    {
        juce::AudioProcessorEditor::mouseWheelMove (e, wheel);
        return;
    }

    const std::tuple<juce::Slider*, juce::Button*, temposync::Knob, const char*> synced[] {
        { &lfoSpeedSlider, &lfoSyncButton, temposync::Knob::lfoSpeed, ids::lfoSpeed },
        { &preDelaySlider, &preDelaySyncButton, temposync::Knob::preDelay, ids::preDelay },
        { &decaySlider, &decaySyncButton, temposync::Knob::decay, ids::decay }
    };

    for (const auto& [knob, syncSwitch, which, id] : synced)
    {
        if ((e.eventComponent != knob && ! knob->isParentOf (e.eventComponent)) || ! syncSwitch->getToggleState()
            || ! knob->isEnabled())
            continue;

        // One note per notch, the way the wheel turns the knob when it is not synchronised.
        const auto amount = (std::abs (wheel.deltaX) > std::abs (wheel.deltaY) ? -wheel.deltaX : wheel.deltaY)
                            * (wheel.isReversed ? -1.0f : 1.0f);

        if (amount == 0.0f || e.eventTime == lastWheelTime)
            return;

        lastWheelTime = e.eventTime;
        // A value the parameter holds for a note (rounded to its step) counts as that note.
        const auto current = knob->getValue();
        const auto step = (double) valueTreeState.getParameter (id)->getNormalisableRange().interval;
        const auto target = temposync::stepToDoubling (syncBases[(size_t) which], knob->getMaximum(), current,
                                                       amount > 0.0f ? current + 1.0 : current - 1.0,
                                                       temposync::noteTolerance (current, step));

        if (target != current)
        {
            const juce::Slider::ScopedDragNotification turn (*knob);
            knob->setValue (target, juce::sendNotificationSync);
        }

        return;
    }
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
