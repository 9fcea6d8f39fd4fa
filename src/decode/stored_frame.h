#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>

#include "common/plugin_result.h"
#include "decode/pixel_format_table.h"

namespace rorurera {

// Frame 0 of a decoder and what a request needs to know of it, read once:
// every later step works from this record instead of asking the frame again.
struct StoredFrame {
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    double dpiX = 0.0;
    double dpiY = 0.0;
    WICPixelFormatGUID format{};
    const PixelFormatEntry* entry = &kFallbackEntry;  // the table's row of `format`
};

// Fetches frame 0 and reads its size, resolution and pixel format, in that
// order, and looks the format up. The mapped failure of the first call that
// fails (InternalError without a decoder or for an empty frame); `frame` is
// then left empty. May throw std::bad_alloc (pixel format table).
PluginResult ReadStoredFrame(IWICBitmapDecoder* decoder, StoredFrame& frame);

}  // namespace rorurera
