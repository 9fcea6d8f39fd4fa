#pragma once

// The request cores behind the content exports: each opens its own COM scope
// and one decoder over what the host gave, does its work, and releases
// everything before it returns.

#include <windows.h>

#include "common/host_types.h"
#include "common/plugin_result.h"

namespace rorurera {

PluginResult PictureInfoFromFile(const wchar_t* path, PictureInfo* info);
PluginResult PictureInfoFromMemory(const void* data, LONG_PTR length, PictureInfo* info);

PluginResult PictureFromFile(const wchar_t* path, HLOCAL* header, HLOCAL* bits, ProgressCallback callback,
                             LONG_PTR user);
PluginResult PictureFromMemory(const void* data, LONG_PTR length, HLOCAL* header, HLOCAL* bits,
                               ProgressCallback callback, LONG_PTR user);

}  // namespace rorurera
