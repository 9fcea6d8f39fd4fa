#pragma once

#include <wincodec.h>

#include <cstdint>
#include <vector>

namespace rorurera {

// Profiles larger than this are not read (a press profile takes about 0.6 MB).
inline constexpr UINT kMaxProfileBytes = 16u << 20;

// The ICC profile that frame 0 carries: the bytes of its first colour context
// of the profile kind, or none when it has no such context, the context
// cannot be read or is larger than kMaxProfileBytes. May throw
// std::bad_alloc.
std::vector<std::uint8_t> ReadColorProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame);

}  // namespace rorurera
