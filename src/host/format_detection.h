#pragma once

#include <windows.h>

namespace rorurera {

// The format test behind IsSupportedW: the extension test (skipped for a null
// name), then the content test. Returns 1 for a JPEG XR file, 0 otherwise.
int IsSupportedCore(const wchar_t* name, ULONG_PTR headerOrHandle);

}  // namespace rorurera
