#include "output/lost_alpha.h"

#include "common/wine_detection.h"

namespace rorurera {

bool AlphaLostByPlatform(const PixelBuffer& buffer) noexcept {
    if (!buffer.layout || buffer.data == nullptr || buffer.layout->bitsPerPixel != 32) return false;
    if (!RunningUnderWine()) return false;
    const PixelLayout& layout = *buffer.layout;
    for (std::uint32_t row = 0; row < layout.height; ++row) {
        const std::uint8_t* pixel = buffer.data + std::size_t{row} * layout.stride;
        for (std::uint32_t x = 0; x < layout.width; ++x, pixel += 4) {
            if (pixel[3] != 0) return false;
        }
    }
    return true;
}

}  // namespace rorurera
