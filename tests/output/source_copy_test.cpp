// The copy out of the prepared image source: one full-width CopyPixels at
// the packed pitch, every size checked in 64 bits before anything is
// allocated or copied; and the palette completion with its grey ramp.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "output/buffer_builder.h"
#include "output/fake_decoder.h"
#include "output/palette.h"
#include "output/native_copy.h"

namespace {

using Microsoft::WRL::ComPtr;
using rorurera::PixelBuffer;
using rorurera::PluginResult;

// The copy's result as the request reports it.
PluginResult CopyResult(IWICBitmapSource* source, UINT width, UINT height, UINT bits,
                        const std::vector<std::uint32_t>& palette, PixelBuffer& buffer) {
    const HRESULT hr = rorurera::CopySourcePixels(source, width, height, bits, palette, buffer);
    return SUCCEEDED(hr) ? PluginResult::Success : rorurera::ResultFromHresult(hr);
}

// The copy is made from the made-up frame: it states any size, records how
// it is asked for its pixels and fills the buffer with a counting pattern.
using RecordingSource = testing_support::FakeFrame;

// --- sizes of the one copy --------------------------------------------------

TEST(PackedCopySize, PitchIsThePackedRow) {
    UINT pitch = 0;
    UINT size = 0;
    ASSERT_TRUE(rorurera::PackedCopySize(5, 3, 24, pitch, size));
    EXPECT_EQ(pitch, 15u);
    EXPECT_EQ(size, 45u);
    ASSERT_TRUE(rorurera::PackedCopySize(33, 2, 1, pitch, size));
    EXPECT_EQ(pitch, 5u);
    EXPECT_EQ(size, 10u);
    ASSERT_TRUE(rorurera::PackedCopySize(6000, 4000, 32, pitch, size));
    EXPECT_EQ(pitch, 24000u);
    EXPECT_EQ(size, 96000000u);
    // The largest buffer one call can take.
    ASSERT_TRUE(rorurera::PackedCopySize(0xFFFF, 0x10001, 8, pitch, size));
    EXPECT_EQ(pitch, 0xFFFFu);
    EXPECT_EQ(size, 0xFFFFFFFFu);
}

TEST(PackedCopySize, RefusesWhatOneCallCannotTake) {
    UINT pitch = 7;
    UINT size = 7;
    EXPECT_FALSE(rorurera::PackedCopySize(65536, 65536, 24, pitch, size));     // 12 GB buffer
    EXPECT_FALSE(rorurera::PackedCopySize(0x10000, 0x10000, 8, pitch, size));  // exactly 4 GB
    EXPECT_FALSE(rorurera::PackedCopySize(0x80000000u, 1, 1, pitch, size));    // width past INT
    EXPECT_FALSE(rorurera::PackedCopySize(1, 0x80000000u, 1, pitch, size));    // height past INT
    EXPECT_FALSE(rorurera::PackedCopySize(0x7FFFFFFFu, 1, 32, pitch, size));   // pitch past UINT
    EXPECT_EQ(pitch, 7u);
    EXPECT_EQ(size, 7u);
}

// --- the copy ---------------------------------------------------------------------

TEST(CopySourcePixels, OneFullWidthCopyAtThePackedPitch) {
    RecordingSource source(5, 3);
    PixelBuffer buffer;
    ASSERT_EQ(CopyResult(&source, 5, 3, 24, {}, buffer), PluginResult::Success);
    EXPECT_EQ(source.copies, 1);
    EXPECT_EQ(source.lastRect.X, 0);
    EXPECT_EQ(source.lastRect.Y, 0);
    EXPECT_EQ(source.lastRect.Width, 5);
    EXPECT_EQ(source.lastRect.Height, 3);
    EXPECT_EQ(source.lastStride, 15u);
    EXPECT_EQ(source.lastSize, 45u);

    ASSERT_TRUE(buffer.layout);
    EXPECT_EQ(buffer.layout->stride, 15u);
    EXPECT_EQ(buffer.layout->bitsPerPixel, 24u);
    EXPECT_GE(::LocalSize(buffer.block.get()), 49u);
    std::vector<std::uint8_t> expected(45);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(testing_support::BufferBytes(buffer, 45), expected);
}

TEST(CopySourcePixels, SizesOneCallCannotTakeGiveOutOfMemoryWithoutACopy) {
    struct Case {
        UINT width, height, bits;
    };
    for (const Case& c : {Case{65536, 65536, 24}, Case{0x10000, 0x10000, 8}, Case{0x7FFFFFFF, 3, 32},
                          Case{0x80000000u, 1, 8}, Case{100000, 100000, 32}}) {
        RecordingSource source(c.width, c.height);
        PixelBuffer buffer = testing_support::MakeBuffer(1, 1, 24, 4, {1, 2, 3, 0});
        const HLOCAL block = buffer.block.get();
        EXPECT_EQ(CopyResult(&source, c.width, c.height, c.bits, {}, buffer), PluginResult::OutOfMemory)
            << c.width << " x " << c.height << " x " << c.bits;
        EXPECT_EQ(source.copies, 0);
        EXPECT_EQ(buffer.block.get(), block);
        EXPECT_EQ(buffer.layout->width, 1u);
        EXPECT_FALSE(buffer.spare);
    }
}

// A copy that fits one call (2.7 GB) but not a 32-bit process is refused
// when its buffer cannot be allocated, again without a copy.
TEST(CopySourcePixels, BufferThatCannotBeAllocatedGivesOutOfMemory) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit process can allocate 2.7 GB";
    RecordingSource source(30000, 30000);
    PixelBuffer buffer;
    EXPECT_EQ(CopyResult(&source, 30000, 30000, 24, {}, buffer), PluginResult::OutOfMemory);
    EXPECT_EQ(source.copies, 0);
    EXPECT_FALSE(buffer.block);
}

TEST(CopySourcePixels, FailedCopyIsMappedAndLeavesTheBufferAlone) {
    struct Case {
        HRESULT hr;
        PluginResult expected;
    };
    for (const Case& c : {Case{WINCODEC_ERR_BADIMAGE, PluginResult::UnknownFormat},
                          Case{E_OUTOFMEMORY, PluginResult::OutOfMemory}, Case{E_FAIL, PluginResult::InternalError},
                          Case{WINCODEC_ERR_IMAGESIZEOUTOFRANGE, PluginResult::InternalError}}) {
        RecordingSource source(3, 2);
        source.copyResult = c.hr;
        PixelBuffer buffer;
        EXPECT_EQ(CopyResult(&source, 3, 2, 24, {}, buffer), c.expected);
        EXPECT_EQ(source.copies, 1);
        EXPECT_FALSE(buffer.layout);
        EXPECT_FALSE(buffer.block);
        EXPECT_FALSE(buffer.spare);
    }
    PixelBuffer buffer;
    EXPECT_EQ(CopyResult(nullptr, 3, 2, 24, {}, buffer), PluginResult::InternalError);
}

// --- palette completion -------------------------------------------------------

class CompletePaletteTest : public testing::Test {
protected:
    void SetUp() override {
        initialised_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_HRESULT_SUCCEEDED(
            ::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
    }
    void TearDown() override {
        factory.Reset();
        if (initialised_) ::CoUninitialize();
    }

    // An indexed bitmap carrying the given colours, or none.
    ComPtr<IWICBitmap> IndexedBitmap(const WICPixelFormatGUID& format, std::vector<WICColor> colors) {
        ComPtr<IWICBitmap> bitmap;
        EXPECT_HRESULT_SUCCEEDED(factory->CreateBitmap(4, 2, format, WICBitmapCacheOnLoad, &bitmap));
        if (!colors.empty()) {
            ComPtr<IWICPalette> palette;
            EXPECT_HRESULT_SUCCEEDED(factory->CreatePalette(&palette));
            EXPECT_HRESULT_SUCCEEDED(palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size())));
            EXPECT_HRESULT_SUCCEEDED(bitmap->SetPalette(palette.Get()));
        }
        return bitmap;
    }

    ComPtr<IWICImagingFactory> factory;

private:
    bool initialised_ = false;
};

std::vector<std::uint32_t> Ramp(std::vector<std::uint32_t> greys) {
    for (auto& g : greys) g = g << 16 | g << 8 | g;
    greys.push_back(0x00FFFFFF);
    return greys;
}

TEST_F(CompletePaletteTest, NoColoursGiveTheRampAlone) {
    const auto one = rorurera::CompletePalette(factory.Get(), nullptr, 1);
    EXPECT_EQ(one, (std::vector<std::uint32_t>{0x00000000, 0x00FFFFFF}));

    const auto four = rorurera::CompletePalette(factory.Get(), nullptr, 4);
    EXPECT_EQ(four, Ramp({0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238}));

    const auto eight = rorurera::CompletePalette(nullptr, nullptr, 8);
    ASSERT_EQ(eight.size(), 256u);
    for (std::uint32_t i = 0; i < 255; ++i) EXPECT_EQ(eight[i], i * 0x010101u) << i;
    EXPECT_EQ(eight[255], 0x00FFFFFFu);
}

TEST_F(CompletePaletteTest, SourceWithoutPaletteGivesTheRamp) {
    ComPtr<IWICBitmap> bitmap = IndexedBitmap(GUID_WICPixelFormat8bppIndexed, {});
    const auto colors = rorurera::CompletePalette(factory.Get(), bitmap.Get(), 8);
    ASSERT_EQ(colors.size(), 256u);
    EXPECT_EQ(colors[0], 0u);
    EXPECT_EQ(colors[128], 0x808080u);
    EXPECT_EQ(colors[254], 0xFEFEFEu);
    EXPECT_EQ(colors[255], 0x00FFFFFFu);
}

TEST_F(CompletePaletteTest, SourceColoursComeFirstThenTheRamp) {
    ComPtr<IWICBitmap> bitmap = IndexedBitmap(GUID_WICPixelFormat4bppIndexed, {0xFF112233, 0x80445566, 0x00778899});
    const auto colors = rorurera::CompletePalette(factory.Get(), bitmap.Get(), 4);
    // 13 entries remain: a ramp of 12 (255 * i / 12) and white.
    std::vector<std::uint32_t> expected = {0xFF112233, 0x80445566, 0x00778899};
    for (std::uint32_t g : Ramp({0, 21, 42, 63, 85, 106, 127, 148, 170, 191, 212, 233})) expected.push_back(g);
    EXPECT_EQ(colors, expected);
}

TEST_F(CompletePaletteTest, FullOrLargerPalettesAreCutToTheDepth) {
    ComPtr<IWICBitmap> bitmap = IndexedBitmap(GUID_WICPixelFormat1bppIndexed, {0xFF0000FF, 0xFF00FF00});
    EXPECT_EQ(rorurera::CompletePalette(factory.Get(), bitmap.Get(), 1),
              (std::vector<std::uint32_t>{0xFF0000FF, 0xFF00FF00}));

    std::vector<WICColor> many(16);
    for (UINT i = 0; i < 16; ++i) many[i] = 0xFF000000u + i;
    ComPtr<IWICBitmap> larger = IndexedBitmap(GUID_WICPixelFormat4bppIndexed, many);
    EXPECT_EQ(rorurera::CompletePalette(factory.Get(), larger.Get(), 1),
              (std::vector<std::uint32_t>{0xFF000000, 0xFF000001}));
}

TEST_F(CompletePaletteTest, OneColourShortGetsWhiteAlone) {
    ComPtr<IWICBitmap> bitmap = IndexedBitmap(GUID_WICPixelFormat1bppIndexed, {0xFF123456});
    EXPECT_EQ(rorurera::CompletePalette(factory.Get(), bitmap.Get(), 1),
              (std::vector<std::uint32_t>{0xFF123456, 0x00FFFFFF}));
}

TEST_F(CompletePaletteTest, DeeperPicturesHaveNone) {
    EXPECT_TRUE(rorurera::CompletePalette(factory.Get(), nullptr, 16).empty());
    EXPECT_TRUE(rorurera::CompletePalette(factory.Get(), nullptr, 24).empty());
}

}  // namespace
