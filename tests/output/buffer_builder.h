#pragma once

// Working pictures built by hand for the unit tests of the pixel stages: a
// layout as given and a fixed block holding exactly the given bytes plus the
// 4 spare bytes, independent of the code under test.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "output/pixel_buffer.h"

namespace testing_support {

inline rorurera::PixelBuffer MakeBuffer(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                                        std::size_t stride, const std::vector<std::uint8_t>& rows,
                                        std::vector<std::uint32_t> palette = {}) {
    rorurera::PixelBuffer buffer;
    buffer.layout = std::make_unique<rorurera::PixelLayout>();
    buffer.layout->width = width;
    buffer.layout->height = height;
    buffer.layout->bitsPerPixel = bitsPerPixel;
    buffer.layout->stride = stride;
    buffer.layout->palette = std::move(palette);
    buffer.block.reset(::LocalAlloc(LMEM_FIXED, rows.size() + 4));
    if (std::uint8_t* data = buffer.data()) {
        std::memcpy(data, rows.data(), rows.size());
        std::memset(data + rows.size(), 0xEE, 4);
    }
    return buffer;
}

// The first `size` bytes of a buffer's block.
inline std::vector<std::uint8_t> BufferBytes(const rorurera::PixelBuffer& buffer, std::size_t size) {
    const std::uint8_t* data = buffer.data();
    if (data == nullptr) return {};
    return std::vector<std::uint8_t>(data, data + size);
}

}  // namespace testing_support
