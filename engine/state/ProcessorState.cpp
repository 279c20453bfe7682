#include "engine/processor/VellumarProcessor.h"

#include "engine/state/StateData.h"

#include <cstdio>

// Hosts other than AAX keep only what the state block holds, so it carries the parameter tree in the same binary
// form as a preset file. Data that is not such a tree (empty, damaged, from another plug-in) changes nothing.
//
// The Hall type has no switch parameter, so the selected pair (type and number) travels as two properties of the
// root, "irType" and "irNumber": the selection playing, or the one a restore is still waiting to load. A processor
// that has never selected a pair writes neither, and its restore follows the switches as before.
void VellumarProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    destData.reset();
    juce::MemoryOutputStream stream (destData, false);
    auto state = apvts.copyState();

    if (const int restored = restoredIrSelection.load(); restored >= 0)
    {
        state.setProperty ("irType", restored >> 8, nullptr);
        state.setProperty ("irNumber", restored & 0xff, nullptr);
    }
    else if (irLoaded)
    {
        state.setProperty ("irType", irTypeIndex.load(), nullptr);
        state.setProperty ("irNumber", irNumber.load(), nullptr);
    }

    state.writeToStream (stream);
}

void VellumarProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    const auto read = statedata::readTree (data, (size_t) sizeInBytes);

    if (! read.complete || ! read.tree.hasType (apvts.state.getType()))
        return;

    installParameterTree (statedata::keepKnownParameters (read.tree, apvts.state.getType(), getParameterIds()));
    restoreIrSelection (read.tree);
}

// A processor that already plays a pair changes to the restored one at once; otherwise the first preparation
// loads it in place of the one the switches name. A selection out of range is ignored.
void VellumarProcessor::restoreIrSelection (const juce::ValueTree& state)
{
    const auto& type = state.getProperty ("irType");
    const auto& number = state.getProperty ("irNumber");

    if (! (type.isInt() || type.isInt64()) || ! (number.isInt() || number.isInt64()))
        return;

    const auto typeIndex = (juce::int64) type;
    const auto variant = (juce::int64) number;

    if (typeIndex < 0 || typeIndex > 4 || variant < 1 || variant > 5)
        return;

    if (irLoaded)
        loadIrSelection ((int) typeIndex, (int) variant);
    else
        restoredIrSelection = (int) (typeIndex << 8 | variant);
}

void VellumarProcessor::loadIrSelection (int typeIndex, int number)
{
    irLoaded = true;
    irTypeIndex = typeIndex;
    irNumber = number;
    decodeIRPair();
    updateIRParameters();
}

juce::StringArray VellumarProcessor::getParameterIds() const
{
    juce::StringArray result;

    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*> (parameter))
            result.add (withId->paramID);

    return result;
}

// A preset is a parameter tree in the binary stream form. A file that cannot be opened is reported on standard
// output; one that opens but does not start with this plug-in's tree (empty, foreign, another root) is treated
// the same way, since installing an empty state would silently empty the session the host saves. A tree that
// ends before its stream says it does is damaged: what the rest would have set is not known, so none of it
// applies. Only children naming a parameter with a finite value are installed. The caller learns whether the
// preset was applied.
//
// A preset takes a few kilobytes; no more of a file than a megabyte is read, so that a huge file (a preset with
// gigabytes after it) is not asked into memory whole, which would stop the host.
bool VellumarProcessor::loadPreset (juce::File file)
{
    juce::FileInputStream stream (file);
    juce::MemoryBlock bytes;

    if (stream.openedOk())
        stream.readIntoMemoryBlock (bytes, longestPreset);

    if (stream.openedOk() && applyPreset (bytes.getData(), bytes.getSize()))
        return true;

    std::puts ("LOAD PRESET ERROR");
    std::fflush (stdout);
    return false;
}

bool VellumarProcessor::applyPreset (const void* data, size_t size)
{
    const auto read = statedata::readTree (data, size);
    const auto tree = statedata::keepKnownParameters (read.tree, apvts.state.getType(), getParameterIds());

    if (! read.complete || ! read.tree.hasType (apvts.state.getType()) || tree.getNumChildren() == 0)
        return false;

    installParameterTree (tree);
    return true;
}

// JUCE 7's parameter state gives every parameter that the new tree does not name its default value; a preset or
// state that leaves a parameter out must leave it as it is, so those parameters join the tree with their current
// values first.
void VellumarProcessor::installParameterTree (juce::ValueTree tree)
{
    if (tree.getNumChildren() == 0)
        return;

    for (const auto& id : getParameterIds())
    {
        if (! tree.getChildWithProperty ("id", id).isValid())
        {
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", id, nullptr);
            child.setProperty ("value", apvts.getRawParameterValue (id)->load(), nullptr);
            tree.appendChild (child, nullptr);
        }
    }

    apvts.replaceState (tree);
}
