#include "output/native_copy.h"

#include <algorithm>

#include "output/row_loop.h"

namespace rorurera {

PluginResult CopyStoredRows(const StoredFrame& frame, UniqueHlocal& rows, UINT& pitch) {
    if (!frame.frame || frame.entry->bitsPerPixel <= 0) return PluginResult::InternalError;
    UINT size = 0;
    if (!PackedCopySize(frame.width, frame.height, static_cast<std::uint32_t>(frame.entry->bitsPerPixel), pitch,
                        size)) {
        return PluginResult::OutOfMemory;
    }
    UniqueHlocal block(::LocalAlloc(LMEM_FIXED, std::max<UINT>(size, 1)));
    if (!block) return PluginResult::OutOfMemory;
    const WICRect all{0, 0, static_cast<INT>(frame.width), static_cast<INT>(frame.height)};
    const HRESULT hr = frame.frame->CopyPixels(&all, pitch, size, static_cast<BYTE*>(block.get()));
    if (FAILED(hr)) return ResultFromHresult(hr);
    rows = std::move(block);
    return PluginResult::Success;
}

PluginResult ConvertStoredRows(const PixelFormatEntry& format, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture) {
    PixelBuffer converted;
    const PluginResult result = CreatePixelBuffer(converted, width, height, ConvertedBytesPerPixel(format) * 8, {},
                                                  picture.spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;
    std::uint8_t* out = converted.data();
    const std::size_t outStride = converted.layout->stride;
    const PixelFormatEntry* stored = &format;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        ConvertNativeRow(*stored, rows + std::size_t{row} * pitch, out + std::size_t{row} * outStride, width);
    });
    AdoptPixelBuffer(picture, converted);
    return PluginResult::Success;
}

PluginResult CopyNativePixels(const StoredFrame& frame, PixelBuffer& buffer) {
    if (!OwnConversionTakes(*frame.entry)) return PluginResult::InternalError;
    UniqueHlocal stored;
    UINT pitch = 0;
    PluginResult result = CopyStoredRows(frame, stored, pitch);
    if (result != PluginResult::Success) return result;
    result = ConvertStoredRows(*frame.entry, static_cast<const std::uint8_t*>(stored.get()), pitch, frame.width,
                               frame.height, buffer);
    if (result != PluginResult::Success) return result;
    if (!buffer.spare || ::LocalSize(buffer.spare.get()) < ::LocalSize(stored.get())) buffer.spare = std::move(stored);
    return PluginResult::Success;
}

}  // namespace rorurera
