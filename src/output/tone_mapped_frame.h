#pragma once

// The picture path of scRGB frames (half, float, fixed point, shared
// exponent; grey included) with tone mapping on: the frame read as linear
// floats, its peak and SDR white found (or the white set), and unless it
// fits SDR range as stored, every row tone mapped (tone_map.h) and given the
// sRGB curve. Pictures within SDR range come out byte for byte as with the
// switch off.

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "decode/stored_frame.h"
#include "output/native_pixels.h"
#include "output/pixel_buffer.h"
#include "output/tone_map.h"
#include "settings/settings_store.h"

namespace rorurera {

// Linear R, G, B, A floats of a frame, read in bands of rows: through the
// platform's converter to 128bppRGBAFloat (Windows), or from one copy of the
// frame's own rows decoded by our code (Wine).
class LinearFrameReader {
public:
    LinearFrameReader() = default;
    LinearFrameReader(const LinearFrameReader&) = delete;
    LinearFrameReader& operator=(const LinearFrameReader&) = delete;

    // Prepares to read a frame stored as scRGB, the way the picture's path
    // says. May throw std::bad_alloc.
    PluginResult Open(IWICImagingFactory* factory, const StoredFrame& frame, bool platformConverter);

    std::uint32_t Width() const noexcept { return width_; }
    std::uint32_t Height() const noexcept { return height_; }
    bool HasAlpha() const noexcept { return hasAlpha_; }

    // Rows first, first + step, ... (count of them) as 4 floats a pixel,
    // rows tight, into `rgba` (count * width * 4 floats).
    PluginResult ReadRows(std::uint32_t first, std::uint32_t count, float* rgba, std::uint32_t step = 1) noexcept;

    // Whether the frame's own rows were copied, and those rows converted
    // without tone mapping, byte for byte as our own conversion makes them.
    bool HasStoredRows() const noexcept { return native_ != nullptr; }
    // `count` pixels of stored row `row` from pixel `x` on, as DecodeLinearRow
    // gives them; only with HasStoredRows, for a stretch inside the frame.
    void DecodeStoredStretch(std::uint32_t row, std::uint32_t x, std::uint32_t count, float* rgba) const noexcept;
    PluginResult ConvertStoredRows(PixelBuffer& picture);

private:
    Microsoft::WRL::ComPtr<IWICBitmapSource> converter_;  // to 128bppRGBAFloat, when the platform has it
    const PixelFormatEntry* native_ = nullptr;            // otherwise the frame's own rows, decoded here
    const std::uint8_t* StoredRows() const noexcept { return static_cast<const std::uint8_t*>(nativeRows_.get()); }
    UniqueHlocal nativeRows_;
    std::size_t nativePitch_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool hasAlpha_ = false;
};

// What one pass over the frame's luminance finds, as stored (1.0 = 80 nits).
struct FrameLevels {
    float peak = 0.0f;            // the 99.9th percentile of luminance
    float largestChannel = 0.0f;  // the largest R, G or B
    float foundWhite = 0.0f;      // the SDR white found in the picture, 0 for none
};

// The levels of the frame. Pictures of more than about two million pixels
// are measured on an even sample of whole rows (every second, third, ...
// row), which finds the same levels at a fraction of the reading.
PluginResult MeasureFrame(LinearFrameReader& reader, FrameLevels& levels);

// The SDR white to keep white: the setting's (nits / kNitsOfScRgbOne) when one is set
// (`nits` not 0), else the one found, else 1.0.
float ChosenSdrWhite(const FrameLevels& levels, DWORD nits) noexcept;

// The picture of a frame stored as scRGB with tone mapping on, into
// `picture` (which comes without rows): the top-down rows tone mapped, or for
// a picture within SDR range whose stored rows were read, those rows
// converted as our own conversion does. A picture within SDR range read
// through the platform's converter is left without rows: the picture's path
// for such pictures makes it. May throw std::bad_alloc.
PluginResult ToneMapFrame(IWICImagingFactory* factory, const StoredFrame& frame, bool floatsFromPlatform,
                          const HdrSettings& settings, PixelBuffer& picture);

}  // namespace rorurera
