#include "output/pixel_buffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace rorurera {
namespace {

constexpr std::uint32_t kWhiteEntry = 0x00FFFFFF;

bool IsBitmapDepth(std::uint32_t bitsPerPixel) noexcept {
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

// Colour entries of a picture of this depth: 2^bits for 8 bits or less.
std::uint32_t ColorTableEntries(std::uint32_t bitsPerPixel) noexcept {
    return bitsPerPixel <= 8 ? (1u << bitsPerPixel) : 0u;
}

}  // namespace

bool PackedCopySize(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel, UINT& pitch,
                    UINT& bufferSize) noexcept {
    constexpr std::uint64_t kMaxUint = std::numeric_limits<UINT>::max();
    // The rectangle's sides are INT.
    if (width > static_cast<std::uint32_t>(INT_MAX) || height > static_cast<std::uint32_t>(INT_MAX)) {
        return false;
    }
    const std::uint64_t rowBytes = PackedRowBytes(width, bitsPerPixel);
    if (rowBytes > kMaxUint) return false;
    const std::uint64_t total = rowBytes * height;  // below 2^64: both factors below 2^32
    if (total > kMaxUint) return false;
    pitch = static_cast<UINT>(rowBytes);
    bufferSize = static_cast<UINT>(total);
    return true;
}

bool PixelBlockSize(std::uint32_t height, std::uint64_t stride, std::uint64_t& size) noexcept {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (height != 0 && stride > (kMax - kSpareBytes) / height) return false;
    size = std::uint64_t{height} * stride + kSpareBytes;
    return true;
}

PluginResult CreatePixelBuffer(PixelBuffer& buffer, std::uint32_t width, std::uint32_t height,
                               std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette,
                               UniqueHlocal& spare, RowPacking packing) {
    if (!IsBitmapDepth(bitsPerPixel)) return PluginResult::InternalError;

    // Every size in 64 bits, checked before anything is allocated: a size
    // this process cannot address is refused, never cut short.
    const std::uint64_t stride =
        packing == RowPacking::Dib ? DibStride(width, bitsPerPixel) : PackedRowBytes(width, bitsPerPixel);
    // Packed rows get a block that can also hold the same rows at the DIB
    // pitch, so that the stages can widen them where they are.
    const std::uint64_t blockStride = std::max(stride, DibStride(width, bitsPerPixel));
    std::uint64_t needed = 0;
    if (!PixelBlockSize(height, blockStride, needed) || needed > std::numeric_limits<SIZE_T>::max()) {
        return PluginResult::OutOfMemory;
    }

    auto layout = std::make_unique<PixelLayout>();
    layout->width = width;
    layout->height = height;
    layout->bitsPerPixel = bitsPerPixel;
    layout->stride = static_cast<std::size_t>(stride);
    if (const std::uint32_t entries = ColorTableEntries(bitsPerPixel); entries != 0) {
        layout->palette.assign(palette.begin(), palette.begin() + std::min<std::size_t>(palette.size(), entries));
        layout->palette.resize(entries, kWhiteEntry);
    }

    if (spare && ::LocalSize(spare.get()) >= needed) {
        buffer.block.swap(spare);
    } else {
        UniqueHlocal block(::LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(needed)));
        if (!block) return PluginResult::OutOfMemory;
        buffer.block = std::move(block);
    }
    buffer.layout = std::move(layout);
    return PluginResult::Success;
}

void AdoptPixelBuffer(PixelBuffer& target, PixelBuffer& source) noexcept {
    // Keep the larger of the target's old block and the spare.
    if (target.block && (!target.spare || ::LocalSize(target.spare.get()) < ::LocalSize(target.block.get()))) {
        target.spare = std::move(target.block);
    }
    if (&target != &source) {
        target.layout = std::move(source.layout);
        target.block = std::move(source.block);
    }
}

PluginResult HandOverBitmap(UniqueHlocal& header, UniqueHlocal& bits, PixelBuffer& buffer) noexcept {
    if (!buffer.layout || !buffer.block) return PluginResult::InternalError;
    const PixelLayout& layout = *buffer.layout;

    bits = std::move(buffer.block);

    // The header and at least one colour entry (zero for deep pictures).
    const std::uint32_t entries = ColorTableEntries(layout.bitsPerPixel);
    const SIZE_T headerSize = sizeof(BITMAPINFOHEADER) + 4 + 4 * SIZE_T{entries};
    header.reset(::LocalAlloc(LMEM_ZEROINIT, headerSize));
    if (!header) {
        buffer.layout.reset();
        return PluginResult::OutOfMemory;
    }

    auto* info = static_cast<BITMAPINFOHEADER*>(header.get());
    info->biSize = sizeof(BITMAPINFOHEADER);
    info->biWidth = static_cast<LONG>(layout.width);
    info->biHeight = static_cast<LONG>(layout.height);  // positive: rows bottom-up
    info->biPlanes = 1;
    info->biBitCount = static_cast<WORD>(layout.bitsPerPixel);
    info->biCompression = BI_RGB;
    // The bytes of pixel rows the host may read (some loaders copy exactly
    // these); a picture beyond what the field can count says 0, which BI_RGB
    // allows.
    const std::uint64_t imageBytes = std::uint64_t{layout.stride} * layout.height;
    info->biSizeImage = imageBytes <= MAXDWORD ? static_cast<DWORD>(imageBytes) : 0;
    info->biXPelsPerMeter = 0;
    info->biYPelsPerMeter = 0;
    const std::size_t used = std::min<std::size_t>(entries, layout.palette.size());
    info->biClrUsed = static_cast<DWORD>(used);
    info->biClrImportant = 0;
    if (used != 0) std::memcpy(info + 1, layout.palette.data(), used * sizeof(std::uint32_t));

    buffer.layout.reset();
    return PluginResult::Success;
}

}  // namespace rorurera
