#pragma once

// The working picture of a request: its shape, the local-memory block of its
// rows, and a spare block that one stage leaves for a later one to reuse.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "common/host_types.h"
#include "common/owners.h"
#include "common/plugin_result.h"

namespace rorurera {

// Bytes every pixel block carries past its last row, so that a writer of
// 3-byte pixels may store whole 4-byte words.
inline constexpr std::uint64_t kSpareBytes = 4;

// How far apart the rows of a new buffer lie: DIB rows are padded to a
// multiple of 4 bytes; packed rows are not (as the first copy delivers them),
// but their block also holds them at the DIB pitch, for the stages.
enum class RowPacking { Dib, Tight };

// Bytes that hold the pixels of one row: ceil(width * bitsPerPixel / 8).
constexpr std::uint64_t PackedRowBytes(std::uint32_t width, std::uint32_t bitsPerPixel) noexcept {
    return (std::uint64_t{width} * bitsPerPixel + 7) / 8;
}

// The DIB row pitch, the packed row rounded up to a multiple of 4 bytes, is
// the host interface's DibStride.
using susie::DibStride;

// The row pitch and buffer size of one full-width CopyPixels at the packed
// pitch, ceil(width * bits / 8): false when the rectangle, the pitch or the
// buffer size does not fit the call's 32-bit arguments.
bool PackedCopySize(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel, UINT& pitch,
                    UINT& bufferSize) noexcept;

// height * stride + kSpareBytes, or false when it does not fit in 64 bits.
bool PixelBlockSize(std::uint32_t height, std::uint64_t stride, std::uint64_t& size) noexcept;

// The shape of a working picture.
struct PixelLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::size_t stride = 0;  // bytes from one row to the next
    // 2^bitsPerPixel colour entries (WICColor, i.e. RGBQUAD byte order) for
    // pictures of 8 bits or less; empty for deeper ones.
    std::vector<std::uint32_t> palette;
};

// A working picture: its layout, the fixed block with its rows, and the
// spare: the larger block that an earlier stage left behind, if any.
struct PixelBuffer {
    std::unique_ptr<PixelLayout> layout;
    UniqueHlocal block;
    UniqueHlocal spare;
    std::uint8_t* data() const noexcept { return static_cast<std::uint8_t*>(block.get()); }
};

// Gives `buffer` a new layout and a block of at least height * stride + 4
// bytes (packed rows: the larger of the two pitches), the one in `spare`
// when it is large enough (the slot then takes the buffer's old block),
// else a new one. The palette is cut or padded with white to 2^bits entries
// for 8 bits or less. OutOfMemory when the size cannot be had, InternalError
// for a depth no bitmap has; buffer and spare are then as they were (also
// when std::bad_alloc leaves, from the palette).
PluginResult CreatePixelBuffer(PixelBuffer& buffer, std::uint32_t width, std::uint32_t height,
                               std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette,
                               UniqueHlocal& spare, RowPacking packing = RowPacking::Dib);

// Moves the layout and block of `source` into `target`; the target's old
// block becomes its spare when it is larger than the spare (or there is
// none), otherwise it is freed. `source` is left empty.
void AdoptPixelBuffer(PixelBuffer& target, PixelBuffer& source) noexcept;

// Moves the pixel block out of `buffer` into `bits` and makes the header
// block (BITMAPINFOHEADER and colour table, 44 + 4n bytes, zero-filled) in
// `header`; the layout is deleted. InternalError for a buffer without layout
// or pixels, OutOfMemory when the header block cannot be allocated (the
// pixel block then already sits in `bits`, owned by the caller's slot).
PluginResult HandOverBitmap(UniqueHlocal& header, UniqueHlocal& bits, PixelBuffer& buffer) noexcept;

}  // namespace rorurera
