#include "decode/pixel_format_table.h"

#include <wincodec.h>

#include <cstring>

namespace rorurera {
namespace {

// Rows in their fixed order, each format named by the toolchain's own
// identifier constant: source format, the format a frame of it becomes
// when it has no alpha, the source's own bits per pixel, whether the
// source carries alpha, and for our own conversion the samples' numeric
// kind, channel order and whether colours are premultiplied.
// A frame with alpha always becomes 32bppBGRA, so the target of an alpha row
// is never used.
using enum NumericKind;
using enum ChannelOrder;
// clang-format off
constexpr PixelFormatEntry kRows[] = {
    // source                                 target                            bits alpha  kind  order  premult  # kind
    {GUID_WICPixelFormat1bppIndexed,           GUID_WICPixelFormat1bppIndexed,     1, false, Unconverted,    Unknown, false},  // 1 palette, kept
    {GUID_WICPixelFormat2bppIndexed,           GUID_WICPixelFormat4bppIndexed,     2, false, Unconverted,    Unknown, false},  // 2 palette, widened to 4 bits
    {GUID_WICPixelFormat4bppIndexed,           GUID_WICPixelFormat4bppIndexed,     4, false, Unconverted,    Unknown, false},  // 3 palette, kept
    {GUID_WICPixelFormat8bppIndexed,           GUID_WICPixelFormat8bppIndexed,     8, false, Unconverted,    Unknown, false},  // 4 palette, kept
    {GUID_WICPixelFormatBlackWhite,            GUID_WICPixelFormatBlackWhite,      1, false, Unconverted,    Unknown, false},  // 5 two-level, kept
    {GUID_WICPixelFormat2bppGray,              GUID_WICPixelFormat4bppGray,        2, false, Unconverted,    Unknown, false},  // 6 grey, widened to 4 bits
    {GUID_WICPixelFormat4bppGray,              GUID_WICPixelFormat4bppGray,        4, false, Unconverted,    Unknown, false},  // 7 grey, kept
    {GUID_WICPixelFormat8bppGray,              GUID_WICPixelFormat8bppGray,        8, false, Unconverted,    Unknown, false},  // 8 grey, kept
    {GUID_WICPixelFormat16bppGray,             GUID_WICPixelFormat24bppBGR,       16, false, Unsigned16,     Gray,    false},  // 9 grey
    {GUID_WICPixelFormat16bppGrayFixedPoint,   GUID_WICPixelFormat24bppBGR,       16, false, Fixed16,        Gray,    false},  // 10 grey, fixed point
    {GUID_WICPixelFormat16bppGrayHalf,         GUID_WICPixelFormat24bppBGR,       16, false, Half,           Gray,    false},  // 11 grey, half float
    {GUID_WICPixelFormat32bppGrayFloat,        GUID_WICPixelFormat24bppBGR,       32, false, Float,          Gray,    false},  // 12 grey, float
    {GUID_WICPixelFormat32bppGrayFixedPoint,   GUID_WICPixelFormat24bppBGR,       32, false, Fixed32,        Gray,    false},  // 13 grey, fixed point
    {GUID_WICPixelFormat16bppBGR555,           GUID_WICPixelFormat16bppBGR555,    16, false, Packed555,      Bgr,     false},  // 14 5-5-5, kept
    {GUID_WICPixelFormat16bppBGR565,           GUID_WICPixelFormat24bppBGR,       16, false, Packed565,      Bgr,     false},  // 15 5-6-5
    {GUID_WICPixelFormat16bppBGRA5551,         GUID_WICPixelFormat16bppBGR555,    16, true,  Packed555,      Bgr,     false},  // 16 5-5-5 with 1-bit alpha
    {GUID_WICPixelFormat32bppBGR101010,        GUID_WICPixelFormat24bppBGR,       32, false, Packed101010,   Bgr,     false},  // 17 10-10-10
    {GUID_WICPixelFormat32bppRGBA1010102,      GUID_WICPixelFormat24bppBGR,       32, true,  Packed101010,   Rgb,     false},  // 18 10-10-10 with 2-bit alpha
    {GUID_WICPixelFormat32bppRGBA1010102XR,    GUID_WICPixelFormat24bppBGR,       32, true,  Packed101010XR, Rgb,     false},  // 19 10-10-10 extended range with 2-bit alpha
    {GUID_WICPixelFormat24bppRGB,              GUID_WICPixelFormat24bppBGR,       24, false, Unsigned8,      Rgb,     false},  // 20 RGB byte order
    {GUID_WICPixelFormat24bppBGR,              GUID_WICPixelFormat24bppBGR,       24, false, Unsigned8,      Bgr,     false},  // 21 the 24-bit output format
    {GUID_WICPixelFormat32bppBGR,              GUID_WICPixelFormat24bppBGR,       32, false, Unsigned8,      Bgr,     false},  // 22 unused fourth byte
    {GUID_WICPixelFormat32bppRGBA,             GUID_WICPixelFormat24bppBGR,       32, true,  Unsigned8,      Rgb,     false},  // 23 RGB order with alpha
    {GUID_WICPixelFormat32bppBGRA,             GUID_WICPixelFormat24bppBGR,       32, true,  Unsigned8,      Bgr,     false},  // 24 the alpha output format
    {GUID_WICPixelFormat32bppRGBE,             GUID_WICPixelFormat24bppBGR,       32, false, SharedExponent, Rgb,     false},  // 25 shared exponent
    {GUID_WICPixelFormat32bppPRGBA,            GUID_WICPixelFormat24bppBGR,       32, true,  Unsigned8,      Rgb,     true },  // 26 premultiplied alpha
    {GUID_WICPixelFormat32bppPBGRA,            GUID_WICPixelFormat24bppBGR,       32, true,  Unsigned8,      Bgr,     true },  // 27 premultiplied alpha
    {GUID_WICPixelFormat48bppRGB,              GUID_WICPixelFormat24bppBGR,       48, false, Unsigned16,     Rgb,     false},  // 28 16 bits a channel
    {GUID_WICPixelFormat48bppBGR,              GUID_WICPixelFormat24bppBGR,       48, false, Unsigned16,     Bgr,     false},  // 29 16 bits a channel
    {GUID_WICPixelFormat48bppRGBFixedPoint,    GUID_WICPixelFormat24bppBGR,       48, false, Fixed16,        Rgb,     false},  // 30 fixed point
    {GUID_WICPixelFormat48bppBGRFixedPoint,    GUID_WICPixelFormat24bppBGR,       48, false, Fixed16,        Bgr,     false},  // 31 fixed point
    {GUID_WICPixelFormat48bppRGBHalf,          GUID_WICPixelFormat24bppBGR,       48, false, Half,           Rgb,     false},  // 32 half float
    {GUID_WICPixelFormat64bppRGBA,             GUID_WICPixelFormat24bppBGR,       64, true,  Unsigned16,     Rgb,     false},  // 33 16 bits a channel with alpha
    {GUID_WICPixelFormat64bppBGRA,             GUID_WICPixelFormat24bppBGR,       64, true,  Unsigned16,     Bgr,     false},  // 34 16 bits a channel with alpha
    {GUID_WICPixelFormat64bppPRGBA,            GUID_WICPixelFormat24bppBGR,       64, true,  Unsigned16,     Rgb,     true },  // 35 premultiplied alpha
    {GUID_WICPixelFormat64bppPBGRA,            GUID_WICPixelFormat24bppBGR,       64, true,  Unsigned16,     Bgr,     true },  // 36 premultiplied alpha
    {GUID_WICPixelFormat64bppRGBFixedPoint,    GUID_WICPixelFormat24bppBGR,       64, false, Fixed16,        Rgb,     false},  // 37 fixed point, unused fourth channel
    {GUID_WICPixelFormat64bppRGBAFixedPoint,   GUID_WICPixelFormat24bppBGR,       64, true,  Fixed16,        Rgb,     false},  // 38 fixed point with alpha
    {GUID_WICPixelFormat64bppBGRAFixedPoint,   GUID_WICPixelFormat24bppBGR,       64, true,  Fixed16,        Bgr,     false},  // 39 fixed point with alpha
    {GUID_WICPixelFormat64bppRGBHalf,          GUID_WICPixelFormat24bppBGR,       64, false, Half,           Rgb,     false},  // 40 half float, unused fourth channel
    {GUID_WICPixelFormat64bppRGBAHalf,         GUID_WICPixelFormat24bppBGR,       64, true,  Half,           Rgb,     false},  // 41 half float with alpha
    {GUID_WICPixelFormat96bppRGBFixedPoint,    GUID_WICPixelFormat24bppBGR,       96, false, Fixed32,        Rgb,     false},  // 42 fixed point
    {GUID_WICPixelFormat128bppRGBFloat,        GUID_WICPixelFormat24bppBGR,      128, false, Float,          Rgb,     false},  // 43 float, unused fourth channel
    {GUID_WICPixelFormat128bppRGBAFloat,       GUID_WICPixelFormat24bppBGR,      128, true,  Float,          Rgb,     false},  // 44 float with alpha
    {GUID_WICPixelFormat128bppPRGBAFloat,      GUID_WICPixelFormat24bppBGR,      128, true,  Float,          Rgb,     true },  // 45 float, premultiplied alpha
    {GUID_WICPixelFormat128bppRGBFixedPoint,   GUID_WICPixelFormat24bppBGR,      128, false, Fixed32,        Rgb,     false},  // 46 fixed point, unused fourth channel
    {GUID_WICPixelFormat128bppRGBAFixedPoint,  GUID_WICPixelFormat24bppBGR,      128, true,  Fixed32,        Rgb,     false},  // 47 fixed point with alpha
    {GUID_WICPixelFormat32bppCMYK,             GUID_WICPixelFormat24bppBGR,       32, false, Unsigned8,      Cmyk,    false},  // 48 CMYK
    {GUID_WICPixelFormat64bppCMYK,             GUID_WICPixelFormat24bppBGR,       64, false, Unsigned16,     Cmyk,    false},  // 49 CMYK, 16 bits a channel
    {GUID_WICPixelFormat40bppCMYKAlpha,        GUID_WICPixelFormat24bppBGR,       40, true,  Unsigned8,      Cmyk,    false},  // 50 CMYK with alpha
    {GUID_WICPixelFormat80bppCMYKAlpha,        GUID_WICPixelFormat24bppBGR,       80, true,  Unsigned16,     Cmyk,    false},  // 51 CMYK with alpha, 16 bits a channel
    {GUID_WICPixelFormat24bpp3Channels,        GUID_WICPixelFormat24bppBGR,       24, false, Unconverted,    Unknown, false},  // 52 3 channels, 8 bits each
    {GUID_WICPixelFormat48bpp3Channels,        GUID_WICPixelFormat24bppBGR,       48, false, Unconverted,    Unknown, false},  // 53 3 channels, 16 bits each
    {GUID_WICPixelFormat32bpp3ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       32, true,  Unconverted,    Unknown, false},  // 54 3 channels with alpha, 8 bits each
    {GUID_WICPixelFormat64bpp3ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       64, true,  Unconverted,    Unknown, false},  // 55 3 channels with alpha, 16 bits each
    {GUID_WICPixelFormat32bpp4Channels,        GUID_WICPixelFormat24bppBGR,       32, false, Unconverted,    Unknown, false},  // 56 4 channels, 8 bits each
    {GUID_WICPixelFormat64bpp4Channels,        GUID_WICPixelFormat24bppBGR,       64, false, Unconverted,    Unknown, false},  // 57 4 channels, 16 bits each
    {GUID_WICPixelFormat40bpp4ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       40, true,  Unconverted,    Unknown, false},  // 58 4 channels with alpha, 8 bits each
    {GUID_WICPixelFormat80bpp4ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       80, true,  Unconverted,    Unknown, false},  // 59 4 channels with alpha, 16 bits each
    {GUID_WICPixelFormat40bpp5Channels,        GUID_WICPixelFormat24bppBGR,       40, false, Unconverted,    Unknown, false},  // 60 5 channels, 8 bits each
    {GUID_WICPixelFormat80bpp5Channels,        GUID_WICPixelFormat24bppBGR,       80, false, Unconverted,    Unknown, false},  // 61 5 channels, 16 bits each
    {GUID_WICPixelFormat48bpp5ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       48, true,  Unconverted,    Unknown, false},  // 62 5 channels with alpha, 8 bits each
    {GUID_WICPixelFormat96bpp5ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       96, true,  Unconverted,    Unknown, false},  // 63 5 channels with alpha, 16 bits each
    {GUID_WICPixelFormat48bpp6Channels,        GUID_WICPixelFormat24bppBGR,       48, false, Unconverted,    Unknown, false},  // 64 6 channels, 8 bits each
    {GUID_WICPixelFormat96bpp6Channels,        GUID_WICPixelFormat24bppBGR,       96, false, Unconverted,    Unknown, false},  // 65 6 channels, 16 bits each
    {GUID_WICPixelFormat56bpp6ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       56, true,  Unconverted,    Unknown, false},  // 66 6 channels with alpha, 8 bits each
    {GUID_WICPixelFormat112bpp6ChannelsAlpha,  GUID_WICPixelFormat24bppBGR,      112, true,  Unconverted,    Unknown, false},  // 67 6 channels with alpha, 16 bits each
    {GUID_WICPixelFormat56bpp7Channels,        GUID_WICPixelFormat24bppBGR,       56, false, Unconverted,    Unknown, false},  // 68 7 channels, 8 bits each
    {GUID_WICPixelFormat112bpp7Channels,       GUID_WICPixelFormat24bppBGR,      112, false, Unconverted,    Unknown, false},  // 69 7 channels, 16 bits each
    {GUID_WICPixelFormat64bpp7ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       64, true,  Unconverted,    Unknown, false},  // 70 7 channels with alpha, 8 bits each
    {GUID_WICPixelFormat128bpp7ChannelsAlpha,  GUID_WICPixelFormat24bppBGR,      128, true,  Unconverted,    Unknown, false},  // 71 7 channels with alpha, 16 bits each
    {GUID_WICPixelFormat64bpp8Channels,        GUID_WICPixelFormat24bppBGR,       64, false, Unconverted,    Unknown, false},  // 72 8 channels, 8 bits each
    {GUID_WICPixelFormat128bpp8Channels,       GUID_WICPixelFormat24bppBGR,      128, false, Unconverted,    Unknown, false},  // 73 8 channels, 16 bits each
    {GUID_WICPixelFormat72bpp8ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,       72, true,  Unconverted,    Unknown, false},  // 74 8 channels with alpha, 8 bits each
    {GUID_WICPixelFormat144bpp8ChannelsAlpha,  GUID_WICPixelFormat24bppBGR,      144, true,  Unconverted,    Unknown, false},  // 75 8 channels with alpha, 16 bits each
    {GUID_WICPixelFormat8bppAlpha,             GUID_WICPixelFormat24bppBGR,        8, true,  Unconverted,    Unknown, false},  // 76 alpha only
};
// clang-format on
static_assert(std::size(kRows) == 76);

constexpr PixelFormatEntry kFallback = {
    GUID_WICPixelFormatDontCare, GUID_WICPixelFormat24bppBGR, 0, false, Unconverted, Unknown, false};

}  // namespace

const PixelFormatEntry& kFallbackEntry = kFallback;

const PixelFormatEntry& LookupPixelFormat(const GUID& format) noexcept {
    for (const PixelFormatEntry& row : kRows) {
        if (std::memcmp(&row.source, &format, sizeof(GUID)) == 0) return row;
    }
    return kFallbackEntry;
}

std::span<const PixelFormatEntry> PixelFormatRows() noexcept { return kRows; }

}  // namespace rorurera
