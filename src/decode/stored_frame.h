#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>

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
// order, and looks the format up. The result of the first call that fails
// (E_POINTER without a decoder, E_UNEXPECTED for an empty frame); `frame` is
// then left empty.
HRESULT ReadStoredFrame(IWICBitmapDecoder* decoder, StoredFrame& frame) noexcept;

}  // namespace rorurera
