#pragma once

// The picture path of frames stored as linear-light floating point (scRGB:
// half, float, fixed point, shared exponent; grey included) while tone
// mapping is switched on: the frame is read as linear floats, its peak found
// and, when the peak lies above SDR white, every row tone mapped and given
// the sRGB curve. Pictures within SDR range come out byte for byte as with
// the switch off: the usual path makes them, or, where the frame's own rows
// were read, those rows are converted as the native-pixel path does.

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "common/owners.h"
#include "common/plugin_result.h"
#include "output/native_pixels.h"
#include "output/pixel_buffer.h"

namespace rorurera {

// Whether the frame is stored as scRGB: half, float, fixed point or shared
// exponent, grey and alpha included.
bool IsScRgbFrame(IWICBitmapFrameDecode* frame) noexcept;

// Linear R, G, B, A floats of a frame, read in bands of rows: through the
// platform's converter to 128bppRGBAFloat (Windows), or from one copy of the
// frame's own rows decoded by our code (Wine).
class LinearFrameReader {
public:
    LinearFrameReader() = default;
    LinearFrameReader(const LinearFrameReader&) = delete;
    LinearFrameReader& operator=(const LinearFrameReader&) = delete;

    // Prepares to read a frame stored as scRGB (IsScRgbFrame): through the
    // platform's converter, or else from one copy of the frame's own rows
    // (PreferOwnConversion says which). May throw std::bad_alloc.
    PluginResult Open(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, bool platformConverter);

    std::uint32_t Width() const noexcept { return width_; }
    std::uint32_t Height() const noexcept { return height_; }
    bool HasAlpha() const noexcept { return hasAlpha_; }

    // Rows [first, first + count) as 4 floats a pixel, rows tight, into
    // `rgba` (count * width * 4 floats).
    PluginResult ReadRows(std::uint32_t first, std::uint32_t count, float* rgba) noexcept;

    // Whether the frame's own rows were copied (the platform's converter is
    // not used), and those rows converted without tone mapping into tight
    // 24bppBGR or 32bppBGRA rows, byte for byte as the native-pixel path
    // (CopyNativePixels) makes them.
    bool HasStoredRows() const noexcept { return native_ != nullptr; }
    PluginResult ConvertStoredRows(PixelBuffer& picture, UniqueHlocal& spare);

private:
    Microsoft::WRL::ComPtr<IWICBitmapSource> converter_;  // to 128bppRGBAFloat, when the platform has it
    const NativeFormat* native_ = nullptr;                 // otherwise the frame's own rows, decoded here
    const std::uint8_t* StoredRows() const noexcept {
        return static_cast<const std::uint8_t*>(nativeRows_.get());
    }
    UniqueHlocal nativeRows_;
    std::size_t nativePitch_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool hasAlpha_ = false;
};

// The 99.9th percentile of the frame's luminance (0 for an empty frame).
PluginResult FramePeak(LinearFrameReader& reader, float& peak);

// Every row tone mapped for `peak` (> 1) into a new top-down buffer with
// tight rows: 32-bit B, G, R, A for a frame with alpha, 24-bit B, G, R
// otherwise. May throw std::bad_alloc.
PluginResult ToneMapFrameRows(LinearFrameReader& reader, float peak, PixelBuffer& picture, UniqueHlocal& spare);

// The whole decision for one picture request: `made` true when `picture`
// now holds the top-down rows (tone mapped, or for a peak of 1.0 or below
// the frame's own rows converted as the native-pixel path does), `hasAlpha`
// saying whether they are 32-bit with alpha; false when the frame is not
// scRGB or the switch is off, or for a peak of 1.0 or below on the
// platform's converter: the usual path must make the picture then. May
// throw std::bad_alloc.
PluginResult ToneMapFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, PixelBuffer& picture,
                          UniqueHlocal& spare, bool& made, bool& hasAlpha);

}  // namespace rorurera
