#pragma once

// The copies of a frame's rows: through a source in the output format (the
// platform's converter), and our own conversion of the frame's stored rows
// (native_pixels.h) into tight rows of 24bppBGR, or 32bppBGRA for a format
// with alpha, top row first.

#include <wincodec.h>

#include <cstdint>
#include <vector>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "decode/stored_frame.h"
#include "output/pixel_buffer.h"
#include "output/profile_transform.h"

namespace rorurera {

// One full-width CopyPixels of the source at the packed pitch
// (PackedCopySize) into `out`, which holds the packed rows: the only first
// copy that every JPEG XR frame serves correctly. E_OUTOFMEMORY when the copy
// does not fit one call.
HRESULT CopyPackedRows(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                       void* out) noexcept;

// The whole source, top row first, packed (not yet DIB rows), adopted into
// `buffer`, which is unchanged on failure. E_OUTOFMEMORY when the copy cannot
// be made in one call or its buffer cannot be allocated, the result of
// CopyPixels otherwise. May throw std::bad_alloc (palette).
HRESULT CopySourcePixels(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height,
                         std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette, PixelBuffer& buffer);

// The frame's stored rows in one packed copy (bits per pixel from our own
// table: the imaging component's information on half, fixed-point and
// 10-10-10 formats may say 0), into a new block `rows`.
HRESULT CopyStoredRows(const StoredFrame& frame, UniqueHlocal& rows, UINT& pitch) noexcept;

// Stored rows (as CopyStoredRows gives them) converted into tight rows of
// 24bppBGR or 32bppBGRA, through `colour` when given, adopted into
// `picture`; `picture` is unchanged when the new buffer cannot be made.
PluginResult ConvertStoredRows(const PixelFormatEntry& format, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture, const ProfileTransform* colour = nullptr);

// The picture of a frame whose format our own conversion takes
// (OwnConversionTakes; InternalError otherwise): its stored rows copied and
// converted (through `colour` when given); their block becomes the picture's spare when it is the larger
// one. OutOfMemory when the picture cannot be held, the mapped failure of an
// imaging call otherwise; `buffer` is then unchanged.
PluginResult CopyNativePixels(const StoredFrame& frame, PixelBuffer& buffer, const ProfileTransform* colour = nullptr);

}  // namespace rorurera
