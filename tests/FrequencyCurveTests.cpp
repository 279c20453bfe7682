#include "AllocationCounter.h"
#include "DisplayTestHelpers.h"
#include "EditorTestHelpers.h"

#include "editor/FrequencyCurve.h"
#include "editor/Palette.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <thread>

using namespace display_testing;
using testing_helpers::getParameter;
using testing_helpers::setParameter;

namespace
{
constexpr int M = FrequencyCurve::numPoints;

struct CurveRig
{
    explicit CurveRig (double sampleRate = 48000.0, int width = 900, int height = 600)
    {
        if (sampleRate > 0.0)
            testing_helpers::prepare (*processor, sampleRate, 512);

        curve.setBounds (0, 0, width, height);
    }

    double rate() const { return processor->processSpec.sampleRate > 0.0 ? processor->processSpec.sampleRate : 44100.0; }

    /** The analytic response of a band from its parameters' current values. */
    double bandMagnitude (int band, double frequency)
    {
        const auto value = [&] (const char* suffix) { return (double) getParameter (*processor, bandId (band, suffix)); };
        return analyticBandMagnitude ((int) value (ids::bandType), value (ids::bandFreq), value (ids::bandQ),
                                      value (ids::bandGain), frequency, rate());
    }

    /** The curve once its timer has drawn the changes made so far. */
    FrequencyCurve& shown()
    {
        EXPECT_TRUE (waitForCurve (curve)) << "the curve's timer did not draw the change";
        return curve;
    }

    std::unique_ptr<VellumarProcessor> processor = testing_helpers::makeProcessor();
    FrequencyCurve curve { *processor };
};

bool closeTo (juce::Colour a, juce::Colour b, int tolerance = 4)
{
    return std::abs (a.getRed() - b.getRed()) <= tolerance && std::abs (a.getGreen() - b.getGreen()) <= tolerance
        && std::abs (a.getBlue() - b.getBlue()) <= tolerance && std::abs (a.getAlpha() - b.getAlpha()) <= tolerance;
}

float yAt (double response, float h)
{
    const auto dB = std::max (20.0f * std::log10 ((float) response), -100.0f);
    return ((dB + 24.0f) / -48.0f + 1.0f) * h - 0.5f;
}

struct ListenerProbe : juce::AudioProcessorValueTreeState::Listener
{
    void parameterChanged (const juce::String&, float) override { ++calls; }
    int calls = 0;
};

/** The curve's point for analysis frequency i (1 .. M - 1); element 0 is the start on the 0 dB line. */
juce::Point<float> pointAt (const juce::Path& path, int i) { return elementsOf (path)[(size_t) i].point; }
} // namespace

TEST (FrequencyCurve, FlatBandsAndInactiveCutsLieOnTheZeroDecibelLine)
{
    CurveRig rig (48000.0, 900, 600);

    // Defaults: every band at 0 dB, the low cut at 10 Hz and the high cut at 22 kHz, neither biting.
    const auto check = [&] (const char* what)
    {
        SCOPED_TRACE (what);
        for (const auto& path : { rig.shown().getBandPath(), rig.shown().getCutPath() })
        {
            const auto elements = elementsOf (path);
            ASSERT_EQ ((int) elements.size(), 1 + (M - 1) + 2 + 1);
            EXPECT_EQ (elements[0].point, juce::Point<float> (0.0f, 300.0f));

            for (int i = 1; i < M; ++i)
                EXPECT_NEAR (elements[(size_t) i].point.y, 299.5f, 0.01f);

            EXPECT_EQ (elements[(size_t) M].point, juce::Point<float> (900.0f, 300.0f));
            EXPECT_EQ (elements[(size_t) M + 1].point, juce::Point<float> (0.0f, 300.0f));
            EXPECT_EQ (elements.back().type, juce::Path::Iterator::closePath);
        }
    };

    check ("defaults");

    for (int band = 1; band <= 5; ++band)
        setParameter (*rig.processor, bandId (band, ids::bandGain), 18.0f);

    for (int band = 1; band <= 5; ++band)
        setParameter (*rig.processor, bandId (band, ids::bandOn), 0.0f);

    check ("bands off");

    for (const auto& response : { rig.shown().getBandResponse(), rig.shown().getCutResponse() })
        for (auto r : response)
            EXPECT_EQ (r, 1.0);
}

TEST (FrequencyCurve, ResponsesFollowTheBandsAnalyticResponses)
{
    CurveRig rig (48000.0);
    setBand (*rig.processor, 1, true, 1, 100.0f, -6.0f, 0.7f);  // low shelf
    setBand (*rig.processor, 2, true, 2, 640.0f, 12.0f, 2.0f);  // peak
    setBand (*rig.processor, 3, false, 2, 2000.0f, 20.0f, 1.0f); // off: contributes nothing
    setBand (*rig.processor, 4, true, 3, 6000.0f, 4.5f, 0.9f);  // high shelf
    setBand (*rig.processor, 5, true, 4, 15000.0f, 0.0f, 0.8f); // high cut

    // Sixty analysis points per octave from 20 Hz, up to 20 x 2^(599 / 60).
    const auto frequencies = rig.curve.getFrequencies();
    ASSERT_EQ ((int) frequencies.size(), M);
    EXPECT_DOUBLE_EQ (frequencies[300], 640.0);
    EXPECT_NEAR (frequencies.back(), 20244.8, 0.1);

    const auto response = rig.shown().getBandResponse();

    for (int i = 0; i < M; i += 7)
    {
        const double f = frequencies[(size_t) i];
        const double expected = rig.bandMagnitude (1, f) * rig.bandMagnitude (2, f) * rig.bandMagnitude (4, f)
                              * rig.bandMagnitude (5, f);
        EXPECT_NEAR (response[(size_t) i], expected, 2.0e-3 * expected + 1.0e-6) << f << " Hz";
    }

    // The peak sits on an analysis frequency (640 Hz = 20 x 2^5): +12 dB there, give or take the other bands.
    const double others = rig.bandMagnitude (1, 640.0) * rig.bandMagnitude (4, 640.0) * rig.bandMagnitude (5, 640.0);
    EXPECT_NEAR (response[300] / others, std::pow (10.0, 12.0 / 20.0), 0.02);

    // The path's points follow the response on the level axis.
    const auto path = rig.shown().getBandPath();
    for (const int i : { 1, 120, 300, 450, 599 })
    {
        EXPECT_NEAR (pointAt (path, i).y, yAt (response[(size_t) i], 600.0f), 1.0e-3f);
        EXPECT_NEAR (pointAt (path, i).x, std::log2 (frequencies[(size_t) i] / 20.0) / 10.0 * 900.0, 1.0e-2);
    }
}

TEST (FrequencyCurve, PlusAndMinus24DecibelsReachTheEdgesAndDeepCutsFallFarBelow)
{
    CurveRig rig (48000.0, 900, 600);
    setBand (*rig.processor, 3, true, 2, 640.0f, 24.0f, 1.0f);
    EXPECT_NEAR (pointAt (rig.shown().getBandPath(), 300).y, -0.5f, 0.05f) << "the peak touches the top edge";

    setParameter (*rig.processor, bandId (3, ids::bandGain), -24.0f);
    EXPECT_NEAR (pointAt (rig.shown().getBandPath(), 300).y, 599.5f, 0.05f) << "the dip touches the bottom edge";

    // Two high-cut bands at 300 Hz fall below -100 dB towards 20 kHz: drawn at -100 dB, at 2.58 h - 0.5.
    setBand (*rig.processor, 4, true, 4, 300.0f, 0.0f, 0.8f);
    setBand (*rig.processor, 5, true, 4, 300.0f, 0.0f, 0.8f);
    const auto response = rig.shown().getBandResponse();
    ASSERT_LT (20.0 * std::log10 (response.back()), -100.0);
    EXPECT_NEAR (pointAt (rig.shown().getBandPath(), M - 1).y, (76.0f / 48.0f + 1.0f) * 600.0f - 0.5f, 0.01f);
}

TEST (FrequencyCurve, CutsAppearWholeOnceTheyBiteAtTheDisplayEdges)
{
    CurveRig rig (48000.0);
    const double rate = 48000.0;
    const auto highPass = [&] (double f0, double f) { return analyticBandMagnitude (0, f0, 0.6, 0.0, f, rate); };
    const auto lowPass = [&] (double f0, double f) { return analyticBandMagnitude (4, f0, 0.7, 0.0, f, rate); };

    // At its default 10 Hz the low cut leaves 0.89 at 20 Hz: not drawn at all.
    ASSERT_GT (rig.processor->lowCutCoefficients->getMagnitudeForFrequency (20.0, rate), 0.88);
    for (auto r : rig.shown().getCutResponse())
        EXPECT_EQ (r, 1.0);

    // At 20 Hz it leaves 0.6 there, and the whole response appears at once.
    setParameter (*rig.processor, ids::lowCut, 20.0f);
    auto frequencies = rig.curve.getFrequencies();
    auto cut = rig.shown().getCutResponse();
    EXPECT_NEAR (cut[0], 0.6, 1.0e-3);

    for (int i = 0; i < M; i += 11)
        EXPECT_NEAR (cut[(size_t) i], highPass (20.0, frequencies[(size_t) i]), 1.0e-3) << frequencies[(size_t) i];

    // The high cut's rule is 0.79 at 20 kHz: at 22 kHz it passes, at 16 kHz it shows, multiplied with the low cut.
    setParameter (*rig.processor, ids::lowCut, 10.0f);
    EXPECT_GE (rig.processor->highCutCoefficients->getMagnitudeForFrequency (20000.0, rate), 0.79);
    for (auto r : rig.shown().getCutResponse())
        EXPECT_EQ (r, 1.0);

    setParameter (*rig.processor, ids::highCut, 16000.0f);
    setParameter (*rig.processor, ids::lowCut, 40.0f);
    cut = rig.shown().getCutResponse();

    for (int i = 0; i < M; i += 11)
    {
        const double f = frequencies[(size_t) i];
        EXPECT_NEAR (cut[(size_t) i], highPass (40.0, f) * lowPass (16000.0, f), 1.0e-3) << f;
    }
}

TEST (FrequencyCurve, EveryShapingParameterChangeIsDrawnWhicheverThreadMadeIt)
{
    CurveRig rig (44100.0);
    const auto frequencies = rig.curve.getFrequencies();

    // The curve must show the new state, not the one before it: its listener is called before the processor's,
    // which publish the display coefficients, so its timer may tick in between.
    const auto expectBandsMatchParameters = [&] (const juce::String& what)
    {
        const auto response = rig.shown().getBandResponse();

        for (int i = 0; i < M; i += 29)
        {
            double expected = 1.0;
            for (int band = 1; band <= 5; ++band)
                if (getParameter (*rig.processor, bandId (band, ids::bandOn)) > 0.5f)
                    expected *= rig.bandMagnitude (band, frequencies[(size_t) i]);

            EXPECT_NEAR (response[(size_t) i], expected, 2.0e-3 * expected + 1.0e-9) << what << " at " << frequencies[(size_t) i];
        }
    };

    int parameters = 0;

    for (int band = 1; band <= 5; ++band)
    {
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
        {
            const juce::String s (suffix);
            const float target = s == ids::bandOn     ? 0.0f
                               : s == ids::bandType   ? 3.0f
                               : s == ids::bandFreq   ? 3000.0f
                               : s == ids::bandGain   ? -9.0f
                                                      : 4.0f;

            setBand (*rig.processor, band, true, 2, 1000.0f, 9.0f, 1.0f);
            std::thread automation ([&] { setParameter (*rig.processor, bandId (band, suffix), target); });
            automation.join();
            expectBandsMatchParameters (bandId (band, suffix));

            setBand (*rig.processor, band, true, 2, 1000.0f, 0.0f, 1.0f);
            ++parameters;
        }
    }

    // Both cuts bite once moved: the orange response is their product.
    for (const auto& [id, value] : { std::pair { ids::lowCut, 500.0f }, std::pair { ids::highCut, 1000.0f } })
    {
        std::thread automation ([&, id = id, value = value] { setParameter (*rig.processor, id, value); });
        automation.join();
        ++parameters;
    }

    const auto cut = rig.shown().getCutResponse();
    for (int i = 0; i < M; i += 29)
    {
        const double f = frequencies[(size_t) i];
        const double expected = analyticBandMagnitude (0, 500.0, 0.6, 0.0, f, 44100.0) * analyticBandMagnitude (4, 1000.0, 0.7, 0.0, f, 44100.0);
        EXPECT_NEAR (cut[(size_t) i], expected, 2.0e-3 * expected + 1.0e-9) << f;
    }

    EXPECT_EQ (parameters, 27);
}

TEST (FrequencyCurve, StopsListeningWhenDestroyed)
{
    auto processor = testing_helpers::makeProcessor();
    testing_helpers::prepare (*processor, 44100.0, 512);

    // The curve lives in storage of the test's own. Once it is destroyed a probe takes the place of its listener
    // part, so a registration left behind calls the probe rather than freed memory.
    alignas (FrequencyCurve) std::byte storage[sizeof (FrequencyCurve)];
    auto* curve = new (storage) FrequencyCurve (*processor);
    curve->setBounds (0, 0, 300, 200);
    setParameter (*processor, bandId (2, ids::bandGain), 6.0f);
    void* listenerPart = static_cast<juce::AudioProcessorValueTreeState::Listener*> (curve);
    curve->~FrequencyCurve();
    auto* probe = new (listenerPart) ListenerProbe();

    for (int band = 1; band <= 5; ++band)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            processor->apvts.getParameter (bandId (band, suffix))->setValueNotifyingHost (0.37f);

    setParameter (*processor, ids::lowCut, 800.0f);
    setParameter (*processor, ids::highCut, 9000.0f);
    EXPECT_EQ (probe->calls, 0);
    probe->~ListenerProbe();
}

TEST (FrequencyCurve, BeforePreparationAndAtLowRatesTheCurveStaysFiniteAndUnmirrored)
{
    // Not yet prepared: the coefficients were made at the construction rate, and the curve reads them there.
    CurveRig unprepared (0.0);
    setBand (*unprepared.processor, 2, true, 2, 640.0f, 12.0f, 2.0f);
    auto response = unprepared.shown().getBandResponse();

    for (auto r : response)
        ASSERT_TRUE (std::isfinite (r));

    EXPECT_NEAR (response[300], std::pow (10.0, 12.0 / 20.0), 0.02);

    // At 22.05 kHz the display runs past half the sample rate; there the curve holds its value at 11025 Hz
    // instead of mirroring the filter's response back down.
    CurveRig low (22050.0);
    setBand (*low.processor, 4, true, 2, 9000.0f, 10.0f, 3.0f);
    const auto frequencies = low.curve.getFrequencies();
    response = low.shown().getBandResponse();
    const double atNyquist = low.processor->bands[3].curveCoefficients->getMagnitudeForFrequency (11025.0, 22050.0);

    for (int i = 0; i < M; ++i)
    {
        const double f = frequencies[(size_t) i];
        ASSERT_TRUE (std::isfinite (response[(size_t) i]));

        if (f > 11025.0)
            EXPECT_DOUBLE_EQ (response[(size_t) i], atNyquist) << f;
        else
            EXPECT_NEAR (response[(size_t) i], low.bandMagnitude (4, f), 2.0e-3 * low.bandMagnitude (4, f)) << f;
    }
}

TEST (FrequencyCurve, ResizingRebuildsThePathsForTheNewSize)
{
    CurveRig rig (48000.0, 900, 600);
    setBand (*rig.processor, 2, true, 2, 640.0f, 12.0f, 2.0f);
    const auto peakAt900 = pointAt (rig.shown().getBandPath(), 300);

    rig.curve.setBounds (0, 0, 450, 300);
    const auto peakAt450 = pointAt (rig.shown().getBandPath(), 300);
    EXPECT_NEAR (peakAt450.x, 0.5f * peakAt900.x, 1.0e-3f);
    EXPECT_NEAR (peakAt450.y + 0.5f, 0.5f * (peakAt900.y + 0.5f), 1.0e-3f);
    EXPECT_EQ (elementsOf (rig.shown().getBandPath())[(size_t) M].point, juce::Point<float> (450.0f, 150.0f));
}

TEST (FrequencyCurve, RecomputingAllocatesNothing)
{
    CurveRig rig (48000.0);
    setBand (*rig.processor, 1, true, 0, 80.0f, 0.0f, 0.8f);
    setParameter (*rig.processor, ids::lowCut, 200.0f);

    AllocationCounter counter;
    rig.curve.drawFrequencyCurve();
    EXPECT_EQ (counter.count(), 0u) << "host automation threads recompute the curve";
}

TEST (FrequencyCurve, PaintsBlueAndOrangeWhileOnAndGreyWhileEffectOrEqualiserIsOff)
{
    CurveRig rig (48000.0, 900, 600);
    setBand (*rig.processor, 3, true, 2, 640.0f, 18.0f, 1.0f);
    setParameter (*rig.processor, ids::lowCut, 300.0f);
    const auto pathBefore = rig.shown().getBandPath();

    // Inside the peak (above the 0 dB line at 640 Hz) and inside the low cut's dip (below it at 30 Hz).
    const juce::Point<int> inPeak (juce::roundToInt (std::log2 (640.0 / 20.0) / 10.0 * 900.0), 250);
    const juce::Point<int> inCut (juce::roundToInt (std::log2 (30.0 / 20.0) / 10.0 * 900.0), 400);

    const auto lit = editor_testing::render (rig.shown());
    const auto peak = lit.getPixelAt (inPeak.x, inPeak.y);
    const auto cut = lit.getPixelAt (inCut.x, inCut.y);
    EXPECT_GT (peak.getBlue(), peak.getRed() + 40) << "blue band shape";
    EXPECT_GT (cut.getRed(), cut.getBlue() + 40) << "orange cut shape";
    editor_testing::saveArtefact (editor_testing::render (rig.shown(), 1.0f, juce::Colours::black), "frequency-curve-lit.png");

    for (auto* flag : { &rig.processor->effectOffDisplay, &rig.processor->eqOffDisplay })
    {
        flag->store (true);
        const auto grey = editor_testing::render (rig.shown());
        EXPECT_TRUE (closeTo (grey.getPixelAt (inPeak.x, inPeak.y), lightQuelt2));
        EXPECT_TRUE (closeTo (grey.getPixelAt (inCut.x, inCut.y), lightQuelt2));
        EXPECT_TRUE (rig.shown().getBandPath() == pathBefore) << "the shapes are not recomputed";

        if (flag == &rig.processor->eqOffDisplay)
            editor_testing::saveArtefact (editor_testing::render (rig.shown(), 1.0f, juce::Colours::black),
                                          "frequency-curve-grey.png");

        flag->store (false);
    }
}
