#pragma once

#include <wincodec.h>

#include "common/plugin_result.h"
#include "output/progress.h"

namespace rorurera {

// Turns frame 0 of an opened decoder into the host's bitmap: a BITMAPINFO
// block and a pixel block, stored into the host's handles only on success
// (or when the host stops at the very last report).
PluginResult AssemblePicture(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, HLOCAL* header,
                             HLOCAL* bits, const ProgressReporter& progress);

}  // namespace rorurera
