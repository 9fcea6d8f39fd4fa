#include "output/picture_assembly.h"

#include <wrl/client.h>

#include "decode/container.h"
#include "decode/frame_source.h"
#include "decode/stored_frame.h"
#include "output/native_copy.h"
#include "output/palette.h"
#include "output/picture_path.h"
#include "output/pixel_stages.h"
#include "output/tone_mapped_frame.h"
#include "settings/settings_store.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

PluginResult CopySourcePixels(IWICBitmapSource* source, std::uint32_t width, std::uint32_t height,
                              std::uint32_t bitsPerPixel, const std::vector<std::uint32_t>& palette,
                              PixelBuffer& buffer, HRESULT* failure) {
    if (failure != nullptr) *failure = S_OK;
    if (source == nullptr) return PluginResult::InternalError;
    UINT pitch = 0;
    UINT bufferSize = 0;
    if (!PackedCopySize(width, height, bitsPerPixel, pitch, bufferSize)) return PluginResult::OutOfMemory;

    PixelBuffer copied;
    PluginResult result =
        CreatePixelBuffer(copied, width, height, bitsPerPixel, palette, buffer.spare, RowPacking::Tight);
    if (result != PluginResult::Success) return result;

    // One full-width copy at the packed pitch: the imaging component's JPEG XR
    // frames decode correctly only when their first copy is made this way.
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    const HRESULT hr = source->CopyPixels(&all, pitch, bufferSize, copied.data());
    if (FAILED(hr)) {
        if (failure != nullptr) *failure = hr;
        return ResultFromHresult(hr);
    }

    AdoptPixelBuffer(buffer, copied);
    return PluginResult::Success;
}

namespace {

// The picture through the platform's converter; 50 is reported once the
// source is prepared (or refused). `refused` tells that the converter
// refused the frame's format, at Initialize or at CopyPixels (as Wine's does
// for the 16-bit, half, float, fixed-point, RGBE, 10-10-10 and CMYK
// formats): the frame can still be read in its own format then.
PluginResult CopyThroughConverter(IWICImagingFactory* factory, const StoredFrame& frame,
                                  const ProgressReporter& progress, PixelBuffer& picture, bool& refused) {
    refused = false;
    ComPtr<IWICBitmapSource> source;
    const PixelFormatEntry* output = nullptr;
    HRESULT failure = S_OK;
    PluginResult result = PrepareFrameSource(factory, frame, source, &output, &failure);
    if (result != PluginResult::Success && !ConverterRefused(failure)) return result;
    if (progress.StopRequestedAt(50)) return PluginResult::Aborted;
    if (result == PluginResult::Success) {
        if (output->bitsPerPixel <= 0) return PluginResult::InternalError;
        const auto bitsPerPixel = static_cast<std::uint32_t>(output->bitsPerPixel);
        std::vector<std::uint32_t> palette;
        if (bitsPerPixel <= 8) palette = CompletePalette(factory, source.Get(), bitsPerPixel);
        result = CopySourcePixels(source.Get(), frame.width, frame.height, bitsPerPixel, palette, picture, &failure);
    }
    refused = result != PluginResult::Success && ConverterRefused(failure);
    return result;
}

// The top-down picture the way the path says (reports 50).
PluginResult MakeTopDownPicture(IWICImagingFactory* factory, const StoredFrame& frame, const PicturePath& path,
                                const HdrSettings& hdr, const ProgressReporter& progress, PixelBuffer& picture) {
    PictureRoute route = path.route;
    if (route == PictureRoute::ToneMap) {
        bool made = false;
        const PluginResult result = ToneMapFrame(factory, frame, path.floatsFromPlatform, hdr, picture, made);
        if (result != PluginResult::Success) return result;
        if (made) return progress.StopRequestedAt(50) ? PluginResult::Aborted : PluginResult::Success;
        route = path.withinSdr;
    }
    if (route == PictureRoute::Converter) {
        bool refused = false;
        const PluginResult result = CopyThroughConverter(factory, frame, progress, picture, refused);
        if (!refused || !OwnConversionTakes(*frame.entry)) return result;
    } else if (progress.StopRequestedAt(50)) {
        return PluginResult::Aborted;
    }
    return CopyNativePixels(frame, picture);
}

}  // namespace

PluginResult AssemblePicture(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, HLOCAL* header, HLOCAL* bits,
                             const ProgressReporter& progress) {
    if (header == nullptr || bits == nullptr) return PluginResult::InternalError;

    PluginResult result = CheckJpegXrContainer(decoder);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(30)) return PluginResult::Aborted;

    StoredFrame frame;
    result = ReadStoredFrame(decoder, frame);
    if (result != PluginResult::Success) return result;
    const PictureSettings settings = ReadPictureSettings();
    const PicturePath path = ChoosePicturePath(*frame.entry, settings.hdr);

    // The request's blocks: the working picture and its spare, freed on every
    // path unless handed over.
    PixelBuffer picture;
    result = MakeTopDownPicture(factory, frame, path, settings.hdr, progress, picture);
    if (result != PluginResult::Success) return result;
    frame.frame.Reset();  // the stages need nothing more of it
    if (progress.StopRequestedAt(60) || progress.StopRequestedAt(70)) return PluginResult::Aborted;

    // Both stages work in the copy's own block. Pictures with alpha shrink
    // to 24 bits first, so that fewer bytes change places in the flip. Every
    // 32-bit picture has alpha: the converter's one 32-bit output is
    // 32bppBGRA, and our own conversion and tone mapping give 32 bits only
    // for formats with alpha.
    if (picture.layout->bitsPerPixel == 32) {
        result = path.zeroAlphaIsLost && AlphaAllZero(picture)
                     ? ReduceTo24Bits(picture, Discard, BgrColor{})
                     : ReduceTo24Bits(picture, settings.alphaMode, settings.background);
        if (result != PluginResult::Success) return result;
    }
    if (progress.StopRequestedAt(80)) return PluginResult::Aborted;

    result = FlipToBottomUp(picture);
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
