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

namespace rorurera {

// How the samples of a format are stored.
enum class NumericKind : std::uint8_t {
    Unsigned8,       // 8-bit integers, sRGB
    Unsigned16,      // 16-bit integers, linear light
    Packed555,       // 5-5-5 words, sRGB (the 5-5-5-1 form with a 1-bit alpha on top)
    Packed565,       // 5-6-5 words, sRGB
    Packed101010,    // 10-10-10 words, sRGB (the 10-10-10-2 form with a 2-bit alpha on top)
    Packed101010XR,  // 10-10-10-2 words of extended range: (v - 384) / 510, sRGB, 1.0 = white
    Fixed16,         // signed 16-bit fixed point s2.13, scRGB
    Fixed32,         // signed 32-bit fixed point s7.24, scRGB
    Half,            // 16-bit floating point, scRGB
    Float,           // 32-bit floating point, scRGB
    SharedExponent,  // 8-bit mantissas R, G, B and one exponent byte, scRGB
};

// Which colour samples a pixel holds, in memory order. In packed words the
// first channel named lies in the lowest bits (BGR 5-5-5: blue in bits 0-4).
enum class ChannelOrder : std::uint8_t { Gray, Rgb, Bgr, Cmyk };

// What our conversion knows of one pixel format.
struct NativeFormat {
    const GUID& format;
    std::uint8_t bitsPerPixel;
    std::uint8_t samplesPerPixel;  // stored samples, alpha and unused ones included
    NumericKind kind;
    ChannelOrder order;
    bool hasAlpha;       // the sample after the colour samples is alpha
    bool premultiplied;  // colour samples are multiplied by alpha
};

// The descriptor of a format we convert, or nullptr.
const NativeFormat* FindNativeFormat(const WICPixelFormatGUID& format) noexcept;

// True for the fixed-point, half, float and shared-exponent formats (grey
// ones included): those whose samples may lie outside 0..1.
bool IsScRgb(const NativeFormat& format) noexcept;

// True for the formats of 16-bit integer samples (linear light, CMYK too).
bool HasSixteenBitIntegers(const NativeFormat& format) noexcept;

// Bytes per pixel that ConvertNativeRow writes: 4 (BGRA) for a format with
// alpha, 3 (BGR) otherwise.
std::uint32_t ConvertedBytesPerPixel(const NativeFormat& format) noexcept;

// Linear-light R, G, B, A floats, four per pixel, of `width` pixels of an
// scRGB format (IsScRgb). Not clamped: values above 1, below 0, infinities
// and NaN come out as stored (premultiplied colours divided by alpha when
// alpha is not 0). A is 1 for formats without alpha; grey gives R = G = B.
// Does nothing for other formats.
void DecodeLinearRow(const NativeFormat& format, const std::uint8_t* source, float* rgba,
                     std::uint32_t width) noexcept;

// `width` pixels of linear R, G, B, A floats to 8-bit B, G, R (and A when
// `withAlpha`), tight: each sample clamped to 0..1 (NaN gives 0), colours
// given the sRGB transfer curve, all rounded to the nearest 8-bit step.
void EncodeLinearRowSrgb(const float* rgba, std::uint8_t* out, std::uint32_t width, bool withAlpha) noexcept;

// One row of `width` pixels of `format` to BGR or BGRA bytes, tight
// (ConvertedBytesPerPixel per pixel).
void ConvertNativeRow(const NativeFormat& format, const std::uint8_t* source, std::uint8_t* out,
                      std::uint32_t width) noexcept;

}  // namespace rorurera
