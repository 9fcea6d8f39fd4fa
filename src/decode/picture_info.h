#pragma once

#include <wincodec.h>

#include "common/host_types.h"
#include "common/plugin_result.h"

namespace rorurera {

// Inspects frame 0 of an opened decoder and, only when every step succeeds,
// fills the host's record: position 0, 0, the stored size, the densities in
// pixels per metre and the stored colour depth; hInfo is set to null. On any
// failure the record is left as it was.
PluginResult ReadPictureInfo(IWICBitmapDecoder* decoder, PictureInfo* info);

// Pixels per metre as the record holds them: dots per inch divided by
// 0.0254, truncated toward zero, low 16 bits. Not-a-number and infinite
// resolutions give 0.
std::uint16_t DensityFromDpi(double dpi) noexcept;

}  // namespace rorurera
