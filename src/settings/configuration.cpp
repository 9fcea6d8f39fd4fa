#include "settings/configuration.h"

namespace rorurera {
// Not built yet: no success is claimed.
PluginResult ShowConfiguration(HWND, int function) {
    if (function != 0 && function != 1) return PluginResult::NotImplemented;
    return PluginResult::InternalError;
}
}  // namespace rorurera
