#include "host/OutputFile.h"

#include "host/PathBytes.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The temporary file an interrupting signal removes, while there is one. The handler makes only async-signal-safe
// calls.
char pendingPath[4096];
volatile std::sig_atomic_t pending = 0;

extern "C" void removePendingAndEnd (int signalNumber)
{
    if (pending != 0)
        ::unlink (pendingPath);

    // The process then ends by the signal, as it would have without the handler.
    ::signal (signalNumber, SIG_DFL);
    ::raise (signalNumber);
}

void removeOnInterruption (const std::string& path)
{
    if (path.size() >= sizeof (pendingPath))
        return;

    std::memcpy (pendingPath, path.c_str(), path.size() + 1);
    pending = 1;

    for (const int signalNumber : { SIGINT, SIGTERM })
    {
        struct sigaction action {}, previous {};
        ::sigaction (signalNumber, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) // a signal the caller chose to ignore stays ignored
            continue;
        action.sa_handler = removePendingAndEnd;
        sigemptyset (&action.sa_mask);
        ::sigaction (signalNumber, &action, nullptr);
    }
}

// Writes through the C library; a write, a flush or the closing that fails (a full disk) sets `failed`.
class StdioOutputStream final : public juce::OutputStream
{
public:
    StdioOutputStream (std::FILE* f, bool& failedFlag) : file (f), failed (failedFlag) {}

    ~StdioOutputStream() override
    {
        if (std::fclose (file) != 0)
            failed = true;
    }

    void flush() override
    {
        if (std::fflush (file) != 0)
            failed = true;
    }

    juce::int64 getPosition() override { return (juce::int64) ftello (file); }
    bool setPosition (juce::int64 position) override { return fseeko (file, (off_t) position, SEEK_SET) == 0; }

    bool write (const void* data, size_t numBytes) override
    {
        if (std::fwrite (data, 1, numBytes, file) != numBytes)
            failed = true;
        return ! failed;
    }

private:
    std::FILE* file;
    bool& failed;
};
} // namespace

OutputFile::~OutputFile()
{
    stream.reset();

    if (! temporary.empty())
    {
        ::unlink (temporary.c_str());
        pending = 0;
    }
}

bool OutputFile::open (const juce::File& file, juce::String& error)
{
    namespace fs = std::filesystem;
    output = file;
    const auto cannotWrite = [&error, &file] {
        error = "cannot write the output file: " + file.getFullPathName();
        return false;
    };
    std::error_code ignored;
    fs::path path (pathbytes::pathOf (file));

    // A symbolic link is followed: the file it names is the one replaced, as writing through the link would.
    if (fs::is_symlink (path, ignored))
        if (const auto resolved = fs::canonical (path, ignored); ! resolved.empty())
            path = resolved;

    struct stat existing {};
    const bool exists = ::stat (path.c_str(), &existing) == 0;

    if (exists && S_ISDIR (existing.st_mode))
    {
        error = "the output file is a folder: " + file.getFullPathName();
        return false;
    }

    if (exists && ! S_ISREG (existing.st_mode))
    {
        auto* f = std::fopen (path.c_str(), "wb");
        stream = f != nullptr ? std::make_unique<StdioOutputStream> (f, failed) : nullptr;
        return stream != nullptr || cannotWrite();
    }

    if (exists && ::access (path.c_str(), W_OK) != 0)
        return cannotWrite();

    target = path.string();

    for (int attempt = 0; attempt < 100 && stream == nullptr; ++attempt)
    {
        const auto name = (path.parent_path()
                           / (".vellumar-render-" + std::to_string (::getpid()) + "-" + std::to_string (attempt) + ".part"))
                              .string();
        const int fd = ::open (name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);

        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return cannotWrite();

        temporary = name;
        removeOnInterruption (temporary);

        if (exists) // the replaced file's permissions carry over, as when it is written in place
            ::fchmod (fd, existing.st_mode & 07777);

        auto* f = ::fdopen (fd, "wb");
        if (f == nullptr)
        {
            ::close (fd);
            return cannotWrite();
        }
        stream = std::make_unique<StdioOutputStream> (f, failed);
    }

    return stream != nullptr || cannotWrite();
}

std::unique_ptr<juce::OutputStream> OutputFile::takeStream()
{
    return std::move (stream);
}

bool OutputFile::complete (juce::String& error)
{
    stream.reset();

    if (failed)
    {
        error = "writing the output file failed: " + output.getFullPathName();
        return false;
    }

    if (! temporary.empty())
    {
        if (std::rename (temporary.c_str(), target.c_str()) != 0)
        {
            error = "cannot put the output file in place: " + output.getFullPathName();
            return false;
        }

        temporary.clear();
        pending = 0;
    }

    return true;
}
