#include "decode/picture_info.h"

namespace rorurera {
// Not built yet: no success is claimed.
PluginResult ReadPictureInfo(IWICBitmapDecoder*, PictureInfo*) noexcept { return PluginResult::InternalError; }
}  // namespace rorurera
