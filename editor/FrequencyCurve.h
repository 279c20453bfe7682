#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/DisplayStrips.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class VellumarProcessor;

/** The equaliser's response, drawn under the XY pad: the five bands together in blue, the input low and high cut
    together in orange, each as the area between its curve and the 0 dB line.

    A change of one of the 27 parameters that shape the curves only marks them out of date, on whatever thread
    changed it (host automation calls in on the audio thread, which must not compute or allocate here). The curve's
    own timer then recomputes them on the message thread from the processor's published display coefficients and
    repaints; it also catches coefficients published after it last drew, since the processor's listeners hear of
    a change after this one does. A resize recomputes at once. `curveMutex` keeps the paths whole for callers on
    other threads. While the effect or the equaliser is switched off both shapes are painted grey.
*/
class FrequencyCurve : public juce::Component,
                       public juce::AudioProcessorValueTreeState::Listener,
                       private juce::Timer
{
public:
    explicit FrequencyCurve (VellumarProcessor& processorToShow);
    ~FrequencyCurve() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Recomputes both responses and rebuilds both paths for the current size. */
    void drawFrequencyCurve();

    /** True while a change that the curve has not drawn yet waits for its timer. */
    bool hasPendingChange();

    static constexpr int numPoints = 600;

    //==============================================================================
    // Copies taken under the mutex, for tests and measurements.
    std::vector<double> getFrequencies();
    std::vector<double> getBandResponse();
    std::vector<double> getCutResponse();
    juce::Path getBandPath();
    juce::Path getCutPath();

    const juce::ColourGradient& getBandGradient() const noexcept { return bandGradient; }
    const juce::ColourGradient& getCutGradient() const noexcept { return cutGradient; }

private:
    /** Each band's five parameter IDs, then "LowCut" and "HighCut": the parameters the curve listens to. */
    static juce::StringArray listenedParameterIds();

    void timerCallback() override;

    /** False while the effect or the equaliser is switched off: then both shapes are grey. */
    bool isColoured() const noexcept;

    // The versions of the processor's display hand-offs: each band's, then the cuts'.
    using Versions = std::array<uint32_t, 6>;
    Versions publishedVersions() const noexcept;

    // The steps of `drawFrequencyCurve`, which holds `curveMutex` through them. `below` counts the frequencies
    // under half the sample rate `sr`.
    void computeBandResponse (double sr, size_t below);
    void computeCutResponse (double sr, size_t below);
    void buildPaths();

    /** Fills one of the two shapes: with its gradient, or grey while the effect or the equaliser is off. */
    void fillShape (juce::Graphics& g, const juce::Path& path, const juce::ColourGradient& gradient, bool coloured) const;

    /** Redraws both layers and the areas they cover from the current paths. */
    void drawLayers (bool coloured);

    VellumarProcessor& processor;
    juce::ColourGradient cutGradient;
    juce::ColourGradient bandGradient;
    std::mutex curveMutex;
    juce::Path bandPath, cutPath;
    std::vector<double> frequencies;
    std::array<std::vector<double>, 5> bandMagnitudes;
    std::array<std::vector<double>, 2> cutMagnitudes;
    std::vector<double> bandResponse;
    std::vector<double> cutResponse;

    // The component's size as `resized` last saw it, taken under `curveMutex`: `drawFrequencyCurve` may be called
    // from another thread (tests and measurements do), which must not read the bounds the message thread sets.
    juce::Point<float> curveSize;

    // Set by the parameter listener on any thread, cleared by the timer before it recomputes.
    std::atomic<bool> curveDirty { true };

    // What the last recomputation drew from: copies of the published sets (five bands, low cut, high cut) and
    // their versions. Guarded by `curveMutex`.
    std::array<juce::dsp::IIR::Coefficients<float>, 7> displayCoefficients;
    Versions drawnVersions {};

    // Each shape drawn alone into a clear layer of its own, which the paints copy only where the shape is. Copying
    // such a layer blends exactly what filling the shape there blends, so the pixels are the same; two overlapping
    // translucent fills in one layer would not be. Guarded by `curveMutex`, like the paths they are drawn from.
    juce::Image bandLayer, cutLayer;
    juce::Point<int> layerOrigin;
    std::vector<juce::Rectangle<int>> bandLayerArea, cutLayerArea;
    std::vector<StripRows> layerStrips;
    bool layersStale = true;
    bool layersColoured = true;

    // Whether the display was last repainted whole for the coloured or the grey state.
    bool colouredOnScreen = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FrequencyCurve)
};
