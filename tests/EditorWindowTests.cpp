#include "ProcessTestHelpers.h"

#include <gtest/gtest.h>

// The editor in real windows on an X server of the test's own: the built VST3 hosted by JUCE's own hosting classes
// (through our small host, vellumar-window-check), and the Standalone program.

using process_testing::VirtualDisplay;

namespace
{
const std::string windowCheck = VELLUMAR_WINDOW_CHECK_PATH;

std::map<std::string, std::string> on (const VirtualDisplay& display, const juce::File& home = {})
{
    std::map<std::string, std::string> environment { { "DISPLAY", display.getName() } };

    // The Standalone keeps its settings under the home folder: a temporary one keeps the user's out of the test.
    if (home != juce::File())
        environment["HOME"] = home.getFullPathName().toStdString();

    return environment;
}

/** A fresh X server that looks like a desktop to the programs under test. */
std::unique_ptr<VirtualDisplay> startDisplay()
{
    auto display = std::make_unique<VirtualDisplay>();

    if (display->ok() && ! process_testing::run ({ windowCheck, "prepare-display" }, on (*display), 10000))
        display.reset();

    return display;
}

class TemporaryHome
{
public:
    TemporaryHome() { folder.createDirectory(); }
    ~TemporaryHome() { folder.deleteRecursively(); }

    juce::File folder { juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("vellumar-home-" + juce::String (juce::Random::getSystemRandom().nextInt64())) };
};
} // namespace

TEST (EditorWindows, TheVst3EditorOpensResizesAndClosesFiftyTimesInAHostWhileAudioRuns)
{
    const auto server = startDisplay();
    ASSERT_NE (server, nullptr) << "Xvfb did not start";
    const auto& display = *server;

    // Fifty cycles take a few minutes in the sanitizer build on two cores; the limit only catches a hang.
    juce::String output;
    const bool passed = process_testing::run ({ windowCheck, "vst3", juce::File (VELLUMAR_VST3_PATH).getFullPathName().toStdString(), "50" },
                                              on (display), 540000, &output);
    EXPECT_TRUE (passed) << output;
    EXPECT_TRUE (output.contains ("50 cycles")) << output;
}

TEST (EditorWindows, TheStandaloneShowsItsWindowWithoutAnAudioDeviceAndClosesOnRequest)
{
    const auto server = startDisplay();
    ASSERT_NE (server, nullptr) << "Xvfb did not start";
    const auto& display = *server;
    TemporaryHome home;

    {
        process_testing::Child app ({ VELLUMAR_STANDALONE_BINARY }, on (display, home.folder));
        ASSERT_TRUE (app.started());

        juce::String found;
        EXPECT_TRUE (process_testing::run ({ windowCheck, "find-window", "Vellumar", "20000" }, on (display), 30000, &found))
            << found << app.outputText();
        EXPECT_TRUE (app.running()) << app.describeEnd() << "\n" << app.outputText();

        // The close button of a window manager: the program quits by itself, successfully. On a loaded machine the
        // first request can reach the window before it listens for it, so it is repeated while the program runs.
        juce::String closed;
        bool exited = false;
        for (int attempt = 0; attempt < 4 && ! exited; ++attempt)
        {
            EXPECT_TRUE (process_testing::run ({ windowCheck, "close-window", "Vellumar" }, on (display), 10000, &closed) || attempt > 0)
                << closed;
            exited = app.waitForExit (10000);
        }
        EXPECT_TRUE (exited) << app.outputText();
        EXPECT_TRUE (app.exitedWith (0)) << app.describeEnd() << "\n" << app.outputText();
    }

    {
        // SIGTERM ends it without a crash.
        process_testing::Child app ({ VELLUMAR_STANDALONE_BINARY }, on (display, home.folder));
        EXPECT_TRUE (process_testing::run ({ windowCheck, "find-window", "Vellumar", "20000" }, on (display), 30000));
        app.signal (SIGTERM);
        EXPECT_TRUE (app.waitForExit (20000));
        EXPECT_TRUE (app.killedBy (SIGTERM) || app.exitedWith (0)) << app.describeEnd() << "\n" << app.outputText();
    }
}
