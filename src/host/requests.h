#pragma once

// The request cores behind the content exports: each opens its own COM scope
// and one decoder over what the host gave, does its work, and releases
// everything before it returns.

#include <windows.h>

#include "common/host_types.h"
#include "common/plugin_result.h"
#include "host/input_source.h"

namespace rorurera {

PluginResult PictureInfoRequest(const InputSource& source, PictureInfo* info);

PluginResult PictureRequest(const InputSource& source, HLOCAL* header, HLOCAL* bits, ProgressCallback callback,
                            LONG_PTR user);

}  // namespace rorurera
