#include "TempoSync.h"

#include "VellumarProcessorEditor.h"
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

juce::NormalisableRange<double> makeSyncRange (Knob knob, float base)
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

    auto snap = [base, end] (double, double, double v) { return snapToDoubling (base, end, v); };

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
// Each sync switch swaps its knob's range and text; the caption says which mode the knob is in. Turning a switch
// off puts the plain range back but keeps the text function, so the box goes on showing one decimal and the unit.

namespace
{
void synchronise (juce::Slider& knob, temposync::Knob which, float bpm)
{
    const auto base = temposync::syncBase (which, bpm);
    auto range = temposync::makeSyncRange (which, base);

    knob.textFromValueFunction = [which, base] (double value) { return temposync::textForValue (which, base, value); };
    knob.setNormalisableRange (std::move (range));
    knob.setTextValueSuffix ({});
}
} // namespace

void VellumarProcessorEditor::assignSyncCallbacks()
{
    lfoSyncButton.onClick = [this] { applyLfoSync(); };
    preDelaySyncButton.onClick = [this] { applyPreDelaySync(); };
    decaySyncButton.onClick = [this] { applyDecaySync(); };
}

void VellumarProcessorEditor::applyLfoSync()
{
    const bool on = lfoSyncButton.getToggleState();

    if (on)
        synchronise (lfoSpeedSlider, temposync::Knob::lfoSpeed, audioProcessor.hostBpm);
    else
        lfoSpeedSlider.setNormalisableRange (temposync::makePlainRange (temposync::Knob::lfoSpeed));

    audioProcessor.lfoSyncOn = on;

    const bool tremolo = audioProcessor.tremoloOn;
    setCaption (lfoSpeedLabel, juce::String (tremolo ? "TREM" : "LFO") + (on ? " SYNC" : " SPEED"), on);
}

void VellumarProcessorEditor::applyPreDelaySync()
{
    const bool on = preDelaySyncButton.getToggleState();

    if (on)
        synchronise (preDelaySlider, temposync::Knob::preDelay, audioProcessor.hostBpm);
    else
        preDelaySlider.setNormalisableRange (temposync::makePlainRange (temposync::Knob::preDelay));

    setCaption (preDelayLabel, on ? "SYNC DELAY" : "PREDELAY", on);
}

void VellumarProcessorEditor::applyDecaySync()
{
    const bool on = decaySyncButton.getToggleState();

    if (on)
        synchronise (decaySlider, temposync::Knob::decay, audioProcessor.hostBpm);
    else
        decaySlider.setNormalisableRange (temposync::makePlainRange (temposync::Knob::decay));

    setCaption (decayLabel, on ? "SYNC DECAY" : "DECAY", on);
}
