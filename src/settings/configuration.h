#pragma once

#include <windows.h>

#include "common/plugin_result.h"

namespace rorurera {

// Function 0 shows the about box, 1 the settings dialog; any other number
// shows nothing and answers NotImplemented.
PluginResult ShowConfiguration(HWND parent, int function);

}  // namespace rorurera
