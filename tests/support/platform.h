#pragma once

// Where the platform's imaging component differs from Windows', the tests
// hold the expectation that fits the platform they run on. Every such
// difference is named here, once; tests ask these functions rather than
// testing for Wine themselves.

namespace testing_support {

// True when the test runs under Wine: the product's own check.
bool RunningUnderWine();

// Wine's imaging component decodes every alpha channel of a JPEG XR image as
// 0; Windows delivers the stored alpha. Under Wine the module therefore shows
// a picture whose alpha is all 0 with its stored colours.
bool WicKeepsJpegXrAlpha();

// Wine's format converter cannot convert floating-point, fixed-point, half
// and RGBE sources (Initialize fails), and fails CopyPixels when converting
// 8bppGray, 16bppGray, 48bppRGB, BlackWhite, 555 and 565 to 24bppBGR.
// Windows converts all of them. (The module then converts the stored pixels
// itself, so its pictures do not depend on these two.)
bool WicConvertsFloatFormats();
bool WicConvertsIntegerFormatsTo24bpp();

// Wine's converter cuts 16-bit integer channels to their high byte
// (64bppRGBA to 32bppBGRA, measured here). What Windows' converter does is
// not measured here; Wine's conformance test of it, which also runs on
// Windows (dlls/windowscodecs/tests/converter.c, "64bppRGBA -> 32bppRGBA"),
// expects no transfer curve: 0x0080 gives 0. So both are held to the stored
// value scaled to 8 bits, within the one step that cutting and rounding may
// differ by on Windows. (Under Wine the module converts every 16-bit integer
// format itself, rounded, so its pictures do not depend on this.)
int SixteenBitConverterTolerance();

// JPEG XR's black-and-white pictures may be stored with 0 as white (a flag
// in the codestream's header). Windows' decoder reports them with 0 as black,
// like every other; Wine's hands out its codec's bits, which then say 1 =
// black, and shows nothing that tells the two kinds apart (the same pixel
// format, no palette, no metadata, the same container tags), so such
// pictures arrive inverted there.
bool WicReadsBlackWhiteStoredWithZeroAsWhite();

// Wine's imaging component has no palette for JPEG XR frames (CopyPalette
// fails), so indexed and grey pictures get the grey ramp that stands in.
bool WicHasJpegXrPalettes();

// Wine's JPEG XR decoder reports the turned size (height x width) for the
// orientation tags that call for a quarter turn (4 to 7); Windows reports
// the stored size.
bool WicReportsStoredSizeForQuarterTurns();

}  // namespace testing_support
