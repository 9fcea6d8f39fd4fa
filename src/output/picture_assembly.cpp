#include "output/picture_assembly.h"

namespace rorurera {
// Not built yet: no success is claimed.
PluginResult AssemblePicture(IWICImagingFactory*, IWICBitmapDecoder*, HLOCAL*, HLOCAL*, const ProgressReporter&) {
    return PluginResult::InternalError;
}
}  // namespace rorurera
