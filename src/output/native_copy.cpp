#include "output/native_copy.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "output/native_pixels.h"
#include "output/row_loop.h"

namespace rorurera {

HRESULT CopyPackedRows(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                       void* out) noexcept {
    UINT pitch = 0;
    UINT size = 0;
    if (source == nullptr) return E_POINTER;
    if (!PackedCopySize(width, height, bitsPerPixel, pitch, size)) return E_OUTOFMEMORY;
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    return source->CopyPixels(&all, pitch, size, static_cast<BYTE*>(out));
}

HRESULT CopySourcePixels(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height,
                         std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette, PixelBuffer& buffer) {
    UINT pitch = 0;
    UINT size = 0;
    if (source == nullptr) return E_POINTER;
    if (!PackedCopySize(width, height, bitsPerPixel, pitch, size)) return E_OUTOFMEMORY;
    PixelBuffer copied;
    const PluginResult made =
        CreatePixelBuffer(copied, width, height, bitsPerPixel, palette, buffer.spare, RowPacking::Tight);
    if (made != PluginResult::Success) return made == PluginResult::OutOfMemory ? E_OUTOFMEMORY : E_INVALIDARG;
    const HRESULT hr = CopyPackedRows(source, width, height, bitsPerPixel, copied.data());
    if (SUCCEEDED(hr)) AdoptPixelBuffer(buffer, copied);
    return hr;
}

HRESULT CopyStoredRows(const StoredFrame& frame, UniqueHlocal& rows, UINT& pitch) noexcept {
    if (!frame.frame || frame.entry->bitsPerPixel <= 0) return E_POINTER;
    const auto bits = static_cast<std::uint32_t>(frame.entry->bitsPerPixel);
    UINT size = 0;
    if (!PackedCopySize(frame.width, frame.height, bits, pitch, size)) return E_OUTOFMEMORY;
    UniqueHlocal block(::LocalAlloc(LMEM_FIXED, std::max<UINT>(size, 1)));
    if (!block) return E_OUTOFMEMORY;
    const HRESULT hr = CopyPackedRows(frame.frame.Get(), frame.width, frame.height, bits, block.get());
    if (SUCCEEDED(hr)) rows = std::move(block);
    return hr;
}

PluginResult ConvertStoredRows(const PixelFormatEntry& format, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture, const ProfileTransform* colour) {
    PixelBuffer converted;
    const PluginResult result = CreatePixelBuffer(converted, width, height, OutputBytesPerPixel(format.hasAlpha) * 8,
                                                  {}, picture.spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;
    std::uint8_t* out = converted.data();
    const std::size_t outStride = converted.layout->stride;
    const PixelFormatEntry* stored = &format;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        const std::uint8_t* in = rows + std::size_t{row} * pitch;
        std::uint8_t* target = out + std::size_t{row} * outStride;
        if (colour != nullptr) {
            colour->ConvertRow(in, target, width);
        } else {
            ConvertNativeRow(*stored, in, target, width);
        }
    });
    AdoptPixelBuffer(picture, converted);
    return PluginResult::Success;
}

namespace {

// The stored rows converted through `colour` where they lie, into a fresh
// `buffer`: each row within its own place, a stretch at a time (a converted
// pixel takes no more bytes than a stored one), so that rows may go to
// different threads and the picture takes one block; the rows keep the
// stored pitch, which the flip narrows to the DIB pitch.
PluginResult ConvertInPlace(const StoredFrame& frame, const ProfileTransform& colour, PixelBuffer& buffer) {
    const auto inBytes = static_cast<std::uint32_t>(frame.entry->bitsPerPixel) / 8;
    const std::uint32_t outBytes = OutputBytesPerPixel(frame.entry->hasAlpha);
    const std::uint32_t width = frame.width;
    UINT pitch = 0;
    UINT size = 0;
    std::uint64_t blockSize = 0;
    if (!PackedCopySize(width, frame.height, inBytes * 8, pitch, size) ||
        !PixelBlockSize(frame.height, std::max<std::uint64_t>(pitch, DibStride(width, outBytes * 8)), blockSize) ||
        blockSize > std::numeric_limits<SIZE_T>::max()) {
        return PluginResult::OutOfMemory;
    }
    UniqueHlocal block(::LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(blockSize)));
    if (!block) return PluginResult::OutOfMemory;
    const HRESULT hr = CopyPackedRows(frame.frame.Get(), width, frame.height, inBytes * 8, block.get());
    if (FAILED(hr)) return ResultFromHresult(hr);
    auto layout = std::make_unique<PixelLayout>();
    layout->width = width;
    layout->height = frame.height;
    layout->bitsPerPixel = outBytes * 8;
    layout->stride = pitch;
    std::uint8_t* data = static_cast<std::uint8_t*>(block.get());
    ForEachRow(frame.height, [=, &colour](std::uint32_t row) noexcept {
        constexpr std::uint32_t kStretch = 256;
        std::uint8_t converted[kStretch * 4];
        std::uint8_t* slot = data + std::size_t{row} * pitch;
        for (std::uint32_t x = 0; x < width; x += kStretch) {
            const std::uint32_t count = std::min(kStretch, width - x);
            colour.ConvertRow(slot + std::size_t{x} * inBytes, converted, count);
            std::memcpy(slot + std::size_t{x} * outBytes, converted, std::size_t{count} * outBytes);
        }
    });
    buffer.layout = std::move(layout);
    buffer.block = std::move(block);
    return PluginResult::Success;
}

}  // namespace

PluginResult CopyNativePixels(const StoredFrame& frame, PixelBuffer& buffer, const ProfileTransform* colour) {
    if (!OwnConversionTakes(*frame.entry)) return PluginResult::InternalError;
    if (colour != nullptr &&
        OutputBytesPerPixel(frame.entry->hasAlpha) * 8 <= std::uint32_t(frame.entry->bitsPerPixel)) {
        return ConvertInPlace(frame, *colour, buffer);
    }
    UniqueHlocal stored;
    UINT pitch = 0;
    const HRESULT hr = CopyStoredRows(frame, stored, pitch);
    if (FAILED(hr)) return ResultFromHresult(hr);
    const PluginResult result = ConvertStoredRows(*frame.entry, static_cast<const std::uint8_t*>(stored.get()), pitch,
                                                  frame.width, frame.height, buffer, colour);
    if (result != PluginResult::Success) return result;
    if (!buffer.spare || ::LocalSize(buffer.spare.get()) < ::LocalSize(stored.get())) buffer.spare = std::move(stored);
    return PluginResult::Success;
}

}  // namespace rorurera
