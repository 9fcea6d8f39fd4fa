#pragma once

// Our own conversion of a frame's pixels, read in the frame's own pixel
// format, to the two formats the picture stages take: 24bppBGR, or
// 32bppBGRA for formats with alpha (straight alpha). It follows the formats'
// documented meaning: 8-bit and packed integer samples are sRGB; 16-bit
// integer samples are linear light (gamma 1.0) and get the sRGB transfer
// curve, as the platform's converter gives them; fixed-point, half, float
// and shared-exponent samples are scRGB (linear light, 1.0 = white), clamped
// to 0..1 and given the sRGB curve; CMYK is turned into RGB the simple way,
// R = (1 - C)(1 - K); extended-range 10-bit samples lose their bias and
// scale and are clamped to 0..1. Alpha is taken as stored and scaled to 8
// bits; premultiplied colours are divided by their alpha.

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
