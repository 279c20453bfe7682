#pragma once

#include <juce_graphics/juce_graphics.h>

// The editor's colours. Every editor class draws with these names, so a colour is changed in one place only.
// Values are 32-bit ARGB: alpha in the top byte, then red, green and blue.

extern const juce::Colour blueQuelt;
extern const juce::Colour blueTransQuelt;
extern const juce::Colour blueSpectre;
extern const juce::Colour blueSpectreDark;
extern const juce::Colour blueCurve;
extern const juce::Colour blueCurveDark;
extern const juce::Colour blueLightQuelt;
extern const juce::Colour blueDarkQuelt2;
extern const juce::Colour blueDarkQuelt;
extern const juce::Colour blueTransChord;
extern const juce::Colour blueblueQuelt;
extern const juce::Colour orangeQuelt;
extern const juce::Colour orangeCurve;
extern const juce::Colour orangeCurveLight;
extern const juce::Colour orangeCurveDark;
extern const juce::Colour orangeDarkQuelt;
extern const juce::Colour whiteQuelt;
extern const juce::Colour whiteLightQuelt;
extern const juce::Colour greyWhiteQuelt;
extern const juce::Colour greyTextBoxQuelt;
extern const juce::Colour greyQuelt;
extern const juce::Colour greyPlusQuelt;
extern const juce::Colour backgroundQuelt2;
extern const juce::Colour backgroundQueltL;
extern const juce::Colour greyDownQuelt;
extern const juce::Colour greyBlackQuelt;
extern const juce::Colour blackQuelt;
extern const juce::Colour blackUltraQuelt;
extern const juce::Colour blackFullQuelt;
extern const juce::Colour greyOpacityQuelt;
extern const juce::Colour maskQuelt;
extern const juce::Colour whitePadQuelt;
extern const juce::Colour termsQuelt;
extern const juce::Colour lightQuelt2;
extern const juce::Colour maskTextBox;
