#pragma once

// The pixel stages of a picture request. Each writes a new buffer and then
// adopts it into the working one, so the working buffer always describes the
// pixels it holds; on failure the working buffer is left as it was.

#include <cstdint>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "output/pixel_buffer.h"
#include "settings/settings_store.h"

namespace rorurera {

// Reverses the row order and lays the rows out at the DIB pitch: the rows
// may come in at any pitch (the imaging component's packed rows), they go
// out padded to a multiple of 4 bytes, padding bytes zero. InternalError for
// a buffer without layout or pixels, OutOfMemory when the new buffer cannot
// be had. May throw std::bad_alloc (the palette copy).
PluginResult FlipToBottomUp(PixelBuffer& buffer, UniqueHlocal& spare);

// Turns 32-bit blue-green-red-alpha rows (straight alpha) into 24-bit rows:
// alpha mode and background from the settings, read once.
PluginResult ReduceTo24Bits(PixelBuffer& buffer, UniqueHlocal& spare);

// The same with the mode and background given: mode 1 blends every pixel
// over the background, out = (src * A + bg * (255 - A)) / 255 truncated;
// every other mode drops the alpha byte. InternalError for a buffer without
// layout or pixels or of another depth than 32, OutOfMemory when the new
// buffer cannot be had. Row padding of the result is zero.
PluginResult ReduceTo24Bits(PixelBuffer& buffer, UniqueHlocal& spare, std::int32_t alphaMode,
                            BgrColor background);

}  // namespace rorurera
