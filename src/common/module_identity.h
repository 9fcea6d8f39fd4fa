#pragma once

// What the module knows about itself: its file name, its version text and its
// instance handle (its base address, which the linker names __ImageBase).

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

extern "C" IMAGE_DOS_HEADER __ImageBase;
inline HINSTANCE ModuleInstance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace rorurera
