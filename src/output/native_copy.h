#pragma once

#include <wincodec.h>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "output/native_pixels.h"
#include "output/pixel_buffer.h"

namespace rorurera {

// Frame 0 read in its own pixel format and converted by us (native_pixels.h)
// into tight rows of 24bppBGR, or 32bppBGRA for a format with alpha, top row
// first: the picture for a frame whose format the imaging component's
// converter refuses. The stored rows are read with one full-width
// CopyPixels at the packed pitch, the only first copy that every JPEG XR
// frame serves correctly; their block becomes the spare when it is the
// larger one. Returns `refused` when the frame's format is not one we
// convert, OutOfMemory when the picture cannot be held, the mapped failure
// of an imaging call otherwise; `buffer` is then unchanged.
// The frame's stored rows in one full-width CopyPixels at the packed pitch
// (bits per pixel from our own table: the imaging component's information on
// half, fixed-point and 10-10-10 formats may say 0) into a new block `rows`.
PluginResult CopyStoredRows(IWICBitmapFrameDecode* frame, const NativeFormat& native, UINT width, UINT height,
                            UniqueHlocal& rows, UINT& pitch);

// Stored rows (as CopyStoredRows gives them) converted into tight rows of
// 24bppBGR or 32bppBGRA, adopted into `picture`; `picture` is unchanged when
// the new buffer cannot be made.
PluginResult ConvertStoredRows(const NativeFormat& native, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture, UniqueHlocal& spare);

PluginResult CopyNativePixels(IWICBitmapDecoder* decoder, PluginResult refused, PixelBuffer& buffer,
                              UniqueHlocal& spare);

// True under Wine when frame 0 holds samples that its converter gets wrong
// where it takes them at all: samples that may lie beyond white
// (fixed-point, half, float, shared exponent), whose values above 1.0 it
// wraps around (32bppGrayFloat), and 16-bit integer samples, of which it
// keeps the high byte instead of giving the linear values the sRGB curve
// (64bppRGBA). Such frames skip the platform's converter. Always false on
// Windows, and asks the decoder nothing there.
bool PreferOwnConversion(IWICBitmapDecoder* decoder) noexcept;

}  // namespace rorurera
