#include "ProcessTestHelpers.h"
#include "TestHelpers.h"

#include "fuzz/HostileFiles.h"
#include "host/Render.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>

#include <sys/stat.h>

using namespace testing_helpers;

namespace
{
struct Run
{
    int exitCode;
    juce::String output;
};

// Runs a built tool (vellumar-render unless told otherwise) with the arguments; standard output and error together.
// A tool that crashes gives 128 + the signal's number (JUCE's child process reports such an end as exit code 0).
// With `shell`, a shell runs those commands first and then the tool in its own process; with `signal`, that signal
// is sent in the middle of the render: once a file in `watched` whose name starts with `.vellumar-render-` holds a
// megabyte.
Run runRender (const juce::StringArray& args, const char* tool = VELLUMAR_RENDER_PATH, const char* shell = nullptr,
               int signal = 0, const juce::File& watched = {})
{
    std::vector<std::string> command { tool };
    if (shell != nullptr)
        command = { "/bin/sh", "-c", std::string (shell) + " exec \"$0\" \"$@\"", tool };
    for (const auto& arg : args)
        command.push_back (arg.toStdString());
    process_testing::Child child (command, {});
    if (! child.started())
        return { -1, "could not start " + juce::String (tool) };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (60);
    const auto writing = [&watched] {
        const auto files = watched.findChildFiles (juce::File::findFiles, false, ".vellumar-render-*");
        return ! files.isEmpty() && files[0].getSize() > (1 << 20);
    };
    while (signal != 0 && child.running() && std::chrono::steady_clock::now() < deadline && ! writing())
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    if (signal != 0 && child.running())
        child.signal (signal);
    const bool ended = child.waitForExit (120000);
    return { ended ? child.exitCode() : -1, child.outputText() };
}

// Bytes as a hostile command line gives them, not UTF-8: only a file name may be so.
juce::String rawBytes (const char* bytes)
{
    return juce::String (juce::CharPointer_UTF8 (bytes), juce::CharPointer_UTF8 (bytes + std::strlen (bytes)));
}

// A row of the table of hostile requests: the command line, what the renderer must answer, and the output it
// must leave when it succeeds.
struct Case
{
    juce::StringArray args;
    int exitCode;
    const char* message;
    int frames = -1;             // the output's length when it is written (-1: not checked)
    float peak = 0.0f;           // the output's level must reach this
    const char* shell = nullptr; // commands a shell runs before the renderer, in the same process
    int signal = 0;              // sent to the renderer once it writes its output
};

class RenderTool : public ::testing::Test
{
protected:
    juce::TemporaryFile folderFile;
    juce::File folder;

    void SetUp() override
    {
        folder = folderFile.getFile();
        folder.createDirectory();
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::File writeWav (const juce::String& name, int channels, double rate, int length, float level = 0.3f)
    {
        juce::AudioBuffer<float> audio (channels, length);
        juce::Random random (17);
        fillNoise (audio, random, level);
        // Leave some silence at the end so the tail can be told from the input.
        audio.clear (0, length / 2, length - length / 2);
        auto file = folder.getChildFile (name);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (file.createOutputStream().release(), rate, (unsigned) channels, 24, {}, 0));
        writer->writeFromAudioSampleBuffer (audio, 0, length);
        return file;
    }

    // Every file in the folder but the output, with its size and time of change.
    std::map<juce::String, std::pair<juce::int64, juce::int64>> listing() const
    {
        std::map<juce::String, std::pair<juce::int64, juce::int64>> files;
        for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
            if (f.getFileName() != "out.wav")
                files[f.getFileName()] = { f.getSize(), f.getLastModificationTime().toMilliseconds() };
        return files;
    }

    // Runs each row as a user runs the renderer and checks what it leaves: the exit code, the message, the output
    // (a WAV of finite samples at a sane level, or the old output untouched when the render fails), the other
    // files in the folder (unchanged, no temporary file left), and with --quiet nothing but errors. Returns each
    // row's time in seconds.
    std::vector<double> runCases (const std::vector<Case>& cases)
    {
        const auto out = folder.getChildFile ("out.wav");
        std::vector<double> seconds;

        for (const auto& c : cases)
        {
            const auto what = c.args.joinIntoString (" ");
            out.replaceWithText ("the old output");
            const auto before = listing();
            const auto start = std::chrono::steady_clock::now();
            const auto run = runRender (c.args, VELLUMAR_RENDER_PATH, c.shell, c.signal, folder);
            seconds.push_back (std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count());

            EXPECT_EQ (run.exitCode, c.exitCode) << what << "\n" << run.output;
            EXPECT_TRUE (run.output.contains (juce::String (juce::CharPointer_UTF8 (c.message)))) << what << "\n" << run.output;
            EXPECT_EQ (listing(), before) << what;

            double rate = 0;
            unsigned int bits = 0;
            const auto audio = c.exitCode == 0 ? readWav (out, rate, bits) : juce::AudioBuffer<float>();
            const auto peak = audio.getNumSamples() > 0 ? audio.getMagnitude (0, audio.getNumSamples()) : 0.0f;
            EXPECT_EQ (c.exitCode == 0 ? juce::String() : out.loadFileAsString(), c.exitCode == 0 ? "" : "the old output") << what;
            EXPECT_TRUE (c.frames < 0 || audio.getNumSamples() == c.frames) << what << ": " << audio.getNumSamples() << " frames";
            EXPECT_TRUE (allFiniteAndNormal (audio) && peak >= c.peak && peak < 4.0f) << what << ": peak " << peak;

            juce::StringArray lines;
            lines.addLines (run.output.trim());
            lines.removeEmptyStrings();
            const bool quiet = c.args.contains ("--quiet") && c.exitCode != 2; // a usage error shows the usage
            for (const auto& line : lines)
                EXPECT_TRUE (! quiet || (line.startsWith ("vellumar-render: ") && ! line.contains ("note:"))) << what << ": " << line;
        }

        return seconds;
    }

    juce::File writeBytes (const juce::String& name, const juce::MemoryBlock& bytes)
    {
        const auto file = folder.getChildFile (name);
        file.replaceWithData (bytes.getData(), bytes.getSize());
        return file;
    }

    struct DamagedInputs
    {
        juce::File text, nan, bigChunk, twelveBit;
    };

    // Files that are not audio the tool can render, each of which it refuses with its reason.
    DamagedInputs writeDamagedInputs (const juce::File& input)
    {
        // Not audio at all, and a float file holding a NaN, which would reach the output through the dry path.
        const auto text = folder.getChildFile ("text.wav");
        text.replaceWithText ("hello");
        const auto nan = folder.getChildFile ("nan.wav");
        {
            juce::AudioBuffer<float> audio (1, 100);
            audio.clear();
            audio.setSample (0, 50, std::numeric_limits<float>::quiet_NaN());
            std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (nan.createOutputStream().release(), 44100.0, 1, 32, {}, 0));
            writer->writeFromAudioSampleBuffer (audio, 0, 100);
        }

        // And a metadata chunk after the audio that claims 2 GB, which JUCE's reader would reserve.
        const auto bigChunk = folder.getChildFile ("chunk.wav");
        {
            juce::MemoryBlock bytes;
            input.loadFileAsData (bytes);
            const unsigned char header[] = { 's', 'm', 'p', 'l', 0xf0, 0xff, 0xff, 0x7f };
            bytes.append (header, sizeof (header));
            const auto riffLength = juce::ByteOrder::swapIfBigEndian ((juce::uint32) bytes.getSize() - 8);
            bytes.copyFrom (&riffLength, 4, 4);
            bigChunk.replaceWithData (bytes.getData(), bytes.getSize());
        }

        // A 12-bit file, which JUCE's reader would give back as silence.
        const auto twelveBit = folder.getChildFile ("twelve.wav");
        {
            juce::MemoryOutputStream bytes;
            bytes.write ("RIFF", 4);
            bytes.writeInt (36 + 200);
            bytes.write ("WAVEfmt ", 8);
            for (const int field : { 16, 1 | 1 << 16, 44100, 88200, 2 | 12 << 16 }) // PCM, mono, 44.1 kHz, 2 bytes a frame
                bytes.writeInt (field);
            bytes.write ("data", 4);
            bytes.writeInt (200);
            bytes.writeRepeatedByte (0x10, 200);
            twelveBit.replaceWithData (bytes.getData(), bytes.getDataSize());
        }

        return { text, nan, bigChunk, twelveBit };
    }

    static juce::AudioBuffer<float> readWav (const juce::File& file, double& rate, unsigned int& bits)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
        if (reader == nullptr)
            return {};
        rate = reader->sampleRate;
        bits = reader->bitsPerSample;
        juce::AudioBuffer<float> audio ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
        return audio;
    }
};
} // namespace

TEST_F (RenderTool, RendersInputPlusTailIntoAFloatWavAndIsRepeatable)
{
    const auto input = writeWav ("in.wav", 1, 48000.0, 24000);
    const auto out1 = folder.getChildFile ("out1.wav"), out2 = folder.getChildFile ("out2.wav");

    const auto first = runRender ({ input.getFullPathName(), out1.getFullPathName(), "--set", "Decay=1.5", "--set", "Mix=50" });
    ASSERT_EQ (first.exitCode, 0) << first.output;
    EXPECT_TRUE (first.output.contains ("Realtime factor")) << first.output;

    const auto second = runRender ({ input.getFullPathName(), out2.getFullPathName(), "--set", "Decay=1.5", "--set", "Mix=50", "--variable-blocks", "--block", "700" });
    ASSERT_EQ (second.exitCode, 0) << second.output;

    double rate = 0;
    unsigned int bits = 0;
    const auto a = readWav (out1, rate, bits);
    EXPECT_EQ (rate, 48000.0);
    EXPECT_EQ (bits, 32u);
    ASSERT_EQ (a.getNumChannels(), 2); // a mono track through a stereo reverb
    // The input, then Decay + pre-delay + half a second of tail.
    EXPECT_EQ (a.getNumSamples(), 24000 + (int) std::ceil ((1.5 + 0.02 + 0.5) * 48000.0));
    EXPECT_TRUE (allFiniteAndNormal (a));
    EXPECT_GT (a.getMagnitude (0, 13000, 4000), 0.001f); // the reverb rings on after the input stops

    // The same request twice gives the same file, bit for bit.
    const auto out3 = folder.getChildFile ("out3.wav");
    ASSERT_EQ (runRender ({ input.getFullPathName(), out3.getFullPathName(), "--set", "Decay=1.5", "--set", "Mix=50" }).exitCode, 0);
    juce::MemoryBlock first3, first1;
    out1.loadFileAsData (first1);
    out3.loadFileAsData (first3);
    EXPECT_EQ (first1, first3);

    // Another block pattern gives the same audio: the engines run the selected pair from the first sample.
    const auto b = readWav (out2, rate, bits);
    ASSERT_EQ (b.getNumSamples(), a.getNumSamples());
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            ASSERT_NEAR (a.getSample (c, i), b.getSample (c, i), 1.0e-5f) << c << " " << i;
}

TEST_F (RenderTool, ReportsBadRequestsClearlyWithAFailingExitCode)
{
    const auto input = writeWav ("in.wav", 2, 44100.0, 4410);
    const auto out = folder.getChildFile ("out.wav").getFullPathName();
    const auto in = input.getFullPathName();

    const auto [text, nan, bigChunk, twelveBit] = writeDamagedInputs (input);
    const auto damagedMp3 = writeBytes ("damaged.mp3", hostilefiles::damagedMp3());
    runCases ({
        { { in, out, "--set", "Shine=3" }, 1, "unknown parameter ID \"Shine\"" },
        { { in, out, "--set", "Decay=99" }, 1, "outside its range" },
        { { in, out, "--set", "Decay=long" }, 1, "not a number" },
        { { in, out, "--set", "Mix=5e4294967297" }, 1, "not a number" }, // JUCE's parser wraps the exponent round to 50
        { { in, out, "--set", "Decay=1-2" }, 1, "not a number" },
        { { in, out, "--set", "Decay=0.004kHz" }, 1, "Decay is set in s" },
        { { in, out, "--set", "Mix=50dB" }, 1, "Mix is set in %" },
        { { in, out, "--set", "3Type=1.5" }, 1, "not a whole number" },
        { { in, out, "--set", "onButton=0.5" }, 1, "not a whole number: it must be On or Off" },
        { { in, out, "--set", "3Type=Bell" }, 1, "none of: Low Cut" },
        { { in, out, "--set", "onButton=maybe" }, 1, "must be On or Off" },
        { { in, out, "--set", "Decay" }, 2, "--set needs ID=VALUE" },
        { { folder.getChildFile ("missing.wav").getFullPathName(), out }, 1, "input file not found" },
        { { in, out, "--sidechain", folder.getChildFile ("nokey.wav").getFullPathName() }, 1, "side-chain file not found" },
        { { in, out, "--preset", folder.getChildFile ("nothing.rev").getFullPathName() }, 1, "preset file not found" },
        { { in, out, "--preset", text.getFullPathName() }, 1, "not a preset of this plug-in" },
        { { in, in }, 1, "the output file is the input file" },
        { { in, folder.getChildFile ("no/such/folder.wav").getFullPathName() }, 1, "cannot write the output file" },
        { { in, out, "--block", "0" }, 2, "--block needs a whole number" },
        { { in, out, "--tail", "1.2.3" }, 2, "--tail needs a number" },
        { { in, out, "--tail", "." }, 2, "--tail needs a number" },
        { { in, out, "--tail", "1e4444444444" }, 2, "--tail needs a number" },
        { { in, out, "--frobnicate" }, 2, "unknown option --frobnicate" },
        { { in }, 2, "an input and an output file are needed" },
        { { in, out, "--set", rawBytes ("Mix=5\xaf") }, 2, "argument 4 is not UTF-8 text" },
        { { rawBytes ("\xc0-\x94" "ar\xf9" "amset") }, 2, "an input and an output file are needed" },
        { { text.getFullPathName(), out }, 1, "not a readable audio file" },
        { { nan.getFullPathName(), out }, 1, "not finite numbers" },
        { { bigChunk.getFullPathName(), out }, 1, "is damaged" },
        { { twelveBit.getFullPathName(), out }, 1, "12-bit samples; WAV and AIFF files of 8, 16, 24 or 32 bits" },
        { { damagedMp3.getFullPathName(), out }, 1, "not a readable audio file" },
    });

    EXPECT_TRUE (input.existsAsFile()); // not overwritten by its own render
}

TEST_F (RenderTool, TheDemoSoundWriterReportsBadRequestsClearlyToo)
{
    const auto out = folder.getChildFile ("out.wav").getFullPathName();

    // The demo-sound writer answers bad requests as the renderer does, and writes no file named after an option.
    const std::pair<juce::StringArray, const char*> demoCases[] {
        { { "--help" }, "Usage: vellumar-demo-sound" },
        { { "--frobnicate" }, "unknown option --frobnicate" },
        { {}, "an output file is needed" },
        { { out, "44k" }, "is not a number of Hz" },
        { { out, "1000" }, "must be 8000 to 384000 Hz" },
        { { out, "44100", "x" }, "too many arguments" },
    };

    for (const auto& [args, message] : demoCases)
    {
        const auto run = runRender (args, VELLUMAR_DEMO_SOUND_PATH);
        EXPECT_EQ (run.exitCode == 0, args.contains ("--help")) << args.joinIntoString (" ");
        EXPECT_TRUE (run.output.contains (message)) << args.joinIntoString (" ") << "\n" << run.output;
    }
    EXPECT_FALSE (juce::File::getCurrentWorkingDirectory().getChildFile ("--help").exists());
    EXPECT_FALSE (juce::File (out).exists());
}

TEST_F (RenderTool, OpensFilesWhoseNamesAreNotUtf8)
{
    const auto in = writeWav ("in.wav", 2, 44100.0, 4410).getFullPathName();

    // A Latin-1 file name, in and out, opens the file it names.
    const std::string latin1 = folder.getFullPathName().toStdString() + "/caf\xe9.wav";
    const std::string latin1Out = folder.getFullPathName().toStdString() + "/s\xf8r.wav";
    std::filesystem::copy_file (in.toStdString(), latin1);
    EXPECT_EQ (runRender ({ rawBytes (latin1.c_str()), rawBytes (latin1Out.c_str()), "--quiet" }).exitCode, 0);
    EXPECT_GT (std::filesystem::file_size (latin1Out), 4410u * 8u);
}

// The reader is chosen by the file's first bytes; a WAV or AIFF file is read by our own walk over its chunks, which
// the rows set against JUCE's: what the file holds is rendered, or the file is refused with the reason.
TEST_F (RenderTool, ReadsWhatAFileHoldsOrRefusesItWithTheReason)
{
    for (const auto& [name, bytes] : hostilefiles::all())
        writeBytes (name, bytes);
    const auto path = [this] (const char* name) { return folder.getChildFile (name).getFullPathName(); };
    const auto out = path ("out.wav");

    // A second of audio followed by 4 GiB of nothing (a sparse file: no disk used), and the same without it.
    const auto plain = writeBytes ("plain.wav", hostilefiles::toneWav (44100));
    const auto sparse = writeBytes ("sparse-tail.wav", hostilefiles::toneWav (44100));
    std::filesystem::resize_file (sparse.getFullPathName().toStdString(), (std::uintmax_t) sparse.getSize() + (std::uintmax_t { 4 } << 30));

    const auto seconds = runCases ({
        { { path ("bw64.wav"), out }, 1, "input file is a BW64 file" },
        { { path ("a-law.wav"), out }, 1, "holds A-law samples" },
        { { path ("u-law.wav"), out }, 1, "holds \xc2\xb5-law samples" },
        { { path ("ms-adpcm.wav"), out }, 1, "holds MS-ADPCM samples" },
        { { path ("float64.wav"), out }, 1, "holds 64-bit float samples" },
        { { path ("rate-0.wav"), out }, 1, "has a sample rate of 0 Hz" },
        { { path ("no-channels.wav"), out }, 1, "it has 0 channels" },
        { { path ("lower-case.wav"), out }, 1, "is a RIFF file of type \"wave\"" },
        { { path ("flac.wav"), out }, 1, "is a FLAC file" },
        { { path ("u-law.aifc"), out }, 1, "holds \xc2\xb5-law samples" },
        { { path ("empty-junk.wav"), out, "--tail", "0" }, 0, "", 4410, 0.01f },
        { { path ("data-first.wav"), out, "--tail", "0" }, 0, "", 4410, 0.01f },
        { { path ("data-unsized.wav"), out, "--tail", "0" }, 0, "ends early: it holds 4410 of the 2147483647 samples", 4410, 0.01f },
        { { path ("data-unsized.wav"), out, "--quiet" }, 0, "" }, // the note is not an error
        { { path ("mask-top-bit.wav"), out, "--tail", "0" }, 0, "", 4410, 0.01f },
        { { path ("claims-an-hour.mp3"), out, "--tail", "0" }, 0, "ends early: it holds 10368 of the 171648000 samples", 10368 },
        { { plain.getFullPathName(), out, "--tail", "0", "--quiet" }, 0, "", 44100, 0.01f },
        { { sparse.getFullPathName(), out, "--tail", "0", "--quiet" }, 0, "", 44100, 0.01f },
    });
    EXPECT_LT (seconds.back() - seconds[seconds.size() - 2], 1.0); // the zeros end the walk
}

// A render that fails or is stopped leaves the old output as it was, and no output overwrites a file it reads.
TEST_F (RenderTool, KeepsTheOldOutputAndEveryInputWhenARenderFailsOrStops)
{
    const auto input = writeWav ("in.wav", 2, 44100.0, 4410);
    const auto in = input.getFullPathName(), out = folder.getChildFile ("out.wav").getFullPathName();
    const auto sub = folder.getChildFile ("sub");
    sub.createDirectory();
    input.copyFileTo (folder.getChildFile ("-in.wav"));
    const auto fifo = folder.getChildFile ("fifo").getFullPathName();
    ASSERT_EQ (::mkfifo (fifo.toRawUTF8(), 0600), 0);

    // A factory preset, and its first half: a tree that ends before its stream says it does.
    juce::MemoryBlock preset;
    ASSERT_TRUE (juce::File (VELLUMAR_PRESET_FOLDER).getChildFile ("12Shimmer Cloud.rev").loadFileAsData (preset));
    const auto whole = writeBytes ("whole.rev", preset).getFullPathName();
    const auto half = writeBytes ("half.rev", juce::MemoryBlock (preset.getData(), preset.getSize() / 2)).getFullPathName();
    const auto inFolder = "cd '" + folder.getFullPathName().toStdString() + "' &&";
    juce::StringArray bounds { in, out, "--tail", "0", "--set", "Decay=0.2", "--set", "Decay=200ms", "--set", "LfoSpeed=0.1" };
    for (const auto* band : { "1", "2", "3", "4", "5" })
        bounds.addArray ({ "--set", juce::String (band) + "Q=0.2" });

    runCases ({
        { { "--preset", whole, in, whole }, 1, "the output file is the preset file" },
        { { in, out, "--preset", whole, "--preset", whole }, 2, "--preset is given twice" },
        { { in, out, "--preset", half }, 1, "LOAD PRESET ERROR" },
        { { in, out, "--quiet", "--preset", half }, 1, "not a preset of this plug-in" },
        { { folder.getFullPathName(), out }, 1, "input file is a folder" },
        { { in, out, "--sidechain", fifo }, 1, "side-chain file is not a regular file" },
        { { in, out, "--preset", "/dev/null" }, 1, "preset file is not a regular file" },
        { { in, sub.getFullPathName() }, 1, "the output file is a folder" },
        { { in, out }, 1, "writing the output file failed", -1, 0.0f, "trap '' XFSZ; ulimit -f 64;" }, // a full disk
        { { in, out, "--tail", "120" }, 128 + SIGINT, "", -1, 0.0f, nullptr, SIGINT },
        { { in, out, "--tail", "120" }, 128 + SIGTERM, "", -1, 0.0f, nullptr, SIGTERM },
        { { "--quiet", "--tail", "0", "--", "-in.wav", "out.wav" }, 0, "", 4410, 0.01f, inFolder.c_str() },
        { bounds, 0, "", 4410, 0.01f },
    });
}

TEST_F (RenderTool, ReadsAWavFileWhoseHeaderOverstatesItsLengthAsFarAsItGoes)
{
    // A cut-off recording that still claims about 15 minutes: the tool once reserved gigabytes and rendered them.
    const auto input = writeWav ("cut.wav", 2, 384000.0, 1000);
    juce::MemoryBlock bytes;
    input.loadFileAsData (bytes);
    const auto dataChunk = std::string_view (static_cast<const char*> (bytes.getData()), bytes.getSize()).find ("data");
    ASSERT_NE (dataChunk, std::string_view::npos);
    const unsigned char claimed[] = { 0xf0, 0xff, 0xff, 0x7f };
    bytes.copyFrom (claimed, dataChunk + 4, 4);
    input.replaceWithData (bytes.getData(), bytes.getSize());

    const auto out = folder.getChildFile ("out.wav");
    const auto run = runRender ({ input.getFullPathName(), out.getFullPathName(), "--tail", "0" });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_TRUE (run.output.contains ("input file ends early: it holds 1000 of the")) << run.output;
    double rate = 0;
    unsigned int bits = 0;
    auto audio = readWav (out, rate, bits);
    EXPECT_EQ (audio.getNumSamples(), 1000); // what the file holds, no more

    // Cut inside the audio: what is left of it, and the tail.
    input.replaceWithData (bytes.getData(), 3000);
    ASSERT_EQ (runRender ({ input.getFullPathName(), out.getFullPathName(), "--tail", "0.5", "--quiet" }).exitCode, 0);
    audio = readWav (out, rate, bits);
    EXPECT_EQ (audio.getNumSamples(), (3000 - (int) dataChunk - 8) / 6 + 192000);
}

TEST_F (RenderTool, AcceptsTextsUnitsAKeyInputAndAPreset)
{
    const auto input = writeWav ("in.wav", 2, 44100.0, 8820);
    const auto key = writeWav ("key.wav", 1, 44100.0, 8820, 0.9f);
    const auto out = folder.getChildFile ("out.wav");

    VellumarProcessor source;
    setParameter (source, "Mix", 80.0f);
    juce::MemoryBlock preset;
    source.getStateInformation (preset);
    const auto presetFile = folder.getChildFile ("preset.rev");
    presetFile.replaceWithData (preset.getData(), preset.getSize());

    const auto run = runRender ({ input.getFullPathName(), out.getFullPathName(), "--sidechain", key.getFullPathName(),
                                  "--preset", presetFile.getFullPathName(), "--set", "3Type=high cut", "--set", "onEqButton=Off",
                                  "--set", "2Freq=2.5 kHz", "--set", "PreDelay=120 ms", "--set", "SideChain=40", "--tail", "0.25", "--quiet" });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_TRUE (run.output.isEmpty()) << run.output;

    // The same preset with 64 GB of nothing after it (a sparse file, no disk used) is read no further than a preset
    // reaches: reading it whole stopped the program.
    const auto padded = folder.getChildFile ("padded.rev");
    ASSERT_TRUE (presetFile.copyFileTo (padded));
    std::filesystem::resize_file (padded.getFullPathName().toStdString(), std::uintmax_t { 64 } << 30);
    const auto paddedRun = runRender ({ input.getFullPathName(), folder.getChildFile ("padded.wav").getFullPathName(), "--preset",
                                        padded.getFullPathName(), "--quiet" });
    EXPECT_EQ (paddedRun.exitCode, 0) << paddedRun.output;

    double rate = 0;
    unsigned int bits = 0;
    const auto audio = readWav (out, rate, bits);
    EXPECT_EQ (audio.getNumSamples(), 8820 + (int) std::ceil (0.25 * 44100.0));
    EXPECT_TRUE (allFiniteAndNormal (audio));

    VellumarProcessor check;
    juce::String error;
    EXPECT_TRUE (applySetting (check, "2Freq", "2.5 kHz", error)) << error;
    EXPECT_NEAR (getParameter (check, "2Freq"), 2500.0f, 1.0f);
    EXPECT_TRUE (applySetting (check, "3Type", "High Cut", error));
    EXPECT_EQ (getParameter (check, "3Type"), 4.0f);
    EXPECT_FALSE (applySetting (check, "Mix", "nan", error));

    // A unit converts to the parameter's own, or is refused.
    for (const auto& [id, text, expected] : { std::tuple ("PreDelay", "0.2s", 200.0f), std::tuple ("Decay", "1500 ms", 1.5f),
                                             std::tuple ("LfoSpeed", "0.002 kHz", 2.0f), std::tuple ("3Gain", "-3dB", -3.0f) })
    {
        EXPECT_TRUE (applySetting (check, id, text, error)) << id << " " << text << ": " << error;
        EXPECT_NEAR (getParameter (check, id), expected, 1.0e-3f) << id << " " << text;
    }
}

TEST_F (RenderTool, ListsEveryParameter)
{
    const auto run = runRender ({ "--list-params", "--set", "SideChain=42" }); // shows the values set
    ASSERT_EQ (run.exitCode, 0);
    juce::StringArray lines;
    lines.addLines (run.output.trim());
    EXPECT_EQ (lines.size(), 58); // header and 57 parameters
    EXPECT_TRUE (run.output.contains ("SideChain\tSideChain\t0 to 100\t0.00 (0)\t42.00\t"));
    EXPECT_TRUE (run.output.contains ("(not automatable)"));
    EXPECT_TRUE (run.output.contains ("1Freq\tBand1 Freq\t20 to 20000\t40.0 Hz"));

    // Every bound it prints is taken.
    juce::StringArray setBounds { "--list-params" };
    for (int i = 1; i < lines.size(); ++i)
    {
        const auto fields = juce::StringArray::fromTokens (lines[i], "\t", "");
        for (const auto& bound : { fields[2].upToFirstOccurrenceOf (" to ", false, false), fields[2].fromFirstOccurrenceOf (" to ", false, false) })
            setBounds.addArray ({ "--set", fields[0] + "=" + bound });
    }
    const auto bounds = runRender (setBounds);
    EXPECT_EQ (bounds.exitCode, 0) << bounds.output;
}
