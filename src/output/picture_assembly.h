#pragma once

#include <wincodec.h>

#include "common/plugin_result.h"
#include "output/progress.h"

namespace rorurera {

// Turns frame 0 of an opened decoder into the host's bitmap: a BITMAPINFO
// block and a pixel block, made the way the picture's path says
// (picture_path.h), stored into the host's handles only on success (or when
// the host stops at the very last report). The frame is read once, and so
// are the settings. Reports 30, 50, 60, 70, 80, 90 and 100 of 100; a stop
// before 100 frees everything and leaves the handles alone. May throw
// std::bad_alloc; everything acquired is owned, so unwinding releases it.
PluginResult AssemblePicture(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, HLOCAL* header, HLOCAL* bits,
                             const ProgressReporter& progress);

}  // namespace rorurera
