#include "output/tone_mapped_frame.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "output/native_copy.h"
#include "output/row_loop.h"
#include "output/tone_map.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::uint64_t kFloatPixelBytes = 4 * sizeof(float);
// Rows are read in bands of about this many bytes of floats.
constexpr std::uint64_t kBandBytes = std::uint64_t{4} << 20;
// The levels of a picture are measured on about this many pixels: a 4K
// screenshot on every fourth row. Reading and counting every pixel made
// tone mapping cost about a quarter more than the conversion alone.
constexpr std::uint64_t kSampledPixels = std::uint64_t{1} << 21;

// A band of rows as floats, or null when it cannot be had.
std::unique_ptr<float[]> NewBand(std::uint32_t width, std::uint32_t rows) noexcept {
    const std::uint64_t floats = std::uint64_t{width} * rows * 4;
    if (floats > SIZE_MAX / sizeof(float)) return nullptr;
    return std::unique_ptr<float[]>(new (std::nothrow) float[static_cast<std::size_t>(floats)]);
}

std::uint32_t BandRows(std::uint32_t width, std::uint32_t height) noexcept {
    const std::uint64_t rowBytes = std::max<std::uint64_t>(std::uint64_t{width} * kFloatPixelBytes, 1);
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(kBandBytes / rowBytes, 1, std::max(height, 1u)));
}

}  // namespace

PluginResult LinearFrameReader::Open(IWICImagingFactory* factory, const StoredFrame& frame, bool platformConverter) {
    if (factory == nullptr || !frame.frame) return PluginResult::InternalError;
    const PixelFormatEntry& stored = *frame.entry;
    if (!IsScRgb(stored)) return PluginResult::InternalError;
    const std::uint32_t width = frame.width;
    const std::uint32_t height = frame.height;
    // A band of float rows must fit one CopyPixels call.
    if (std::uint64_t{width} * kFloatPixelBytes * BandRows(width, height) > UINT_MAX ||
        width > static_cast<UINT>(INT_MAX) || height > static_cast<UINT>(INT_MAX)) {
        return PluginResult::OutOfMemory;
    }
    width_ = width;
    height_ = height;
    hasAlpha_ = stored.hasAlpha;

    // The platform's converter gives the floats where the picture's path
    // says so; otherwise, or should the converter refuse, the frame's own
    // rows are decoded here.
    ComPtr<IWICFormatConverter> converter;
    if (platformConverter && SUCCEEDED(factory->CreateFormatConverter(converter.GetAddressOf())) && converter &&
        SUCCEEDED(converter->Initialize(frame.frame.Get(), GUID_WICPixelFormat128bppRGBAFloat, WICBitmapDitherTypeNone,
                                        nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter.As(&converter_))) {
        return PluginResult::Success;
    }
    converter_.Reset();

    // One full-width copy at the packed pitch, the only first copy Wine's
    // frames make correctly; the rows may be deeper than any bitmap's.
    UINT pitch = 0;
    const HRESULT hr = CopyStoredRows(frame, nativeRows_, pitch);
    if (FAILED(hr)) return ResultFromHresult(hr);
    nativePitch_ = pitch;
    native_ = &stored;
    return PluginResult::Success;
}

PluginResult LinearFrameReader::ReadRows(std::uint32_t first, std::uint32_t count, float* rgba,
                                         std::uint32_t step) noexcept {
    if (count == 0) return PluginResult::Success;
    if (step == 0 || first >= height_ || (std::uint64_t{count} - 1) * step >= height_ - first) {
        return PluginResult::InternalError;
    }
    const std::size_t rowFloats = std::size_t{width_} * 4;
    if (converter_) {
        // Open checked that a band of rows fits the call's arguments.
        const auto stride = static_cast<UINT>(rowFloats * sizeof(float));
        if (step == 1) {
            const WICRect rows{0, static_cast<INT>(first), static_cast<INT>(width_), static_cast<INT>(count)};
            const HRESULT hr = converter_->CopyPixels(&rows, stride, stride * count, reinterpret_cast<BYTE*>(rgba));
            return FAILED(hr) ? ResultFromHresult(hr) : PluginResult::Success;
        }
        for (std::uint32_t row = 0; row < count; ++row) {
            const WICRect one{0, static_cast<INT>(first + row * step), static_cast<INT>(width_), 1};
            const HRESULT hr =
                converter_->CopyPixels(&one, stride, stride, reinterpret_cast<BYTE*>(rgba + row * rowFloats));
            if (FAILED(hr)) return ResultFromHresult(hr);
        }
        return PluginResult::Success;
    }
    if (native_ == nullptr || !nativeRows_) return PluginResult::InternalError;
    const PixelFormatEntry& native = *native_;
    const std::size_t stride = nativePitch_;
    const std::uint8_t* source = StoredRows() + std::size_t{first} * stride;
    const std::size_t sourceStep = stride * step;
    const std::uint32_t width = width_;
    ForEachRow(count, [=](std::uint32_t row) noexcept {
        DecodeLinearRow(native, source + row * sourceStep, rgba + row * rowFloats, width);
    });
    return PluginResult::Success;
}

void LinearFrameReader::DecodeStoredStretch(std::uint32_t row, std::uint32_t x, std::uint32_t count,
                                            float* rgba) const noexcept {
    const std::uint8_t* source =
        StoredRows() + std::size_t{row} * nativePitch_ + std::size_t{x} * (native_->bitsPerPixel / 8);
    DecodeLinearRow(*native_, source, rgba, count);
}

PluginResult MeasureFrame(LinearFrameReader& reader, FrameLevels& levels) {
    levels = FrameLevels{};
    const std::uint32_t width = reader.Width();
    const std::uint32_t height = reader.Height();
    // Every step-th row, so that about kSampledPixels are measured.
    const std::uint64_t pixels = std::uint64_t{width} * height;
    const auto step = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, pixels / kSampledPixels));
    const std::uint32_t sampled = height == 0 ? 0 : (height - 1) / step + 1;
    const std::uint32_t bandRows = BandRows(width, sampled);
    const std::unique_ptr<float[]> band = NewBand(width, bandRows);
    if (!band) return PluginResult::OutOfMemory;
    LuminanceHistogram histogram;
    for (std::uint32_t first = 0; first < sampled; first += bandRows) {
        const std::uint32_t count = std::min(bandRows, sampled - first);
        const PluginResult result = reader.ReadRows(first * step, count, band.get(), step);
        if (result != PluginResult::Success) return result;
        histogram.AddRow(band.get(), static_cast<std::uint32_t>(std::uint64_t{width} * count));
    }
    levels.peak = histogram.Percentile(kPeakPercentile);
    levels.largestChannel = histogram.LargestChannel();
    levels.foundWhite = histogram.SdrWhite();
    return PluginResult::Success;
}

float ChosenSdrWhite(const FrameLevels& levels, DWORD nits) noexcept {
    if (nits != 0) return static_cast<float>(nits) / kNitsOfScRgbOne;
    return levels.foundWhite > 0.0f ? levels.foundWhite : 1.0f;
}

PluginResult LinearFrameReader::ConvertStoredRows(PixelBuffer& picture) {
    if (native_ == nullptr || !nativeRows_) return PluginResult::InternalError;
    return rorurera::ConvertStoredRows(*native_, StoredRows(), static_cast<UINT>(nativePitch_), width_, height_,
                                       picture);
}

namespace {

// Every row mapped by `curve` into a new top-down buffer with tight rows:
// 32-bit B, G, R, A for a frame with alpha, 24-bit B, G, R otherwise.
PluginResult ToneMapFrameRows(LinearFrameReader& reader, const ToneCurve& curve, PixelBuffer& picture) {
    const std::uint32_t width = reader.Width();
    const std::uint32_t height = reader.Height();
    const bool withAlpha = reader.HasAlpha();
    PixelBuffer mapped;
    PluginResult result = CreatePixelBuffer(mapped, width, height, OutputBytesPerPixel(withAlpha) * 8, {},
                                            picture.spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;

    const std::size_t outStride = mapped.layout->stride;
    if (reader.HasStoredRows()) {
        // The frame's own rows: decoded, mapped and encoded a stretch at a
        // time, which stays in the cache, as our own conversion does.
        const std::uint32_t outBytes = OutputBytesPerPixel(withAlpha);
        std::uint8_t* out = mapped.data();
        const LinearFrameReader& rows = reader;
        ForEachRow(height, [=, &curve, &rows](std::uint32_t row) noexcept {
            constexpr std::uint32_t kStretch = 256;
            float linear[kStretch * 4];
            for (std::uint32_t x = 0; x < width; x += kStretch) {
                const std::uint32_t count = std::min(kStretch, width - x);
                rows.DecodeStoredStretch(row, x, count, linear);
                ToneMapRow(linear, count, curve);
                EncodeLinearRowSrgb(linear, out + row * outStride + std::size_t{x} * outBytes, count, withAlpha);
            }
        });
        AdoptPixelBuffer(picture, mapped);
        return PluginResult::Success;
    }
    const std::uint32_t bandRows = BandRows(width, height);
    const std::unique_ptr<float[]> band = NewBand(width, bandRows);
    if (!band) return PluginResult::OutOfMemory;
    const std::size_t rowFloats = std::size_t{width} * 4;
    for (std::uint32_t first = 0; first < height; first += bandRows) {
        const std::uint32_t count = std::min(bandRows, height - first);
        result = reader.ReadRows(first, count, band.get());
        if (result != PluginResult::Success) return result;
        float* rows = band.get();
        std::uint8_t* out = mapped.data() + std::size_t{first} * outStride;
        ForEachRow(count, [=, &curve](std::uint32_t row) noexcept {
            float* rgba = rows + row * rowFloats;
            ToneMapRow(rgba, width, curve);
            EncodeLinearRowSrgb(rgba, out + row * outStride, width, withAlpha);
        });
    }
    AdoptPixelBuffer(picture, mapped);
    return PluginResult::Success;
}

}  // namespace

PluginResult ToneMapFrame(IWICImagingFactory* factory, const StoredFrame& frame, bool floatsFromPlatform,
                          const HdrSettings& settings, PixelBuffer& picture) {
    LinearFrameReader reader;
    PluginResult result = reader.Open(factory, frame, floatsFromPlatform);
    if (result != PluginResult::Success) return result;
    FrameLevels levels;
    result = MeasureFrame(reader, levels);
    if (result != PluginResult::Success) return result;
    const float white = ChosenSdrWhite(levels, settings.sdrWhiteNits);
    const ToneCurve curve = MakeToneCurve(levels.peak, white);
    if (levels.largestChannel <= 1.0f || (white == 1.0f && !curve.compress)) {
        // Within SDR range as stored: the picture as without tone mapping.
        // The frame's own rows, when they were read, are converted as our
        // own conversion converts them, which spares a second copy of the
        // frame.
        return reader.HasStoredRows() ? reader.ConvertStoredRows(picture) : PluginResult::Success;
    }
    return ToneMapFrameRows(reader, curve, picture);
}

}  // namespace rorurera
