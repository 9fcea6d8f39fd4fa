#pragma once

// A look at a JPEG XR file's directory and image header before any decoder
// sees it: Wine's decoder, built with its assertions on, ends the whole host
// process on some values the format does not allow (an orientation above 7,
// a reserved colour format, ...); such files are refused here instead. The
// image data is never read.

#include <cstddef>
#include <cstdint>

#include "common/plugin_result.h"

namespace rorurera {

// The bytes the decoder would read: a file, a memory block, the host's 2 KB
// header buffer.
class ContainerBytes {
public:
    // Copies up to size bytes from offset into out; returns how many there
    // were (fewer at the end, 0 past it or when the bytes cannot be read).
    virtual std::size_t ReadAt(std::uint64_t offset, void* out, std::size_t size) noexcept = 0;

protected:
    ~ContainerBytes() = default;
};

// UnknownFormat for a JPEG XR container holding a value that the format does
// not allow and that the platform's decoder would stop the process on;
// Success for every other file, also for one that is no JPEG XR container at
// all or that ends early (the decoder judges those itself).
PluginResult CheckContainerValues(ContainerBytes& bytes) noexcept;

}  // namespace rorurera
