#include "decode/picture_info.h"

#include <wrl/client.h>

#include <cmath>

#include "decode/container.h"
#include "decode/pixel_format_table.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

std::uint16_t DensityFromDpi(double dpi) noexcept {
    const double perMetre = std::trunc(dpi / 0.0254);
    if (!std::isfinite(perMetre)) return 0;
    // fmod is exact, so this is the low 16 bits of the integer for any
    // magnitude; a negative remainder is the two's complement one.
    double low = std::fmod(perMetre, 65536.0);
    if (low < 0) low += 65536.0;
    return static_cast<std::uint16_t>(low);
}

PluginResult ReadPictureInfo(IWICBitmapDecoder* decoder, PictureInfo* info) {
    if (info == nullptr) return PluginResult::InternalError;
    PluginResult result = CheckJpegXrContainer(decoder);
    if (result != PluginResult::Success) return result;

    ComPtr<IWICBitmapFrameDecode> frame;
    HRESULT hr = decoder->GetFrame(0, frame.GetAddressOf());
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!frame) return PluginResult::InternalError;

    UINT width = 0;
    UINT height = 0;
    hr = frame->GetSize(&width, &height);
    if (FAILED(hr)) return ResultFromHresult(hr);

    double dpiX = 0.0;
    double dpiY = 0.0;
    hr = frame->GetResolution(&dpiX, &dpiY);
    if (FAILED(hr)) return ResultFromHresult(hr);

    WICPixelFormatGUID format{};
    hr = frame->GetPixelFormat(&format);
    if (FAILED(hr)) return ResultFromHresult(hr);

    const PixelFormatEntry& entry = LookupPixelFormat(format);

    // Everything is known: the record is written in one go. Bytes past
    // colorDepth (the 64-bit record's padding) are the host's.
    info->left = 0;
    info->top = 0;
    info->width = static_cast<std::int32_t>(width);
    info->height = static_cast<std::int32_t>(height);
    info->x_density = DensityFromDpi(dpiX);
    info->y_density = DensityFromDpi(dpiY);
    info->colorDepth = static_cast<std::int16_t>(entry.bitsPerPixel);
    info->hInfo = nullptr;
    return PluginResult::Success;
}

}  // namespace rorurera
