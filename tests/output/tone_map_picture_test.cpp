// Tone mapping through the loaded module: the half-float "HDR screenshot"
// and the in-range float pictures of the fixtures, with the switch on, off,
// absent and of the wrong type.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "output/settings_key_guard.h"
#include "plugin.h"
#include "support/test_paths.h"

namespace {

using testing_support::FixturePath;
using testing_support::ModulePath;
using testing_support::SettingsKeyGuard;

// hdr_half_32x4.jxr, as the fixture script lists it.
constexpr int kWidth = 32;
constexpr int kHeight = 4;
constexpr std::array<std::array<float, 3>, 6> kSaturated = {
    {{6.0f, 0.5f, 0.25f}, {0.25f, 4.0f, 0.125f}, {0.5f, 0.5f, 9.0f}, {3.0f, 3.0f, 0.25f}, {8.0f, 0.25f, 8.0f},
     {0.25f, 6.0f, 6.0f}}};

// A picture's header and pixel bytes as the host receives them.
struct Decoded {
    int result = -100;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> pixels;

    // Blue, green, red of pixel (x, y), y counted from the top.
    std::array<int, 3> At(int x, int y) const {
        BITMAPINFOHEADER info{};
        std::memcpy(&info, header.data(), sizeof info);
        const std::size_t stride = (static_cast<std::size_t>(info.biWidth) * 3 + 3) / 4 * 4;
        const std::uint8_t* p = pixels.data() + (info.biHeight - 1 - y) * stride + x * 3;
        return {p[0], p[1], p[2]};
    }
};

class ToneMapPictureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }

    Decoded Decode(const wchar_t* fixture) {
        Decoded decoded;
        HLOCAL header = nullptr;
        HLOCAL bits = nullptr;
        decoded.result =
            plugin.GetPictureW(FixturePath(fixture).c_str(), 0, susie::kFromFile, &header, &bits, nullptr, 0);
        if (decoded.result == 0) {
            const auto* h = static_cast<const std::uint8_t*>(::LocalLock(header));
            decoded.header.assign(h, h + ::LocalSize(header));
            const auto* b = static_cast<const std::uint8_t*>(::LocalLock(bits));
            BITMAPINFOHEADER info{};
            std::memcpy(&info, h, sizeof info);
            decoded.pixels.assign(b, b + (static_cast<std::size_t>(info.biWidth) * 3 + 3) / 4 * 4 * info.biHeight);
            ::LocalUnlock(bits);
            ::LocalUnlock(header);
            ::LocalFree(bits);
            ::LocalFree(header);
        }
        return decoded;
    }

    SettingsKeyGuard guard;
    susie::Plugin plugin{ModulePath()};
};

double Linear(int byte) {
    const double v = byte / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The hue angle (degrees) of linear R, G, B: unchanged by scaling and by
// adding grey, which is all the tone map does to a colour.
double Hue(double r, double g, double b) {
    const double largest = std::max({r, g, b});
    const double range = largest - std::min({r, g, b});
    double h = 0.0;
    if (largest == r) {
        h = 60.0 * std::fmod((g - b) / range + 6.0, 6.0);
    } else if (largest == g) {
        h = 60.0 * ((b - r) / range + 2.0);
    } else {
        h = 60.0 * ((r - g) / range + 4.0);
    }
    return h;
}

double HueDistance(double a, double b) {
    const double d = std::fabs(a - b);
    return std::min(d, 360.0 - d);
}

int Luma(const std::array<int, 3>& bgr) { return bgr[0] + bgr[1] + bgr[2]; }

TEST_F(ToneMapPictureTest, InRangePicturesAreByteIdenticalWithTheSwitchOnAndOff) {
    for (const wchar_t* fixture : {L"inrange_half_4x2.jxr", L"rgba128f_2x2.jxr"}) {
        SCOPED_TRACE(testing::Message() << static_cast<const void*>(fixture));
        SettingsKeyGuard::WriteDword(L"Alpha", 0);
        SettingsKeyGuard::WriteDword(L"HdrToneMap", 1);
        const Decoded on = Decode(fixture);
        SettingsKeyGuard::WriteDword(L"HdrToneMap", 0);
        const Decoded off = Decode(fixture);
        ASSERT_EQ(on.result, 0);
        ASSERT_EQ(off.result, 0);
        EXPECT_EQ(on.header, off.header);
        EXPECT_EQ(on.pixels, off.pixels);
    }
}

TEST_F(ToneMapPictureTest, TheSwitchIsOnUnlessAValidZeroIsStored) {
    const DWORD zero = 0;
    SettingsKeyGuard::WriteDword(L"HdrToneMap", 1);
    const Decoded on = Decode(L"hdr_half_32x4.jxr");
    ASSERT_EQ(on.result, 0);
    const struct {
        const char* name;
        DWORD type;  // REG_NONE: the value is deleted
        DWORD size;
        bool mapped;
    } kCases[] = {
        {"absent", REG_NONE, 0, true},
        {"0 as binary", REG_BINARY, 4, true},
        {"0 of two bytes", REG_DWORD, 2, true},
        {"5", REG_DWORD, 4, true},
        {"0", REG_DWORD, 4, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        SettingsKeyGuard::DeleteKey();
        const DWORD five = 5;
        if (c.type != REG_NONE) {
            SettingsKeyGuard::Write(L"HdrToneMap", c.type, std::string(c.name) == "5" ? &five : &zero, c.size);
        }
        const Decoded decoded = Decode(L"hdr_half_32x4.jxr");
        ASSERT_EQ(decoded.result, 0);
        EXPECT_EQ(decoded.header, on.header);
        EXPECT_EQ(decoded.pixels == on.pixels, c.mapped);
    }
}

TEST_F(ToneMapPictureTest, SwitchedOffTheHighlightsClipAsBefore) {
    SettingsKeyGuard::WriteDword(L"HdrToneMap", 0);
    const Decoded off = Decode(L"hdr_half_32x4.jxr");
    ASSERT_EQ(off.result, 0);
    for (int x = 0; x < kWidth; ++x) {
        EXPECT_EQ(off.At(x, 0), (std::array<int, 3>{255, 255, 255})) << "the desktop at 2.5, x " << x;
    }
    for (int x = 2; x <= 25; ++x) EXPECT_EQ(off.At(x, 1), (std::array<int, 3>{255, 255, 255})) << x;
    EXPECT_EQ(off.At(0, 1), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(off.At(0, 2)[2], 255);  // red 6.0
    EXPECT_EQ(off.At(1, 2)[1], 255);  // green 4.0
}

TEST_F(ToneMapPictureTest, HdrScreenshotKeepsItsHighlightsAndHues) {
    const Decoded on = Decode(L"hdr_half_32x4.jxr");  // no settings: on
    ASSERT_EQ(on.result, 0);

    // The desktop's SDR white at 2.5: darker than white, brighter than mid-grey.
    for (int x = 0; x < kWidth; ++x) {
        const std::array<int, 3> p = on.At(x, 0);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
        EXPECT_GT(p[0], 128) << x;
        EXPECT_LT(p[0], 255) << x;
    }
    // The ramp 0.0 .. 12.5: never darker for a brighter input, white only at the peak.
    for (int x = 1; x <= 25; ++x) EXPECT_GE(Luma(on.At(x, 1)), Luma(on.At(x - 1, 1))) << x;
    EXPECT_EQ(on.At(25, 1), (std::array<int, 3>{255, 255, 255}));
    // Greys 4, 8 and 12: distinct, below white.
    const int g4 = on.At(24, 2)[0], g8 = on.At(25, 2)[0], g12 = on.At(26, 2)[0];
    EXPECT_LT(g4, g8);
    EXPECT_LT(g8, g12);
    EXPECT_LT(g12, 255);
    EXPECT_EQ(on.At(27, 2), on.At(24, 2));
    // Saturated colours above 1.0: the hue of the input within 3 degrees (a
    // colour blown out to white or grey has none).
    for (int x = 0; x < 24; ++x) {
        const auto& in = kSaturated[x % kSaturated.size()];
        const std::array<int, 3> p = on.At(x, 2);
        SCOPED_TRACE(testing::Message() << "x " << x << ": " << p[2] << ", " << p[1] << ", " << p[0]);
        EXPECT_LE(HueDistance(Hue(Linear(p[2]), Linear(p[1]), Linear(p[0])), Hue(in[0], in[1], in[2])), 3.0);
    }
}

}  // namespace
