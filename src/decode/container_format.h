#pragma once

#include <wincodec.h>

#include "common/plugin_result.h"

namespace rorurera {

// Success when the decoder is the JPEG XR container decoder, UnknownFormat for
// any other container, the mapped failure when the decoder cannot tell.
PluginResult CheckJpegXrContainer(IWICBitmapDecoder* decoder) noexcept;

}  // namespace rorurera
