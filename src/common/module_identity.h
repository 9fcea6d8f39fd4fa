#pragma once

// What the module knows about itself: its file name, its version text and the
// instance handle recorded when the process attached it.

#include <windows.h>

#include "common/version.h"

namespace rorurera {

#ifdef _WIN64
inline constexpr wchar_t kModuleFileName[] = L"Rorurera.sph";
inline constexpr wchar_t kVersionText[] = L"Rorurera.sph version " RORURERA_VERSION_STRING L"  written by Vazivaze";
#else
inline constexpr wchar_t kModuleFileName[] = L"Rorurera.spi";
inline constexpr wchar_t kVersionText[] = L"Rorurera.spi version " RORURERA_VERSION_STRING L"  written by Vazivaze";
#endif

HINSTANCE ModuleInstance() noexcept;
void SetModuleInstance(HINSTANCE instance) noexcept;

}  // namespace rorurera
