#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** Tempo-synchronised knob ranges.

    While a sync switch is on, its knob's legal values are the doublings of a shortest note length derived from
    the host tempo, `syncBase`, and the value box names them as note values ("1/4 T"). Everything is computed once
    when the switch turns on; the knob's parameter attachment still converts between the knob and the parameter,
    so the parameter receives the synchronised value in its own unit.
*/
namespace temposync
{
enum class Knob
{
    lfoSpeed, ///< LFO SPEED under LFO SYNC, in Hz
    preDelay, ///< PREDELAY under PREDELAY SYNC, in ms
    decay     ///< DECAY under DECAY SYNC, in s
};

/** The shortest synchronised value at a tempo in beats per minute. A tempo of 1 BPM or less leaves the LFO at
    0.1 Hz; a tempo the host cannot have meant (0 or less, infinite, NaN) counts as 120 BPM. */
float syncBase (Knob knob, float bpm);

/** The knob's range while synchronised: logarithmic (LFO) or logarithmic in value + 1 (pre-delay, decay) between
    the knob's ends, snapping every value to the nearest doubling of `base`. When `choose` is given, it receives
    each value (kept within the ends) and its snapped value, and returns the one to use. */
juce::NormalisableRange<double> makeSyncRange (Knob knob, float base,
                                               std::function<double (double value, double snapped)> choose = {});

/** The range a knob gets back when its switch turns off: its parameter's own, skew and steps included, as the
    knob's attachment gives it in a new window. */
juce::NormalisableRange<double> makePlainRange (const juce::RangedAudioParameter& parameter);

/** The doubling of `base` nearest to `value` among those up to `end` (always `base` itself at least); a value
    exactly between two doublings goes to the smaller. */
double snapToDoubling (float base, double end, double value);

/** The doubling of `base` next to `current` in the direction of `towards` (the next one above when `towards` is
    larger, the next one below when smaller), among those up to `end`; `current` itself when there is none. A
    doubling within `tolerance` of `current` counts as where it is. A wheel notch on a synchronised knob steps so. */
double stepToDoubling (float base, double end, double current, double towards, double tolerance = 0.0);

/** How far a value may lie from a note value and still be that note: half the parameter's own step `step` (the
    parameter holds a note rounded to it), or float rounding. */
double noteTolerance (double note, double step);

/** The note name of a value within `noteTolerance` of `base` times a power of two the knob names, otherwise the
    value with one decimal and the knob's unit. */
juce::String textForValue (Knob knob, float base, double value, double step = 0.0);
} // namespace temposync
