// vellumar-screenshot: draws the plug-in window as a user sees it while audio plays, into a PNG.
//
//   vellumar-screenshot OUTPUT.png [WIDTH HEIGHT]
//
// The processor plays the demo sound in real time (so the spectrum's 33 ms timer sees the wet signal as it would
// in a host), the window (900 x 600 unless a size is given) repaints as a screen would, and the last picture is
// written out. Nothing
// needs a display: the window is painted into an image. `cmake --build build --target vellumar-screenshot-update`
// refreshes docs/editor.png.

#include "editor/VellumarProcessorEditor.h"
#include "engine/processor/OfflineRendering.h"
#include "engine/processor/VellumarProcessor.h"
#include "tools/demo-sound/DemoSound.h"

#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>
#include <thread>

namespace juce
{
// Runs one pending event or message of the Linux run loop: timers and asynchronous updates.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;
constexpr double captureSeconds = 5.3; // the final chord ringing into the reverb

void setParameter (VellumarProcessor& processor, const char* id, float value)
{
    auto* parameter = processor.apvts.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

// A setting that shows what the displays do: a gentle equaliser and both input cuts biting.
void dialInAPatch (VellumarProcessor& processor)
{
    setParameter (processor, "1Gain", 3.0f);
    setParameter (processor, "2Gain", -2.5f);
    setParameter (processor, "3Freq", 900.0f);
    setParameter (processor, "3Gain", -4.5f);
    setParameter (processor, "3Q", 1.4f);
    setParameter (processor, "4Gain", 2.0f);
    setParameter (processor, "5Gain", 4.0f);
    setParameter (processor, "LowCut", 70.0f);
    setParameter (processor, "HighCut", 11000.0f);
    setParameter (processor, "Decay", 4.2f);
    setParameter (processor, "Mix", 40.0f);
    setParameter (processor, "PreVerb", 25.0f);
    setParameter (processor, "Character", 35.0f);
}
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    if (argc < 2)
    {
        std::cerr << "Usage: vellumar-screenshot OUTPUT.png [WIDTH HEIGHT]\n";
        return 2;
    }

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));
    const int width = argc >= 4 ? juce::String (argv[2]).getIntValue() : 900;
    const int height = argc >= 4 ? juce::String (argv[3]).getIntValue() : 600;
    juce::Image picture;

    {
        VellumarProcessor processor;
        dialInAPatch (processor);
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
        waitForImpulseResponses (processor);

        VellumarProcessorEditor editor (processor, processor.apvts);
        editor.setSize (width, height);
        editor.setVisible (true);

        const auto demo = makeDemoSound (sampleRate);
        const int end = std::min (demo.getNumSamples(), (int) (captureSeconds * sampleRate));
        juce::AudioBuffer<float> block (2, blockSize);
        juce::MidiBuffer midi;
        const auto start = juce::Time::getMillisecondCounterHiRes();
        double lastPaint = 0.0;

        for (int position = 0; position + blockSize <= end; position += blockSize)
        {
            for (int c = 0; c < 2; ++c)
                block.copyFrom (c, 0, demo, c, position, blockSize);

            processor.processBlock (block, midi);

            // Keep to the audio's own time, running the timers and repainting at screen rate meanwhile.
            const double due = 1000.0 * (position + blockSize) / sampleRate;

            do
            {
                for (int i = 0; i < 100 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
                {
                }

                const double now = juce::Time::getMillisecondCounterHiRes() - start;

                if (now - lastPaint >= 33.0)
                {
                    picture = editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
                    lastPaint = now;
                }

                if (now < due)
                    std::this_thread::sleep_for (std::chrono::milliseconds (1));
            } while (juce::Time::getMillisecondCounterHiRes() - start < due);
        }

        picture = editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
    }

    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (! stream.openedOk() || ! juce::PNGImageFormat().writeImageToStream (picture, stream))
    {
        std::cerr << "vellumar-screenshot: cannot write " << file.getFullPathName() << "\n";
        return 1;
    }

    std::cout << "Wrote " << file.getFullPathName() << " (" << picture.getWidth() << " x " << picture.getHeight() << ")\n";
    return 0;
}
