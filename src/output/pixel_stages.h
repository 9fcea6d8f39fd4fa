#pragma once

// The pixel stages of a picture request. They rewrite the rows in the
// working buffer's own block (the packed copy's block has room for the DIB
// rows), with a few rows of scratch at most; only a buffer whose block has
// no room for its DIB rows is flipped into a second block. The working
// buffer always describes the pixels it holds; on failure it is left as it
// was.

#include <cstdint>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "output/pixel_buffer.h"
#include "settings/settings_store.h"

namespace rorurera {

// Reverses the row order and lays the rows out at the DIB pitch: the rows
// may come in at any pitch (the imaging component's packed rows), they go
// out padded to a multiple of 4 bytes, padding bytes zero. In place when the
// block holds the DIB rows; otherwise into a new buffer (the buffer's spare
// when it is large enough). InternalError for a buffer without layout or pixels,
// OutOfMemory when a new buffer is needed and cannot be had. May throw
// std::bad_alloc (the palette copy of a new buffer).
PluginResult FlipToBottomUp(PixelBuffer& buffer);

// Turns 32-bit blue-green-red-alpha rows (straight alpha) into 24-bit rows:
// Composite blends every pixel over the background,
// out = (src * A + bg * (255 - A)) / 255 truncated; Discard drops the alpha
// byte. The 24-bit DIB rows are written over the 32-bit rows in the
// same block. InternalError for a buffer without layout or pixels, of
// another depth than 32 or with rows too short for 32-bit pixels. Row
// padding of the result is zero.
//
// How the work is divided gives the same bytes either way. Forward: one pass
// from the first row on the calling thread (the 64-bit module's choice).
// InSlots: each row shrinks within its own 32-bit place, rows spread over the
// row loop's threads, then one pass moves them to the DIB pitch (the choice
// where the row loops use the thread pool). Module: the module's choice.
enum class ReducePartition { Module, Forward, InSlots };
PluginResult ReduceTo24Bits(PixelBuffer& buffer, AlphaMode alphaMode, BgrColor background,
                            ReducePartition partition = ReducePartition::Module);

// True for a 32-bit picture whose alpha bytes are all 0.
bool AlphaAllZero(const PixelBuffer& buffer) noexcept;

}  // namespace rorurera
