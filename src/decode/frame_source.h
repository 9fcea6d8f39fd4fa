#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include "common/plugin_result.h"
#include "decode/stored_frame.h"

namespace rorurera {

// Presents the frame in its output pixel format: 32bppBGRA for every image
// with alpha, otherwise the target of the frame's format. The source is the
// frame itself when it already has that format, otherwise a format converter
// over it. On Success `source` holds it and `output` (when given) the table's
// row of its format; otherwise `source` is empty, and `failure` (when given)
// receives the failed call's HRESULT. May throw std::bad_alloc (pixel format
// table).
PluginResult PrepareFrameSource(IWICImagingFactory* factory, const StoredFrame& frame,
                                Microsoft::WRL::ComPtr<IWICBitmapSource>& source,
                                const PixelFormatEntry** output = nullptr, HRESULT* failure = nullptr);

// True for the two answers with which the imaging component's format
// converter refuses a conversion it cannot make: at Initialize
// (WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) or at CopyPixels
// (WINCODEC_ERR_UNSUPPORTEDOPERATION). The frame itself can still be read in
// its own format then.
bool ConverterRefused(HRESULT hr) noexcept;

}  // namespace rorurera
