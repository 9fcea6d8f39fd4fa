#pragma once

// Which way a picture is made: the one place where what each platform
// needs is decided.

#include "decode/pixel_format_table.h"
#include "settings/settings_store.h"

namespace rorurera {

enum class PictureRoute {
    Converter,      // the imaging component's converter to the output format;
                    // our own conversion where the converter refuses
    OwnConversion,  // our own conversion of the frame's stored rows
    ToneMap,        // linear floats, measured, and tone mapped when beyond SDR
};

struct PicturePath {
    PictureRoute route = PictureRoute::Converter;
    // For ToneMap: the way of a picture found to lie within SDR range.
    PictureRoute withinSdr = PictureRoute::Converter;
    // For ToneMap: the floats through the platform's converter, else decoded
    // from the frame's stored rows.
    bool floatsFromPlatform = false;
    // A 32-bit picture whose alpha bytes are all 0 lost its alpha on the
    // way: it is shown with its stored colours, as with the alpha dropped.
    bool zeroAlphaIsLost = false;
    const wchar_t* why = L"";  // in a few words, for those who look into a picture
};

// The path of a frame stored in `stored` under `hdr`. Windows: the
// platform's converter for everything, its floats for tone mapping. Wine:
// its converter wraps values above 1.0 around or refuses them (fixed-point,
// half, float, shared exponent), cuts 16-bit samples to their high byte
// instead of rounding them, and delivers every JPEG XR
// alpha channel as 0; such frames take our own conversion, and all-zero
// alpha counts as lost. Asks nothing of the platform but which it is.
PicturePath ChoosePicturePath(const PixelFormatEntry& stored, const HdrSettings& hdr) noexcept;

// True under Wine (its ntdll exports wine_get_version).
bool RunningUnderWine() noexcept;

}  // namespace rorurera
