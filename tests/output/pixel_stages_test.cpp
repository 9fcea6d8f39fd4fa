// The pixel stages on working pictures built in the test: rows turned
// bottom-up and widened to the DIB pitch, 32-bit pixels blended over the
// background or stripped of alpha, the alpha mode and background taken from
// the registry; and the row loops that run them.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "common/host_types.h"
#include "output/buffer_builder.h"
#include "output/pixel_stages.h"
#include "output/row_loop.h"
#include "support/settings_key_guard.h"

namespace {

using rorurera::BgrColor;
using rorurera::FlipToBottomUp;
using rorurera::PixelBuffer;
using rorurera::PluginResult;
using rorurera::ReduceTo24Bits;
using testing_support::BufferBytes;
using testing_support::MakeBuffer;
using Bytes = std::vector<std::uint8_t>;

constexpr BgrColor kWhite{0xFF, 0xFF, 0xFF};
constexpr BgrColor kBlack{0x00, 0x00, 0x00};

// --- FlipToBottomUp ----------------------------------------------------------------

TEST(FlipToBottomUp, TwoRowsChangePlacesInTheirOwnBlock) {
    PixelBuffer buffer = MakeBuffer(2, 2, 24, 8, {1, 2, 3, 4, 5, 6, 9, 9, 11, 12, 13, 14, 15, 16, 9, 9});
    const HLOCAL oldBlock = buffer.block.get();
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(BufferBytes(buffer, 16), (Bytes{11, 12, 13, 14, 15, 16, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}));
    EXPECT_EQ(buffer.block.get(), oldBlock);
    EXPECT_FALSE(buffer.spare);  // no second block
}

TEST(FlipToBottomUp, OneRowStaysAsItWas) {
    PixelBuffer buffer = MakeBuffer(3, 1, 8, 4, {7, 8, 9, 0});
    const HLOCAL oldBlock = buffer.block.get();
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(BufferBytes(buffer, 4), (Bytes{7, 8, 9, 0}));
    EXPECT_EQ(buffer.block.get(), oldBlock);
}

// Packed rows in a block made for them (room for the DIB rows) are turned
// and widened where they are, whatever the height, the pitches and the
// depth: each DIB row holds the mirrored packed row, then zeros.
TEST(FlipToBottomUp, PackedRowsBecomeDibRowsInTheirOwnBlock) {
    struct Case {
        std::uint32_t width, height, bits;
    } cases[] = {
        {3, 3, 24},     // 9-byte rows to 12
        {1, 7, 24},     // a strip: 3-byte rows to 4
        {3001, 5, 24},  // 9003 bytes to 9004, rows longer than the swap's stack
        {2, 4, 32},     // equal pitches
        {4, 6, 24},     // equal pitches, even height
        {33, 3, 1},     // 5 bytes to 8
        {5, 2, 8},      // 5 bytes to 8
        {3, 5, 16},     // 6 bytes to 8
    };
    for (const Case& c : cases) {
        PixelBuffer buffer;
        ASSERT_EQ(rorurera::CreatePixelBuffer(buffer, c.width, c.height, c.bits, {}, buffer.spare,
                                              rorurera::RowPacking::Tight),
                  PluginResult::Success);
        const std::size_t packed = buffer.layout->stride;
        for (std::size_t i = 0; i < packed * c.height; ++i) buffer.data()[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const Bytes before = BufferBytes(buffer, packed * c.height);
        const HLOCAL block = buffer.block.get();

        ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
        const std::size_t stride = susie::DibStride(c.width, c.bits);
        EXPECT_EQ(buffer.layout->stride, stride);
        EXPECT_EQ(buffer.block.get(), block) << c.width << "x" << c.height;
        EXPECT_FALSE(buffer.spare);
        Bytes expected;
        for (std::uint32_t row = c.height; row-- > 0;) {
            expected.insert(expected.end(), before.begin() + row * packed, before.begin() + (row + 1) * packed);
            expected.resize(expected.size() + stride - packed, 0);
        }
        EXPECT_EQ(BufferBytes(buffer, stride * c.height), expected) << c.width << "x" << c.height << "x" << c.bits;
    }
}

TEST(FlipToBottomUp, PackedRowsComeOutAtTheDibPitch) {
    // 3 x 3 at 24 bits, delivered packed: 9 bytes a row.
    PixelBuffer buffer = MakeBuffer(3, 3, 24, 9, {1,  2,  3,  4,  5,  6,  7,  8,  9,   //
                                                  21, 22, 23, 24, 25, 26, 27, 28, 29,  //
                                                  41, 42, 43, 44, 45, 46, 47, 48, 49});
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(buffer.layout->stride, 12u);
    EXPECT_EQ(buffer.layout->width, 3u);
    EXPECT_EQ(buffer.layout->height, 3u);
    EXPECT_EQ(buffer.layout->bitsPerPixel, 24u);
    EXPECT_GE(::LocalSize(buffer.block.get()), 40u);
    EXPECT_EQ(BufferBytes(buffer, 36), (Bytes{41, 42, 43, 44, 45, 46, 47, 48, 49, 0, 0, 0,  //
                                              21, 22, 23, 24, 25, 26, 27, 28, 29, 0, 0, 0,  //
                                              1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0}));
}

TEST(FlipToBottomUp, OneBitRowsOfThirtyThreePixelsBecomeEightBytes) {
    PixelBuffer buffer =
        MakeBuffer(33, 2, 1, 5, {0xB1, 0x0F, 0x00, 0xFF, 0x80, 0x80, 0x00, 0x55, 0x01, 0x00}, {0x00000000, 0x00FFFFFF});
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(buffer.layout->stride, 8u);
    EXPECT_EQ(buffer.layout->palette, (std::vector<std::uint32_t>{0x00000000, 0x00FFFFFF}));
    EXPECT_EQ(BufferBytes(buffer, 16), (Bytes{0x80, 0x00, 0x55, 0x01, 0x00, 0, 0, 0,  //
                                              0xB1, 0x0F, 0x00, 0xFF, 0x80, 0, 0, 0}));
}

// A block without room for the DIB rows: the rows go to the spare.
TEST(FlipToBottomUp, UsesTheSpareWhenItIsLargeEnough) {
    PixelBuffer buffer = MakeBuffer(1, 2, 24, 3, {1, 2, 3, 5, 6, 7});
    const HLOCAL oldBlock = buffer.block.get();
    buffer.spare.reset(::LocalAlloc(LMEM_FIXED, 256));
    const HLOCAL spareBlock = buffer.spare.get();
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(buffer.block.get(), spareBlock);
    EXPECT_EQ(BufferBytes(buffer, 8), (Bytes{5, 6, 7, 0, 1, 2, 3, 0}));
    // The swap left the spare slot empty, so the old block goes there.
    EXPECT_EQ(buffer.spare.get(), oldBlock);
}

TEST(FlipToBottomUp, BufferWithoutLayoutOrPixelsGivesInternalError) {
    PixelBuffer empty;
    EXPECT_EQ(FlipToBottomUp(empty), PluginResult::InternalError);
    PixelBuffer noLayout = MakeBuffer(1, 1, 24, 4, {1, 2, 3, 0});
    noLayout.layout.reset();
    EXPECT_EQ(FlipToBottomUp(noLayout), PluginResult::InternalError);
    EXPECT_FALSE(empty.spare || noLayout.spare);
}

TEST(FlipToBottomUp, NewBufferThatCannotBeHadGivesOutOfMemoryAndChangesNothing) {
    PixelBuffer buffer = MakeBuffer(2, 1, 24, 8, {1, 2, 3, 4, 5, 6, 0, 0});
    buffer.layout->width = 0xFFFFFFFFu;  // a shape no block can hold
    buffer.layout->height = 0x10000000u;
    const HLOCAL block = buffer.block.get();
    buffer.spare.reset(::LocalAlloc(LMEM_FIXED, 16));
    const HLOCAL spareBlock = buffer.spare.get();
    EXPECT_EQ(FlipToBottomUp(buffer), PluginResult::OutOfMemory);
    EXPECT_EQ(buffer.block.get(), block);
    EXPECT_EQ(buffer.layout->width, 0xFFFFFFFFu);
    EXPECT_EQ(BufferBytes(buffer, 6), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(buffer.spare.get(), spareBlock);
}

// --- ReduceTo24Bits: the arithmetic ------------------------------------------------

// One pixel B, G, R, A reduced with the given mode and background.
Bytes ReduceOne(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a, std::int32_t mode,
                BgrColor background) {
    PixelBuffer buffer = MakeBuffer(1, 1, 32, 4, {b, g, r, a});
    EXPECT_EQ(ReduceTo24Bits(buffer, mode, background), PluginResult::Success);
    return BufferBytes(buffer, 3);
}

TEST(ReduceTo24Bits, BlendOverWhite) {
    EXPECT_EQ(ReduceOne(200, 100, 50, 128, 1, kWhite), (Bytes{227, 177, 152}));
    EXPECT_EQ(ReduceOne(0, 0, 0, 254, 1, kWhite), (Bytes{1, 1, 1}));
}

TEST(ReduceTo24Bits, BlendOverBlackWithAlphaOne) {
    EXPECT_EQ(ReduceOne(255, 255, 255, 1, 1, kBlack), (Bytes{1, 1, 1}));
}

TEST(ReduceTo24Bits, BlendOverAColouredBackground) {
    EXPECT_EQ(ReduceOne(10, 10, 10, 128, 1, BgrColor{0x33, 0x66, 0x99})[0], 30);
}

TEST(ReduceTo24Bits, AlphaZeroAndFullAreExact) {
    const BgrColor background{0x33, 0x66, 0x99};
    EXPECT_EQ(ReduceOne(200, 100, 50, 0, 1, background), (Bytes{0x33, 0x66, 0x99}));
    EXPECT_EQ(ReduceOne(255, 255, 255, 0, 1, background), (Bytes{0x33, 0x66, 0x99}));
    EXPECT_EQ(ReduceOne(200, 100, 50, 255, 1, background), (Bytes{200, 100, 50}));
    EXPECT_EQ(ReduceOne(0, 1, 254, 255, 1, kWhite), (Bytes{0, 1, 254}));
}

TEST(ReduceTo24Bits, BlendStaysBetweenPixelAndBackground) {
    for (int alpha = 0; alpha <= 255; alpha += 1) {
        for (int source : {0, 1, 77, 128, 254, 255}) {
            const Bytes out = ReduceOne(static_cast<std::uint8_t>(source), 0, 255, static_cast<std::uint8_t>(alpha), 1,
                                        BgrColor{100, 100, 100});
            EXPECT_GE(out[0], std::min(source, 100)) << source << " at " << alpha;
            EXPECT_LE(out[0], std::max(source, 100)) << source << " at " << alpha;
            EXPECT_LE(out[1], 100) << alpha;  // green 0 over 100
            EXPECT_GE(out[2], 100) << alpha;  // red 255 over 100
        }
    }
}

TEST(ReduceTo24Bits, EveryModeButOneDropsAlpha) {
    for (std::int32_t mode : {0, 2, -1, 255}) {
        EXPECT_EQ(ReduceOne(200, 100, 50, 0, mode, kWhite), (Bytes{200, 100, 50})) << mode;
        EXPECT_EQ(ReduceOne(200, 100, 50, 128, mode, kBlack), (Bytes{200, 100, 50})) << mode;
    }
}

TEST(ReduceTo24Bits, FiveWidePictureGetsPitchSixteen) {
    Bytes rows;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            const auto v = static_cast<std::uint8_t>(10 * y + x);
            rows.insert(rows.end(), {v, static_cast<std::uint8_t>(v + 100), static_cast<std::uint8_t>(v + 200), 255});
        }
    }
    PixelBuffer buffer = MakeBuffer(5, 2, 32, 20, rows);
    ASSERT_EQ(ReduceTo24Bits(buffer, 0, kWhite), PluginResult::Success);
    ASSERT_TRUE(buffer.layout);
    EXPECT_EQ(buffer.layout->bitsPerPixel, 24u);
    EXPECT_EQ(buffer.layout->stride, 16u);
    EXPECT_EQ(buffer.layout->width, 5u);
    EXPECT_EQ(buffer.layout->height, 2u);
    EXPECT_TRUE(buffer.layout->palette.empty());
    EXPECT_GE(::LocalSize(buffer.block.get()), 36u);
    // Byte 15 of each row is padding (zero here).
    EXPECT_EQ(BufferBytes(buffer, 32),
              (Bytes{0,  100, 200, 1,  101, 201, 2,  102, 202, 3,  103, 203, 4,  104, 204, 0,  //
                     10, 110, 210, 11, 111, 211, 12, 112, 212, 13, 113, 213, 14, 114, 214, 0}));
}

// Both stages in the block the rows came in: no second block.
TEST(ReduceTo24Bits, ReducesAndFlipsInTheOneBlock) {
    PixelBuffer buffer = MakeBuffer(2, 2, 32, 8, {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255});
    const HLOCAL block = buffer.block.get();
    ASSERT_EQ(ReduceTo24Bits(buffer, 1, kWhite), PluginResult::Success);
    ASSERT_EQ(FlipToBottomUp(buffer), PluginResult::Success);
    EXPECT_EQ(buffer.block.get(), block);
    EXPECT_FALSE(buffer.spare);
    EXPECT_EQ(BufferBytes(buffer, 16), (Bytes{7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}));
}

// Rows of many widths shrink in place to the same pixels the one-pixel
// cases give, in both modules' partitions of the work.
TEST(ReduceTo24Bits, ManyRowsShrinkInPlace) {
    for (auto partition : {rorurera::ReducePartition::Forward, rorurera::ReducePartition::InSlots}) {
        for (std::uint32_t width : {1u, 2u, 3u, 4u, 5u, 1001u}) {
            const std::uint32_t height = 37;
            Bytes rows(std::size_t{width} * 4 * height);
            for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 13 + i / 7);
            PixelBuffer buffer = MakeBuffer(width, height, 32, std::size_t{width} * 4, rows);
            ASSERT_EQ(ReduceTo24Bits(buffer, 1, BgrColor{0x10, 0x80, 0xF0}, partition), PluginResult::Success);
            const std::size_t stride = susie::DibStride(width, 24);
            ASSERT_EQ(buffer.layout->stride, stride);
            for (std::uint32_t y = 0; y < height; y += 6) {
                for (std::uint32_t x = 0; x < width; x += (width > 9 ? 97 : 1)) {
                    const std::uint8_t* p = &rows[(std::size_t{y} * width + x) * 4];
                    const Bytes one = ReduceOne(p[0], p[1], p[2], p[3], 1, BgrColor{0x10, 0x80, 0xF0});
                    const std::uint8_t* out = buffer.data() + std::size_t{y} * stride + std::size_t{x} * 3;
                    EXPECT_EQ(Bytes(out, out + 3), one) << width << ": " << x << "," << y;
                }
                const std::uint8_t* pad = buffer.data() + std::size_t{y} * stride + std::size_t{width} * 3;
                const std::size_t padding = stride - std::size_t{width} * 3;
                EXPECT_EQ(Bytes(pad, pad + padding), Bytes(padding, 0)) << width;
            }
        }
    }
}

TEST(ReduceTo24Bits, OtherDepthsAreRefusedAndLeftAlone) {
    PixelBuffer rgb = MakeBuffer(1, 1, 24, 4, {1, 2, 3, 0});
    const HLOCAL rgbBlock = rgb.block.get();
    EXPECT_EQ(ReduceTo24Bits(rgb, 1, kWhite), PluginResult::InternalError);
    EXPECT_EQ(ReduceTo24Bits(rgb, rorurera::Discard, kWhite), PluginResult::InternalError);
    EXPECT_EQ(rgb.block.get(), rgbBlock);
    EXPECT_EQ(rgb.layout->bitsPerPixel, 24u);
    EXPECT_EQ(BufferBytes(rgb, 4), (Bytes{1, 2, 3, 0}));

    PixelBuffer grey = MakeBuffer(4, 1, 8, 4, {9, 8, 7, 6}, std::vector<std::uint32_t>(256));
    EXPECT_EQ(ReduceTo24Bits(grey, 1, kWhite), PluginResult::InternalError);
    EXPECT_EQ(grey.layout->bitsPerPixel, 8u);
    EXPECT_EQ(BufferBytes(grey, 4), (Bytes{9, 8, 7, 6}));

    PixelBuffer empty;
    EXPECT_EQ(ReduceTo24Bits(empty, 1, kWhite), PluginResult::InternalError);
}

TEST(ReduceTo24Bits, NewBufferThatCannotBeHadGivesOutOfMemoryAndChangesNothing) {
    PixelBuffer buffer = MakeBuffer(1, 1, 32, 4, {1, 2, 3, 4});
    buffer.layout->width = 0xFFFFFFFFu;
    buffer.layout->height = 0x40000000u;
    EXPECT_EQ(ReduceTo24Bits(buffer, 0, kWhite), PluginResult::OutOfMemory);
    EXPECT_EQ(buffer.layout->bitsPerPixel, 32u);
    EXPECT_EQ(BufferBytes(buffer, 4), (Bytes{1, 2, 3, 4}));
}

// --- ReduceTo24Bits: the settings -------------------------------------------------

class ReduceWithSettings : public testing::Test {
protected:
    testing_support::SettingsKeyGuard guard;

    // Pixel B 200, G 100, R 50 at alpha 128, reduced as the settings say.
    static Bytes Reduced() {
        PixelBuffer buffer = MakeBuffer(1, 1, 32, 4, {200, 100, 50, 128});
        const rorurera::PictureSettings settings = rorurera::ReadPictureSettings();
        EXPECT_EQ(ReduceTo24Bits(buffer, settings.alphaMode, settings.background), PluginResult::Success);
        return BufferBytes(buffer, 3);
    }
};

TEST_F(ReduceWithSettings, NoKeyBlendsOverWhite) { EXPECT_EQ(Reduced(), (Bytes{227, 177, 152})); }

TEST_F(ReduceWithSettings, AlphaZeroAndTwoDrop) {
    testing_support::SettingsKeyGuard::WriteDword(L"Alpha", 0);
    EXPECT_EQ(Reduced(), (Bytes{200, 100, 50}));
    testing_support::SettingsKeyGuard::WriteDword(L"Alpha", 2);
    EXPECT_EQ(Reduced(), (Bytes{200, 100, 50}));
}

TEST_F(ReduceWithSettings, BlendsOverTheStoredColour) {
    testing_support::SettingsKeyGuard::WriteDword(L"Alpha", 1);
    testing_support::SettingsKeyGuard::WriteDword(L"Color", 0x000000);
    EXPECT_EQ(Reduced(), (Bytes{100, 50, 25}));
    testing_support::SettingsKeyGuard::WriteDword(L"Color", 0x336699);
    // (200*128 + 0x33*127) / 255, (100*128 + 0x66*127) / 255, (50*128 + 0x99*127) / 255
    EXPECT_EQ(Reduced(), (Bytes{125, 100, 101}));
}

// --- row loops -------------------------------------------------------------------------

struct RowCounts {
    std::vector<std::atomic<int>> seen;
    std::mutex lock;
    std::set<DWORD> threads;
    explicit RowCounts(std::uint32_t rows) : seen(rows) {}
};

void CountRows(void* context, std::uint32_t first, std::uint32_t end) noexcept {
    auto& counts = *static_cast<RowCounts*>(context);
    for (std::uint32_t row = first; row < end; ++row) counts.seen[row].fetch_add(1);
    std::lock_guard<std::mutex> hold(counts.lock);
    counts.threads.insert(::GetCurrentThreadId());
}

TEST(RowLoops, ThreadPoolRunsEveryRowExactlyOnce) {
    for (std::uint32_t rows : {0u, 1u, 2u, 3u, 17u, 1000u, 4000u, 100001u}) {
        RowCounts counts(rows);
        rorurera::RunRowsOnThreadPool(rows, CountRows, &counts);
        for (std::uint32_t row = 0; row < rows; ++row) ASSERT_EQ(counts.seen[row].load(), 1) << row << " of " << rows;
    }
}

TEST(RowLoops, CallingThreadRunsEveryRowExactlyOnceOnItself) {
    RowCounts counts(4000);
    rorurera::RunRowsOnCallingThread(4000, CountRows, &counts);
    for (std::uint32_t row = 0; row < 4000; ++row) ASSERT_EQ(counts.seen[row].load(), 1) << row;
    EXPECT_EQ(counts.threads, std::set<DWORD>{::GetCurrentThreadId()});
}

TEST(RowLoops, ThreadPoolSharesRowsAmongThreads) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    if (info.dwNumberOfProcessors < 2) GTEST_SKIP() << "one processor";
    RowCounts counts(64);
    rorurera::RunRowsOnThreadPool(
        64,
        [](void* context, std::uint32_t first, std::uint32_t end) noexcept {
            ::Sleep(5);  // long enough that the pool's threads get chunks too
            CountRows(context, first, end);
        },
        &counts);
    EXPECT_GT(counts.threads.size(), 1u);
}

TEST(RowLoops, EachModuleUsesItsOwnLoop) {
    RowCounts counts(4000);
    rorurera::ForEachRow(4000, [&](std::uint32_t row) noexcept { CountRows(&counts, row, row + 1); });
    for (std::uint32_t row = 0; row < 4000; ++row) ASSERT_EQ(counts.seen[row].load(), 1) << row;
    if (sizeof(void*) == 8) {
        EXPECT_EQ(counts.threads, std::set<DWORD>{::GetCurrentThreadId()});
    }
}

}  // namespace
