#pragma once

#include <windows.h>

namespace rorurera {

// The format test behind IsSupportedW: the extension test (skipped for a null
// name), then the content test. Returns 1 for a JPEG XR file, 0 otherwise.
int IsSupportedCore(const wchar_t* name, ULONG_PTR headerOrHandle);

// True when the whole extension text, dot included, is .jxr, .hdp or .wdp in
// any letter case.
bool MatchesJpegXrExtension(const wchar_t* extension);

}  // namespace rorurera
