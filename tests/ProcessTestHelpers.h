#pragma once

#include <juce_core/juce_core.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace process_testing
{
/** A program run in a process of its own, with its output in a file, killed if the test leaves it running. */
class Child
{
public:
    /** `extraFd` is handed to the child as file descriptor 3 when it is 0 or more. */
    Child (const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
           int extraFd = -1)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e)
        {
            const std::string entry (*e);
            if (environment.count (entry.substr (0, entry.find ('='))) == 0)
                env.push_back (entry);
        }
        for (const auto& [name, value] : environment)
            env.push_back (name + "=" + value);

        // Everything the child needs is built before fork: between fork and exec only plain system calls run.
        std::vector<char*> argv, envp;
        for (const auto& a : arguments)
            argv.push_back (const_cast<char*> (a.c_str()));
        argv.push_back (nullptr);
        for (const auto& e : env)
            envp.push_back (const_cast<char*> (e.c_str()));
        envp.push_back (nullptr);

        output = juce::File::createTempFile (".log");
        const int outputFd = ::open (output.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

        pid = ::fork();

        if (pid == 0)
        {
            if (extraFd >= 0 && extraFd != 3)
                ::dup2 (extraFd, 3);
            ::dup2 (outputFd, 1);
            ::dup2 (outputFd, 2);
            ::execve (argv[0], argv.data(), envp.data());
            ::_exit (127);
        }

        ::close (outputFd);
    }

    ~Child()
    {
        if (running())
        {
            ::kill (pid, SIGKILL);
            ::waitpid (pid, &status, 0);
        }

        output.deleteFile();
    }

    bool started() const { return pid > 0; }

    bool running()
    {
        if (pid <= 0 || finished)
            return false;

        if (::waitpid (pid, &status, WNOHANG) == pid)
            finished = true;

        return ! finished;
    }

    /** Waits for the child to end; false if it still runs after `milliseconds`. */
    bool waitForExit (int milliseconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

        while (running())
        {
            if (std::chrono::steady_clock::now() > until)
                return false;

            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }

        return true;
    }

    void signal (int number) const { ::kill (pid, number); }

    bool exitedWith (int code) const { return finished && WIFEXITED (status) && WEXITSTATUS (status) == code; }

    /** The exit code; 128 + the signal's number for a child killed by one, as a shell gives it; -1 while running. */
    int exitCode() const
    {
        if (! finished)
            return -1;
        return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
    }
    bool killedBy (int number) const { return finished && WIFSIGNALED (status) && WTERMSIG (status) == number; }

    std::string describeEnd() const
    {
        if (! finished)
            return "still running";
        if (WIFEXITED (status))
            return "exit code " + std::to_string (WEXITSTATUS (status));
        if (WIFSIGNALED (status))
            return "signal " + std::to_string (WTERMSIG (status));
        return "unknown end";
    }

    juce::String outputText() const { return output.loadFileAsString(); }

private:
    pid_t pid = -1;
    int status = 0;
    bool finished = false;
    juce::File output;
};

/** Runs a program to its end and returns whether it exited with 0; its output goes to `output`. */
inline bool run (const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                 int timeoutMs, juce::String* output = nullptr)
{
    Child child (arguments, environment);
    const bool ended = child.waitForExit (timeoutMs);

    if (output != nullptr)
        *output = child.outputText() + (ended ? "" : "\n(timed out)") + "\n(" + child.describeEnd() + ")";

    return ended && child.exitedWith (0);
}

/** An X server of the test's own (Xvfb), on a display number it picks itself, so tests may run side by side
    and on machines without any display. */
class VirtualDisplay
{
public:
    VirtualDisplay()
    {
        int fds[2];
        if (::pipe (fds) != 0)
            return;

        // Xvfb writes the display number it chose to descriptor 3 once it accepts connections.
        server = std::make_unique<Child> (std::vector<std::string> { findXvfb(), "-displayfd", "3", "-screen", "0",
                                                                     "2000x1400x24", "-nolisten", "tcp", "-noreset" },
                                          std::map<std::string, std::string> {}, fds[1]);
        ::close (fds[1]);

        std::string digits;
        pollfd p { fds[0], POLLIN, 0 };
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds (20);

        while (std::chrono::steady_clock::now() < until && ::poll (&p, 1, 200) >= 0)
        {
            char c;
            if ((p.revents & POLLIN) != 0 && ::read (fds[0], &c, 1) == 1)
            {
                if (c == '\n')
                    break;
                digits += c;
            }
            else if ((p.revents & (POLLHUP | POLLERR)) != 0)
            {
                break;
            }
        }

        ::close (fds[0]);

        if (! digits.empty())
            name = ":" + digits;
    }

    ~VirtualDisplay()
    {
        if (server != nullptr && server->running())
        {
            server->signal (SIGTERM);
            server->waitForExit (5000);
        }
    }

    bool ok() const { return ! name.empty(); }

    /** ":N", for DISPLAY. */
    const std::string& getName() const { return name; }

private:
    static std::string findXvfb()
    {
        for (const auto* path : { "/usr/bin/Xvfb", "/usr/local/bin/Xvfb" })
            if (::access (path, X_OK) == 0)
                return path;

        return "Xvfb";
    }

    std::unique_ptr<Child> server;
    std::string name;
};
} // namespace process_testing
