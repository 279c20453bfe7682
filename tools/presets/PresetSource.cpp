#include "tools/presets/PresetSource.h"

#include "engine/parameters/ParameterIds.h"

#include <cmath>
#include <map>

namespace presetsource
{
namespace
{
    const juce::StringArray typeSwitches { ids::roomButton, ids::plateButton, ids::springButton, ids::spaceButton };
    const juce::StringArray typeNames { "Room", "Plate", "Spring", "Space" };
    const juce::StringArray numberSwitches { ids::oneButton, ids::twoButton, ids::threeButton, ids::fourButton,
                                             ids::fiveButton };

    bool isPlainNumber (const juce::String& text)
    {
        return text.isNotEmpty() && text.containsOnly ("0123456789.-+eE") && text.containsAnyOf ("0123456789");
    }

    juce::RangedAudioParameter* findParameter (const juce::Array<juce::AudioProcessorParameter*>& parameters,
                                               const juce::String& id)
    {
        for (auto* p : parameters)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p); ranged != nullptr && ranged->paramID == id)
                return ranged;

        return nullptr;
    }

    // A value in the parameter's own units from its text, or an error.
    std::optional<double> parseValue (juce::RangedAudioParameter& parameter, const juce::String& text,
                                      juce::String& error)
    {
        if (dynamic_cast<juce::AudioParameterBool*> (&parameter) != nullptr)
        {
            if (text.equalsIgnoreCase ("on") || text == "1")
                return 1.0;
            if (text.equalsIgnoreCase ("off") || text == "0")
                return 0.0;

            error = "a switch is on or off, not \"" + text + "\"";
            return std::nullopt;
        }

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&parameter))
        {
            for (int i = 0; i < choice->choices.size(); ++i)
                if (choice->choices[i].equalsIgnoreCase (text) || text == juce::String (i))
                    return (double) i;

            error = "\"" + text + "\" is none of " + choice->choices.joinIntoString (", ");
            return std::nullopt;
        }

        if (! isPlainNumber (text))
        {
            error = "\"" + text + "\" is not a number";
            return std::nullopt;
        }

        const double value = text.getDoubleValue();
        const auto& range = parameter.getNormalisableRange();

        if (! std::isfinite (value) || value < range.start || value > range.end)
        {
            error = text + " lies outside " + juce::String (range.start) + " to " + juce::String (range.end);
            return std::nullopt;
        }

        // A value between the steps would be moved by the parameter; the source should say what is stored.
        if (range.interval > 0.0f)
        {
            const double steps = (value - range.start) / range.interval;

            if (std::abs (steps - std::round (steps)) > 1.0e-3)
            {
                error = text + " is not a step of " + juce::String (range.interval) + " from "
                        + juce::String (range.start);
                return std::nullopt;
            }
        }

        return value;
    }
    // Reads a source line by line: what it sets, its title and every error found, with the line it was found on.
    struct SourceReader
    {
        SourceReader (const juce::String& name, const juce::Array<juce::AudioProcessorParameter*>& published)
            : sourceName (name), parameters (published)
        {
        }

        const juce::String& sourceName;
        const juce::Array<juce::AudioProcessorParameter*>& parameters;
        juce::StringArray errors;
        std::map<juce::String, double> values;
        std::map<juce::String, int> lineOf;
        juce::String title;
        int titleLine = 0;

        void fail (int line, const juce::String& message)
        {
            errors.add (sourceName + ":" + juce::String (line) + ": " + message);
        }

        void assign (int line, const juce::String& id, double value)
        {
            if (const auto previous = lineOf.find (id); previous != lineOf.end())
            {
                fail (line, id + " is already set on line " + juce::String (previous->second));
                return;
            }

            values[id] = value;
            lineOf[id] = line;
        }

        void readLine (int line, const juce::String& text)
        {
            const auto content = text.upToFirstOccurrenceOf ("#", false, false).trim();

            if (content.isEmpty())
                return;

            if (! content.contains ("="))
            {
                fail (line, "expected key = value");
                return;
            }

            const auto key = content.upToFirstOccurrenceOf ("=", false, false).trim();
            const auto value = content.fromFirstOccurrenceOf ("=", false, false).trim();

            if (key == "title")
            {
                readTitle (line, value);
            }
            else if (key == "response")
            {
                readResponse (line, value);
            }
            else if (auto* parameter = findParameter (parameters, key))
            {
                juce::String error;

                if (const auto parsed = parseValue (*parameter, value, error))
                    assign (line, key, *parsed);
                else
                    fail (line, key + ": " + error);
            }
            else
            {
                fail (line, "no parameter has the ID \"" + key + "\"");
            }
        }

        void readTitle (int line, const juce::String& value)
        {
            if (titleLine != 0)
                fail (line, "the title is already given on line " + juce::String (titleLine));
            else if (value.isEmpty() || value.containsAnyOf ("/\\:*?\"<>|"))
                fail (line, "a title is a non-empty file name: \"" + value + "\"");

            title = value;
            titleLine = line;
        }

        // "Room 3" turns exactly one type switch and one number switch on, and the others off.
        void readResponse (int line, const juce::String& value)
        {
            const auto type = value.upToFirstOccurrenceOf (" ", false, false).trim();
            const auto numberText = value.fromFirstOccurrenceOf (" ", false, false).trim();
            const int typeIndex = typeNames.indexOf (type, true);
            const int number = numberText.containsOnly ("0123456789") ? numberText.getIntValue() : 0;

            if (typeIndex < 0 || number < 1 || number > 5)
            {
                fail (line, "a response is one of " + typeNames.joinIntoString (", ")
                                + " and a number 1 to 5, as \"Room 3\"; not \"" + value + "\"");
                return;
            }

            for (int t = 0; t < typeSwitches.size(); ++t)
                assign (line, typeSwitches[t], t == typeIndex ? 1.0 : 0.0);

            for (int n = 0; n < numberSwitches.size(); ++n)
                assign (line, numberSwitches[n], n + 1 == number ? 1.0 : 0.0);
        }
    };

    // Every parameter at the value the source gives it, or else at its default.
    juce::ValueTree makeParameterTree (const juce::Array<juce::AudioProcessorParameter*>& parameters,
                                       const std::map<juce::String, double>& values)
    {
        juce::ValueTree tree ("Parameters");

        for (auto* p : parameters)
        {
            auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);

            if (ranged == nullptr)
                continue;

            const auto given = values.find (ranged->paramID);
            const double value = given != values.end() ? given->second
                                                       : (double) ranged->convertFrom0to1 (ranged->getDefaultValue());
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", ranged->paramID, nullptr);
            child.setProperty ("value", value, nullptr);
            tree.appendChild (child, nullptr);
        }

        return tree;
    }

    int countOn (const juce::ValueTree& tree, const juce::StringArray& switches)
    {
        int on = 0;
        for (const auto& id : switches)
            on += (double) tree.getChildWithProperty ("id", id)["value"] >= 0.5 ? 1 : 0;
        return on;
    }
} // namespace

juce::Result parse (const juce::String& text, const juce::String& prefix, const juce::String& sourceName,
                    const juce::Array<juce::AudioProcessorParameter*>& parameters, Preset& result)
{
    SourceReader reader (sourceName, parameters);
    auto lines = juce::StringArray::fromLines (text);

    for (int i = 0; i < lines.size(); ++i)
        reader.readLine (i + 1, lines[i]);

    if (reader.titleLine == 0)
        reader.fail (1, "the source gives no title");

    auto& errors = reader.errors;

    if (prefix.length() != 2)
        errors.add (sourceName + ": the sorting prefix must be two characters, not \"" + prefix + "\"");

    const auto tree = makeParameterTree (parameters, reader.values);

    // The engine takes the first switch that is on; a preset must leave no doubt which pair it means.
    if (countOn (tree, typeSwitches) != 1 || countOn (tree, numberSwitches) != 1)
        errors.add (sourceName + ": exactly one type switch and one number switch must be on (use response = ...)");

    if (! errors.isEmpty())
        return juce::Result::fail (errors.joinIntoString ("\n"));

    result.title = reader.title;
    result.fileName = prefix + reader.title + ".rev";
    result.tree = tree;
    return juce::Result::ok();
}

juce::Result parseFolder (const juce::File& sourceFolder, const juce::Array<juce::AudioProcessorParameter*>& parameters,
                          juce::Array<Preset>& result)
{
    auto sources = sourceFolder.findChildFiles (juce::File::findFiles, false, "*.preset");
    std::sort (sources.begin(), sources.end(),
               [] (const juce::File& a, const juce::File& b) { return a.getFileName() < b.getFileName(); });

    if (sources.isEmpty())
        return juce::Result::fail ("no *.preset files in " + sourceFolder.getFullPathName());

    juce::StringArray errors;

    for (const auto& source : sources)
    {
        Preset preset;
        const auto parsed = parse (source.loadFileAsString(), source.getFileName().substring (0, 2),
                                   source.getFileName(), parameters, preset);

        if (parsed.failed())
        {
            errors.add (parsed.getErrorMessage());
            continue;
        }

        for (const auto& other : result)
        {
            if (other.fileName.substring (0, 2) == preset.fileName.substring (0, 2))
                errors.add (source.getFileName() + ": another preset has the prefix " + preset.fileName.substring (0, 2));
            if (other.title.equalsIgnoreCase (preset.title))
                errors.add (source.getFileName() + ": another preset has the title " + preset.title);
        }

        result.add (preset);
    }

    return errors.isEmpty() ? juce::Result::ok() : juce::Result::fail (errors.joinIntoString ("\n"));
}

juce::Result writeFolder (const juce::Array<Preset>& presets, const juce::File& folder)
{
    if (const auto created = folder.createDirectory(); created.failed())
        return juce::Result::fail ("cannot create " + folder.getFullPathName() + ": " + created.getErrorMessage());

    juce::StringArray names;

    for (const auto& preset : presets)
    {
        names.add (preset.fileName);
        juce::MemoryOutputStream bytes;
        preset.tree.writeToStream (bytes);

        const auto file = folder.getChildFile (preset.fileName);

        if (! file.replaceWithData (bytes.getData(), bytes.getDataSize()))
            return juce::Result::fail ("cannot write " + file.getFullPathName());
    }

    for (const auto& stale : folder.findChildFiles (juce::File::findFiles, false, "*.rev"))
        if (! names.contains (stale.getFileName()))
            stale.deleteFile();

    return juce::Result::ok();
}
} // namespace presetsource
