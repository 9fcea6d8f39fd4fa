#include "output/palette.h"

#include <wrl/client.h>

#include <algorithm>

#include "decode/frame_source.h"

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

// The source's own colours, at most `wanted`; none when it has no palette or
// any step of reading it fails.
std::vector<std::uint32_t> SourceColors(IWICImagingFactory* factory, IWICBitmapSource* source, std::uint32_t wanted) {
    std::vector<std::uint32_t> colors;
    const ComPtr<IWICPalette> palette = SourcePalette(factory, source);
    UINT count = 0;
    if (!palette || FAILED(palette->GetColorCount(&count))) return colors;
    const UINT asked = std::min<UINT>(count, wanted);
    if (asked == 0) return colors;
    colors.resize(asked);
    UINT returned = 0;
    if (FAILED(palette->GetColors(asked, colors.data(), &returned))) returned = 0;
    colors.resize(std::min(returned, asked));
    return colors;
}

}  // namespace

std::vector<std::uint32_t> CompletePalette(IWICImagingFactory* factory, IWICBitmapSource* source,
                                           std::uint32_t bitsPerPixel) {
    if (bitsPerPixel == 0 || bitsPerPixel > 8) return {};
    const std::uint32_t entries = 1u << bitsPerPixel;
    std::vector<std::uint32_t> colors = SourceColors(factory, source, entries);
    if (colors.size() < entries) {
        const std::uint32_t ramp = entries - static_cast<std::uint32_t>(colors.size()) - 1;
        colors.reserve(entries);
        for (std::uint32_t i = 0; i < ramp; ++i) {
            const std::uint32_t grey = 255 * i / ramp;
            colors.push_back(grey << 16 | grey << 8 | grey);
        }
        colors.push_back(0x00FFFFFF);
    }
    return colors;
}

}  // namespace rorurera
