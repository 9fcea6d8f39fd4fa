#pragma once

#include <windows.h>

namespace rorurera {

// What the plug-in knows of one pixel format: the format a frame of it is
// converted to when it has no alpha, its own bits per pixel, and whether it
// carries alpha.
struct PixelFormatEntry {
    const GUID& source;
    const GUID& target;
    int bitsPerPixel;
    bool hasAlpha;
};

// The entry of a format that is not in the table: DontCare, to 24bppBGR,
// 0 bits, no alpha.
extern const PixelFormatEntry& kFallbackEntry;

// The table's entry for a pixel format, or kFallbackEntry. The table is built
// on the first lookup of the process, under its own lock; the reference stays
// valid until the module is unloaded. Throws std::bad_alloc when the table
// cannot be built for lack of memory (a later lookup tries again).
const PixelFormatEntry& LookupPixelFormat(const GUID& format);

// Creates the table's lock at module attach; deletes the table and then the
// lock at detach.
void PixelFormatTableAttach() noexcept;
void PixelFormatTableDetach() noexcept;

}  // namespace rorurera
