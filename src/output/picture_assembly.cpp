#include "output/picture_assembly.h"

#include <vector>

#include "decode/color_profile.h"
#include "decode/container_format.h"
#include "decode/frame_source.h"
#include "decode/stored_frame.h"
#include "output/native_copy.h"
#include "output/palette.h"
#include "output/picture_path.h"
#include "output/pixel_stages.h"
#include "output/profile_transform.h"
#include "output/tone_mapped_frame.h"
#include "settings/settings_store.h"

namespace rorurera {

namespace {

// The top-down picture the way the path says; 50 is reported once the
// frame's source is ready. Stored samples that go through the picture's
// colour profile are read in the frame's own format. Where the platform's
// converter refuses the frame's format, at Initialize or at CopyPixels (as
// Wine's does for the 16-bit, half, float, fixed-point, RGBE, 10-10-10 and
// CMYK formats), the frame's stored rows still serve our own conversion.
PluginResult MakeTopDownPicture(IWICImagingFactory* factory, const StoredFrame& frame, const PicturePath& path,
                                const PictureSettings& settings, const ProgressReporter& progress,
                                PixelBuffer& picture) {
    // The picture's colour profile, where it applies and the settings let it.
    ColourTransforms colour;
    if (settings.colorProfile) {
        PrepareColourTransforms(*frame.entry, ReadColorProfile(factory, frame.frame.Get()), colour);
    }
    if (colour.samples) {
        if (progress.StopRequestedAt(50)) return PluginResult::Aborted;
        return CopyNativePixels(frame, picture, &colour.samples);
    }
    PictureRoute route = path.route;
    if (route == PictureRoute::ToneMap) {
        const PluginResult result = ToneMapFrame(factory, frame, path.floatsFromPlatform, settings.hdr, picture);
        if (result != PluginResult::Success) return result;
        if (picture.layout) return progress.StopRequestedAt(50) ? PluginResult::Aborted : PluginResult::Success;
        route = path.withinSdr;
    }
    if (route != PictureRoute::Converter) {
        if (progress.StopRequestedAt(50)) return PluginResult::Aborted;
        return CopyNativePixels(frame, picture);
    }
    PreparedSource prepared;
    HRESULT hr = PrepareFrameSource(factory, frame, prepared);
    if (FAILED(hr) && !ConverterRefused(hr)) return ResultFromHresult(hr);
    if (progress.StopRequestedAt(50)) return PluginResult::Aborted;
    if (SUCCEEDED(hr)) {
        const int bits = prepared.format->bitsPerPixel;
        if (bits <= 0) return PluginResult::InternalError;
        std::vector<std::uint32_t> palette;
        if (bits <= 8) palette = CompletePalette(factory, prepared.source.Get(), static_cast<std::uint32_t>(bits));
        if (colour.table) colour.table.ConvertPalette(palette);
        hr = CopySourcePixels(prepared.source.Get(), frame.width, frame.height, static_cast<std::uint32_t>(bits),
                              palette, picture);
        if (SUCCEEDED(hr)) return PluginResult::Success;
    }
    if (ConverterRefused(hr) && OwnConversionTakes(*frame.entry)) return CopyNativePixels(frame, picture);
    return ResultFromHresult(hr);
}

}  // namespace

PluginResult AssemblePicture(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, HLOCAL* header, HLOCAL* bits,
                             const ProgressReporter& progress) {
    if (header == nullptr || bits == nullptr) return PluginResult::InternalError;

    PluginResult result = CheckJpegXrContainer(decoder);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(30)) return PluginResult::Aborted;

    StoredFrame frame;
    const HRESULT hr = ReadStoredFrame(decoder, frame);
    if (FAILED(hr)) return ResultFromHresult(hr);
    const PictureSettings settings = ReadPictureSettings();
    const PicturePath path = ChoosePicturePath(*frame.entry, settings.hdr);

    // The request's blocks: the working picture and its spare, freed on every
    // path unless handed over.
    PixelBuffer picture;
    result = MakeTopDownPicture(factory, frame, path, settings, progress, picture);
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
                     ? ReduceTo24Bits(picture, AlphaMode::Discard, BgrColor{})
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
