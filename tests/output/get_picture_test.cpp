// GetPicture and GetPictureW as a host calls them: the module is loaded by
// path, fed the generated JPEG XR images of known pixels, and the two blocks
// it hands over are checked byte for byte (rows bottom-up); the progress
// reports, every stop the host can ask for, images too large to hold, and
// the release of everything the request took.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "process_usage.h"
#include "support/settings_key_guard.h"
#include "plugin.h"
#include "support/host_slots.h"
#include "support/platform.h"
#include "support/test_paths.h"

namespace {

using testing_support::FixturePath;
using testing_support::kUntouchedBits;
using testing_support::kUntouchedHeader;
using testing_support::ModulePath;
using testing_support::SettingsKeyGuard;
using Bytes = std::vector<std::uint8_t>;

// The host's two blocks, freed as a host frees them.
struct Picture : testing_support::HostSlots {
    int result = -100;

    std::vector<std::uint32_t> ColorTable() const {
        std::vector<std::uint32_t> table(Info().biClrUsed);
        std::memcpy(table.data(), HeaderBlock().data() + sizeof(BITMAPINFOHEADER), table.size() * 4);
        return table;
    }
    // The pixel bytes of each row, padding left out, in block order (the
    // bottom row of the image first).
    Bytes Rows(std::size_t stride, std::size_t rowBytes, std::size_t height) const {
        Bytes out;
        const std::uint8_t* p = PixelBlock().data();
        for (std::size_t r = 0; r < height; ++r) out.insert(out.end(), p + r * stride, p + r * stride + rowBytes);
        return out;
    }
    // The whole header block.
    Bytes HeaderBytes() const { return Bytes(HeaderBlock().begin(), HeaderBlock().end()); }
};

// Records every report and asks to stop at one given percentage.
struct ProgressLog {
    std::vector<int> numerators;
    std::vector<int> denominators;
    std::vector<LONG_PTR> users;
    int stopAt = -1;
};

int WINAPI RecordProgress(int numerator, int denominator, LONG_PTR user) {
    auto* log = reinterpret_cast<ProgressLog*>(user);
    log->numerators.push_back(numerator);
    log->denominators.push_back(denominator);
    log->users.push_back(user);
    return numerator == log->stopAt ? 1 : 0;
}

enum class Mode { File, Memory, NarrowFile };

class GetPictureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }

    void Decode(Picture& picture, const std::wstring& fixture, Mode mode = Mode::File,
                susie::ProgressCallback callback = nullptr, LONG_PTR user = 0) {
        const std::wstring path = FixturePath(fixture);
        switch (mode) {
        case Mode::File:
            picture.result =
                plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, callback, user);
            break;
        case Mode::NarrowFile: {
            const std::string narrow(path.begin(), path.end());
            picture.result =
                plugin.GetPicture(narrow.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, callback, user);
            break;
        }
        case Mode::Memory: {
            const Bytes bytes = testing_support::ReadFileBytes(path);
            picture.result =
                plugin.GetPicture(reinterpret_cast<const char*>(bytes.data()), static_cast<LONG_PTR>(bytes.size()),
                                  susie::kFromMemory, &picture.header, &picture.bits, callback, user);
            break;
        }
        }
    }

    susie::Plugin plugin{ModulePath()};
    SettingsKeyGuard settings;  // every test starts without the settings key
};

// --- exact pictures -------------------------------------------------------------

TEST_F(GetPictureTest, TwentyFourBitThreeByTwo) {
    Picture picture;
    Decode(picture, L"rgb24_3x2.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(::LocalSize(picture.header), 44u);
    EXPECT_GE(::LocalSize(picture.bits), 28u);
    const BITMAPINFOHEADER info = picture.Info();
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, 3);
    EXPECT_EQ(info.biHeight, 2);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 24);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(info.biSizeImage, 24u);
    EXPECT_EQ(info.biClrUsed, 0u);
    EXPECT_EQ(info.biClrImportant, 0u);
    // The image's bottom row comes first; rows are 12 bytes apart.
    EXPECT_EQ(picture.Rows(12, 9, 2), (Bytes{100, 110, 120, 130, 140, 150, 160, 170, 180,  //
                                             10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

TEST_F(GetPictureTest, TwentyFourBitFiveByThreeHasPitchSixteen) {
    Picture picture;
    Decode(picture, L"rgb24_5x3.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(picture.Info().biWidth, 5);
    EXPECT_EQ(picture.Info().biHeight, 3);
    EXPECT_GE(::LocalSize(picture.bits), 3u * 16 + 4);
    EXPECT_EQ(picture.Rows(16, 15, 3), (Bytes{2, 120, 186, 42, 121, 176, 82, 122, 166, 122, 123, 156, 162, 124, 146,  //
                                              1, 60,  193, 41, 61,  183, 81, 62,  173, 121, 63,  163, 161, 64,  153,  //
                                              0, 0,   200, 40, 1,   190, 80, 2,   180, 120, 3,   170, 160, 4,   160}));
}

TEST_F(GetPictureTest, SixHundredFortyByFourHundredEightyEveryPixel) {
    Picture picture;
    Decode(picture, L"rgb24_640x480.jxr");
    ASSERT_EQ(picture.result, 0);
    ASSERT_EQ(picture.Info().biHeight, 480);
    const Bytes rows = picture.Rows(1920, 1920, 480);
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        const std::uint8_t* row = rows.data() + std::size_t(479 - y) * 1920;
        for (int x = 0; x < 640; ++x) {
            const std::uint8_t* p = row + 3 * x;
            if (p[0] != (x & 255) || p[1] != (y & 255) || p[2] != ((3 * x + 5 * y) & 255)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(GetPictureTest, BlackAndWhiteThirtyThreeWide) {
    Picture picture;
    Decode(picture, L"bw_33x2.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(::LocalSize(picture.header), 52u);
    const BITMAPINFOHEADER info = picture.Info();
    EXPECT_EQ(info.biBitCount, 1);
    EXPECT_EQ(info.biWidth, 33);
    EXPECT_EQ(info.biClrUsed, 2u);
    const std::vector<std::uint32_t> table = picture.ColorTable();
    ASSERT_EQ(table.size(), 2u);
    if (testing_support::WicHasJpegXrPalettes()) {
        EXPECT_EQ(table[0] & 0xFFFFFF, 0x000000u);
        EXPECT_EQ(table[1] & 0xFFFFFF, 0xFFFFFFu);
    } else {
        // No palette from the imaging component: the ramp stands in.
        EXPECT_EQ(table, (std::vector<std::uint32_t>{0x00000000, 0x00FFFFFF}));
    }
    EXPECT_GE(::LocalSize(picture.bits), 2u * 8 + 4);
    EXPECT_EQ(picture.Rows(8, 5, 2), (Bytes{0x80, 0x00, 0x55, 0x01, 0x00, 0xB1, 0x0F, 0x00, 0xFF, 0x80}));
}

// bw_33x2.jxr's picture stored with 0 as white (the files differ in the
// codestream header's flag alone): where the platform ignores the flag, the
// picture arrives inverted.
TEST_F(GetPictureTest, BlackAndWhiteStoredWithZeroAsWhite) {
    Picture picture;
    Decode(picture, L"bw_33x2_b1.jxr");
    ASSERT_EQ(picture.result, 0);
    ASSERT_EQ(picture.Info().biBitCount, 1);
    Bytes shown = {0x80, 0x00, 0x55, 0x01, 0x00, 0xB1, 0x0F, 0x00, 0xFF, 0x80};
    if (!testing_support::WicReadsBlackWhiteStoredWithZeroAsWhite()) {
        for (std::uint8_t& byte : shown) byte = static_cast<std::uint8_t>(~byte);
    }
    Bytes rows = picture.Rows(8, 5, 2);
    for (std::size_t last : {4u, 9u}) {  // only the first bit of a row's fifth byte is a pixel
        shown[last] &= 0x80;
        rows[last] &= 0x80;
    }
    EXPECT_EQ(rows, shown);
}

TEST_F(GetPictureTest, EightBitGreyWithTheFullColourTable) {
    Picture picture;
    Decode(picture, L"gray8_5x2.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(::LocalSize(picture.header), 44u + 1024u);
    const BITMAPINFOHEADER info = picture.Info();
    EXPECT_EQ(info.biBitCount, 8);
    EXPECT_EQ(info.biClrUsed, 256u);
    const std::vector<std::uint32_t> table = picture.ColorTable();
    ASSERT_EQ(table.size(), 256u);
    if (testing_support::WicHasJpegXrPalettes()) {
        for (std::uint32_t i = 0; i < 256; ++i) EXPECT_EQ(table[i] & 0xFFFFFF, i * 0x010101u) << i;
    } else {
        for (std::uint32_t i = 0; i < 255; ++i) EXPECT_EQ(table[i], i * 0x010101u) << i;
        EXPECT_EQ(table[255], 0x00FFFFFFu);
    }
    EXPECT_EQ(picture.Rows(8, 5, 2), (Bytes{1, 2, 3, 4, 5, 0, 50, 100, 150, 255}));
}

TEST_F(GetPictureTest, Bgr555StaysSixteenBits) {
    Picture picture;
    Decode(picture, L"bgr555_4x2.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(::LocalSize(picture.header), 44u);
    EXPECT_EQ(picture.Info().biBitCount, 16);
    EXPECT_EQ(picture.Info().biClrUsed, 0u);
    EXPECT_EQ(picture.Info().biCompression, static_cast<DWORD>(BI_RGB));
    // Words 0x0000 0x0443 0x4104 0x2A9E, then 0x7C00 0x03E0 0x001F 0x7FFF.
    EXPECT_EQ(picture.Rows(8, 8, 2), (Bytes{0x00, 0x00, 0x43, 0x04, 0x04, 0x41, 0x9E, 0x2A,  //
                                            0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F}));
}

TEST_F(GetPictureTest, ResolutionIsNotPassedOn) {
    Picture picture;
    Decode(picture, L"dpi300.jxr");
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(picture.Info().biXPelsPerMeter, 0);
    EXPECT_EQ(picture.Info().biYPelsPerMeter, 0);
    EXPECT_EQ(picture.Info().biWidth, 8);
}

// --- pictures with alpha ------------------------------------------------------

// bgra32_3x2 as the imaging component delivers it: B, G, R (top row first).
const Bytes kBgraColours = {200, 100, 50,  10, 20, 30, 255, 0,  0,  //
                            0,   0,   255, 30, 60, 90, 12,  34, 56};

// The 24-bit rows of a 3 x 2 picture in block order from top-first rows.
Bytes BottomUp(const Bytes& topFirst) {
    Bytes out(topFirst.begin() + 9, topFirst.end());
    out.insert(out.end(), topFirst.begin(), topFirst.begin() + 9);
    return out;
}

class AlphaPictureTest : public GetPictureTest, public testing::WithParamInterface<const wchar_t*> {
protected:
    void DecodeParam(Picture& picture) {
        Decode(picture, GetParam());
        ASSERT_EQ(picture.result, 0);
        EXPECT_EQ(::LocalSize(picture.header), 44u);
        EXPECT_EQ(picture.Info().biBitCount, 24);
        EXPECT_EQ(picture.Info().biClrUsed, 0u);
        EXPECT_GE(::LocalSize(picture.bits), 28u);
    }
};

TEST_P(AlphaPictureTest, DroppedAlphaKeepsTheColours) {
    for (DWORD mode : {0u, 2u}) {
        SettingsKeyGuard::WriteDword(L"Alpha", mode);
        Picture picture;
        DecodeParam(picture);
        EXPECT_EQ(picture.Rows(12, 9, 2), BottomUp(kBgraColours)) << "Alpha " << mode;
    }
}

TEST_P(AlphaPictureTest, WithoutSettingsBlendsOverWhite) {
    Picture picture;
    DecodeParam(picture);
    if (testing_support::WicKeepsJpegXrAlpha()) {
        EXPECT_EQ(picture.Rows(12, 9, 2), BottomUp({227, 177, 152, 255, 255, 255, 255, 254, 254,  //
                                                    1, 1, 255, 30, 60, 90, 64, 81, 98}));
    } else {
        // Every alpha arrives as 0: the picture counts as one without alpha.
        EXPECT_EQ(picture.Rows(12, 9, 2), BottomUp(kBgraColours));
    }
}

TEST_P(AlphaPictureTest, BlendsOverTheStoredColour) {
    SettingsKeyGuard::WriteDword(L"Alpha", 1);
    SettingsKeyGuard::WriteDword(L"Color", 0x336699);
    Picture picture;
    DecodeParam(picture);
    if (testing_support::WicKeepsJpegXrAlpha()) {
        EXPECT_EQ(picture.Rows(12, 9, 2), BottomUp({125, 100, 101, 51, 102, 153, 51, 101, 152,  //
                                                    0, 0, 254, 30, 60, 90, 20, 48, 76}));
    } else {
        EXPECT_EQ(picture.Rows(12, 9, 2), BottomUp(kBgraColours));
    }
}

INSTANTIATE_TEST_SUITE_P(PlanarAndInterleaved, AlphaPictureTest,
                         testing::Values(L"bgra32_3x2.jxr", L"bgra32_3x2_interleaved.jxr"));

// --- formats the platform's converter may refuse -----------------------------------

// Where the converter refuses a format (Wine's refuses all of these but
// 64bppRGBA and 32bppGrayFloat; see platform.h), and under Wine for every
// format whose values may lie beyond white or that has 16-bit integer
// channels, the module converts the stored pixels itself. Each fixture's stored values, top row first, as
// R, G, B, A per pixel (A = 1 without alpha), 1.0 = white.
struct StoredCase {
    const wchar_t* fixture;
    std::uint32_t width;
    std::uint32_t height;
    bool linear;    // linear light (scRGB): sRGB curve; otherwise sRGB already (16-bit samples too)
    int tolerance;  // 8-bit steps: 0 for integer formats, 1 for half, float, fixed point
    std::vector<double> rgba;
};

constexpr double k16 = 65535.0;

// clang-format off
const StoredCase kStoredCases[] = {
    {L"gray16_3x2.jxr", 3, 2, false, 0,
     {0, 0, 0, 1, 0xFF / k16, 0xFF / k16, 0xFF / k16, 1, 0x100 / k16, 0x100 / k16, 0x100 / k16, 1,
      0x1234 / k16, 0x1234 / k16, 0x1234 / k16, 1, 0x8000 / k16, 0x8000 / k16, 0x8000 / k16, 1, 1, 1, 1, 1}},
    {L"rgb48_3x2.jxr", 3, 2, false, 0,
     {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1,
      0x1234 / k16, 0x5678 / k16, 0x9ABC / k16, 1, 1 / k16, 0x100 / k16, 0x8000 / k16, 1, 1, 1, 1, 1}},
    {L"rgba64_2x2.jxr", 2, 2, false, 0,
     {1, 0, 0, 0x8000 / k16, 0, 1, 0, 1, 0, 0, 1, 0, 0x1234 / k16, 0x5678 / k16, 0x9ABC / k16, 0x4000 / k16}},
    {L"bgr565_4x2.jxr", 4, 2, false, 0,
     {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1,
      0, 0, 0, 1, 1 / 31.0, 2 / 63.0, 3 / 31.0, 1, 16 / 31.0, 32 / 63.0, 8 / 31.0, 1, 10 / 31.0, 40 / 63.0, 20 / 31.0, 1}},
    {L"bgr101010_2x1.jxr", 2, 1, false, 0, {1, 512 / 1023.0, 0, 1, 0, 1 / 1023.0, 1000 / 1023.0, 1}},
    {L"cmyka40_2x1.jxr", 2, 1, false, 0,
     {191 / 255.0, 0, 127 * 191 / 65025.0, 200 / 255.0,
      245 * 215 / 65025.0, 235 * 215 / 65025.0, 225 * 215 / 65025.0, 50 / 255.0}},
    {L"grayh_3x1.jxr", 3, 1, true, 1, {0, 0, 0, 1, 0.5, 0.5, 0.5, 1, 1.5, 1.5, 1.5, 1}},
    {L"rgbh_2x1.jxr", 2, 1, true, 1, {1, 0.25, 0, 1, 0.5, 0.75, 0.125, 1}},
    {L"rgbah_2x2.jxr", 2, 2, true, 1,
     {2, 0.5, 0, 1, 1, 1, 1, 0.5, 0.25, 4, 0.5, 0, 0, 0, 8, 0.25}},
    {L"grayf_3x1.jxr", 3, 1, true, 1, {0.25, 0.25, 0.25, 1, 0.5, 0.5, 0.5, 1, 2, 2, 2, 1}},
    {L"rgba128f_2x2.jxr", 2, 2, true, 1,
     {1, 0, 0, 1, 0, 1, 0, 0.5, 0, 0.25, 1, 0.25, 0.5, 0.5, 0.5, 0}},
    {L"rgb48fx_2x1.jxr", 2, 1, true, 1, {1, 0.5, 0, 1, 0, 0.25, 2, 1}},
    {L"rgb96fx_2x1.jxr", 2, 1, true, 1, {1, 0.5, 0, 1, 0, 0.25, 2, 1}},
    // mantissa * 2^(exponent - 136)
    {L"rgbe_3x1.jxr", 3, 1, true, 1,
     {128 / 128.0, 64 / 128.0, 0, 1, 255 / 512.0, 128 / 512.0, 16 / 512.0, 1, 0, 0, 0, 1}},
};
// clang-format on

// The documented rule's 8-bit value of one stored sample.
double Reference(double v, bool curve) {
    v = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
    if (curve) v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return std::round(v * 255);
}

// Under the default settings (blend over white) but without tone mapping;
// where the platform loses alpha, the stored colours.
TEST_F(GetPictureTest, EveryStoredFormatShowsItsValues) {
    SettingsKeyGuard::WriteDword(L"HdrToneMap", 0);  // values above 1.0 clipped
    for (const StoredCase& c : kStoredCases) {
        SCOPED_TRACE(std::string(c.fixture, c.fixture + std::wcslen(c.fixture)));
        Picture picture;
        Decode(picture, c.fixture);
        ASSERT_EQ(picture.result, 0);
        ASSERT_EQ(picture.Info().biBitCount, 24);
        const std::size_t stride = susie::DibStride(c.width, 24);
        const Bytes rows = picture.Rows(stride, c.width * 3, c.height);
        for (std::uint32_t i = 0; i < c.width * c.height; ++i) {
            const double* stored = &c.rgba[4 * i];
            const double alpha = testing_support::WicKeepsJpegXrAlpha() ? Reference(stored[3], false) : 255;
            const std::uint8_t* out = rows.data() + (c.height - 1 - i / c.width) * c.width * 3 + i % c.width * 3;
            for (int k = 0; k < 3; ++k) {
                double colour = Reference(stored[k], c.linear);
                colour = std::floor((colour * alpha + 255 * (255 - alpha)) / 255);
                EXPECT_NEAR(out[2 - k], colour, c.tolerance) << "pixel " << i << " channel "
                                                             << "RGB"[k];
            }
        }
    }
}

// --- colours as the file says -------------------------------------------------------

// R, G, B of every pixel, top row first, from 24-bit rows or a colour table.
Bytes RgbPixels(const Picture& picture) {
    const BITMAPINFOHEADER info = picture.Info();
    const auto width = static_cast<std::size_t>(info.biWidth);
    const auto height = static_cast<std::size_t>(info.biHeight);
    const std::size_t stride = susie::DibStride(width, info.biBitCount);
    const std::vector<std::uint32_t> table = info.biBitCount <= 8 ? picture.ColorTable() : std::vector<std::uint32_t>();
    Bytes out;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = picture.PixelBlock().data() + (height - 1 - y) * stride;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t bgr =
                info.biBitCount == 8 ? table.at(row[x]) : row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
            out.insert(out.end(), {std::uint8_t(bgr >> 16), std::uint8_t(bgr >> 8), std::uint8_t(bgr)});
        }
    }
    return out;
}

class ColourTest : public GetPictureTest {
protected:
    // Decodes `fixture` in both modes and expects its pixels within a mean of
    // `mean` and a 99th percentile of `p99` levels of `want`.
    void ExpectNear(const std::wstring& fixture, const Bytes& want, double mean, int p99) {
        for (Mode mode : {Mode::File, Mode::Memory}) {
            SCOPED_TRACE(testing_support::Narrow(fixture) + (mode == Mode::File ? ", file" : ", memory"));
            Picture picture;
            Decode(picture, fixture, mode);
            ASSERT_EQ(picture.result, 0);
            const Bytes got = RgbPixels(picture);
            ASSERT_EQ(got.size(), want.size());
            std::vector<int> differences;
            for (std::size_t i = 0; i < got.size(); ++i) differences.push_back(std::abs(got[i] - want[i]));
            std::sort(differences.begin(), differences.end());
            double sum = 0;
            for (int d : differences) sum += d;
            EXPECT_LE(sum / differences.size(), mean);
            EXPECT_LE(differences[differences.size() * 99 / 100], p99);
        }
    }
    Bytes Decoded(const std::wstring& fixture) {
        Picture picture;
        Decode(picture, fixture);
        EXPECT_EQ(picture.result, 0);
        return picture.result == 0 ? RgbPixels(picture) : Bytes();
    }
};

// Pictures that carry a colour profile against the same conversion made on
// the host by lcms2's own tificc (perceptual, to its built-in sRGB; the
// fixture script wrote expected/NAME.rgb). Alpha is dropped, so that both
// platforms show the converted colours.
TEST_F(ColourTest, ProfilesConvertTheStoredSamplesToSrgb) {
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    for (const wchar_t* name :
         {L"icc_adobe_rgb24_16x8", L"icc_adobe_rgb48_16x8", L"icc_adobe_bgra32_16x8", L"icc_prophoto_rgb24_16x8",
          L"icc_prophoto_rgb48_16x8", L"icc_gray_gray8_16x8", L"icc_gray_gray16_16x8", L"icc_cmyk_cmyk32_16x8",
          L"icc_cmyk_cmyka40_16x8", L"icc_damaged_half_rgb24_16x8"}) {
        const Bytes want = testing_support::ReadFileBytes(FixturePath(std::wstring(L"expected/") + name + L".rgb"));
        ExpectNear(std::wstring(name) + L".jxr", want, 1.5, 4);
    }
}

// An sRGB profile, profiles that cannot be read or are of another colour
// space, and every profile with the setting off: the picture's stored values,
// as without a profile. 16-bit samples are sRGB as stored: a card at 16 bits
// shows as at 8 (within the step by which Windows' converter may cut).
TEST_F(ColourTest, OtherwiseTheStoredValuesAsTheyAre) {
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    const struct {
        const wchar_t* fixture;
        const wchar_t* card;
        bool profileOff;
        int tolerance;
    } cases[] = {
        {L"icc_srgb_rgb24_16x8.jxr", L"card_rgb24_16x8.jxr", false, 0},
        {L"icc_damaged_cut_rgb24_16x8.jxr", L"card_rgb24_16x8.jxr", false, 0},
        {L"icc_damaged_random_rgb24_16x8.jxr", L"card_rgb24_16x8.jxr", false, 0},
        {L"icc_cmyk_on_rgb24_16x8.jxr", L"card_rgb24_16x8.jxr", false, 0},
        {L"icc_adobe_rgb24_16x8.jxr", L"card_rgb24_16x8.jxr", true, 0},
        {L"icc_gray_gray16_16x8.jxr", L"card_gray16_16x8.jxr", true, 0},
        {L"icc_cmyk_cmyk32_16x8.jxr", L"card_cmyk32_16x8.jxr", true, 0},
        {L"card_rgb48_16x8.jxr", L"card_rgb24_16x8.jxr", false, testing_support::SixteenBitConverterTolerance()},
        {L"card_rgba64_16x8.jxr", L"card_bgra32_16x8.jxr", false, testing_support::SixteenBitConverterTolerance()},
        {L"card_gray16_16x8.jxr", L"card_gray8_16x8.jxr", false, testing_support::SixteenBitConverterTolerance()},
    };
    for (const auto& c : cases) {
        SettingsKeyGuard::WriteDword(L"ColorProfile", c.profileOff ? 0 : 1);
        const Bytes want = Decoded(c.card);
        ExpectNear(c.fixture, want, c.tolerance, c.tolerance);
    }
}

// --- input modes ------------------------------------------------------------------

// Every output depth the images reach (1, 8, 16 and 24 bits, from alpha too):
// the header's image size is the rows' bytes with their padding, for loaders
// that copy exactly that many.
TEST_F(GetPictureTest, MemoryAndNarrowNamesGiveTheSameBytesAsFiles) {
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    struct Case {
        const wchar_t* name;
        std::size_t pixelBytes;  // stride x height
    };
    for (const Case& c :
         {Case{L"rgb24_5x3.jxr", 48}, Case{L"bw_33x2.jxr", 16}, Case{L"gray8_5x2.jxr", 16}, Case{L"bgr555_4x2.jxr", 16},
          Case{L"bgra32_3x2.jxr", 24}, Case{L"rgb24_640x480.jxr", 1920 * 480}}) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        Picture file;
        Picture memory;
        Picture narrow;
        Decode(file, c.name, Mode::File);
        Decode(memory, c.name, Mode::Memory);
        Decode(narrow, c.name, Mode::NarrowFile);
        ASSERT_EQ(file.result, 0);
        ASSERT_EQ(memory.result, 0);
        ASSERT_EQ(narrow.result, 0);
        EXPECT_EQ(file.Info().biSizeImage, c.pixelBytes);
        EXPECT_EQ(memory.HeaderBytes(), file.HeaderBytes());
        EXPECT_EQ(narrow.HeaderBytes(), file.HeaderBytes());
        EXPECT_EQ(memory.PixelBytes(c.pixelBytes), file.PixelBytes(c.pixelBytes));
        EXPECT_EQ(narrow.PixelBytes(c.pixelBytes), file.PixelBytes(c.pixelBytes));
    }
}

TEST_F(GetPictureTest, NotAJpegXrImageLeavesTheHandlesAlone) {
    Picture picture;
    Decode(picture, L"png_named.jxr");
    EXPECT_EQ(picture.result, 2);
    EXPECT_TRUE(picture.Untouched());
}

// --- progress ------------------------------------------------------------------------

constexpr LONG_PTR kUserTag = static_cast<LONG_PTR>(sizeof(void*) == 8 ? 0x0123456789ABCDEFll : 0x12345678);

TEST_F(GetPictureTest, ProgressIsReportedAtFixedSteps) {
    for (const wchar_t* name : {L"rgb24_3x2.jxr", L"bgra32_3x2.jxr", L"gray8_5x2.jxr"}) {
        for (Mode mode : {Mode::File, Mode::Memory}) {
            ProgressLog log;
            Picture picture;
            Decode(picture, name, mode, RecordProgress, reinterpret_cast<LONG_PTR>(&log));
            ASSERT_EQ(picture.result, 0);
            EXPECT_EQ(log.numerators, (std::vector<int>{0, 10, 30, 50, 60, 70, 80, 90, 100}));
            EXPECT_EQ(log.denominators, std::vector<int>(9, 100));
            EXPECT_EQ(log.users, std::vector<LONG_PTR>(9, reinterpret_cast<LONG_PTR>(&log)));
        }
    }
}

int WINAPI CheckUserValue(int, int, LONG_PTR user) { return user == kUserTag ? 0 : 1; }

TEST_F(GetPictureTest, UserValuePassesThroughWhole) {
    Picture picture;
    Decode(picture, L"rgb24_3x2.jxr", Mode::File, CheckUserValue, kUserTag);
    EXPECT_EQ(picture.result, 0);
}

TEST_F(GetPictureTest, NullCallbackWorks) {
    Picture picture;
    Decode(picture, L"rgb24_3x2.jxr", Mode::File, nullptr, kUserTag);
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(picture.Rows(12, 3, 1), (Bytes{100, 110, 120}));
}

TEST_F(GetPictureTest, StopBeforeTheLastReportLeavesTheHandlesAlone) {
    const std::vector<int> steps = {0, 10, 30, 50, 60, 70, 80, 90};
    for (const wchar_t* name : {L"rgb24_5x3.jxr", L"bgra32_3x2.jxr", L"bw_33x2.jxr"}) {
        for (int stop : steps) {
            SCOPED_TRACE(testing::Message() << "stop at " << stop);
            ProgressLog log;
            log.stopAt = stop;
            Picture picture;
            Decode(picture, name, Mode::File, RecordProgress, reinterpret_cast<LONG_PTR>(&log));
            EXPECT_EQ(picture.result, 1);
            EXPECT_TRUE(picture.Untouched());
            ASSERT_FALSE(log.numerators.empty());
            EXPECT_EQ(log.numerators.back(), stop);  // no report after the stop
        }
    }
}

TEST_F(GetPictureTest, StopAtTheLastReportLeavesBothBlocksWithTheHost) {
    for (Mode mode : {Mode::File, Mode::Memory}) {
        ProgressLog log;
        log.stopAt = 100;
        Picture picture;
        Decode(picture, L"rgb24_3x2.jxr", mode, RecordProgress, reinterpret_cast<LONG_PTR>(&log));
        EXPECT_EQ(picture.result, 1);
        ASSERT_NE(picture.header, kUntouchedHeader);
        ASSERT_NE(picture.bits, kUntouchedBits);
        EXPECT_EQ(::LocalSize(picture.header), 44u);
        EXPECT_EQ(picture.Info().biBitCount, 24);
        EXPECT_EQ(picture.Rows(12, 9, 2), (Bytes{100, 110, 120, 130, 140, 150, 160, 170, 180,  //
                                                 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    }
}

// --- pictures too large to hold ---------------------------------------------------

// rgb24_3x2.jxr whose codestream and container state another size (the
// codestream's short header holds width - 1 and height - 1 as 16-bit
// big-endian numbers at bytes 12 to 15 after "WMPHOTO").
std::wstring ImageStatingSize(std::uint32_t width, std::uint32_t height) {
    Bytes bytes = testing_support::ReadFileBytes(FixturePath(L"rgb24_3x2.jxr"));
    const std::size_t at = testing_support::ImageHeaderOffset(bytes);
    EXPECT_LT(at, bytes.size());
    if (at == bytes.size()) return {};
    bytes[at + 12] = static_cast<std::uint8_t>((width - 1) >> 8);
    bytes[at + 13] = static_cast<std::uint8_t>(width - 1);
    bytes[at + 14] = static_cast<std::uint8_t>((height - 1) >> 8);
    bytes[at + 15] = static_cast<std::uint8_t>(height - 1);
    // Container tags 0xBC80 (width) and 0xBC81 (height), LONG values.
    if (std::uint8_t* entry = testing_support::DirectoryEntry(bytes, 0xBC80)) std::memcpy(entry + 8, &width, 4);
    if (std::uint8_t* entry = testing_support::DirectoryEntry(bytes, 0xBC81)) std::memcpy(entry + 8, &height, 4);
    return testing_support::WriteScratchFile(
        L"stated_" + std::to_wstring(width) + L"x" + std::to_wstring(height) + L".jxr", bytes);
}

TEST_F(GetPictureTest, ImageTooLargeToCopyInOneCallGivesOutOfMemory) {
    // 65536 x 65536 x 3 bytes: 12 GB, more than one CopyPixels can take.
    const std::wstring path = ImageStatingSize(65536, 65536);
    ASSERT_FALSE(path.empty());
    susie::PictureInfo info{};
    ASSERT_EQ(plugin.GetPictureInfoW(path.c_str(), 0, susie::kFromFile, &info), 0);
    ASSERT_EQ(info.width, 65536);
    ASSERT_EQ(info.height, 65536);

    Picture file;
    file.result = plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &file.header, &file.bits, nullptr, 0);
    EXPECT_EQ(file.result, 4);
    EXPECT_TRUE(file.Untouched());

    const Bytes bytes = testing_support::ReadFileBytes(path);
    Picture memory;
    memory.result = plugin.GetPicture(reinterpret_cast<const char*>(bytes.data()), static_cast<LONG_PTR>(bytes.size()),
                                      susie::kFromMemory, &memory.header, &memory.bits, nullptr, 0);
    EXPECT_EQ(memory.result, 4);
    EXPECT_TRUE(memory.Untouched());
}

TEST_F(GetPictureTest, ImageTooLargeForTheProcessGivesOutOfMemory) {
    // 30000 x 30000 x 3 bytes: 2.7 GB fits one call but not a 32-bit process.
    if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit process can allocate 2.7 GB";
    const std::wstring path = ImageStatingSize(30000, 30000);
    ASSERT_FALSE(path.empty());
    Picture picture;
    picture.result = plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, nullptr, 0);
    EXPECT_EQ(picture.result, 4);
    EXPECT_TRUE(picture.Untouched());
}

// --- release on every path ------------------------------------------------------------

TEST_F(GetPictureTest, NothingIsKeptAfterStopsFailuresAndSuccesses) {
    auto request = [&](int stop, const wchar_t* name) {
        ProgressLog log;
        log.stopAt = stop;
        Picture picture;
        Decode(picture, name, Mode::File, RecordProgress, reinterpret_cast<LONG_PTR>(&log));
    };
    const std::wstring huge = ImageStatingSize(65536, 65536);
    auto round = [&] {
        for (int stop : {30, 50, 60, 70, 80, 90, 100, -1}) request(stop, L"rgb24_640x480.jxr");
        request(80, L"bgra32_3x2.jxr");
        request(-1, L"png_named.jxr");
        Picture tooLarge;
        tooLarge.result =
            plugin.GetPictureW(huge.c_str(), 0, susie::kFromFile, &tooLarge.header, &tooLarge.bits, nullptr, 0);
        EXPECT_EQ(tooLarge.result, 4);
    };
    round();  // the imaging component settles in
    round();
    const std::uint64_t memoryBefore = hostkit::CommittedPrivateBytes();
    const int handlesBefore = hostkit::OpenHandleCount();
    for (int i = 0; i < 5; ++i) round();
    const std::uint64_t memoryAfter = hostkit::CommittedPrivateBytes();
    const int handlesAfter = hostkit::OpenHandleCount();
    // Each round makes eight pictures of 900 KB and more; a leak of any of
    // them would show as megabytes.
    EXPECT_LT(memoryAfter, memoryBefore + 2 * 1024 * 1024) << "before " << memoryBefore << ", after " << memoryAfter;
    EXPECT_EQ(handlesAfter, handlesBefore);
}

}  // namespace
