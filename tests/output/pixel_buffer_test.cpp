// Working pictures: row pitches and block sizes, creation with and without
// the spare block, adoption, and the hand-over of the two blocks the host
// receives.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "output/buffer_builder.h"
#include "output/pixel_buffer.h"

namespace {

using rorurera::AdoptPixelBuffer;
using rorurera::CreatePixelBuffer;
using rorurera::HandOverBitmap;
using rorurera::PixelBuffer;
using rorurera::PluginResult;
using rorurera::RowPacking;
using rorurera::UniqueHlocal;
using testing_support::MakeBuffer;

// --- pitches and sizes ---------------------------------------------------

TEST(PixelSizes, PackedAndDibPitches) {
    EXPECT_EQ(rorurera::PackedRowBytes(3, 24), 9u);
    EXPECT_EQ(rorurera::DibStride(3, 24), 12u);
    EXPECT_EQ(rorurera::PackedRowBytes(5, 24), 15u);
    EXPECT_EQ(rorurera::DibStride(5, 24), 16u);
    EXPECT_EQ(rorurera::PackedRowBytes(33, 1), 5u);
    EXPECT_EQ(rorurera::DibStride(33, 1), 8u);
    EXPECT_EQ(rorurera::PackedRowBytes(5, 8), 5u);
    EXPECT_EQ(rorurera::DibStride(5, 8), 8u);
    EXPECT_EQ(rorurera::PackedRowBytes(3, 4), 2u);
    EXPECT_EQ(rorurera::DibStride(3, 4), 4u);
    EXPECT_EQ(rorurera::PackedRowBytes(4, 16), 8u);
    EXPECT_EQ(rorurera::DibStride(4, 16), 8u);
    EXPECT_EQ(rorurera::DibStride(5, 32), 20u);
    EXPECT_EQ(rorurera::DibStride(32, 1), 4u);
}

TEST(PixelSizes, PitchesOfTheLargestWidthNeedSixtyFourBits) {
    EXPECT_EQ(rorurera::PackedRowBytes(0xFFFFFFFFu, 32), 0x3FFFFFFFCull);
    EXPECT_EQ(rorurera::DibStride(0xFFFFFFFFu, 24), 0x300000000ull);
    EXPECT_EQ(rorurera::PackedRowBytes(0xFFFFFFFFu, 1), 0x20000000ull);
}

TEST(PixelSizes, BlockSizeCarriesFourSpareBytesAndRefusesOverflow) {
    std::uint64_t size = 0;
    ASSERT_TRUE(rorurera::PixelBlockSize(2, 12, size));
    EXPECT_EQ(size, 28u);
    ASSERT_TRUE(rorurera::PixelBlockSize(0, 12, size));
    EXPECT_EQ(size, 4u);
    ASSERT_TRUE(rorurera::PixelBlockSize(0xFFFFFFFFu, 0xFFFFFFFFull, size));
    EXPECT_EQ(size, 0xFFFFFFFE00000005ull);
    size = 77;
    EXPECT_FALSE(rorurera::PixelBlockSize(0xFFFFFFFFu, 0x3FFFFFFFCull, size));
    EXPECT_FALSE(rorurera::PixelBlockSize(0xFFFFFFFFu, 0x100000001ull, size));
    EXPECT_FALSE(rorurera::PixelBlockSize(2, 0x8000000000000000ull, size));
    EXPECT_EQ(size, 77u);
}

// --- creation ------------------------------------------------------------------

TEST(CreatePixelBuffer, MakesAFixedBlockOfHeightTimesStridePlusFour) {
    PixelBuffer buffer;
    UniqueHlocal spare;
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 24, {}, spare), PluginResult::Success);
    ASSERT_TRUE(buffer.layout);
    EXPECT_EQ(buffer.layout->width, 3u);
    EXPECT_EQ(buffer.layout->height, 2u);
    EXPECT_EQ(buffer.layout->bitsPerPixel, 24u);
    EXPECT_EQ(buffer.layout->stride, 12u);
    EXPECT_TRUE(buffer.layout->palette.empty());
    ASSERT_TRUE(buffer.block);
    EXPECT_GE(::LocalSize(buffer.block.get()), 28u);
    // A fixed block: its handle is its address.
    EXPECT_EQ(::LocalLock(buffer.block.get()), buffer.block.get());
    ::LocalUnlock(buffer.block.get());
    EXPECT_FALSE(spare);
}

TEST(CreatePixelBuffer, PackedRowsHaveNoPadding) {
    PixelBuffer buffer;
    UniqueHlocal spare;
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 24, {}, spare, RowPacking::Tight), PluginResult::Success);
    EXPECT_EQ(buffer.layout->stride, 9u);
    EXPECT_GE(::LocalSize(buffer.block.get()), 22u);
    ASSERT_EQ(CreatePixelBuffer(buffer, 33, 2, 1, {}, spare, RowPacking::Tight), PluginResult::Success);
    EXPECT_EQ(buffer.layout->stride, 5u);
}

TEST(CreatePixelBuffer, PaletteIsPaddedWithWhiteOrCut) {
    PixelBuffer buffer;
    UniqueHlocal spare;
    ASSERT_EQ(CreatePixelBuffer(buffer, 5, 2, 8, {0x11, 0x22, 0x33}, spare), PluginResult::Success);
    ASSERT_EQ(buffer.layout->palette.size(), 256u);
    EXPECT_EQ(buffer.layout->palette[0], 0x11u);
    EXPECT_EQ(buffer.layout->palette[2], 0x33u);
    EXPECT_EQ(buffer.layout->palette[3], 0x00FFFFFFu);
    EXPECT_EQ(buffer.layout->palette[255], 0x00FFFFFFu);

    ASSERT_EQ(CreatePixelBuffer(buffer, 33, 2, 1, {1, 2, 3, 4, 5}, spare), PluginResult::Success);
    EXPECT_EQ(buffer.layout->palette, (std::vector<std::uint32_t>{1, 2}));
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 4, {}, spare), PluginResult::Success);
    EXPECT_EQ(buffer.layout->palette, std::vector<std::uint32_t>(16, 0x00FFFFFF));
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 16, {1, 2}, spare), PluginResult::Success);
    EXPECT_TRUE(buffer.layout->palette.empty());
}

TEST(CreatePixelBuffer, TakesTheSpareWhenItIsLargeEnough) {
    PixelBuffer buffer;
    UniqueHlocal spare(::LocalAlloc(LMEM_FIXED, 100));
    const HLOCAL spareBlock = spare.get();
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 24, {}, spare), PluginResult::Success);
    EXPECT_EQ(buffer.block.get(), spareBlock);
    EXPECT_FALSE(spare);  // it receives the buffer's previous block: none

    // A buffer that had a block hands it to the spare slot.
    UniqueHlocal second(::LocalAlloc(LMEM_FIXED, 200));
    const HLOCAL secondBlock = second.get();
    spare = std::move(second);
    ASSERT_EQ(CreatePixelBuffer(buffer, 4, 4, 32, {}, spare), PluginResult::Success);
    EXPECT_EQ(buffer.block.get(), secondBlock);
    EXPECT_EQ(spare.get(), spareBlock);
}

TEST(CreatePixelBuffer, AllocatesWhenTheSpareIsTooSmall) {
    PixelBuffer buffer;
    UniqueHlocal spare(::LocalAlloc(LMEM_FIXED, 20));
    const HLOCAL spareBlock = spare.get();
    ASSERT_LT(::LocalSize(spareBlock), 28u);
    ASSERT_EQ(CreatePixelBuffer(buffer, 3, 2, 24, {}, spare), PluginResult::Success);
    EXPECT_NE(buffer.block.get(), spareBlock);
    EXPECT_EQ(spare.get(), spareBlock);
    EXPECT_GE(::LocalSize(buffer.block.get()), 28u);
}

TEST(CreatePixelBuffer, RefusesDepthsNoBitmapHas) {
    PixelBuffer buffer;
    UniqueHlocal spare;
    for (std::uint32_t bits : {0u, 2u, 12u, 48u, 64u}) {
        EXPECT_EQ(CreatePixelBuffer(buffer, 3, 2, bits, {}, spare), PluginResult::InternalError) << bits;
        EXPECT_FALSE(buffer.layout);
        EXPECT_FALSE(buffer.block);
    }
}

// Sizes that cannot be had are refused with OutOfMemory before anything is
// allocated, and leave the buffer and the spare as they were.
TEST(CreatePixelBuffer, SizesBeyondReachGiveOutOfMemoryAndChangeNothing) {
    PixelBuffer buffer = MakeBuffer(1, 1, 24, 4, {1, 2, 3, 0});
    const HLOCAL block = buffer.block.get();
    UniqueHlocal spare(::LocalAlloc(LMEM_FIXED, 64));
    const HLOCAL spareBlock = spare.get();

    struct Case {
        std::uint32_t width, height, bits;
    };
    std::vector<Case> cases = {
        {0xFFFFFFFFu, 0xFFFFFFFFu, 32},  // 2^66 bytes: past 64 bits
        {0xFFFFFFFFu, 0x01000000u, 32},  // 2^58 bytes: no heap gives that
        {0x7FFFFFFFu, 0x7FFFFFFFu, 24},
    };
    // 8 GB: more than a 32-bit process can address.
    if (sizeof(void*) == 4) cases.push_back({0x20000000u, 4, 32});
    for (const Case& c : cases) {
        EXPECT_EQ(CreatePixelBuffer(buffer, c.width, c.height, c.bits, {}, spare), PluginResult::OutOfMemory)
            << c.width << " x " << c.height;
        EXPECT_EQ(buffer.block.get(), block);
        EXPECT_EQ(buffer.data(), block);
        EXPECT_EQ(buffer.layout->width, 1u);
        EXPECT_EQ(spare.get(), spareBlock);
    }
}

// --- adoption --------------------------------------------------------------------

TEST(AdoptPixelBuffer, LargerOldBlockBecomesTheSpare) {
    PixelBuffer target = MakeBuffer(4, 4, 32, 16, std::vector<std::uint8_t>(64));
    PixelBuffer source = MakeBuffer(2, 2, 24, 8, std::vector<std::uint8_t>(16, 7));
    const HLOCAL targetBlock = target.block.get();
    const HLOCAL sourceBlock = source.block.get();
    target.spare.reset(::LocalAlloc(LMEM_FIXED, 8));

    AdoptPixelBuffer(target, source);
    EXPECT_EQ(target.spare.get(), targetBlock);
    EXPECT_EQ(target.block.get(), sourceBlock);
    EXPECT_EQ(target.data(), sourceBlock);
    EXPECT_EQ(target.layout->width, 2u);
    EXPECT_EQ(target.layout->bitsPerPixel, 24u);
    EXPECT_FALSE(source.layout);
    EXPECT_FALSE(source.block);
    EXPECT_EQ(source.data(), nullptr);
}

TEST(AdoptPixelBuffer, SmallerOldBlockIsFreedAndTheSpareKept) {
    PixelBuffer target = MakeBuffer(1, 1, 24, 4, std::vector<std::uint8_t>(4));
    PixelBuffer source = MakeBuffer(2, 2, 24, 8, std::vector<std::uint8_t>(16));
    target.spare.reset(::LocalAlloc(LMEM_FIXED, 4096));
    const HLOCAL spareBlock = target.spare.get();
    const HLOCAL sourceBlock = source.block.get();

    AdoptPixelBuffer(target, source);
    EXPECT_EQ(target.spare.get(), spareBlock);
    EXPECT_EQ(target.block.get(), sourceBlock);
}

TEST(AdoptPixelBuffer, WithoutSpareTheOldBlockBecomesIt) {
    PixelBuffer target = MakeBuffer(1, 1, 24, 4, std::vector<std::uint8_t>(4));
    PixelBuffer source = MakeBuffer(2, 2, 24, 8, std::vector<std::uint8_t>(16));
    const HLOCAL targetBlock = target.block.get();
    AdoptPixelBuffer(target, source);
    EXPECT_EQ(target.spare.get(), targetBlock);

    // A target without a block leaves the spare alone.
    PixelBuffer empty;
    PixelBuffer next = MakeBuffer(2, 2, 24, 8, std::vector<std::uint8_t>(16));
    empty.spare = std::move(target.spare);
    AdoptPixelBuffer(empty, next);
    EXPECT_EQ(empty.spare.get(), targetBlock);
    EXPECT_TRUE(empty.block);
}

// --- hand-over ---------------------------------------------------------------------

BITMAPINFOHEADER HeaderOf(const UniqueHlocal& header) {
    BITMAPINFOHEADER info{};
    std::memcpy(&info, header.get(), sizeof(info));
    return info;
}

TEST(HandOverBitmap, TwentyFourBitHeaderIsFortyFourBytes) {
    PixelBuffer buffer = MakeBuffer(3, 2, 24, 12, std::vector<std::uint8_t>(24, 9));
    const HLOCAL pixels = buffer.block.get();
    UniqueHlocal header;
    UniqueHlocal bits;
    ASSERT_EQ(HandOverBitmap(header, bits, buffer), PluginResult::Success);
    EXPECT_EQ(bits.get(), pixels);  // handed over without a copy
    EXPECT_FALSE(buffer.block);
    EXPECT_FALSE(buffer.layout);
    EXPECT_EQ(buffer.data(), nullptr);
    ASSERT_TRUE(header);
    EXPECT_EQ(::LocalSize(header.get()), 44u);

    const BITMAPINFOHEADER info = HeaderOf(header);
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, 3);
    EXPECT_EQ(info.biHeight, 2);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 24);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(info.biSizeImage, 24u);
    EXPECT_EQ(info.biXPelsPerMeter, 0);
    EXPECT_EQ(info.biYPelsPerMeter, 0);
    EXPECT_EQ(info.biClrUsed, 0u);
    EXPECT_EQ(info.biClrImportant, 0u);
    std::uint32_t entry = 1;
    std::memcpy(&entry, static_cast<const std::uint8_t*>(header.get()) + 40, 4);
    EXPECT_EQ(entry, 0u);
}

TEST(HandOverBitmap, EightBitHeaderCarriesTheWholeColourTable) {
    std::vector<std::uint32_t> palette(256);
    for (std::uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | i << 8 | (255 - i);
    PixelBuffer buffer = MakeBuffer(5, 2, 8, 8, std::vector<std::uint8_t>(16), palette);
    UniqueHlocal header;
    UniqueHlocal bits;
    ASSERT_EQ(HandOverBitmap(header, bits, buffer), PluginResult::Success);
    EXPECT_EQ(::LocalSize(header.get()), 44u + 1024u);
    const BITMAPINFOHEADER info = HeaderOf(header);
    EXPECT_EQ(info.biBitCount, 8);
    EXPECT_EQ(info.biClrUsed, 256u);
    std::vector<std::uint32_t> table(256);
    std::memcpy(table.data(), static_cast<const std::uint8_t*>(header.get()) + 40, 1024);
    EXPECT_EQ(table, palette);
}

TEST(HandOverBitmap, OneBitHeaderIsFiftyTwoBytesWithTwoColours) {
    PixelBuffer buffer = MakeBuffer(33, 2, 1, 8, std::vector<std::uint8_t>(16), {0x00000000, 0x00FFFFFF});
    UniqueHlocal header;
    UniqueHlocal bits;
    ASSERT_EQ(HandOverBitmap(header, bits, buffer), PluginResult::Success);
    EXPECT_EQ(::LocalSize(header.get()), 52u);
    EXPECT_EQ(HeaderOf(header).biClrUsed, 2u);
    EXPECT_EQ(HeaderOf(header).biBitCount, 1);
    std::uint32_t second = 0;
    std::memcpy(&second, static_cast<const std::uint8_t*>(header.get()) + 44, 4);
    EXPECT_EQ(second, 0x00FFFFFFu);
}

TEST(HandOverBitmap, SixteenAndThirtyTwoBitHeadersHaveNoColours) {
    for (std::uint32_t bits : {16u, 32u}) {
        PixelBuffer buffer = MakeBuffer(4, 2, bits, 4 * bits / 8, std::vector<std::uint8_t>(bits));
        UniqueHlocal header;
        UniqueHlocal pixels;
        ASSERT_EQ(HandOverBitmap(header, pixels, buffer), PluginResult::Success);
        EXPECT_EQ(::LocalSize(header.get()), 44u);
        EXPECT_EQ(HeaderOf(header).biBitCount, bits);
        EXPECT_EQ(HeaderOf(header).biClrUsed, 0u);
    }
}

// Loaders that copy exactly biSizeImage bytes need every row with its padding.
TEST(HandOverBitmap, ImageSizeIsStrideTimesHeightAtEveryDepth) {
    struct Case {
        std::uint32_t width, height, bits;
        std::size_t stride;
    };
    for (const Case& c : {Case{33, 3, 1, 8}, Case{7, 5, 4, 4}, Case{5, 3, 8, 8}, Case{3, 7, 16, 8}, Case{5, 3, 24, 16},
                          Case{1, 1, 24, 4}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bits);
        PixelBuffer buffer =
            MakeBuffer(c.width, c.height, c.bits, c.stride, std::vector<std::uint8_t>(c.stride * c.height),
                       std::vector<std::uint32_t>(c.bits <= 8 ? 1u << c.bits : 0u));
        UniqueHlocal header;
        UniqueHlocal pixels;
        ASSERT_EQ(HandOverBitmap(header, pixels, buffer), PluginResult::Success);
        EXPECT_EQ(HeaderOf(header).biSizeImage, c.stride * c.height);
    }
}

TEST(HandOverBitmap, BufferWithoutPixelsOrLayoutGivesInternalError) {
    UniqueHlocal header;
    UniqueHlocal bits;
    PixelBuffer empty;
    EXPECT_EQ(HandOverBitmap(header, bits, empty), PluginResult::InternalError);
    PixelBuffer noLayout = MakeBuffer(1, 1, 24, 4, std::vector<std::uint8_t>(4));
    noLayout.layout.reset();
    EXPECT_EQ(HandOverBitmap(header, bits, noLayout), PluginResult::InternalError);
    EXPECT_TRUE(noLayout.block);
    EXPECT_FALSE(header);
    EXPECT_FALSE(bits);
}

}  // namespace
