#pragma once

#include <wincodec.h>

#include <cstdint>
#include <vector>

namespace rorurera {

// The colour table of a picture of 1 to 8 bits per pixel: exactly
// 2^bitsPerPixel entries (WICColor, 0xAARRGGBB). The colours come from the
// source's palette, as many as it has up to that count; the rest is a grey
// ramp of k = n - m - 1 entries, entry i = floor(255 * i / k) in blue, green
// and red with a zero fourth byte, and one white entry 0x00FFFFFF. A source
// without a palette gets the ramp alone. Empty for other depths. May throw
// std::bad_alloc.
std::vector<std::uint32_t> CompletePalette(IWICImagingFactory* factory, IWICBitmapSource* source,
                                           std::uint32_t bitsPerPixel);

}  // namespace rorurera
