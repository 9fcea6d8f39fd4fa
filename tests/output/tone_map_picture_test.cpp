// Tone mapping through the loaded module: the half-float "HDR screenshot"
// (hdr_half_32x4.jxr) and the in-range float pictures of the fixtures, with
// the switch on, off, absent and of the wrong type.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "output/settings_key_guard.h"
#include "plugin.h"
#include "support/test_paths.h"

namespace {

using testing_support::SettingsKeyGuard;
using Bgr = std::array<int, 3>;

// The header block and the 24-bit rows as the host receives them.
struct Decoded {
    int result = -100, width = 0, height = 0;
    std::vector<std::uint8_t> header, pixels;
    Bgr At(int x, int y) const {  // y from the top
        const std::uint8_t* p = &pixels[(height - 1 - y) * ((width * 3 + 3) / 4 * 4) + x * 3];
        return {p[0], p[1], p[2]};
    }
};

class ToneMapPictureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }

    Decoded Decode(const wchar_t* fixture) {
        Decoded d;
        HLOCAL header = nullptr, bits = nullptr;
        const std::wstring path = testing_support::FixturePath(fixture);
        d.result = plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &header, &bits, nullptr, 0);
        if (d.result != 0) return d;
        const auto* h = static_cast<const std::uint8_t*>(header);  // fixed blocks
        d.width = reinterpret_cast<const BITMAPINFOHEADER*>(h)->biWidth;
        d.height = reinterpret_cast<const BITMAPINFOHEADER*>(h)->biHeight;
        d.header.assign(h, h + ::LocalSize(header));
        d.pixels.assign(static_cast<std::uint8_t*>(bits),
                        static_cast<std::uint8_t*>(bits) + (d.width * 3 + 3) / 4 * 4 * d.height);
        ::LocalFree(bits);
        ::LocalFree(header);
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
    } kCases[] = {{"1", REG_DWORD, 4, &one, true},           {"absent", REG_NONE, 0, nullptr, true},
                  {"0 as binary", REG_BINARY, 4, &zero, true}, {"0 of two bytes", REG_DWORD, 2, &zero, true},
                  {"5", REG_DWORD, 4, &five, true},           {"0", REG_DWORD, 4, &zero, false}};
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

// The hue angle of linear R, G, B, kept by scaling and by adding grey.
double Hue(const std::array<double, 3>& c) {
    const double top = std::max({c[0], c[1], c[2]}), range = top - std::min({c[0], c[1], c[2]});
    const int i = top == c[0] ? 0 : top == c[1] ? 1 : 2;
    return std::fmod(60.0 * ((c[(i + 1) % 3] - c[(i + 2) % 3]) / range + 2 * i) + 360.0, 360.0);
}

TEST_F(ToneMapPictureTest, HdrScreenshotKeepsItsHighlightsAndHues) {
    const Decoded d = Decode(L"hdr_half_32x4.jxr");  // no settings: on
    ASSERT_EQ(d.result, 0);
    for (int x = 0; x < d.width; ++x) {  // SDR white at 2.5: between mid-grey and white
        EXPECT_EQ(d.At(x, 0), d.At(0, 0));
        EXPECT_GT(d.At(x, 0)[0], 128);
        EXPECT_LT(d.At(x, 0)[0], 255);
    }
    for (int x = 1; x <= 25; ++x) EXPECT_GE(d.At(x, 1)[1], d.At(x - 1, 1)[1]) << "ramp to 12.5, x " << x;
    const int g4 = d.At(24, 2)[0], g8 = d.At(25, 2)[0], g12 = d.At(26, 2)[0];
    EXPECT_LT(g4, g8);
    EXPECT_LT(g8, g12);
    EXPECT_LT(g12, 255);
    const std::array<double, 3> kSaturated[] = {{6, 0.5, 0.25}, {0.25, 4, 0.125}, {0.5, 0.5, 9},
                                                {3, 3, 0.25},   {8, 0.25, 8},     {0.25, 6, 6}};
    for (int x = 0; x < 24; ++x) {
        const Bgr p = d.At(x, 2);
        std::array<double, 3> linear;
        for (int i = 0; i < 3; ++i) {
            const double v = p[2 - i] / 255.0;
            linear[i] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        }
        const double apart = std::fabs(Hue(linear) - Hue(kSaturated[x % 6]));
        EXPECT_LE(std::min(apart, 360.0 - apart), 3.0) << "x " << x << ": " << p[2] << ", " << p[1] << ", " << p[0];
    }
}

}  // namespace
