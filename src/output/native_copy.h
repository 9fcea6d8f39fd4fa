#pragma once

// Our own conversion of a frame (native_pixels.h): its stored rows read in
// its own pixel format and converted by us into tight rows of 24bppBGR, or
// 32bppBGRA for a format with alpha, top row first.

#include <wincodec.h>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "decode/stored_frame.h"
#include "output/native_pixels.h"
#include "output/pixel_buffer.h"

namespace rorurera {

// The frame's stored rows in one full-width CopyPixels at the packed pitch,
// the only first copy that every JPEG XR frame serves correctly (bits per
// pixel from our own table: the imaging component's information on half,
// fixed-point and 10-10-10 formats may say 0), into a new block `rows`.
// OutOfMemory when the copy cannot be made in one call or its block cannot
// be had, the mapped failure of CopyPixels otherwise.
PluginResult CopyStoredRows(const StoredFrame& frame, UniqueHlocal& rows, UINT& pitch);

// Stored rows (as CopyStoredRows gives them) converted into tight rows of
// 24bppBGR or 32bppBGRA, adopted into `picture`; `picture` is unchanged when
// the new buffer cannot be made.
PluginResult ConvertStoredRows(const PixelFormatEntry& format, const std::uint8_t* rows, UINT pitch, UINT width,
                               UINT height, PixelBuffer& picture);

// The picture of a frame whose format our own conversion takes
// (OwnConversionTakes; InternalError otherwise): its stored rows copied and
// converted; their block becomes the picture's spare when it is the
// larger one.
// OutOfMemory when the picture cannot be held, the mapped failure of an
// imaging call otherwise; `buffer` is then unchanged.
PluginResult CopyNativePixels(const StoredFrame& frame, PixelBuffer& buffer);

}  // namespace rorurera
