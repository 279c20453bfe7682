#include "Palette.h"

// Cyan accents: handles, pointers, glowing switch rims, the analyser and the band curves.
const juce::Colour blueQuelt (0xFF2ACBD6);
const juce::Colour blueTransQuelt (0xBF2ACAD5);
const juce::Colour blueSpectre (0xE6B8E7FC);
const juce::Colour blueSpectreDark (0x3375767A);
const juce::Colour blueCurve (0x992ACAD5);
const juce::Colour blueCurveDark (0x0D2A7E89);
const juce::Colour blueLightQuelt (0xFF20B7C8);
const juce::Colour blueDarkQuelt2 (0xFF148596);
const juce::Colour blueDarkQuelt (0xFF146D78);
const juce::Colour blueTransChord (0xFF054C53);
const juce::Colour blueblueQuelt (0x212ACAD5);

// Orange: the cut filters and the hovered linear slider.
const juce::Colour orangeQuelt (0xFFECA019);
const juce::Colour orangeCurve (0xB2EDA119);
const juce::Colour orangeCurveLight (0x66ED9C14);
const juce::Colour orangeCurveDark (0x03ED9C14);
const juce::Colour orangeDarkQuelt (0xFF8E5F23);

// Whites and greys, from the lightest text to the panel shades.
const juce::Colour whiteQuelt (0xFFFAFBFB);
const juce::Colour whiteLightQuelt (0xFFE6E7E7);
const juce::Colour greyWhiteQuelt (0xFFD2D3D3);
const juce::Colour greyTextBoxQuelt (0xFF969798);
const juce::Colour greyQuelt (0xFF646565);
const juce::Colour greyPlusQuelt (0xFF5F6060);
const juce::Colour backgroundQuelt2 (0xFFAAACB1);
const juce::Colour backgroundQueltL (0xFF494A4A);
const juce::Colour greyDownQuelt (0xFF414242);
const juce::Colour greyBlackQuelt (0xFF323333);

// Blacks for backgrounds, borders and shadows.
const juce::Colour blackQuelt (0xFF282929);
const juce::Colour blackUltraQuelt (0xFF191A1A);
const juce::Colour blackFullQuelt (0xFF050606);

// Translucent overlays: menus, masks, dividers and highlights.
const juce::Colour greyOpacityQuelt (0xD91A1A1A);
const juce::Colour maskQuelt (0x4C000000);
const juce::Colour whitePadQuelt (0x99E6E6E6);
const juce::Colour termsQuelt (0x4CE6E6E6);
const juce::Colour lightQuelt2 (0x33E6E6E6);
const juce::Colour maskTextBox (0x66121213);
