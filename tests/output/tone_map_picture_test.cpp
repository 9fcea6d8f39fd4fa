// Tone mapping through the loaded module: the half-float HDR pictures of
// the fixtures (desktop screenshots at three SDR whites, a game scene,
// colours outside sRGB) and the in-range float pictures, with the switch
// and the SDR white setting.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/settings_key_guard.h"
#include "plugin.h"
#include "returned_bitmap.h"
#include "support/test_paths.h"

namespace {

using testing_support::SettingsKeyGuard;
using Bgr = std::array<int, 3>;

// The header block and the 24-bit rows as the host receives them.
struct Decoded {
    int result = -100, width = 0, height = 0;
    std::vector<std::uint8_t> header, pixels;
    Bgr At(int x, int y) const {  // y from the top
        const std::uint8_t* p = &pixels[(height - 1 - y) * susie::DibStride(width, 24) + x * 3];
        return {p[0], p[1], p[2]};
    }
};

class ToneMapPictureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }

    Decoded Decode(const wchar_t* fixture) {
        Decoded d;
        hostkit::ReturnedBitmap picture;
        const std::wstring path = testing_support::FixturePath(fixture);
        d.result = plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, nullptr, 0);
        if (d.result != 0) return d;
        d.width = picture.Header()->biWidth;
        d.height = picture.Header()->biHeight;
        d.header.assign(picture.HeaderBlock().begin(), picture.HeaderBlock().end());
        d.pixels.assign(picture.PixelBlock().data(), picture.PixelBlock().data() + picture.Stride() * d.height);
        return d;
    }

    SettingsKeyGuard guard;
    susie::Plugin plugin{testing_support::ModulePath()};
};

// In-range pictures come out byte for byte alike, on or off; the HDR one is
// tone mapped unless a valid 0 is stored, which gives today's clipping.
TEST_F(ToneMapPictureTest, SettingDecidesBetweenToneMappedAndClippedOnlyForHdr) {
    const DWORD zero = 0, one = 1, five = 5;
    const struct {
        const char* name;
        DWORD type, size;  // type REG_NONE: no value
        const DWORD* value;
        bool mapped;
    } kCases[] = {{"1", REG_DWORD, 4, &one, true},
                  {"absent", REG_NONE, 0, nullptr, true},
                  {"0 as binary", REG_BINARY, 4, &zero, true},
                  {"0 of two bytes", REG_DWORD, 2, &zero, true},
                  {"5", REG_DWORD, 4, &five, true},
                  {"0", REG_DWORD, 4, &zero, false}};
    std::vector<Decoded> first;  // with "1": HDR, in-range half, in-range float with alpha
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        SettingsKeyGuard::DeleteKey();
        SettingsKeyGuard::WriteDword(L"Alpha", 0);
        if (c.type != REG_NONE) SettingsKeyGuard::Write(L"HdrToneMap", c.type, c.value, c.size);
        std::vector<Decoded> now;
        for (const wchar_t* fixture : {L"hdr_half_32x4.jxr", L"inrange_half_4x2.jxr", L"rgba128f_2x2.jxr"}) {
            now.push_back(Decode(fixture));
            ASSERT_EQ(now.back().result, 0);
        }
        if (first.empty()) first = now;
        for (std::size_t i = 0; i < now.size(); ++i) {
            EXPECT_EQ(now[i].header, first[i].header);
            EXPECT_EQ(now[i].pixels == first[i].pixels, c.mapped || i > 0) << "picture " << i;
        }
        if (c.mapped) continue;
        for (int x = 0; x < now[0].width; ++x) EXPECT_EQ(now[0].At(x, 0), (Bgr{255, 255, 255})) << "2.5 at " << x;
        EXPECT_EQ(now[0].At(0, 2)[2], 255) << "red 6.0";
        EXPECT_EQ(now[0].At(0, 1), (Bgr{0, 0, 0}));
    }
}

// The hue angle of linear R, G, B (negative channels allowed), kept by
// scaling and by adding grey.
double Hue(const std::array<double, 3>& c) {
    const double top = std::max({c[0], c[1], c[2]}), range = top - std::min({c[0], c[1], c[2]});
    const int i = top == c[0] ? 0 : top == c[1] ? 1 : 2;
    return std::fmod(60.0 * ((c[(i + 1) % 3] - c[(i + 2) % 3]) / range + 2 * i) + 360.0, 360.0);
}

double Linear(int level) {
    const double v = level / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

void ExpectHue(const Bgr& p, const std::array<double, 3>& input, const char* what) {
    const double apart = std::fabs(Hue({Linear(p[2]), Linear(p[1]), Linear(p[0])}) - Hue(input));
    EXPECT_LE(std::min(apart, 360.0 - apart), 3.0) << what << ": " << p[2] << ", " << p[1] << ", " << p[0];
}

// A red neon sign stays a saturated red.
void ExpectNeon(const Bgr& p, const std::array<double, 3>& input) {
    EXPECT_GE(p[2], 250);
    EXPECT_LE(std::max(p[1], p[0]), 120);
    ExpectHue(p, input, "neon");
}

double OutputLuminance(const Bgr& p) { return 0.2126 * Linear(p[2]) + 0.7152 * Linear(p[1]) + 0.0722 * Linear(p[0]); }

void ExpectNear(const Bgr& got, const Bgr& want, const char* what, int x, int y) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1) << what << " at " << x << ", " << y;
}

// The desktop screenshots (layout in fixtures.txt): the SDR white W found in
// each, what lies at or below 0.5 W as the clipped conversion of v / W would
// show it, white kept near white, only the highlights compressed.
TEST_F(ToneMapPictureTest, ScreenshotsKeepTheirSdrWhiteAndCompressOnlyHighlights) {
    const std::array<double, 3> kSaturated[] = {{6, 0.5, 0.25}, {0.25, 4, 0.125}, {0.5, 0.5, 9},
                                                {3, 3, 0.25},   {8, 0.25, 8},     {0.25, 6, 6}};
    for (const wchar_t* fixture : {L"hdr_desktop_80nits_64x36.jxr", L"hdr_desktop_200nits_64x36.jxr",
                                   L"hdr_desktop_300nits_64x36.jxr", L"hdr_desktop_200nits_flat_64x36.jxr"}) {
        const bool flat = std::wstring(fixture).find(L"flat") != std::wstring::npos;
        SCOPED_TRACE(testing::Message() << fixture);
        const Decoded d = Decode(fixture);
        ASSERT_EQ(d.result, 0);
        // Wallpaper (sRGB levels 20 + 2x, 30 + 3y, 120), text edges (128),
        // ink (0) and the dark window (32): all at or below 0.5 W.
        for (int y : {0, 1, 28, 29, 30, 31}) {
            for (int x = 0; x < (y < 28 ? 64 : 36); ++x)
                ExpectNear(d.At(x, y), {120, 30 + 3 * y, 20 + 2 * x}, "wallpaper", x, y);
        }
        ExpectNear(d.At(5, 7), {0, 0, 0}, "ink", 5, 7);
        ExpectNear(d.At(8, 7), {128, 128, 128}, "text edge", 8, 7);
        ExpectNear(d.At(37, 19), {32, 32, 32}, "dark window", 37, 19);
        const Bgr white = d.At(3, 6);
        EXPECT_EQ(white[0], white[2]);
        EXPECT_GE(white[0], flat ? 255 : 240) << "SDR white";
        if (flat) continue;

        EXPECT_LT(d.At(40, 3)[0], d.At(48, 3)[0]) << "4 W and 8 W";
        EXPECT_LT(d.At(48, 3)[0], d.At(56, 3)[0]) << "8 W and the peak, 12 W";
        EXPECT_GE(d.At(56, 3)[0], 254);
        for (int x = 37; x < 62; ++x) {  // greys: the level is the luminance
            EXPECT_EQ(d.At(x, 10)[0], d.At(x, 10)[2]);
            EXPECT_GE(d.At(x, 10)[1], d.At(x - 1, 10)[1]) << "grey ramp at " << x;
        }
        ExpectNeon(d.At(40, 6), {3.6, 0.1, 0.06});
        for (int i = 0; i < 6; ++i) ExpectHue(d.At(44 + 3 * i, 6), kSaturated[i], "saturated highlight");
    }
}

// A game scene without UI has no SDR white: W = 1.0, the mid-tone
// foreground exactly as clipped, the sky of 5 to 20 with its clouds in many
// levels instead of one white, the sun white, the neon red.
TEST_F(ToneMapPictureTest, GameSceneWithoutUiKeepsItsForegroundAndItsClouds) {
    const Decoded on = Decode(L"hdr_game_64x36.jxr");
    SettingsKeyGuard::WriteDword(L"HdrToneMap", 0);
    const Decoded off = Decode(L"hdr_game_64x36.jxr");
    ASSERT_EQ(on.result, 0);
    ASSERT_EQ(off.result, 0);
    for (int y = 18; y < 36; ++y) {
        for (int x = 0; x < 64; ++x) ExpectNear(on.At(x, y), off.At(x, y), "foreground", x, y);
    }
    std::vector<Bgr> sky;
    double darkest = 1.0, brightest = 0.0;
    for (int y = 0; y < 12; ++y) {
        for (int x = 16; x < 46; ++x) {  // clear of the sun and the neon
            sky.push_back(on.At(x, y));
            darkest = std::min(darkest, OutputLuminance(sky.back()));
            brightest = std::max(brightest, OutputLuminance(sky.back()));
        }
    }
    std::sort(sky.begin(), sky.end());
    EXPECT_GE(std::unique(sky.begin(), sky.end()) - sky.begin(), 40) << "colours in the cloudy sky";
    EXPECT_GE(brightest / darkest, 1.2) << "clouds above the sky";
    EXPECT_EQ(on.At(50, 4), (Bgr{255, 255, 255})) << "sun";
    ExpectNeon(on.At(8, 13), {9.0, 0.25, 0.15});
}

// Colours outside sRGB (negative channels) keep their hue, bright or dim.
TEST_F(ToneMapPictureTest, ColoursOutsideTheGamutKeepTheirHue) {
    const std::array<double, 3> kWide[] = {{-0.3, 2.0, -0.1}, {3.0, -0.2, 0.1}, {-0.1, -0.05, 4.0}, {1.5, 1.2, -0.3},
                                           {-0.2, 0.6, 0.9},  {0.8, -0.1, 0.5}, {6.0, 2.0, -0.5},   {-0.4, 5.0, 3.0}};
    const Decoded d = Decode(L"hdr_wide_gamut_32x8.jxr");
    ASSERT_EQ(d.result, 0);
    for (int y : {0, 2}) {
        for (int x = 0; x < 8; ++x) ExpectHue(d.At(x, y), kWide[x], y == 0 ? "bright" : "a quarter as bright");
    }
}

// "HdrSdrWhite" in nits replaces the white found; 0 or a number outside 80
// to 480 leaves it to be found; pictures within 0 .. 1.0 stay as clipped.
TEST_F(ToneMapPictureTest, SdrWhiteSettingReplacesTheWhiteFound) {
    const Decoded found = Decode(L"hdr_desktop_300nits_64x36.jxr");
    const Decoded inRange = Decode(L"inrange_half_4x2.jxr");
    for (const DWORD nits : {300u, 0u, 79u, 481u}) {
        SettingsKeyGuard::WriteDword(L"HdrSdrWhite", nits);
        EXPECT_EQ(Decode(L"hdr_desktop_300nits_64x36.jxr").pixels, found.pixels) << nits;
    }
    SettingsKeyGuard::WriteDword(L"HdrSdrWhite", 200);
    const Decoded set = Decode(L"hdr_desktop_300nits_64x36.jxr");
    ASSERT_EQ(set.result, 0);
    for (int x = 0; x < 64; x += 9) {  // wallpaper divided by 2.5 instead of 3.75
        EXPECT_NEAR(Linear(set.At(x, 0)[2]), 1.5 * Linear(20 + 2 * x), 0.01) << x;
    }
    EXPECT_EQ(Decode(L"inrange_half_4x2.jxr").pixels, inRange.pixels);
}

}  // namespace
