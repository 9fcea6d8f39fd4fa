#include "common/wine_detection.h"

#include <windows.h>

namespace rorurera {

bool RunningUnderWine() noexcept {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace rorurera
