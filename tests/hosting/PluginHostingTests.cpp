#include "../AllocationCounter.h"
#include "../SignalHelpers.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/atom/forge.h>
#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/atom/util.h>
#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/buf-size/buf-size.h>
#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/options/options.h>
#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/patch/patch.h>
#include <juce_audio_processors/format_types/LV2_SDK/lv2/lv2/state/state.h>

#include <cstdlib>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <optional>
#include <cstring>
#include <thread>

using namespace testing_helpers;

namespace
{
enum class Format { vst3, lv2 };

std::string formatName (const ::testing::TestParamInfo<Format>& info) { return info.param == Format::vst3 ? "VST3" : "LV2"; }

// The parameter names, in layout order, as the offline host built from the plug-in's own library lists them.
juce::StringArray referenceParameterNames()
{
    juce::ChildProcess render;
    juce::StringArray names;
    if (! render.start (juce::StringArray { VELLUMAR_RENDER_PATH, "--list-params" }))
        return names;
    juce::StringArray lines;
    lines.addLines (render.readAllProcessOutput());
    for (int i = 1; i < lines.size(); ++i) // after the heading
        if (const auto name = lines[i].fromFirstOccurrenceOf ("\t", false, false).upToFirstOccurrenceOf ("\t", false, false); name.isNotEmpty())
            names.add (name);
    return names;
}

// Loads the plug-in from the bundle this build made, through JUCE's own hosting classes, as a DAW would.
class BuiltPlugin : public ::testing::TestWithParam<Format>
{
protected:
    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::OwnedArray<juce::PluginDescription> types;
    std::unique_ptr<juce::TemporaryFile> home;

    void SetUp() override
    {
        // A home of its own, so that nothing the user has installed or set (~/.lv2, ~/.vst3) is read.
        home = std::make_unique<juce::TemporaryFile>();
        home->getFile().createDirectory();
        setenv ("HOME", home->getFile().getFullPathName().toRawUTF8(), 1);
        find (GetParam(), format, types);
    }

    static void find (Format which, std::unique_ptr<juce::AudioPluginFormat>& found, juce::OwnedArray<juce::PluginDescription>& foundTypes)
    {
        if (which == Format::vst3)
        {
            found = std::make_unique<juce::VST3PluginFormat>();
            found->findAllTypesForFile (foundTypes, juce::File (VELLUMAR_VST3_PATH).getFullPathName());
        }
        else
        {
            // Only this build's bundle is searched, not what the machine has installed: the bundles that define
            // LV2 itself, which hosting needs, come with JUCE's LV2 host.
            const auto folder = juce::File (VELLUMAR_LV2_PATH).getParentDirectory().getFullPathName();
            setenv ("LV2_PATH", folder.toRawUTF8(), 1);
            found = std::make_unique<juce::LV2PluginFormat>();
            const auto uris = found->searchPathsForPlugins (juce::FileSearchPath (folder), true, false);
            for (const auto& uri : uris)
                if (uri == "urn:quelt:vellumar")
                    found->findAllTypesForFile (foundTypes, uri);
        }
    }

    void TearDown() override
    {
        if (home != nullptr)
            home->getFile().deleteRecursively();
    }

    std::unique_ptr<juce::AudioPluginInstance> create (double rate = 44100.0, int block = 512)
    {
        juce::String error;
        auto instance = format->createInstanceFromDescription (*types[0], rate, block, error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    static void run (juce::AudioPluginInstance& instance, double rate, int block, int blocks, juce::AudioBuffer<float>& last)
    {
        instance.prepareToPlay (rate, block);
        juce::AudioBuffer<float> buffer (std::max (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()), block);
        juce::MidiBuffer midi;
        juce::Random random (21);
        float peak = 0.0f;
        std::optional<AllocationCounter> counter;

        // The wrapper, the host's side and the processor together allocate nothing once the first block has run.
        for (int b = 0; b < blocks; ++b)
        {
            fillNoise (buffer, random, 0.25f);
            instance.processBlock (buffer, midi);
            ASSERT_TRUE (allFiniteAndNormal (buffer));
            peak = std::max (peak, buffer.getMagnitude (0, 0, block));
            if (! counter.has_value())
                counter.emplace();
        }

        EXPECT_EQ (counter->count(), 0u);
        last = buffer;
        EXPECT_GT (peak, 0.01f);
        instance.releaseResources();
    }
};
} // namespace

TEST_P (BuiltPlugin, DescribesItselfAsTheReverbOfQuelt)
{
    ASSERT_EQ (types.size(), 1);
    const auto& description = *types[0];
    EXPECT_EQ (description.name, "Vellumar");
    EXPECT_EQ (description.manufacturerName, "Quelt");
    EXPECT_FALSE (description.isInstrument);
    if (GetParam() == Format::vst3)
    {
        EXPECT_EQ (description.category, "Fx|Reverb");
        EXPECT_EQ (description.version, "1.0.1");
    }
}

TEST_P (BuiltPlugin, ReportsItsBusesAndParameters)
{
    ASSERT_EQ (types.size(), 1);
    auto instance = create();
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (instance->getBusCount (true), 2);
    EXPECT_EQ (instance->getBusCount (false), 1);
    EXPECT_EQ (instance->getChannelLayoutOfBus (true, 0), juce::AudioChannelSet::stereo());
    EXPECT_EQ (instance->getChannelLayoutOfBus (false, 0), juce::AudioChannelSet::stereo());

    juce::StringArray expected = referenceParameterNames(), published;
    ASSERT_GE (expected.size(), 57);
    for (auto* p : instance->getParameters())
        if (p->getName (100) != "Bypass") // the wrapper's own
            published.add (p->getName (100));

    // An LV2 host may list them in another order.
    if (GetParam() == Format::lv2)
    {
        expected.sort (true);
        published.sort (true);
    }
    EXPECT_EQ (published, expected);

    // Mono to stereo is offered as well.
    auto layout = instance->getBusesLayout();
    layout.inputBuses.getReference (0) = juce::AudioChannelSet::mono();
    if (GetParam() == Format::vst3)
    {
        EXPECT_TRUE (instance->checkBusesLayoutSupported (layout));
    }
}

TEST_P (BuiltPlugin, ProcessesWithAndWithoutTheSidechain)
{
    ASSERT_EQ (types.size(), 1);
    auto instance = create();
    ASSERT_NE (instance, nullptr);
    juce::AudioBuffer<float> last;

    auto layout = instance->getBusesLayout();
    layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
    ASSERT_TRUE (instance->setBusesLayout (layout)); // an LV2 host leaves the key's ports unconnected
    run (*instance, 44100.0, 512, 200, last);

    layout.inputBuses.getReference (1) = juce::AudioChannelSet::stereo();
    ASSERT_TRUE (instance->setBusesLayout (layout));
    EXPECT_EQ (instance->getTotalNumInputChannels(), 4);
    run (*instance, 48000.0, 256, 300, last);
}

TEST_P (BuiltPlugin, SavesAndRestoresItsSettingsInAFreshInstance)
{
    ASSERT_EQ (types.size(), 1);
    auto original = create();
    ASSERT_NE (original, nullptr);

    // Random values set through the host's side as automation would. A VST3 host snaps them to the parameters'
    // steps through the plug-in's own text conversion. An LV2 host scales plain values linearly and has no such
    // conversion, so its values land between the steps; a first save and restore snaps them, and that instance's
    // values are what the second must bring back.
    const auto ours = referenceParameterNames();
    juce::Random random (99);
    std::map<juce::String, float> sent;

    for (auto* param : original->getParameters())
    {
        if (! ours.contains (param->getName (100)))
            continue;
        const float value = param->getValueForText (param->getText (random.nextFloat(), 1024));
        param->setValueNotifyingHost (value);
        sent[param->getName (100)] = value;
    }
    ASSERT_GE (sent.size(), 57u);

    juce::AudioBuffer<float> last;
    const auto saveAndRestore = [&] (juce::AudioPluginInstance& from)
    {
        run (from, 44100.0, 256, 4, last);
        for (auto* param : from.getParameters())
        {
            if (sent.count (param->getName (100)) != 0)
                sent[param->getName (100)] = param->getValue(); // in the host's own scale
        }

        juce::MemoryBlock saved;
        from.getStateInformation (saved);
        auto restored = create();
        if (restored != nullptr)
        {
            restored->setStateInformation (saved.getData(), (int) saved.getSize());
            run (*restored, 44100.0, 256, 4, last); // an LV2 plug-in reports restored values from its next run
        }
        return restored;
    };

    auto restored = saveAndRestore (*original);
    ASSERT_NE (restored, nullptr);
    if (GetParam() == Format::lv2)
        restored = saveAndRestore (*restored);
    ASSERT_NE (restored, nullptr);

    for (auto* param : restored->getParameters())
    {
        if (sent.count (param->getName (100)) != 0)
        {
            EXPECT_NEAR (param->getValue(), sent[param->getName (100)], 1.0e-4f) << param->getName (100);
        }
    }
}

// With no key connected the reverb ducks itself at SideChain 100 %, in both formats alike.
TEST_P (BuiltPlugin, WithoutAKeyDucksAsTheOtherFormatDoes)
{
    std::unique_ptr<juce::AudioPluginFormat> otherFormat;
    juce::OwnedArray<juce::PluginDescription> otherTypes;
    find (GetParam() == Format::vst3 ? Format::lv2 : Format::vst3, otherFormat, otherTypes);
    ASSERT_EQ (types.size(), 1);
    ASSERT_EQ (otherTypes.size(), 1);
    juce::String error;
    auto ours = create();
    auto theirs = otherFormat->createInstanceFromDescription (*otherTypes[0], 44100.0, 512, error);
    ASSERT_NE (ours, nullptr);
    ASSERT_NE (theirs, nullptr) << error;

    // The output's level over the last second of four, after the responses have loaded.
    const auto outputLevel = [] (juce::AudioPluginInstance& instance)
    {
        auto layout = instance.getBusesLayout();
        layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
        EXPECT_TRUE (instance.setBusesLayout (layout));
        instance.prepareToPlay (44100.0, 512);
        for (auto* param : instance.getParameters())
            if (param->getName (100) == "SideChain")
                param->setValueNotifyingHost (1.0f);

        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (5);
        double sum = 0.0;
        for (int b = 0; b < 344; ++b)
        {
            fillNoise (buffer, random, 0.25f);
            instance.processBlock (buffer, midi);
            if (b >= 258)
                sum += (double) juce::square (rms (buffer, 0));
        }
        instance.releaseResources();
        return juce::Decibels::gainToDecibels (std::sqrt (sum / 86.0));
    };

    // Keyed by itself at the lowest threshold the reverb all but silences itself, leaving the dry part of the mix
    // below the input's level; a silent key would lift the reverb above it instead.
    const auto level = outputLevel (*ours);
    EXPECT_LT (level, juce::Decibels::gainToDecibels (0.25 / std::sqrt (3.0)));
    EXPECT_NEAR (level, outputLevel (*theirs), 0.5);
}

// Decay moved by the host on the processing thread, as automation moves it: once it holds still the responses are
// trimmed to it (by the loader thread in real time, otherwise in the block at which the hold ends), so the tail
// after the input stops is the new Decay's (at the old one it is still at -25 dB after 0.6 s). Not in real time the
// change comes in at the same sample on every run.
TEST_P (BuiltPlugin, ADecayChangeFromTheHostIsHeardAndRendersOfflineAlike)
{
    ASSERT_EQ (types.size(), 1);
    constexpr int rate = 44100, block = 512, stop = 4 * rate, length = stop + 2 * rate;

    // Wet alone, Decay 3 s; after a second of noise the host sets 0.5 s; silence from the fourth second on.
    const auto play = [&] (bool offline)
    {
        juce::AudioBuffer<float> output (1, length + block);
        auto instance = create();
        instance->setNonRealtime (offline);
        instance->prepareToPlay (rate, block);
        const auto& params = instance->getParameters();
        const auto find = [&] (const char* name) { return *std::find_if (params.begin(), params.end(), [&] (auto* p) { return p->getName (100) == name; }); };
        find ("Mix")->setValueNotifyingHost (1.0f);
        juce::AudioBuffer<float> buffer (std::max (instance->getTotalNumInputChannels(), instance->getTotalNumOutputChannels()), block);
        juce::MidiBuffer midi;
        juce::Random random (4);
        for (int start = 0; start < length; start += block)
        {
            if (start <= rate && rate < start + block)
                find ("Decay")->setValueNotifyingHost (find ("Decay")->getValueForText ("0.5"));
            buffer.clear();
            if (start < stop)
                fillNoise (buffer, random, 0.25f);
            instance->processBlock (buffer, midi);
            output.copyFrom (0, start, buffer, 0, 0, block);
            if (! offline)
                std::this_thread::sleep_for (std::chrono::milliseconds (2)); // the loader's time to build
        }
        return output;
    };

    // The tail's level over [from, to) seconds after the input stops (and the engines' latency), against the input's.
    const auto tailDb = [] (const juce::AudioBuffer<float>& output, double from, double to)
    {
        const auto level = output.getRMSLevel (0, stop + 1024 + (int) (from * rate), (int) ((to - from) * rate));
        return juce::Decibels::gainToDecibels (level / output.getRMSLevel (0, stop - rate, rate), -300.0f);
    };

    for (const bool offline : { false, true })
    {
        const auto output = play (offline);
        EXPECT_GT (tailDb (output, 0.1, 0.3), -40.0f) << "offline " << offline;
        EXPECT_LT (tailDb (output, 0.6, 1.0), -80.0f) << "offline " << offline;
    }

    const auto first = play (true), second = play (true);
    EXPECT_EQ (std::memcmp (first.getReadPointer (0), second.getReadPointer (0), sizeof (float) * (size_t) length), 0);
}

INSTANTIATE_TEST_SUITE_P (Formats, BuiltPlugin, ::testing::Values (Format::vst3, Format::lv2), formatName);

TEST (LV2Bundle, TheSidechainPortsAreOptionalAndEveryParameterHasItsOwnName)
{
    const auto dsp = juce::File (VELLUMAR_LV2_PATH).getChildFile ("dsp.ttl").loadFileAsString();
    ASSERT_TRUE (dsp.isNotEmpty());

    // A host may leave the key's ports unconnected, never the main input's.
    int sidechainPorts = 0;
    juce::StringArray blocks;
    blocks.addTokens (dsp, "[]", "\"");
    for (const auto& block : blocks)
    {
        if (block.contains ("lv2:AudioPort"))
        {
            sidechainPorts += block.contains ("input_group_2") ? 1 : 0;
            EXPECT_EQ (block.contains ("connectionOptional"), block.contains ("input_group_2")) << block;
        }
    }
    EXPECT_EQ (sidechainPorts, 2);
    EXPECT_TRUE (dsp.contains ("a lv2:ReverbPlugin")); // the plug-in's class in LV2's terms
    EXPECT_FALSE (dsp.contains ("foaf:mbox <>")) << "an empty mailbox names dsp.ttl itself as the maker's address";

    // A choice's label sits at the value the property takes for it: one point per step, from minimum to maximum.
    juce::StringArray lines, parameters;
    juce::String parameter; // the one whose block the line is in
    std::map<juce::String, std::vector<float>> points; // minimum, maximum, then the scale points
    lines.addLines (dsp);
    for (int i = 1; i < lines.size(); ++i)
    {
        const auto line = lines[i].trim();
        parameter = line == "a lv2:Parameter ;" ? lines[i - 1].trim() : line.isEmpty() ? juce::String() : parameter;
        parameters.addIfNotAlreadyThere (parameter);
        if (line.startsWith ("lv2:minimum") || line.startsWith ("lv2:maximum") || line.startsWith ("rdf:value"))
            points[parameter].push_back (line.fromFirstOccurrenceOf (" ", false, false).getFloatValue());
    }
    parameters.removeEmptyStrings();
    points.erase (juce::String());
    EXPECT_EQ (parameters.size(), 57);
    EXPECT_TRUE (parameters.contains ("plug:1Freq") && parameters.contains ("plug:5Freq")) << parameters.joinIntoString (" ");
    for (const auto& [name, values] : points)
        for (size_t i = 2; i < values.size(); ++i)
            EXPECT_TRUE (values[i] == values[0] + float (i - 2) && (i + 1 < values.size() || values[i] == values[1])) << name;
    EXPECT_EQ (points["plug:5Type"], (std::vector<float> { 0, 4, 0, 1, 2, 3, 4 }));

    const auto manifest = juce::File (VELLUMAR_LV2_PATH).getChildFile ("manifest.ttl").loadFileAsString();
    EXPECT_TRUE (manifest.contains ("<urn:quelt:vellumar>"));
    EXPECT_TRUE (manifest.contains ("a pset:Preset"));
    EXPECT_FALSE (manifest.contains ("rdfs:label \"\"")); // a host lists presets by their labels
    const auto ui = juce::File (VELLUMAR_LV2_PATH).getChildFile ("ui.ttl").loadFileAsString();
    EXPECT_TRUE (ui.contains ("ui:resize") && ! ui.contains ("noUserResize")); // a host may resize the window
}

namespace
{
/** The bundle driven as a bare LV2 host would: its entry point, a URID map, the atom ports and the state interface,
    with the key's ports left unconnected. JUCE's own LV2 hosting never asks for values. */
class BareLV2Host
{
public:
    BareLV2Host()
    {
        if (library != nullptr)
            descriptor = reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor")) (0);
        lv2_atom_forge_init (&forge, &map);
    }

    ~BareLV2Host()
    {
        for (auto* instance : instances)
        {
            descriptor->deactivate (instance);
            descriptor->cleanup (instance);
        }
        if (library != nullptr)
            dlclose (library);
    }

    /** A new instance, its ports connected as the bundle numbers them: main input, key, output, atom in and out. */
    LV2_Handle open()
    {
        auto* instance = descriptor->instantiate (descriptor, 44100.0, VELLUMAR_LV2_PATH, features);
        for (uint32_t port : { 0u, 1u, 4u, 5u })
            descriptor->connect_port (instance, port, port < 4 ? input.data() : output.data());
        descriptor->connect_port (instance, 6, in.data());
        descriptor->connect_port (instance, 7, out.data());
        descriptor->activate (instance);
        instances.push_back (instance);
        return instance;
    }

    /** One block with the patch messages that `messages` forges; the values the plug-in sends back, by property. */
    std::map<std::string, float> run (LV2_Handle instance, const std::function<void()>& messages)
    {
        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (in.data()), in.size() * sizeof (uint64_t));
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head (&forge, &sequence, 0);
        messages();
        lv2_atom_forge_pop (&forge, &sequence);

        auto* answers = reinterpret_cast<LV2_Atom_Sequence*> (out.data());
        answers->atom = { (uint32_t) (out.size() * sizeof (uint64_t) - sizeof (LV2_Atom)), 0 };
        descriptor->run (instance, (uint32_t) maxBlock);

        std::map<std::string, float> values;
        LV2_ATOM_SEQUENCE_FOREACH (answers, event)
        {
            const auto* set = reinterpret_cast<const LV2_Atom_Object*> (&event->body);
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get (set, urid (LV2_PATCH__property), &property, urid (LV2_PATCH__value), &value, 0);
            if (set->body.otype == urid (LV2_PATCH__Set) && property != nullptr && value != nullptr)
                values[uris[reinterpret_cast<const LV2_Atom_URID*> (property)->body]] = reinterpret_cast<const LV2_Atom_Float*> (value)->body;
        }
        return values;
    }

    /** A patch message of this type, for one property and value when given. */
    void message (const char* type, const char* property = nullptr, float value = 0.0f)
    {
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_frame_time (&forge, 0);
        lv2_atom_forge_object (&forge, &object, 0, urid (type));
        if (property != nullptr)
        {
            lv2_atom_forge_key (&forge, urid (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, urid (property));
            lv2_atom_forge_key (&forge, urid (LV2_PATCH__value));
            lv2_atom_forge_float (&forge, value);
        }
        lv2_atom_forge_pop (&forge, &object);
    }

    /** Saves one instance's state through the state interface and restores it into another, as a host does. */
    LV2_State_Status copyState (LV2_Handle from, LV2_Handle to)
    {
        struct Saved { uint32_t key = 0, type = 0; std::string value; } saved;
        const auto* state = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));
        state->save (from, [] (LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
        {
            *static_cast<Saved*> (handle) = { key, type, { static_cast<const char*> (value), size } };
            return LV2_STATE_SUCCESS;
        }, &saved, 0, features);
        return state->restore (to, [] (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t*)
        {
            const auto& stored = *static_cast<const Saved*> (handle);
            *size = stored.value.size();
            *type = stored.type;
            return key == stored.key ? static_cast<const void*> (stored.value.data()) : nullptr;
        }, &saved, 0, features);
    }

    void* library = dlopen (VELLUMAR_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    const LV2_Descriptor* descriptor = nullptr;
    std::vector<float> input = std::vector<float> (512, 0.1f), output = std::vector<float> (512);

private:
    LV2_URID urid (const char* uri) { return map.map (map.handle, uri); }

    std::vector<std::string> uris { "" }; // URID 0 means none
    LV2_URID_Map map { &uris, [] (LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID
    {
        auto& known = *static_cast<std::vector<std::string>*> (handle);
        const auto it = std::find (known.begin(), known.end(), uri);
        if (it != known.end())
            return (LV2_URID) (it - known.begin());
        known.emplace_back (uri);
        return (LV2_URID) known.size() - 1;
    } };
    const int32_t maxBlock = 512;
    const LV2_Options_Option options[2] { { LV2_OPTIONS_INSTANCE, 0, urid (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), urid (LV2_ATOM__Int), &maxBlock },
                                          { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } };
    const LV2_Feature mapFeature { LV2_URID__map, &map }, optionsFeature { LV2_OPTIONS__options, (void*) options },
                      boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr };
    const LV2_Feature* features[4] { &mapFeature, &optionsFeature, &boundedFeature, nullptr };
    std::vector<uint64_t> in = std::vector<uint64_t> (1024), out = std::vector<uint64_t> (8192);
    LV2_Atom_Forge forge;
    std::vector<LV2_Handle> instances;
};
} // namespace

TEST (LV2Bundle, AnswersTheHostsRequestForValuesWithEachBandApart)
{
    BareLV2Host host;
    ASSERT_NE (host.descriptor, nullptr) << dlerror();

    // Band 3's gain is set, then every value asked for.
    auto* instance = host.open();
    ASSERT_NE (instance, nullptr);
    auto values = host.run (instance, [&] { host.message (LV2_PATCH__Set, "urn:quelt:vellumar:3Gain", 6.0f); host.message (LV2_PATCH__Get); });
    EXPECT_EQ (values.size(), 57u);
    EXPECT_EQ (values["urn:quelt:vellumar:3Gain"], 6.0f);
    EXPECT_EQ (values["urn:quelt:vellumar:1Gain"], 0.0f);
    EXPECT_EQ (values["urn:quelt:vellumar:Mix"], 30.0f);
    EXPECT_TRUE (std::isfinite (host.output.back()));

    // Its state restored into a fresh instance, which tells the host every value after its next block unasked,
    // not just the one that the restore changed.
    auto* restored = host.open();
    EXPECT_EQ (host.copyState (instance, restored), LV2_STATE_SUCCESS);
    values = host.run (restored, [] {});
    EXPECT_EQ (values.size(), 57u);
    EXPECT_EQ (values["urn:quelt:vellumar:3Gain"], 6.0f);
    EXPECT_EQ (values["urn:quelt:vellumar:Mix"], 30.0f);
}
