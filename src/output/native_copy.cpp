#include "output/native_copy.h"

#include <wrl/client.h>

#include <algorithm>

#include "common/wine_detection.h"
#include "output/native_pixels.h"
#include "output/picture_assembly.h"
#include "output/row_loop.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

PluginResult CopyStoredRows(IWICBitmapFrameDecode* frame, const NativeFormat& native, UINT width, UINT height,
                            UniqueHlocal& rows, UINT& pitch) {
    if (frame == nullptr) return PluginResult::InternalError;
    UINT size = 0;
    if (!PackedCopySize(width, height, native.bitsPerPixel, pitch, size)) return PluginResult::OutOfMemory;
    UniqueHlocal block(::LocalAlloc(LMEM_FIXED, std::max<UINT>(size, 1)));
    if (!block) return PluginResult::OutOfMemory;
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    const HRESULT hr = frame->CopyPixels(&all, pitch, size, static_cast<BYTE*>(block.get()));
    if (FAILED(hr)) return ResultFromHresult(hr);
    rows = std::move(block);
    return PluginResult::Success;
}

PluginResult ConvertStoredRows(const NativeFormat& native, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture, UniqueHlocal& spare) {
    PixelBuffer converted;
    const PluginResult result =
        CreatePixelBuffer(converted, width, height, ConvertedBytesPerPixel(native) * 8, {}, spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;
    std::uint8_t* out = converted.data;
    const std::size_t outStride = converted.layout->stride;
    const NativeFormat* format = &native;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        ConvertNativeRow(*format, rows + std::size_t{row} * pitch, out + std::size_t{row} * outStride, width);
    });
    AdoptPixelBuffer(picture, converted, spare);
    return PluginResult::Success;
}

PluginResult CopyNativePixels(IWICBitmapDecoder* decoder, PluginResult refused, PixelBuffer& buffer,
                              UniqueHlocal& spare) {
    if (decoder == nullptr) return PluginResult::InternalError;
    ComPtr<IWICBitmapFrameDecode> frame;
    HRESULT hr = decoder->GetFrame(0, frame.GetAddressOf());
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!frame) return PluginResult::InternalError;

    WICPixelFormatGUID format{};
    hr = frame->GetPixelFormat(&format);
    if (FAILED(hr)) return ResultFromHresult(hr);
    const NativeFormat* native = FindNativeFormat(format);
    if (native == nullptr) return refused;

    UINT width = 0;
    UINT height = 0;
    hr = frame->GetSize(&width, &height);
    if (FAILED(hr)) return ResultFromHresult(hr);
    UniqueHlocal stored;
    UINT pitch = 0;
    PluginResult result = CopyStoredRows(frame.Get(), *native, width, height, stored, pitch);
    if (result != PluginResult::Success) return result;
    result = ConvertStoredRows(*native, static_cast<const std::uint8_t*>(stored.get()), pitch, width, height,
                               buffer, spare);
    if (result != PluginResult::Success) return result;
    if (!spare || ::LocalSize(spare.get()) < ::LocalSize(stored.get())) spare = std::move(stored);
    return PluginResult::Success;
}

bool PreferOwnConversion(IWICBitmapDecoder* decoder) noexcept {
    if (decoder == nullptr || !RunningUnderWine()) return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.GetAddressOf())) || !frame) return false;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetPixelFormat(&format))) return false;
    const NativeFormat* native = FindNativeFormat(format);
    return native != nullptr && (IsScRgb(*native) || HasSixteenBitIntegers(*native));
}

}  // namespace rorurera
