#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace rorurera {

// How the samples of a format are stored, as our own conversion reads them.
enum class NumericKind : std::uint8_t {
    Unconverted,     // our own conversion does not take the format
    Unsigned8,       // 8-bit integers, sRGB
    Unsigned16,      // 16-bit integers, sRGB
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
enum class ChannelOrder : std::uint8_t { Unknown, Gray, Rgb, Bgr, Cmyk };

// What the plug-in knows of one pixel format: the format a frame of it is
// converted to when it has no alpha, its own bits per pixel, whether it
// carries alpha, and what our own conversion needs to read its samples.
struct PixelFormatEntry {
    const GUID& source;
    const GUID& target;
    int bitsPerPixel;
    bool hasAlpha;  // the sample after the colour samples is alpha
    NumericKind kind;
    ChannelOrder order;
    bool premultiplied;  // colour samples are multiplied by alpha
};

// Whether our own conversion takes frames of the format.
constexpr bool OwnConversionTakes(const PixelFormatEntry& entry) noexcept {
    return entry.kind != NumericKind::Unconverted;
}

// The fixed-point, half, float and shared-exponent formats (grey ones
// included): those whose samples may lie outside 0..1.
constexpr bool IsScRgb(const PixelFormatEntry& entry) noexcept {
    using enum NumericKind;
    const NumericKind k = entry.kind;
    return k == Fixed16 || k == Fixed32 || k == Half || k == Float || k == SharedExponent;
}

// The formats of 16-bit integer samples (CMYK too).
constexpr bool HasSixteenBitIntegers(const PixelFormatEntry& entry) noexcept {
    return entry.kind == NumericKind::Unsigned16;
}

// The entry of a format that is not in the table: DontCare, to 24bppBGR,
// 0 bits, no alpha, not converted by us.
extern const PixelFormatEntry& kFallbackEntry;

// The table's entry for a pixel format (compared as 16 bytes), or
// kFallbackEntry.
const PixelFormatEntry& LookupPixelFormat(const GUID& format) noexcept;

// The rows in their order, for those who check the table itself.
std::span<const PixelFormatEntry> PixelFormatRows() noexcept;

}  // namespace rorurera
