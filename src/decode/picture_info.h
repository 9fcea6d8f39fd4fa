#pragma once

#include <wincodec.h>

#include "common/host_types.h"
#include "common/plugin_result.h"

namespace rorurera {

// Inspects frame 0 of an opened decoder and, only when every step succeeds,
// fills the host's record: position 0, 0, the stored size, the densities in
// pixels per metre and the stored colour depth; hInfo is set to null.
PluginResult ReadPictureInfo(IWICBitmapDecoder* decoder, PictureInfo* info) noexcept;

}  // namespace rorurera
