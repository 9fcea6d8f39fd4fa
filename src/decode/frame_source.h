#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include "decode/stored_frame.h"

namespace rorurera {

// The frame presented in its output pixel format, and that format's row.
struct PreparedSource {
    Microsoft::WRL::ComPtr<IWICBitmapSource> source;
    const PixelFormatEntry* format = &kFallbackEntry;
};

// Presents the frame in its output pixel format: 32bppBGRA for every image
// with alpha (a palette with transparent entries included), otherwise the
// target of the frame's format. The source is the frame itself when it
// already has that format, otherwise a format converter over it. On failure
// `prepared` is left empty and the failed call's result returned.
HRESULT PrepareFrameSource(IWICImagingFactory* factory, const StoredFrame& frame, PreparedSource& prepared) noexcept;

// True for the two answers with which the imaging component's format
// converter refuses a conversion it cannot make: at Initialize
// (WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) or at CopyPixels
// (WINCODEC_ERR_UNSUPPORTEDOPERATION). The frame itself can still be read in
// its own format then.
bool ConverterRefused(HRESULT hr) noexcept;

// The source's palette, when the imaging component has one for it; null
// when none can be made or copied (neither is an error).
Microsoft::WRL::ComPtr<IWICPalette> SourcePalette(IWICImagingFactory* factory, IWICBitmapSource* source) noexcept;

}  // namespace rorurera
