#pragma once

#include <windows.h>

#include <cstddef>

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

// The table's entry for a pixel format, or kFallbackEntry. The table's index
// is built on the first lookup of the process, under the table's own lock;
// the reference stays valid until the module is unloaded. Throws std::bad_alloc when the table
// cannot be built for lack of memory (a later lookup tries again), and
// std::logic_error when called before PixelFormatTableAttach.
const PixelFormatEntry& LookupPixelFormat(const GUID& format);

// Creates the table's lock at module attach; deletes the table and then the
// lock at detach. Programs that link the plug-in's inner parts directly call
// these themselves, around every use of the table.
void PixelFormatTableAttach() noexcept;
void PixelFormatTableDetach() noexcept;

// The rows in their order, for those who check the table itself.
std::size_t PixelFormatRowCount() noexcept;
const PixelFormatEntry& PixelFormatRow(std::size_t index) noexcept;  // index < PixelFormatRowCount()

// How many times this process has built the lookup index: 1 after any number
// of lookups (0 before the first), counted again only after a detach and
// attach or after a build that ran out of memory was retried.
int PixelFormatIndexBuildCount() noexcept;

}  // namespace rorurera
