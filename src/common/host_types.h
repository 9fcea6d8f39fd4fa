#pragma once

// The Susie import plug-in interface as the hosts declare it: the packed
// records, the callback, the input modes and the returned bitmap's row
// pitch (the exports' prototypes, as a host calls them, are hostkit's).

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace susie {

#pragma pack(push, 1)
// The picture information record. 32-bit hosts pack it to 26 bytes (hInfo at
// offset 22); 64-bit hosts have two padding bytes before hInfo (offset 24).
struct PictureInfo {
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
    std::uint16_t x_density;
    std::uint16_t y_density;
    std::int16_t colorDepth;
#ifdef _WIN64
    std::uint8_t padding[2];
#endif
    HLOCAL hInfo;
};
#pragma pack(pop)

#ifdef _WIN64
static_assert(offsetof(PictureInfo, hInfo) == 24 && sizeof(PictureInfo) == 32);
#else
static_assert(offsetof(PictureInfo, hInfo) == 22 && sizeof(PictureInfo) == 26);
#endif

// The host's progress callback: numerator, denominator (always 100 here) and
// the host's own value; a non-zero answer asks the request to stop.
using ProgressCallback = int(WINAPI*)(int numerator, int denominator, LONG_PTR user);

// Input modes of the flag argument.
constexpr unsigned int kFromFile = 0;
constexpr unsigned int kFromMemory = 1;

// Bytes from one row of the returned bitmap to the next (bits padded to 32).
constexpr std::uint64_t DibStride(std::uint64_t width, std::uint32_t bitsPerPixel) noexcept {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

}  // namespace susie

namespace rorurera {
using susie::PictureInfo;
using susie::ProgressCallback;
}  // namespace rorurera
