#include "editor/Palette.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
struct NamedColour
{
    const char* name;
    const juce::Colour& colour;
    juce::uint32 argb;
};

// Every palette entry against its ARGB value, written out independently of the definitions.
const NamedColour paletteTable[] = {
    { "blueQuelt", blueQuelt, 0xFF2ACBD6 },
    { "blueTransQuelt", blueTransQuelt, 0xBF2ACAD5 },
    { "blueSpectre", blueSpectre, 0xE6B8E7FC },
    { "blueSpectreDark", blueSpectreDark, 0x3375767A },
    { "blueCurve", blueCurve, 0x992ACAD5 },
    { "blueCurveDark", blueCurveDark, 0x0D2A7E89 },
    { "blueLightQuelt", blueLightQuelt, 0xFF20B7C8 },
    { "blueDarkQuelt2", blueDarkQuelt2, 0xFF148596 },
    { "blueDarkQuelt", blueDarkQuelt, 0xFF146D78 },
    { "blueTransChord", blueTransChord, 0xFF054C53 },
    { "blueblueQuelt", blueblueQuelt, 0x212ACAD5 },
    { "orangeQuelt", orangeQuelt, 0xFFECA019 },
    { "orangeCurve", orangeCurve, 0xB2EDA119 },
    { "orangeCurveLight", orangeCurveLight, 0x66ED9C14 },
    { "orangeCurveDark", orangeCurveDark, 0x03ED9C14 },
    { "orangeDarkQuelt", orangeDarkQuelt, 0xFF8E5F23 },
    { "whiteQuelt", whiteQuelt, 0xFFFAFBFB },
    { "whiteLightQuelt", whiteLightQuelt, 0xFFE6E7E7 },
    { "greyWhiteQuelt", greyWhiteQuelt, 0xFFD2D3D3 },
    { "greyTextBoxQuelt", greyTextBoxQuelt, 0xFF969798 },
    { "greyQuelt", greyQuelt, 0xFF646565 },
    { "greyPlusQuelt", greyPlusQuelt, 0xFF5F6060 },
    { "backgroundQuelt2", backgroundQuelt2, 0xFFAAACB1 },
    { "backgroundQueltL", backgroundQueltL, 0xFF494A4A },
    { "greyDownQuelt", greyDownQuelt, 0xFF414242 },
    { "greyBlackQuelt", greyBlackQuelt, 0xFF323333 },
    { "blackQuelt", blackQuelt, 0xFF282929 },
    { "blackUltraQuelt", blackUltraQuelt, 0xFF191A1A },
    { "blackFullQuelt", blackFullQuelt, 0xFF050606 },
    { "greyOpacityQuelt", greyOpacityQuelt, 0xD91A1A1A },
    { "maskQuelt", maskQuelt, 0x4C000000 },
    { "whitePadQuelt", whitePadQuelt, 0x99E6E6E6 },
    { "termsQuelt", termsQuelt, 0x4CE6E6E6 },
    { "lightQuelt2", lightQuelt2, 0x33E6E6E6 },
    { "maskTextBox", maskTextBox, 0x66121213 },
};
} // namespace

TEST (Palette, HoldsTheThirtyFiveColoursWithTheirExactArgbValues)
{
    ASSERT_EQ (std::size (paletteTable), 35u);
    std::set<const juce::Colour*> distinct;

    for (const auto& entry : paletteTable)
    {
        EXPECT_EQ (entry.colour.getARGB(), entry.argb) << entry.name;
        distinct.insert (&entry.colour);
    }

    EXPECT_EQ (distinct.size(), 35u) << "every name must be its own constant";
}

TEST (Palette, DarkFillColoursAreMostlyTransparent)
{
    // The analyser and curve fills fade towards these; an opaque value would paint solid blocks.
    for (auto colour : { blueSpectreDark, blueCurveDark, orangeCurveDark })
        EXPECT_LT (colour.getAlpha(), 0x40);
}
