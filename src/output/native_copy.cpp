#include "output/native_copy.h"

#include <wrl/client.h>

#include <algorithm>

#include "common/wine_detection.h"
#include "output/native_pixels.h"
#include "output/picture_assembly.h"
#include "output/row_loop.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

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
    // Bits per pixel from our own table: the imaging component's information
    // on half, fixed-point and 10-10-10 formats may say 0.
    UINT pitch = 0;
    UINT size = 0;
    if (!PackedCopySize(width, height, native->bitsPerPixel, pitch, size)) return PluginResult::OutOfMemory;
    UniqueHlocal stored(::LocalAlloc(LMEM_FIXED, std::max<UINT>(size, 1)));
    if (!stored) return PluginResult::OutOfMemory;
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    hr = frame->CopyPixels(&all, pitch, size, static_cast<BYTE*>(stored.get()));
    if (FAILED(hr)) return ResultFromHresult(hr);

    PixelBuffer converted;
    const PluginResult result =
        CreatePixelBuffer(converted, width, height, ConvertedBytesPerPixel(*native) * 8, {}, spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;
    const auto* in = static_cast<const std::uint8_t*>(stored.get());
    std::uint8_t* out = converted.data;
    const std::size_t outStride = converted.layout->stride;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        ConvertNativeRow(*native, in + std::size_t{row} * pitch, out + std::size_t{row} * outStride, width);
    });

    if (!spare || ::LocalSize(spare.get()) < ::LocalSize(stored.get())) spare = std::move(stored);
    AdoptPixelBuffer(buffer, converted, spare);
    return PluginResult::Success;
}

bool PreferOwnConversion(IWICBitmapDecoder* decoder) noexcept {
    if (decoder == nullptr || !RunningUnderWine()) return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.GetAddressOf())) || !frame) return false;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetPixelFormat(&format))) return false;
    const NativeFormat* native = FindNativeFormat(format);
    return native != nullptr && IsScRgb(*native);
}

}  // namespace rorurera
