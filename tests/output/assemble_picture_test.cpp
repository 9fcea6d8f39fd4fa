// AssemblePicture on a decoder made up by the test: the one CopyPixels it
// makes (full width, packed pitch), the DIB rows that come out, the mapping
// of each failing call, sizes that cannot be honoured, a stage that runs out
// of memory, and every reference given back.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

#include "output/fake_decoder.h"
#include "output/picture_assembly.h"
#include "support/settings_key_guard.h"
#include "support/host_slots.h"
#include "support/platform.h"

// The module's attach and detach, stood in for.
namespace {

using Microsoft::WRL::ComPtr;
using rorurera::PluginResult;
using rorurera::ProgressReporter;
using testing_support::SettingsKeyGuard;
using Bytes = std::vector<std::uint8_t>;

using testing_support::kUntouchedBits;
using testing_support::kUntouchedHeader;

std::vector<int> g_reports;
int WINAPI Record(int numerator, int, LONG_PTR) {
    g_reports.push_back(numerator);
    return 0;
}

// The fixture stands as the host: it holds the two slots the request fills.
class AssemblePictureTest : public testing::Test, protected testing_support::HostSlots {
protected:
    void SetUp() override {
        initialised_ = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_OK;
        ASSERT_HRESULT_SUCCEEDED(
            ::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory_)));
        g_reports.clear();
    }
    void TearDown() override {
        Free();
        // Whatever the request took from the decoder it gave back.
        EXPECT_EQ(decoder.references, 1u);
        EXPECT_EQ(decoder.frame.references, 1u);
        factory_.Reset();
        if (initialised_) ::CoUninitialize();
    }

    PluginResult Assemble() {
        return rorurera::AssemblePicture(factory_.Get(), &decoder, &header, &bits, ProgressReporter(Record, 0));
    }

    testing_support::FakeDecoder decoder;
    SettingsKeyGuard settings;

private:
    ComPtr<IWICImagingFactory> factory_;
    bool initialised_ = false;
};

// Bytes first..last (each the pattern's i + 1), then `pad` zero bytes.
Bytes CountingRow(int first, int last, int pad) {
    Bytes out;
    for (int v = first; v <= last; ++v) out.push_back(static_cast<std::uint8_t>(v));
    out.insert(out.end(), static_cast<std::size_t>(pad), 0);
    return out;
}

TEST_F(AssemblePictureTest, OneCopyAtThePackedPitchThenBottomUpDibRows) {
    decoder.frame.width = 5;
    decoder.frame.height = 3;
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(decoder.frameFetches, 1);  // the frame is asked for once
    EXPECT_EQ(decoder.frame.copies, 1);
    EXPECT_EQ(decoder.frame.lastRect.X, 0);
    EXPECT_EQ(decoder.frame.lastRect.Y, 0);
    EXPECT_EQ(decoder.frame.lastRect.Width, 5);
    EXPECT_EQ(decoder.frame.lastRect.Height, 3);
    EXPECT_EQ(decoder.frame.lastStride, 15u);
    EXPECT_EQ(decoder.frame.lastSize, 45u);

    EXPECT_EQ(::LocalSize(header), 44u);
    EXPECT_EQ(Info().biWidth, 5);
    EXPECT_EQ(Info().biHeight, 3);
    EXPECT_EQ(Info().biBitCount, 24);
    EXPECT_EQ(Info().biXPelsPerMeter, 0);  // the frame says 300 dpi
    EXPECT_GE(::LocalSize(bits), 52u);
    Bytes expected = CountingRow(31, 45, 1);
    for (std::uint8_t b : CountingRow(16, 30, 1)) expected.push_back(b);
    for (std::uint8_t b : CountingRow(1, 15, 1)) expected.push_back(b);
    EXPECT_EQ(PixelBytes(48), expected);
    EXPECT_EQ(g_reports, (std::vector<int>{30, 50, 60, 70, 80, 90, 100}));
}

TEST_F(AssemblePictureTest, ThirtyTwoBitFramesBecomeTwentyFourBits) {
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    decoder.frame.width = 3;
    decoder.frame.height = 2;
    decoder.frame.format = GUID_WICPixelFormat32bppBGRA;
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(decoder.frame.lastStride, 12u);
    EXPECT_EQ(decoder.frame.lastSize, 24u);
    EXPECT_EQ(Info().biBitCount, 24);
    EXPECT_EQ(::LocalSize(header), 44u);
    // Source pixels (1,2,3,4) (5,6,7,8) (9,10,11,12) / (13..16) (17..20) (21..24),
    // alpha dropped, bottom row first, 12-byte rows.
    EXPECT_EQ(PixelBytes(24), (Bytes{13, 14, 15, 17, 18, 19, 21, 22, 23, 0, 0, 0,  //
                                     1,  2,  3,  5,  6,  7,  9,  10, 11, 0, 0, 0}));
}

TEST_F(AssemblePictureTest, EightBitGreyGetsTheRampAndPackedRows) {
    decoder.frame.width = 5;
    decoder.frame.height = 2;
    decoder.frame.format = GUID_WICPixelFormat8bppGray;
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(decoder.frame.lastStride, 5u);
    EXPECT_EQ(decoder.frame.lastSize, 10u);
    EXPECT_EQ(::LocalSize(header), 44u + 1024u);
    EXPECT_EQ(Info().biClrUsed, 256u);
    std::uint32_t entries[256];
    std::memcpy(entries, static_cast<const std::uint8_t*>(header) + 40, sizeof(entries));
    EXPECT_EQ(entries[0], 0u);
    EXPECT_EQ(entries[100], 0x646464u);
    EXPECT_EQ(entries[254], 0xFEFEFEu);
    EXPECT_EQ(entries[255], 0x00FFFFFFu);
    EXPECT_EQ(PixelBytes(16), (Bytes{6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST_F(AssemblePictureTest, FailingCallsAreMappedAndLeaveTheHandlesAlone) {
    struct Case {
        HRESULT hr;
        PluginResult expected;
    };
    const Case cases[] = {{WINCODEC_ERR_BADIMAGE, PluginResult::UnknownFormat},
                          {E_OUTOFMEMORY, PluginResult::OutOfMemory},
                          {E_FAIL, PluginResult::InternalError}};
    decoder.frame.width = 3;
    decoder.frame.height = 2;
    for (const Case& c : cases) {
        decoder.frame.sizeResult = c.hr;
        EXPECT_EQ(Assemble(), c.expected);
        decoder.frame.sizeResult = S_OK;
        decoder.frame.resolutionResult = c.hr;
        EXPECT_EQ(Assemble(), c.expected);
        decoder.frame.resolutionResult = S_OK;
        decoder.frame.copyResult = c.hr;
        EXPECT_EQ(Assemble(), c.expected);
        decoder.frame.copyResult = S_OK;
        EXPECT_TRUE(Untouched());
    }
    EXPECT_EQ(decoder.frame.copies, 3);
}

// The largest block LocalAlloc gives right now (to 1 MB), up to `ceiling`.
std::uint64_t LargestAllocation(std::uint64_t ceiling) {
    std::uint64_t low = 0;
    std::uint64_t high = ceiling;
    while (high - low > (1 << 20)) {
        const std::uint64_t middle = low + (high - low) / 2;
        if (HLOCAL block = ::LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(middle))) {
            ::LocalFree(block);
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

// A picture whose copy fits the 32-bit process's largest free block but for
// which no second block of its size is left: the stages work in the copy's
// block, so the picture is handed over in it.
TEST_F(AssemblePictureTest, PictureThatLeavesNoRoomForASecondBlockComesOut) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit process has room for two such blocks";
    constexpr std::uint64_t kSlack = 8 << 20;
    const std::uint64_t largest = LargestAllocation(0x7FFFFFFF);
    std::uint64_t beside = 0;
    if (HLOCAL held = ::LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(largest))) {
        beside = LargestAllocation(largest);
        ::LocalFree(held);
    }
    const std::uint64_t block = largest - kSlack;
    ASSERT_GT(block, beside + kSlack) << "the address space has room for two blocks of " << block;

    decoder.frame.width = 4096;
    decoder.frame.height = static_cast<UINT>(block / (4096 * 4));
    decoder.frame.format = GUID_WICPixelFormat32bppBGRA;
    decoder.frame.fillPixels = false;
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(decoder.frame.copies, 1);
    EXPECT_EQ(Info().biBitCount, 24);
    EXPECT_EQ(Info().biHeight, static_cast<LONG>(decoder.frame.height));
    EXPECT_GE(::LocalSize(bits), std::uint64_t{decoder.frame.height} * 4096 * 3 + 4);
    EXPECT_EQ(g_reports, (std::vector<int>{30, 50, 60, 70, 80, 90, 100}));
}

// Little-endian 16-bit words as a frame stores them.
Bytes Words(std::initializer_list<std::uint16_t> words) {
    Bytes out(words.size() * 2);
    std::memcpy(out.data(), std::data(words), out.size());
    return out;
}

// Our own conversion of the stored pixels, read with one copy at the packed
// pitch, where the converter refuses (Wine's, at Initialize for half floats,
// at CopyPixels for 48bppRGB; extended-range 10-10-10-2 it refuses too) and under Wine where it converts wrongly
// (Wine's takes the high byte of 16-bit words of 64bppRGBA), seen in a 2 x 1
// frame's pixels (alpha dropped). Linear 0.5 and 0x8000 encode to 188, 0.25
// to 137, 0x1234 to 75, 0x00FF and 0x0100 to 13.
TEST_F(AssemblePictureTest, OwnConversionWhereTheConverterRefusesOrMisreads) {
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    SettingsKeyGuard::WriteDword(L"HdrToneMap", 0);  // values above 1.0 clipped
    const bool wine = testing_support::RunningUnderWine();
    const struct {
        const char* name;
        const GUID& format;
        Bytes stored;
        Bytes row;  // B, G, R of both pixels, under Wine
    } cases[] = {
        {"64bppRGBA",
         GUID_WICPixelFormat64bppRGBA,
         Words({0x8000, 0xFFFF, 0x1234, 0xFFFF, 0x00FF, 0x0100, 0, 0}),
         {18, 255, 128, 0, 1, 1}},  // round(v * 255 / 65535)
        {"64bppRGBAHalf: 1, 0.5, 0 / 0.25, 2, NaN",
         GUID_WICPixelFormat64bppRGBAHalf,
         Words({0x3C00, 0x3800, 0, 0x3C00, 0x3400, 0x4000, 0x7E00, 0x3800}),
         {0, 188, 255, 0, 255, 137}},
        {"48bppRGB",
         GUID_WICPixelFormat48bppRGB,
         Words({0x8000, 0xFFFF, 0, 0, 0x4000, 0xFFFF}),
         {0, 255, 128, 255, 64, 0}},
        // R, G, B, A = 639, 894, 384, 3 and 1023, 0, 500, 0: (v - 384) / 510
        {"32bppRGBA1010102XR",
         GUID_WICPixelFormat32bppRGBA1010102XR,
         Words({0xFA7F, 0xD80D, 0x03FF, 0x1F40}),
         {0, 255, 128, 58, 0, 255}},
    };
    decoder.frame.width = 2;
    decoder.frame.height = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        decoder.frame.format = c.format;
        decoder.frame.content = c.stored;
        decoder.frame.copies = 0;
        decoder.frameFetches = 0;
        ASSERT_EQ(Assemble(), PluginResult::Success);
        EXPECT_EQ(decoder.frameFetches, 1);
        if (wine) {  // Windows converts all three
            EXPECT_EQ(PixelBytes(6), c.row);
            EXPECT_EQ(decoder.frame.copies, 1);
            EXPECT_EQ(decoder.frame.lastStride, c.stored.size());  // the packed pitch
        }
        Free();
    }
}

// Under the default settings (blend over white), a picture whose alpha is
// all 0 shows its colours under Wine, which loses alpha, and the
// background on Windows; one alpha above 0 makes Wine blend as well.
TEST_F(AssemblePictureTest, AlphaAllZeroCountsAsLostUnderWineOnly) {
    const bool lost = !testing_support::WicKeepsJpegXrAlpha();
    decoder.frame.width = 2;
    decoder.frame.height = 1;
    decoder.frame.format = GUID_WICPixelFormat32bppBGRA;
    decoder.frame.content = {10, 20, 30, 0, 40, 50, 60, 0};
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(PixelBytes(6), (lost ? Bytes{10, 20, 30, 40, 50, 60} : Bytes(6, 255)));
    Free();
    decoder.frame.content[7] = 255;
    ASSERT_EQ(Assemble(), PluginResult::Success);
    EXPECT_EQ(PixelBytes(6), (Bytes{255, 255, 255, 40, 50, 60}));
}

}  // namespace
