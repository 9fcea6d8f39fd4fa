#include "output/pixel_stages.h"

#include <cstring>
#include <vector>

#include "output/row_loop.h"

namespace rorurera {
namespace {

bool HasPixels(const PixelBuffer& buffer) noexcept { return buffer.layout && buffer.data != nullptr; }

// One 32-bit pixel over the background: exact at alpha 0 and 255, the
// truncating blend in between (it never leaves 0..255).
inline std::uint8_t Blend(std::uint32_t source, std::uint32_t background, std::uint32_t alpha) noexcept {
    return static_cast<std::uint8_t>((source * alpha + background * (255 - alpha)) / 255);
}

void BlendRow(const std::uint8_t* source, std::uint8_t* target, std::uint32_t width,
              const BgrColor& background) noexcept {
    for (std::uint32_t x = 0; x < width; ++x, source += 4, target += 3) {
        const std::uint32_t alpha = source[3];
        if (alpha == 255) {
            target[0] = source[0];
            target[1] = source[1];
            target[2] = source[2];
        } else if (alpha == 0) {
            target[0] = background.blue;
            target[1] = background.green;
            target[2] = background.red;
        } else {
            target[0] = Blend(source[0], background.blue, alpha);
            target[1] = Blend(source[1], background.green, alpha);
            target[2] = Blend(source[2], background.red, alpha);
        }
    }
}

void DropAlphaRow(const std::uint8_t* source, std::uint8_t* target, std::uint32_t width) noexcept {
    for (std::uint32_t x = 0; x < width; ++x, source += 4, target += 3) {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
    }
}

}  // namespace

PluginResult FlipToBottomUp(PixelBuffer& buffer, UniqueHlocal& spare) {
    if (!HasPixels(buffer)) return PluginResult::InternalError;
    const PixelLayout& from = *buffer.layout;

    PixelBuffer flipped;
    const PluginResult result =
        CreatePixelBuffer(flipped, from.width, from.height, from.bitsPerPixel, from.palette, spare);
    if (result != PluginResult::Success) return result;

    const std::size_t rowBytes = static_cast<std::size_t>(PackedRowBytes(from.width, from.bitsPerPixel));
    const std::uint8_t* source = buffer.data;
    const std::size_t sourceStride = from.stride;
    std::uint8_t* target = flipped.data;
    const std::size_t targetStride = flipped.layout->stride;
    const std::uint32_t height = from.height;
    ForEachRow(height, [=](std::uint32_t row) noexcept {
        std::uint8_t* out = target + std::size_t{row} * targetStride;
        std::memcpy(out, source + std::size_t{height - 1 - row} * sourceStride, rowBytes);
        std::memset(out + rowBytes, 0, targetStride - rowBytes);
    });

    AdoptPixelBuffer(buffer, flipped, spare);
    return PluginResult::Success;
}

PluginResult ReduceTo24Bits(PixelBuffer& buffer, UniqueHlocal& spare) {
    if (!HasPixels(buffer) || buffer.layout->bitsPerPixel != 32) return PluginResult::InternalError;
    BgrColor background{0xFF, 0xFF, 0xFF};
    const std::int32_t mode = ReadOutputSettings(background);
    return ReduceTo24Bits(buffer, spare, mode, background);
}

PluginResult ReduceTo24Bits(PixelBuffer& buffer, UniqueHlocal& spare, std::int32_t alphaMode,
                            BgrColor background) {
    if (!HasPixels(buffer) || buffer.layout->bitsPerPixel != 32) return PluginResult::InternalError;
    const PixelLayout& from = *buffer.layout;

    PixelBuffer reduced;
    const PluginResult result = CreatePixelBuffer(reduced, from.width, from.height, 24, {}, spare);
    if (result != PluginResult::Success) return result;

    const bool blend = alphaMode == Composite;
    const std::uint32_t width = from.width;
    const std::size_t rowBytes = std::size_t{width} * 3;
    const std::uint8_t* source = buffer.data;
    const std::size_t sourceStride = from.stride;
    std::uint8_t* target = reduced.data;
    const std::size_t targetStride = reduced.layout->stride;
    ForEachRow(from.height, [=](std::uint32_t row) noexcept {
        const std::uint8_t* in = source + std::size_t{row} * sourceStride;
        std::uint8_t* out = target + std::size_t{row} * targetStride;
        if (blend) {
            BlendRow(in, out, width, background);
        } else {
            DropAlphaRow(in, out, width);
        }
        std::memset(out + rowBytes, 0, targetStride - rowBytes);
    });

    AdoptPixelBuffer(buffer, reduced, spare);
    return PluginResult::Success;
}

}  // namespace rorurera
