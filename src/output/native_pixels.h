#pragma once

// Our own conversion of a frame's pixels, in the frame's own format, to
// 24bppBGR, or 32bppBGRA (straight alpha) for formats with alpha: 8-bit and
// packed samples are sRGB, and so are 16-bit integer samples, scaled to 8
// bits; fixed-point, half, float and shared-exponent ones scRGB
// (linear, 1.0 = white), clamped and given the sRGB curve; CMYK the simple
// way, R = (1 - C)(1 - K); extended-range 10-bit samples lose their bias and
// scale. Alpha is scaled to 8 bits; premultiplied colours are divided by it.

#include <windows.h>
#include <wincodec.h>

#include <cstdint>

#include "decode/pixel_format_table.h"

namespace rorurera {

// Bytes per pixel of the rows our own conversion and tone mapping write: 4
// (BGRA) for a picture with alpha, 3 (BGR) otherwise.
constexpr std::uint32_t OutputBytesPerPixel(bool withAlpha) noexcept { return withAlpha ? 4 : 3; }

// Linear-light R, G, B, A floats, four per pixel, of `width` pixels of an
// scRGB format (IsScRgb). Not clamped: values above 1, below 0, infinities
// and NaN come out as stored (premultiplied colours divided by alpha when
// alpha is not 0). A is 1 for formats without alpha; grey gives R = G = B.
// Does nothing for other formats.
void DecodeLinearRow(const PixelFormatEntry& format, const std::uint8_t* source, float* rgba,
                     std::uint32_t width) noexcept;

// `width` pixels of linear R, G, B, A floats to 8-bit B, G, R (and A when
// `withAlpha`), tight: each sample clamped to 0..1 (NaN gives 0), colours
// given the sRGB transfer curve, all rounded to the nearest 8-bit step.
void EncodeLinearRowSrgb(const float* rgba, std::uint8_t* out, std::uint32_t width, bool withAlpha) noexcept;

// One row of `width` pixels of `format` to BGR or BGRA bytes, tight
// (OutputBytesPerPixel of its alpha per pixel).
void ConvertNativeRow(const PixelFormatEntry& format, const std::uint8_t* source, std::uint8_t* out,
                      std::uint32_t width) noexcept;

}  // namespace rorurera
