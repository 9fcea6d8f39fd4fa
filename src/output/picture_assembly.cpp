#include "output/picture_assembly.h"

#include <wrl/client.h>

#include <climits>
#include <limits>

#include "decode/container.h"
#include "decode/frame_source.h"
#include "decode/pixel_format_table.h"
#include "output/lost_alpha.h"
#include "output/native_copy.h"
#include "output/palette.h"
#include "output/pixel_stages.h"
#include "output/tone_mapped_frame.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

bool PackedCopySize(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel, UINT& pitch,
                    UINT& bufferSize) noexcept {
    constexpr std::uint64_t kMaxUint = std::numeric_limits<UINT>::max();
    // The rectangle's sides are INT.
    if (width > static_cast<std::uint32_t>(INT_MAX) || height > static_cast<std::uint32_t>(INT_MAX)) {
        return false;
    }
    const std::uint64_t rowBytes = PackedRowBytes(width, bitsPerPixel);
    if (rowBytes > kMaxUint) return false;
    const std::uint64_t total = rowBytes * height;  // below 2^64: both factors below 2^32
    if (total > kMaxUint) return false;
    pitch = static_cast<UINT>(rowBytes);
    bufferSize = static_cast<UINT>(total);
    return true;
}

PluginResult CopySourcePixels(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height,
                              std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette,
                              PixelBuffer& buffer, UniqueHlocal& spare, HRESULT* failure) {
    if (failure != nullptr) *failure = S_OK;
    if (source == nullptr) return PluginResult::InternalError;
    UINT pitch = 0;
    UINT bufferSize = 0;
    if (!PackedCopySize(width, height, bitsPerPixel, pitch, bufferSize)) return PluginResult::OutOfMemory;

    PixelBuffer copied;
    PluginResult result =
        CreatePixelBuffer(copied, width, height, bitsPerPixel, palette, spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;

    // One full-width copy at the packed pitch: the imaging component's JPEG XR
    // frames decode correctly only when their first copy is made this way.
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    const HRESULT hr = source->CopyPixels(&all, pitch, bufferSize, copied.data);
    if (FAILED(hr)) {
        if (failure != nullptr) *failure = hr;
        return ResultFromHresult(hr);
    }

    AdoptPixelBuffer(buffer, copied, spare);
    return PluginResult::Success;
}

namespace {

// The usual path (reports 50): frame 0 through the imaging component's
// converter, or, where it refuses the frame's format (as Wine's does for the
// 16-bit, half, float, fixed-point, RGBE, 10-10-10 and CMYK formats) or
// would convert it wrongly (PreferOwnConversion), our own conversion of the
// stored pixels; `hasAlpha` for 32-bit rows with alpha.
PluginResult CopyFramePixels(IWICImagingFactory* factory, IWICBitmapDecoder* decoder,
                             const ProgressReporter& progress, PixelBuffer& picture, UniqueHlocal& spare,
                             bool& hasAlpha) {
    PluginResult result = PluginResult::Success;
    ComPtr<IWICBitmapSource> source;
    HRESULT failure = S_OK;
    bool refused = PreferOwnConversion(decoder);
    if (refused) {
        result = PluginResult::InternalError;
    } else {
        result = PrepareFrameSource(factory, decoder, source, &failure);
        refused = result != PluginResult::Success && ConverterRefused(failure);
        if (result != PluginResult::Success && !refused) return result;
        if (!refused && !source) return PluginResult::InternalError;
    }
    if (progress.StopRequestedAt(50)) return PluginResult::Aborted;

    if (!refused) {
        UINT width = 0;
        UINT height = 0;
        HRESULT hr = source->GetSize(&width, &height);
        if (FAILED(hr)) return ResultFromHresult(hr);
        double dpiX = 0;
        double dpiY = 0;
        hr = source->GetResolution(&dpiX, &dpiY);  // must answer; the bitmap carries no resolution
        if (FAILED(hr)) return ResultFromHresult(hr);
        WICPixelFormatGUID format{};
        hr = source->GetPixelFormat(&format);
        if (FAILED(hr)) return ResultFromHresult(hr);
        const PixelFormatEntry& entry = LookupPixelFormat(format);
        if (entry.bitsPerPixel <= 0) return PluginResult::InternalError;
        const auto bitsPerPixel = static_cast<std::uint32_t>(entry.bitsPerPixel);
        hasAlpha = entry.hasAlpha;

        std::vector<std::uint32_t> palette;
        if (bitsPerPixel <= 8) palette = CompletePalette(factory, source.Get(), bitsPerPixel);

        result = CopySourcePixels(source.Get(), width, height, bitsPerPixel, palette, picture, spare, &failure);
        refused = result != PluginResult::Success && ConverterRefused(failure);
        if (result != PluginResult::Success && !refused) return result;
    }
    if (refused) {
        source.Reset();
        result = CopyNativePixels(decoder, result, picture, spare);
        if (result != PluginResult::Success) return result;
        hasAlpha = picture.layout->bitsPerPixel == 32;
    }
    return PluginResult::Success;
}

}  // namespace

PluginResult AssemblePicture(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, HLOCAL* header,
                             HLOCAL* bits, const ProgressReporter& progress) {
    if (header == nullptr || bits == nullptr) return PluginResult::InternalError;

    PluginResult result = CheckJpegXrContainer(decoder);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(30)) return PluginResult::Aborted;

    // The request's blocks: the working picture and the spare, freed on every
    // path unless handed over.
    UniqueHlocal spare;
    PixelBuffer picture;
    bool hasAlpha = false;
    bool made = false;  // by the tone-mapping path
    result = ToneMapFrame(factory, decoder, picture, spare, made, hasAlpha);
    if (result != PluginResult::Success) return result;
    if (made) {
        if (progress.StopRequestedAt(50)) return PluginResult::Aborted;
    } else {
        result = CopyFramePixels(factory, decoder, progress, picture, spare, hasAlpha);
        if (result != PluginResult::Success) return result;
    }
    if (progress.StopRequestedAt(60) || progress.StopRequestedAt(70)) return PluginResult::Aborted;

    // Both stages work in the copy's own block. Pictures with alpha shrink
    // to 24 bits first, so that fewer bytes change places in the flip.
    if (hasAlpha) {
        result = AlphaLostByPlatform(picture) ? ReduceTo24Bits(picture, spare, Discard, BgrColor{})
                                              : ReduceTo24Bits(picture, spare);
        if (result != PluginResult::Success) return result;
    }
    if (progress.StopRequestedAt(80)) return PluginResult::Aborted;

    result = FlipToBottomUp(picture, spare);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(90)) return PluginResult::Aborted;

    UniqueHlocal headerBlock;
    UniqueHlocal pixelBlock;
    result = HandOverBitmap(headerBlock, pixelBlock, picture);
    if (result != PluginResult::Success) return result;

    *bits = pixelBlock.release();
    *header = headerBlock.release();
    // The blocks are the host's now, whatever it answers.
    if (progress.StopRequestedAt(100)) return PluginResult::Aborted;
    return PluginResult::Success;
}

}  // namespace rorurera
