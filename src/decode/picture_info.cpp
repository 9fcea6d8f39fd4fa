#include "decode/picture_info.h"

#include <cmath>

#include "decode/container_format.h"
#include "decode/stored_frame.h"

namespace rorurera {

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

    StoredFrame frame;
    const HRESULT hr = ReadStoredFrame(decoder, frame);
    if (FAILED(hr)) return ResultFromHresult(hr);

    // Everything is known: the record is written in one go. Bytes past
    // colorDepth (the 64-bit record's padding) are the host's.
    info->left = 0;
    info->top = 0;
    info->width = static_cast<std::int32_t>(frame.width);
    info->height = static_cast<std::int32_t>(frame.height);
    info->x_density = DensityFromDpi(frame.dpiX);
    info->y_density = DensityFromDpi(frame.dpiY);
    info->colorDepth = static_cast<std::int16_t>(frame.entry->bitsPerPixel);
    info->hInfo = nullptr;
    return PluginResult::Success;
}

}  // namespace rorurera
