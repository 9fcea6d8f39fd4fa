#include "output/picture_path.h"

#include <windows.h>

namespace rorurera {

bool RunningUnderWine() noexcept {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

PicturePath ChoosePicturePath(const PixelFormatEntry& stored, const HdrSettings& hdr) noexcept {
    const bool wine = RunningUnderWine();
    PicturePath path;
    path.zeroAlphaIsLost = wine;
    if (wine && IsScRgb(stored)) {
        path.route = PictureRoute::OwnConversion;
        path.why = L"samples beyond white, which Wine's converter refuses or wraps around: our own conversion";
    } else if (wine && HasSixteenBitIntegers(stored)) {
        path.route = PictureRoute::OwnConversion;
        path.why = L"16-bit samples, which Wine's converter cuts to their high byte: our own conversion, rounded";
    } else {
        path.why = L"the platform's converter, our own conversion where it refuses";
    }
    if (IsScRgb(stored) && hdr.toneMap) {
        path.withinSdr = path.route;
        path.route = PictureRoute::ToneMap;
        path.floatsFromPlatform = !wine;
        path.why = wine ? L"tone mapping of the floats decoded from the stored rows (Wine's converter refuses them)"
                        : L"tone mapping of the floats from the platform's converter";
    }
    return path;
}

}  // namespace rorurera
