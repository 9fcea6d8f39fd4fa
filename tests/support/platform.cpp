#include "support/platform.h"

#include <windows.h>

namespace testing_support {

bool RunningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool WicKeepsJpegXrAlpha() { return !RunningUnderWine(); }
bool WicConvertsFloatFormats() { return !RunningUnderWine(); }
bool WicConvertsIntegerFormatsTo24bpp() { return !RunningUnderWine(); }
bool WicEncodesSixteenBitsWithTheSrgbCurve() { return !RunningUnderWine(); }
bool WicReadsBlackWhiteStoredWithZeroAsWhite() { return !RunningUnderWine(); }
bool WicHasJpegXrPalettes() { return !RunningUnderWine(); }
bool WicReportsStoredSizeForQuarterTurns() { return !RunningUnderWine(); }

}  // namespace testing_support
