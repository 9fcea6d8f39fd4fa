#include "output/pixel_stages.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "output/row_loop.h"

namespace rorurera {
namespace {

bool HasPixels(const PixelBuffer& buffer) noexcept { return buffer.layout && buffer.block; }

// Whether the buffer's own block can hold `height` rows at `stride` plus the
// spare bytes: then a stage rewrites the rows where they are.
bool BlockHolds(const PixelBuffer& buffer, std::uint32_t height, std::uint64_t stride) noexcept {
    std::uint64_t needed = 0;
    return PixelBlockSize(height, stride, needed) && ::LocalSize(buffer.block.get()) >= needed;
}

// One 32-bit pixel over the background: exact at alpha 0 and 255, the
// truncating blend in between (it never leaves 0..255).
inline std::uint8_t Blend(std::uint32_t source, std::uint32_t background, std::uint32_t alpha) noexcept {
    return static_cast<std::uint8_t>((source * alpha + background * (255 - alpha)) / 255);
}

// The row writers read each 4-byte pixel whole before writing it, and write
// each 3-byte pixel as a 4-byte word (the fourth byte lands on the next
// pixel, in the row's padding, in the next row's place before that row is
// written, or in the block's spare bytes). So they also work in place: the
// target may start at the source row's first byte or anywhere before it,
// and the word written at 3x never reaches the unread pixel at 4x + 4.
inline std::uint32_t LoadPixel(const std::uint8_t* source) noexcept {
    std::uint32_t pixel;
    std::memcpy(&pixel, source, 4);
    return pixel;  // blue in the low byte, alpha in the high byte
}

inline void StorePixel(std::uint8_t* target, std::uint32_t pixel) noexcept { std::memcpy(target, &pixel, 4); }

void BlendRow(const std::uint8_t* source, std::uint8_t* target, std::uint32_t width,
              const BgrColor& background) noexcept {
    const std::uint32_t backgroundWord =
        background.blue | (std::uint32_t{background.green} << 8) | (std::uint32_t{background.red} << 16);
    for (std::uint32_t x = 0; x < width; ++x, source += 4, target += 3) {
        const std::uint32_t pixel = LoadPixel(source);
        const std::uint32_t alpha = pixel >> 24;
        if (alpha == 255) {
            StorePixel(target, pixel);
        } else if (alpha == 0) {
            StorePixel(target, backgroundWord);
        } else {
            StorePixel(target, Blend(pixel & 0xFF, background.blue, alpha) |
                                   (std::uint32_t{Blend((pixel >> 8) & 0xFF, background.green, alpha)} << 8) |
                                   (std::uint32_t{Blend((pixel >> 16) & 0xFF, background.red, alpha)} << 16));
        }
    }
}

void DropAlphaRow(const std::uint8_t* source, std::uint8_t* target, std::uint32_t width) noexcept {
    for (std::uint32_t x = 0; x < width; ++x, source += 4, target += 3) StorePixel(target, LoadPixel(source));
}

// Exchanges two rows' bytes through a little stack: no picture-sized block.
void SwapRows(std::uint8_t* first, std::uint8_t* second, std::size_t bytes) noexcept {
    constexpr std::size_t kChunk = 4096;
    std::uint8_t scratch[kChunk];
    while (bytes != 0) {
        const std::size_t n = std::min(bytes, kChunk);
        std::memcpy(scratch, first, n);
        std::memcpy(first, second, n);
        std::memcpy(second, scratch, n);
        first += n;
        second += n;
        bytes -= n;
    }
}

// Reverses the order of rows `stride` bytes apart, in place, each row's
// first `rowBytes` bytes, the rest of the row zeroed. Row pairs are
// independent of each other, so they may go to different threads.
void ReverseRows(std::uint8_t* data, std::uint32_t height, std::size_t stride, std::size_t rowBytes) noexcept {
    const std::size_t padding = stride - rowBytes;
    ForEachRow(height / 2, [=](std::uint32_t row) noexcept {
        std::uint8_t* top = data + std::size_t{row} * stride;
        std::uint8_t* bottom = data + std::size_t{height - 1 - row} * stride;
        SwapRows(top, bottom, rowBytes);
        std::memset(top + rowBytes, 0, padding);
        std::memset(bottom + rowBytes, 0, padding);
    });
    if (height % 2 != 0) std::memset(data + std::size_t{height / 2} * stride + rowBytes, 0, padding);
}

// Moves rows from one pitch to another in the same block, padding zeroed. A
// wider pitch goes from the last row backwards and a narrower one from the
// first row forwards, so no row is overwritten before it has moved. One
// thread: each row's target overlaps rows that others would move.
void RepitchRows(std::uint8_t* data, std::uint32_t height, std::size_t from, std::size_t to,
                 std::size_t rowBytes) noexcept {
    if (from == to) {
        if (to > rowBytes) {
            for (std::uint32_t row = 0; row < height; ++row) {
                std::memset(data + std::size_t{row} * to + rowBytes, 0, to - rowBytes);
            }
        }
        return;
    }
    auto move = [&](std::uint32_t row) {
        std::uint8_t* target = data + std::size_t{row} * to;
        std::memmove(target, data + std::size_t{row} * from, rowBytes);
        std::memset(target + rowBytes, 0, to - rowBytes);
    };
    if (to > from) {
        for (std::uint32_t row = height; row-- > 0;) move(row);
    } else {
        for (std::uint32_t row = 0; row < height; ++row) move(row);
    }
}

// The most scratch the one-pass flip and widening may take; beyond it (very
// tall pictures of narrow rows) the rows are turned and widened in two passes.
constexpr std::uint64_t kMaxFlipScratch = 4u << 20;

// Reverses rows and widens them from `from` to `to` bytes apart (to > from)
// in one pass on one thread. Row pairs are taken from the outside in: the
// top row goes straight to its DIB place at the bottom, whose packed rows
// have all been read; the bottom row waits in a queue until the packed rows
// its DIB place covers have been read. The queue holds at most
// (height / 2) * (to - from) / to + 2 rows (a few bytes per row of the
// picture). False when that scratch is too large or cannot be had; nothing
// has been touched then.
bool ReverseAndWidenRows(std::uint8_t* data, std::uint32_t height, std::size_t from, std::size_t to,
                         std::size_t rowBytes) noexcept {
    const std::uint32_t half = height / 2;
    const std::uint64_t capacity = std::uint64_t{half} * (to - from) / to + 3;
    if (rowBytes == 0 || capacity * rowBytes > kMaxFlipScratch) return false;
    std::unique_ptr<std::uint8_t[]> queue(new (std::nothrow) std::uint8_t[capacity * rowBytes]);
    if (!queue) return false;

    const std::size_t padding = to - rowBytes;
    auto put = [&](std::uint32_t row, const std::uint8_t* bytes) {
        std::uint8_t* target = data + std::size_t{row} * to;
        std::memcpy(target, bytes, rowBytes);
        std::memset(target + rowBytes, 0, padding);
    };
    std::size_t head = 0;        // queue slot of the first waiting row
    std::size_t waiting = 0;     // rows in the queue
    std::uint32_t firstLow = 0;  // the DIB row the first waiting row goes to
    auto slot = [&](std::size_t index) { return queue.get() + (index % capacity) * rowBytes; };
    auto flush = [&](std::uint64_t readUpTo) {  // bytes before readUpTo are read
        while (waiting != 0 && std::uint64_t{firstLow} * to + to <= readUpTo) {
            put(firstLow++, slot(head++));
            --waiting;
        }
    };
    for (std::uint32_t low = 0; low < half; ++low) {
        const std::uint32_t high = height - 1 - low;
        std::memcpy(slot(head + waiting++), data + std::size_t{high} * from, rowBytes);
        put(high, data + std::size_t{low} * from);
        flush(std::uint64_t{low + 1} * from);
    }
    if (height % 2 != 0) {
        // The middle row keeps its place; it is the last packed row read.
        std::memcpy(slot(head + waiting++), data + std::size_t{half} * from, rowBytes);
    }
    flush(~std::uint64_t{0});
    return true;
}

// The flip into a second block, for a buffer whose own block has no room
// for the DIB rows (one not made by the packed copy).
PluginResult FlipIntoNewBlock(PixelBuffer& buffer) {
    const PixelLayout& from = *buffer.layout;
    PixelBuffer flipped;
    const PluginResult result =
        CreatePixelBuffer(flipped, from.width, from.height, from.bitsPerPixel, from.palette, buffer.spare);
    if (result != PluginResult::Success) return result;

    const std::size_t rowBytes = static_cast<std::size_t>(PackedRowBytes(from.width, from.bitsPerPixel));
    const std::uint8_t* source = buffer.data();
    const std::size_t sourceStride = from.stride;
    std::uint8_t* target = flipped.data();
    const std::size_t targetStride = flipped.layout->stride;
    const std::uint32_t height = from.height;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        std::uint8_t* out = target + std::size_t{row} * targetStride;
        std::memcpy(out, source + std::size_t{height - 1 - row} * sourceStride, rowBytes);
        std::memset(out + rowBytes, 0, targetStride - rowBytes);
    });

    AdoptPixelBuffer(buffer, flipped);
    return PluginResult::Success;
}

}  // namespace

PluginResult FlipToBottomUp(PixelBuffer& buffer) {
    if (!HasPixels(buffer)) return PluginResult::InternalError;
    PixelLayout& layout = *buffer.layout;
    const std::uint64_t dibStride = DibStride(layout.width, layout.bitsPerPixel);
    if (!BlockHolds(buffer, layout.height, std::max<std::uint64_t>(dibStride, layout.stride))) {
        return FlipIntoNewBlock(buffer);
    }

    // In place: rows at the DIB pitch already change places pairwise (pairs
    // may go to different threads); packed rows are turned and widened in
    // one pass; rows wider than the DIB pitch are narrowed, then turned.
    const std::size_t rowBytes = static_cast<std::size_t>(PackedRowBytes(layout.width, layout.bitsPerPixel));
    const auto target = static_cast<std::size_t>(dibStride);
    if (layout.stride == target) {
        ReverseRows(buffer.data(), layout.height, target, rowBytes);
    } else if (layout.stride < target) {
        if (!ReverseAndWidenRows(buffer.data(), layout.height, layout.stride, target, rowBytes)) {
            ReverseRows(buffer.data(), layout.height, layout.stride, rowBytes);
            RepitchRows(buffer.data(), layout.height, layout.stride, target, rowBytes);
        }
    } else {
        RepitchRows(buffer.data(), layout.height, layout.stride, target, rowBytes);
        ReverseRows(buffer.data(), layout.height, target, rowBytes);
    }
    layout.stride = target;
    return PluginResult::Success;
}

bool AlphaAllZero(const PixelBuffer& buffer) noexcept {
    if (!HasPixels(buffer) || buffer.layout->bitsPerPixel != 32) return false;
    const PixelLayout& layout = *buffer.layout;
    for (std::uint32_t row = 0; row < layout.height; ++row) {
        const std::uint8_t* pixel = buffer.data() + std::size_t{row} * layout.stride;
        for (std::uint32_t x = 0; x < layout.width; ++x, pixel += 4) {
            if (pixel[3] != 0) return false;
        }
    }
    return true;
}

PluginResult ReduceTo24Bits(PixelBuffer& buffer, AlphaMode alphaMode, BgrColor background, ReducePartition partition) {
    if (!HasPixels(buffer) || buffer.layout->bitsPerPixel != 32) return PluginResult::InternalError;
    PixelLayout& layout = *buffer.layout;
    const std::uint32_t width = layout.width;
    const std::uint32_t height = layout.height;
    const std::uint64_t dibStride = DibStride(width, 24);
    // A 24-bit DIB row never takes more than its 32-bit row: the rows shrink
    // in the block they are in.
    if (!BlockHolds(buffer, height, dibStride)) return PluginResult::OutOfMemory;
    // Rows of fewer than 4 * width bytes cannot hold 32-bit pixels.
    if (layout.stride < std::uint64_t{width} * 4) return PluginResult::InternalError;

    const bool blend = alphaMode == AlphaMode::Composite;
    auto reduceRow = [=](const std::uint8_t* in, std::uint8_t* out) noexcept {
        if (blend) {
            BlendRow(in, out, width, background);
        } else {
            DropAlphaRow(in, out, width);
        }
    };
    std::uint8_t* data = buffer.data();
    const std::size_t from = layout.stride;
    const auto to = static_cast<std::size_t>(dibStride);
    const std::size_t rowBytes = std::size_t{width} * 3;
    if (partition == ReducePartition::Module) {
        partition = RowsOnThreads() ? ReducePartition::InSlots : ReducePartition::Forward;
    }
    if (partition == ReducePartition::InSlots) {
        // Each thread shrinks whole rows within their own 32-bit slots; then
        // one pass moves the rows together to the DIB pitch.
        ForEachRow(height, [=](std::uint32_t row) noexcept {
            std::uint8_t* slot = data + std::size_t{row} * from;
            reduceRow(slot, slot);
        });
        RepitchRows(data, height, from, to, rowBytes);
    } else {
        // One pass from the first row forwards: each row's 24-bit target
        // starts at or before its 32-bit source, past every row read before.
        for (std::uint32_t row = 0; row < height; ++row) {
            std::uint8_t* out = data + std::size_t{row} * to;
            reduceRow(data + std::size_t{row} * from, out);
            std::memset(out + rowBytes, 0, to - rowBytes);
        }
    }
    layout.bitsPerPixel = 24;
    layout.stride = to;
    layout.palette.clear();
    return PluginResult::Success;
}

}  // namespace rorurera
