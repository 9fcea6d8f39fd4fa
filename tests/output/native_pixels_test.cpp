// Our own conversion of native pixels: one or two stored pixels of each kind
// of format against the bytes worked out by hand from the formats' meaning,
// the linear floats handed to HDR work, and the sRGB curve at every 16-bit
// linear step against the library's pow.

#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "output/native_pixels.h"

namespace {

using rorurera::ConvertNativeRow;
using rorurera::PixelFormatEntry;
using Bytes = std::vector<std::uint8_t>;

// The table's row of a format that our own conversion takes, or nullptr.
const PixelFormatEntry* FindNativeFormat(const GUID& format) {
    const PixelFormatEntry& entry = rorurera::LookupPixelFormat(format);
    return rorurera::OwnConversionTakes(entry) ? &entry : nullptr;
}

template <typename T>
Bytes Stored(std::initializer_list<T> samples) {
    Bytes bytes(samples.size() * sizeof(T));
    std::memcpy(bytes.data(), std::data(samples), bytes.size());
    return bytes;
}

struct RowCase {
    const char* name;
    const GUID& format;
    Bytes stored;    // one pixel
    Bytes expected;  // B, G, R (, A)
};

// The kinds the fixtures of the picture tests cannot show (JxrEncApp makes no
// such files, or the platform converts them). 16-bit samples are sRGB as
// stored: 0x8000 scales to 128.
// clang-format off
const RowCase kRows[] = {
    {"32bppPBGRA divided by alpha", GUID_WICPixelFormat32bppPBGRA, {64, 32, 128, 128}, {128, 64, 255, 128}},
    {"32bppCMYK", GUID_WICPixelFormat32bppCMYK, {0, 255, 128, 64}, {95, 0, 191}},
    {"16bppBGRA5551 red, opaque", GUID_WICPixelFormat16bppBGRA5551, Stored<std::uint16_t>({0xFC00}), {0, 0, 255, 255}},
    {"32bppRGBA1010102", GUID_WICPixelFormat32bppRGBA1010102, Stored<std::uint32_t>({1u << 30 | 1023u}),
     {0, 0, 255, 85}},
    // (v - 384) / 510: 639 is 0.5, 100 below 0, 1023 beyond white; alpha 2 of 3.
    {"32bppRGBA1010102XR", GUID_WICPixelFormat32bppRGBA1010102XR,
     Stored<std::uint32_t>({2u << 30 | 1023u << 20 | 100u << 10 | 639u}), {255, 0, 128, 170}},
    {"64bppPRGBA", GUID_WICPixelFormat64bppPRGBA, Stored<std::uint16_t>({0x4000, 0, 0, 0x8000}), {0, 0, 128, 128}},
    {"80bppCMYKAlpha", GUID_WICPixelFormat80bppCMYKAlpha, Stored<std::uint16_t>({0, 0xFFFF, 0x8000, 0, 0xFFFF}),
     {127, 0, 255, 255}},
    {"64bppRGBAHalf 2, 0.5, NaN, 0.5", GUID_WICPixelFormat64bppRGBAHalf,
     Stored<std::uint16_t>({0x4000, 0x3800, 0x7E00, 0x3800}), {0, 188, 255, 128}},
    {"128bppPRGBAFloat", GUID_WICPixelFormat128bppPRGBAFloat, Stored<float>({0.25f, 0.5f, 0.0f, 0.5f}),
     {0, 255, 188, 128}},
};
// clang-format on

TEST(NativePixels, EachKindOfFormatConvertsOnePixel) {
    for (const RowCase& c : kRows) {
        const PixelFormatEntry* format = FindNativeFormat(c.format);
        ASSERT_NE(format, nullptr) << c.name;
        ASSERT_EQ(c.stored.size() * 8, static_cast<std::size_t>(format->bitsPerPixel)) << c.name;
        // Two pixels, so that the step from one pixel to the next counts.
        Bytes stored = c.stored;
        stored.insert(stored.end(), c.stored.begin(), c.stored.end());
        Bytes out(2 * c.expected.size() + 1, 0xEE);
        ConvertNativeRow(*format, stored.data(), out.data(), 2);
        Bytes expected = c.expected;
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.push_back(0xEE);  // nothing written past the row
        EXPECT_EQ(out, expected) << c.name;
    }
}

TEST(NativePixels, OnlyFormatsWithAMeaningWeKnowAreFound) {
    for (const GUID* unknown :
         {&GUID_WICPixelFormat8bppIndexed, &GUID_WICPixelFormat8bppAlpha, &GUID_WICPixelFormat64bpp4Channels}) {
        EXPECT_EQ(FindNativeFormat(*unknown), nullptr);
    }
    EXPECT_TRUE(rorurera::IsScRgb(*FindNativeFormat(GUID_WICPixelFormat16bppGrayHalf)));
    EXPECT_TRUE(rorurera::IsScRgb(*FindNativeFormat(GUID_WICPixelFormat32bppRGBE)));
    EXPECT_FALSE(rorurera::IsScRgb(*FindNativeFormat(GUID_WICPixelFormat48bppRGB)));
}

TEST(NativePixels, LinearRowsKeepWhatIsBeyondWhite) {
    const Bytes grey = Stored<std::uint16_t>({0x4000, 0xBC00});  // 2.0, -1.0
    std::vector<float> rgba(8);
    rorurera::DecodeLinearRow(*FindNativeFormat(GUID_WICPixelFormat16bppGrayHalf), grey.data(), rgba.data(), 2);
    EXPECT_EQ(rgba, (std::vector<float>{2, 2, 2, 1, -1, -1, -1, 1}));

    const float inf = std::numeric_limits<float>::infinity();
    const Bytes fixed = Stored<std::int16_t>({0x6000, 0, 0x2000, 0x1000});  // 3.0, 0, 1.0, alpha 0.5
    rorurera::DecodeLinearRow(*FindNativeFormat(GUID_WICPixelFormat64bppBGRAFixedPoint), fixed.data(), rgba.data(), 1);
    EXPECT_EQ(std::vector<float>(rgba.begin(), rgba.begin() + 4), (std::vector<float>{1, 0, 3, 0.5f}));

    const float linear[] = {inf, -inf, 1e30f, 2.0f};
    Bytes out(4);
    rorurera::EncodeLinearRowSrgb(linear, out.data(), 1, true);
    EXPECT_EQ(out, (Bytes{255, 0, 255, 255}));
}

TEST(NativePixels, SrgbCurveAtEverySixteenBitStep) {
    int differences = 0;
    for (std::uint32_t i = 0; i <= 65535; ++i) {
        const double v = i / 65535.0;
        const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        const auto expected = static_cast<std::uint8_t>(std::lround(encoded * 255));
        const float linear[4] = {static_cast<float>(v), 0, 0, 1};
        std::uint8_t out[3];
        rorurera::EncodeLinearRowSrgb(linear, out, 1, false);
        if (out[2] != expected) ++differences;
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
