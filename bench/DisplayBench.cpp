#include "DisplayBench.h"

#include "editor/Frame.h"
#include "editor/FrequencyCurve.h"
#include "editor/SpectrumAnalyzer.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <ostream>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double frameMs = 33.0;

double millisecondsSince (Clock::time_point began)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - began).count();
}

void setParameter (VellumarProcessor& processor, const juce::String& id, float value)
{
    auto* parameter = processor.apvts.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

/** A prepared processor whose analyser hand-over is open, as while the editor is shown. */
std::unique_ptr<VellumarProcessor> makeShownProcessor (double sampleRate)
{
    auto processor = std::make_unique<VellumarProcessor>();
    processor->setRateAndBufferSizeDetails (sampleRate, 512);
    processor->prepareToPlay (sampleRate, 512);

    const auto n = (int) sampleRate;
    processor->analyserFifo.setTotalSize (n);
    processor->analyserBuffer.setSize (1, n, false, true, false);
    processor->analyserFifo.reset();
    processor->analyserBuffer.clear();
    processor->analyserEnabled.store (true);
    return processor;
}

/** Writes a chunk of noise into the analyser FIFO as the audio thread would. */
void feed (VellumarProcessor& processor, juce::Random& random, int n)
{
    auto& fifo = processor.analyserFifo;

    if (fifo.getFreeSpace() < n)
        return;

    int start1, size1, start2, size2;
    fifo.prepareToWrite (n, start1, size1, start2, size2);

    for (int i = 0; i < size1; ++i)
        processor.analyserBuffer.setSample (0, start1 + i, random.nextFloat() - 0.5f);
    for (int i = 0; i < size2; ++i)
        processor.analyserBuffer.setSample (0, start2 + i, random.nextFloat() - 0.5f);

    fifo.finishedWrite (size1 + size2);
    processor.analyserDataReady.exchange (true);
}

double paintCost (juce::Component& component, int repeats)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    const auto began = Clock::now();

    for (int r = 0; r < repeats; ++r)
    {
        juce::Graphics g (image);
        component.paintEntireComponent (g, true);
    }

    return millisecondsSince (began) / repeats;
}

void line (std::ostream& out, const juce::String& what, double ms)
{
    out << "  " << std::left << std::setw (52) << what.toStdString() << std::right << std::fixed << std::setprecision (3)
        << std::setw (9) << ms << " ms  " << std::setprecision (2) << std::setw (6) << 100.0 * ms / frameMs
        << " % of a 33 ms frame\n";
}

/** Mean and worst cost of a tick in steady state: 33 ms of audio arrive between ticks. */
std::pair<double, double> tickCost (double sampleRate, int ticks)
{
    auto processor = makeShownProcessor (sampleRate);
    SpectrumAnalyzer analyser (*processor);
    analyser.setBounds (0, 0, 900, 600);
    analyser.setVisible (true);
    juce::Random random (1);
    const int perTick = (int) (sampleRate * frameMs / 1000.0);

    while (analyser.getRebuildCountdown() > 0)
    {
        feed (*processor, random, 64);
        analyser.timerCallback();
    }

    double total = 0.0, worst = 0.0;

    for (int t = 0; t < ticks; ++t)
    {
        for (int done = 0; done < perTick; done += 512)
            feed (*processor, random, std::min (512, perTick - done));

        const auto began = Clock::now();
        analyser.timerCallback();
        const double ms = millisecondsSince (began);
        total += ms;
        worst = std::max (worst, ms);
    }

    return { total / ticks, worst };
}
} // namespace

void runDisplayBench (std::ostream& out)
{
    out << "Displays (message thread; the curve also recomputes on the thread that changes a parameter)\n";

    double tickAt48k = 0.0;

    for (const double rate : { 48000.0, 192000.0 })
    {
        const auto [mean, worst] = tickCost (rate, 300);
        tickAt48k = tickAt48k > 0.0 ? tickAt48k : mean;
        line (out, "analyser tick at " + juce::String (rate / 1000.0) + " kHz, mean", mean);
        line (out, "analyser tick at " + juce::String (rate / 1000.0) + " kHz, worst", worst);
    }

    for (const auto& [w, h] : { std::pair { 900, 600 }, std::pair { 1800, 1200 } })
    {
        auto processor = makeShownProcessor (48000.0);
        const auto size = juce::String (w) + " x " + juce::String (h);

        // Bands and cuts in use, so that every response is evaluated.
        for (int band = 1; band <= ids::numBands; ++band)
            setParameter (*processor, juce::String (band) + ids::bandGain, band % 2 == 0 ? -6.0f : 6.0f);
        setParameter (*processor, ids::lowCut, 100.0f);
        setParameter (*processor, ids::highCut, 8000.0f);

        Frame frame;
        SpectrumAnalyzer analyser (*processor);
        FrequencyCurve curve (*processor);
        frame.addAndMakeVisible (analyser);
        frame.addAndMakeVisible (curve);
        frame.setBounds (0, 0, w, h);
        analyser.setBounds (frame.getLocalBounds());
        curve.setBounds (frame.getLocalBounds());

        juce::Random random (2);
        for (int t = 0; t < 12; ++t)
        {
            feed (*processor, random, 4096);
            analyser.timerCallback();
        }

        const auto analyserPaint = paintCost (analyser, 60);
        const auto curvePaint = paintCost (curve, 60);
        const auto framePaint = paintCost (frame, 30);

        const int recomputes = 500;
        const auto began = Clock::now();
        for (int r = 0; r < recomputes; ++r)
            curve.drawFrequencyCurve();
        const auto recompute = millisecondsSince (began) / recomputes;

        line (out, "analyser paint, " + size, analyserPaint);
        line (out, "curve paint, " + size, curvePaint);
        line (out, "curve recompute, " + size, recompute);
        line (out, "frame with both displays painted, " + size, framePaint);
        line (out, "per frame: 48 kHz tick and that paint, " + size, tickAt48k + framePaint);
    }
}
