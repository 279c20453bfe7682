#include "FrequencyCurve.h"

#include "Palette.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <cmath>

namespace
{
// Deeper responses are drawn at this level, far below the bottom edge, so the filled shape covers the height.
constexpr float floorDb = -100.0f;

// A cut is drawn only once it audibly bites at the edge of the display.
constexpr double lowCutVisibleBelow = 0.88;
constexpr double highCutVisibleBelow = 0.79;

using Coefficients = juce::dsp::IIR::Coefficients<float>;

// The width of the columns in which a layer's area is worked out, and the most rectangles it is copied in.
constexpr int layerStripWidth = 16;
constexpr int maxLayerRectangles = 4;

float yForResponse (double response, float h)
{
    // A degenerate response (zero, negative or not finite) is drawn like one far below the floor.
    const float dB = ! (response > 0.0) || ! std::isfinite (response)
                         ? floorDb
                         : juce::jmax (20.0f * std::log10 ((float) response), floorDb);
    return ((dB + 24.0f) / -48.0f + 1.0f) * h;
}

// The magnitude of `coefficients` at every frequency; the points from `below` on take the value at half the rate.
void evaluate (const Coefficients& coefficients, const std::vector<double>& frequencies,
               std::vector<double>& magnitudes, size_t below, double sr)
{
    coefficients.getMagnitudeForFrequencyArray (frequencies.data(), magnitudes.data(), below, sr);

    if (below < magnitudes.size())
        std::fill (magnitudes.begin() + (std::ptrdiff_t) below, magnitudes.end(),
                   coefficients.getMagnitudeForFrequency (0.5 * sr, sr));
}

void multiplyInto (std::vector<double>& response, const std::vector<double>& magnitudes)
{
    for (size_t i = 0; i < response.size(); ++i)
        response[i] *= magnitudes[i];
}
} // namespace

FrequencyCurve::FrequencyCurve (VellumarProcessor& processorToShow) : processor (processorToShow)
{
    {
        const std::lock_guard<std::mutex> lock (curveMutex);

        // Sixty points per octave from 20 Hz, up to about 20.2 kHz.
        frequencies.resize ((size_t) numPoints);

        for (int i = 0; i < numPoints; ++i)
            frequencies[(size_t) i] = 20.0 * std::pow (2.0, (double) i / (0.1 * numPoints));

        for (auto& magnitudes : bandMagnitudes)
            magnitudes.assign ((size_t) numPoints, 1.0);

        for (auto& magnitudes : cutMagnitudes)
            magnitudes.assign ((size_t) numPoints, 1.0);

        bandResponse.assign ((size_t) numPoints, 1.0);
        cutResponse.assign ((size_t) numPoints, 1.0);

        // A start, a point per frequency, two closing points and the close: no path grows while it is rebuilt.
        bandPath.preallocateSpace (3 * (numPoints + 3) + 1);
        cutPath.preallocateSpace (3 * (numPoints + 3) + 1);
    }

    for (const auto& id : listenedParameterIds())
        processor.apvts.addParameterListener (id, this);

    colouredOnScreen = isColoured();
    startTimerHz (30);
}

FrequencyCurve::~FrequencyCurve()
{
    stopTimer();

    // Removal waits for a listener call that is running on another thread, so none outlives the members.
    for (const auto& id : listenedParameterIds())
        processor.apvts.removeParameterListener (id, this);
}

juce::StringArray FrequencyCurve::listenedParameterIds()
{
    juce::StringArray result;

    for (int band = 1; band <= ids::numBands; ++band)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            result.add (juce::String (band) + suffix);

    result.add (ids::lowCut);
    result.add (ids::highCut);
    return result;
}

void FrequencyCurve::parameterChanged (const juce::String&, float)
{
    curveDirty.store (true);
}

FrequencyCurve::Versions FrequencyCurve::publishedVersions() const noexcept
{
    Versions versions;

    for (size_t b = 0; b < processor.bands.size(); ++b)
        versions[b] = processor.bands[b].curveHandOff.getVersion();

    versions[5] = processor.cutCurveHandOff.getVersion();
    return versions;
}

bool FrequencyCurve::hasPendingChange()
{
    if (curveDirty.load())
        return true;

    const std::lock_guard<std::mutex> lock (curveMutex);
    return publishedVersions() != drawnVersions;
}

void FrequencyCurve::timerCallback()
{
    // Cleared before recomputing: a change arriving meanwhile is drawn at the next tick.
    if (curveDirty.exchange (false) || hasPendingChange())
    {
        drawFrequencyCurve();
        repaint();
    }

    // A power switch turns the whole display grey or back at once. Left to the spectrum's repaints, which cover
    // only where the spectrum moves, it would change strip by strip (and not at all without audio).
    const bool coloured = isColoured();

    if (coloured != colouredOnScreen)
    {
        colouredOnScreen = coloured;
        repaint();
    }
}

bool FrequencyCurve::isColoured() const noexcept
{
    return ! processor.effectOffDisplay.load() && ! processor.eqOffDisplay.load();
}

void FrequencyCurve::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    bandGradient = juce::ColourGradient (blueCurveDark, 0.5f * w, 0.5f * h, blueCurve, 0.0f, 0.0f, true);
    cutGradient = juce::ColourGradient (orangeCurveDark, 0.5f * w, 0.5f * h, orangeCurveLight, 0.0f, 0.0f, true);

    {
        const std::lock_guard<std::mutex> lock (curveMutex);
        curveSize = { w, h };
    }

    drawFrequencyCurve();
}

//==============================================================================
void FrequencyCurve::drawFrequencyCurve()
{
    const std::lock_guard<std::mutex> lock (curveMutex);

    // Before the first preparation the display coefficients were made at the construction rate.
    const double sr = processor.processSpec.sampleRate > 0.0 ? processor.processSpec.sampleRate : 44100.0;

    // Above half the sample rate a digital filter has no response of its own (evaluating there would mirror the
    // curve back), so those points keep the value at half the sample rate. At 40.4 kHz and above all are below.
    const double nyquist = 0.5 * sr;
    const auto below = (size_t) (std::upper_bound (frequencies.begin(), frequencies.end(), nyquist) - frequencies.begin());

    // Whole sets, as last published; the band sets are read before the band switches are.
    const auto copyInto = [] (juce::dsp::IIR::Coefficients<float>& target, const std::array<float, 5>& set)
    { std::copy (set.begin(), set.end(), target.coefficients.begin()); };

    for (size_t b = 0; b < processor.bands.size(); ++b)
    {
        CoefficientHandOff<1>::Sets sets;
        drawnVersions[b] = processor.bands[b].curveHandOff.read (sets);
        copyInto (displayCoefficients[b], sets[0]);
    }

    CoefficientHandOff<2>::Sets cuts;
    drawnVersions[5] = processor.cutCurveHandOff.read (cuts);
    copyInto (displayCoefficients[5], cuts[0]);
    copyInto (displayCoefficients[6], cuts[1]);

    computeBandResponse (sr, below);
    computeCutResponse (sr, below);
    buildPaths();
}

void FrequencyCurve::computeBandResponse (double sr, size_t below)
{
    std::fill (bandResponse.begin(), bandResponse.end(), 1.0);

    for (size_t b = 0; b < bandMagnitudes.size(); ++b)
    {
        auto& band = processor.bands[b];

        if (! (band.onValue->load() > 0.5f))
            continue;

        evaluate (displayCoefficients[b], frequencies, bandMagnitudes[b], below, sr);

        multiplyInto (bandResponse, bandMagnitudes[b]);
    }
}

void FrequencyCurve::computeCutResponse (double sr, size_t below)
{
    std::fill (cutResponse.begin(), cutResponse.end(), 1.0);

    {
        const auto& lowCut = displayCoefficients[5];
        const auto& highCut = displayCoefficients[6];

        if (lowCut.getMagnitudeForFrequency (20.0, sr) < lowCutVisibleBelow)
            evaluate (lowCut, frequencies, cutMagnitudes[0], below, sr);
        else
            std::fill (cutMagnitudes[0].begin(), cutMagnitudes[0].end(), 1.0);

        if (highCut.getMagnitudeForFrequency (juce::jmin (20000.0, 0.5 * sr), sr) < highCutVisibleBelow)
            evaluate (highCut, frequencies, cutMagnitudes[1], below, sr);
        else
            std::fill (cutMagnitudes[1].begin(), cutMagnitudes[1].end(), 1.0);
    }

    multiplyInto (cutResponse, cutMagnitudes[0]);
    multiplyInto (cutResponse, cutMagnitudes[1]);
}

void FrequencyCurve::buildPaths()
{
    const auto w = curveSize.x;
    const auto h = curveSize.y;

    bandPath.clear();
    cutPath.clear();
    bandPath.startNewSubPath (0.0f, 0.5f * h);
    cutPath.startNewSubPath (0.0f, 0.5f * h);

    for (size_t i = 1; i < frequencies.size(); ++i)
    {
        const float x = std::log ((float) frequencies[i] / 20.0f) / 0.6931472f / 10.0f * w;
        bandPath.lineTo (x, yForResponse (bandResponse[i], h) - 0.5f);
        cutPath.lineTo (x, yForResponse (cutResponse[i], h) - 0.5f);
    }

    // Back along the 0 dB line: each shape is the area between its curve and that line.
    for (auto* path : { &bandPath, &cutPath })
    {
        path->lineTo (w, 0.5f * h);
        path->lineTo (0.0f, 0.5f * h);
        path->closeSubPath();
    }

    layersStale = true;
}

void FrequencyCurve::fillShape (juce::Graphics& g, const juce::Path& path, const juce::ColourGradient& gradient,
                                bool coloured) const
{
    if (! coloured)
    {
        g.setColour (lightQuelt2);
        g.fillPath (path);
        return;
    }

    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    // Keeps the gradients' centre and stretches the radial fall-off into a wide, flat ellipse.
    const juce::AffineTransform stretch (2.0f, 0.0f, -0.5f * w, 0.0f, 0.2f, 0.4f * h);

    g.setFillType (juce::FillType (gradient).transformed (stretch));
    g.fillPath (path);
}

void FrequencyCurve::drawLayers (bool coloured)
{
    const auto w = getWidth();
    const auto h = getHeight();
    layerStrips.resize ((size_t) (w + layerStripWidth - 1) / layerStripWidth);

    // The layers are drawn as the window draws the curve, from the window's origin: the renderer adds that offset
    // to the shapes' and the gradients' coordinates in floating point, so drawing them from another origin could
    // round a few pixels differently.
    layerOrigin = getTopLevelComponent()->getLocalPoint (this, juce::Point<int>());
    const auto layerBounds = getLocalBounds() + layerOrigin;

    const auto draw = [&] (juce::Image& layer, std::vector<juce::Rectangle<int>>& area, const juce::Path& path,
                           const juce::ColourGradient& gradient)
    {
        if (layer.getWidth() != layerBounds.getRight() || layer.getHeight() != layerBounds.getBottom())
            layer = juce::Image (juce::Image::ARGB, layerBounds.getRight(), layerBounds.getBottom(), true);
        else
            layer.clear (layerBounds);

        juce::Graphics g (layer);
        g.setOrigin (layerOrigin);
        fillShape (g, path, gradient, coloured);

        clearStrips (layerStrips);
        addPathToStrips (path, layerStripWidth, (float) h, true, layerStrips);
        area.resize (layerStrips.size());
        area.resize ((size_t) stripRectangles (layerStrips, layerStripWidth, w, h, maxLayerRectangles, area.data()));
    };

    draw (bandLayer, bandLayerArea, bandPath, bandGradient);
    draw (cutLayer, cutLayerArea, cutPath, cutGradient);
    layersColoured = coloured;
    layersStale = false;
}

void FrequencyCurve::paint (juce::Graphics& g)
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    const bool coloured = isColoured();

    // On a scaled display a layer would be resampled, so there the shapes are filled directly.
    if (g.getInternalContext().getPhysicalPixelScaleFactor() != 1.0f || getLocalBounds().isEmpty())
    {
        fillShape (g, bandPath, bandGradient, coloured);
        fillShape (g, cutPath, cutGradient, coloured);
        return;
    }

    if (layersStale || coloured != layersColoured || layerOrigin != getTopLevelComponent()->getLocalPoint (this, juce::Point<int>())
        || bandLayer.getWidth() != layerOrigin.x + getWidth() || bandLayer.getHeight() != layerOrigin.y + getHeight())
        drawLayers (coloured);

    for (const auto& r : bandLayerArea)
        drawImagePart (g, bandLayer, layerOrigin, r);

    for (const auto& r : cutLayerArea)
        drawImagePart (g, cutLayer, layerOrigin, r);
}

//==============================================================================
std::vector<double> FrequencyCurve::getFrequencies()
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    return frequencies;
}

std::vector<double> FrequencyCurve::getBandResponse()
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    return bandResponse;
}

std::vector<double> FrequencyCurve::getCutResponse()
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    return cutResponse;
}

juce::Path FrequencyCurve::getBandPath()
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    return bandPath;
}

juce::Path FrequencyCurve::getCutPath()
{
    const std::lock_guard<std::mutex> lock (curveMutex);
    return cutPath;
}
