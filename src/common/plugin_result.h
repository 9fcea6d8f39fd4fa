#pragma once

#include <windows.h>

namespace rorurera {

// The result of the picture exports and of ConfigurationDlg. No other value
// ever reaches the host.
enum class PluginResult : int {
    Success = 0,
    NotImplemented = -1,
    Aborted = 1,
    UnknownFormat = 2,
    OutOfMemory = 4,
    InternalError = 8,
};

// The one rule turning a failed COM result into a PluginResult: no fitting
// component, a bad image or a bad header is an unknown format; out of memory
// stays out of memory; everything else is an internal error. Only failed
// results may be passed.
PluginResult ResultFromHresult(HRESULT hr) noexcept;

constexpr int ToInt(PluginResult r) noexcept { return static_cast<int>(r); }

}  // namespace rorurera
