#pragma once

// Every host parameter's ID, exactly as hosts, presets and saved sessions know it.
namespace ids
{
constexpr const char* preDelay = "PreDelay";
constexpr const char* preVerb = "PreVerb";
constexpr const char* lfoSpeed = "LfoSpeed";
constexpr const char* lfoDepth = "LfoDepth";
constexpr const char* decay = "Decay";
constexpr const char* character = "Character";
constexpr const char* drive = "Drive";
constexpr const char* sideChain = "SideChain";
constexpr const char* width = "Width";
constexpr const char* mix = "Mix";
constexpr const char* lowCut = "LowCut";
constexpr const char* highCut = "HighCut";
constexpr const char* outGain = "OutGain";
constexpr const char* roomButton = "RoomButton";
constexpr const char* plateButton = "PlateButton";
constexpr const char* springButton = "SpringButton";
constexpr const char* spaceButton = "SpaceButton";
constexpr const char* oneButton = "OneButton";
constexpr const char* twoButton = "TwoButton";
constexpr const char* threeButton = "ThreeButton";
constexpr const char* fourButton = "FourButton";
constexpr const char* fiveButton = "FiveButton";
constexpr const char* onButton = "onButton";
constexpr const char* onEqButton = "onEqButton";
constexpr const char* lrFlipButton = "lrFlipButton";
constexpr const char* lfoSync = "LFOSync";
constexpr const char* preDelaySync = "PreDelaySync";
constexpr const char* decaySync = "DecaySync";
constexpr const char* tremolo = "Tremolo";
constexpr const char* compressor = "Compressor";
constexpr const char* shimmer = "Shimmer";
constexpr const char* driveType = "DriveType";

// Suffixes of the band parameters; a band's ID is its number followed by one of these ("3Freq").
constexpr const char* bandOn = "On";
constexpr const char* bandType = "Type";
constexpr const char* bandFreq = "Freq";
constexpr const char* bandGain = "Gain";
constexpr const char* bandQ = "Q";

constexpr int numBands = 5;
constexpr int numParameters = 57;
} // namespace ids
