#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include "common/plugin_result.h"

namespace rorurera {

// Presents frame 0 of the decoder in its output pixel format: 32bppBGRA for
// every image with alpha, otherwise the target of the frame's format. The
// source is the frame itself when it already has that format, otherwise a
// format converter over it. On Success `source` holds it; otherwise it is
// empty. May throw std::bad_alloc (pixel format table).
PluginResult PrepareFrameSource(IWICImagingFactory* factory, IWICBitmapDecoder* decoder,
                                Microsoft::WRL::ComPtr<IWICBitmapSource>& source);

}  // namespace rorurera
