#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // Without DISPLAY, JUCE connects to ":0", which may be the X server that another test started for itself
    // (Xvfb takes the first free number) and will end while this process still holds it. Tests that need windows
    // start their own server and pass it to the processes they run; everything else stays off X entirely.
    if (const char* display = std::getenv ("DISPLAY"); display == nullptr || *display == 0)
        setenv ("DISPLAY", ":32767", 1);

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
