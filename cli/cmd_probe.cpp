#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <vector>

#include "cli_output.h"
#include "commands.h"
#include "host/com_scope.h"
#include "decode/color_profile.h"
#include "decode/stored_frame.h"
#include "output/picture_path.h"
#include "output/profile_transform.h"
#include "output/tone_map.h"
#include "output/tone_mapped_frame.h"
#include "settings/settings_store.h"

namespace cli {
namespace {

// The path a picture request takes, and the colour profile the frame carries:
// its description, colour space and size, and whether the picture is
// converted through it.
void PrintPathAndProfile(IWICImagingFactory* factory, const rorurera::StoredFrame& frame,
                         const rorurera::PictureSettings& settings) {
    const std::vector<std::uint8_t> profile = rorurera::ReadColorProfile(factory, frame.frame.Get());
    rorurera::ColourTransforms transforms;
    if (settings.colorProfile) rorurera::PrepareColourTransforms(*frame.entry, profile, transforms);
    Print(Format(L"path: %ls\n", transforms.samples ? L"the stored samples through the picture's colour profile"
                                                    : rorurera::ChoosePicturePath(*frame.entry, settings.hdr).why));
    if (profile.empty()) {
        Print(L"colour profile: none\n");
        return;
    }
    const rorurera::ProfileFacts facts = rorurera::DescribeProfile(profile);
    const wchar_t* use = transforms.Applied()              ? L"applied"
                         : !settings.colorProfile          ? L"not applied (ColorProfile is 0)"
                         : !facts.readable                 ? L"not applied (cannot be read)"
                         : facts.srgb                      ? L"not applied (sRGB)"
                         : rorurera::IsScRgb(*frame.entry) ? L"not applied (the samples are scRGB)"
                                                           : L"not applied (refused, or not of the picture's colours)";
    Print(Format(L"colour profile: \"%ls\", %hs, %lu bytes, %ls\n", facts.description, facts.space,
                 static_cast<unsigned long>(profile.size()), use));
}

// Whether the picture is HDR, its peak and its SDR white. A host cannot ask the plug-in
// that (it has no export for it), so this program reads the frame through
// the imaging component with the plug-in's own reading code, linked in:
// the same floats and the same percentile that decide the tone mapping.
void PrintHdr(const std::wstring& file) {
    rorurera::ComScope com;
    Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
    rorurera::StoredFrame frame;
    const rorurera::PictureSettings picture = rorurera::ReadPictureSettings();
    const rorurera::HdrSettings& settings = picture.hdr;
    rorurera::HdrSettings measuring = settings;  // the floats as a request with tone mapping on reads them
    measuring.toneMap = true;
    rorurera::LinearFrameReader reader;
    rorurera::FrameLevels levels;
    rorurera::PluginResult result = rorurera::PluginResult::Success;
    if (com.Open() != rorurera::PluginResult::Success ||
        FAILED(com.Factory()->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf())) ||
        FAILED(rorurera::ReadStoredFrame(decoder.Get(), frame))) {
        Print(L"HDR: unknown (the imaging component cannot read the frame)\n");
    } else if (PrintPathAndProfile(com.Factory(), frame, picture); !rorurera::IsScRgb(*frame.entry)) {
        Print(L"HDR: no (integer samples)\n");
    } else if (result = reader.Open(com.Factory(), frame,
                                    rorurera::ChoosePicturePath(*frame.entry, measuring).floatsFromPlatform);
               result != rorurera::PluginResult::Success ||
               (result = rorurera::MeasureFrame(reader, levels)) != rorurera::PluginResult::Success) {
        Print(Format(L"HDR: unknown (reading the floats gave %d)\n", static_cast<int>(result)));
    } else {
        // The SDR white as a picture request would take it: set in the
        // settings, found in the picture, or 1.0 for want of both.
        const float white = rorurera::ChosenSdrWhite(levels, settings.sdrWhiteNits);
        const wchar_t* how = settings.sdrWhiteNits != 0 ? L"set"
                             : levels.foundWhite > 0.0f ? L"found"
                                                        : L"none found, taken as";
        Print(
            Format(L"HDR: %ls, peak %.4g (99.9th percentile of luminance, 1.0 = SDR white of 80 nits),"
                   L" SDR white %ls %.4g (%.0f nits)\n",
                   levels.largestChannel > 1.0f ? L"yes" : L"no", static_cast<double>(levels.peak), how,
                   static_cast<double>(white), static_cast<double>(white) * 80.0));
    }
}

}  // namespace

// The format test as most hosts make it: the file's first 2 KB in a
// zero-filled buffer, with the file's name; then the picture information.
int RunProbe(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    if (args.size() != 1) return 2;
    const std::wstring& file = args[0];
    if (plugin.IsSupportedW == nullptr) {
        Print(L"the module has no IsSupportedW export\n");
        return 1;
    }
    std::vector<char> header(2048, 0);
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Print(Format(L"cannot open %ls (error %lu)\n", file.c_str(), ::GetLastError()));
        return 1;
    }
    DWORD read = 0;
    ::ReadFile(handle, header.data(), static_cast<DWORD>(header.size()), &read, nullptr);
    ::CloseHandle(handle);

    const int supported = plugin.IsSupportedW(file.c_str(), reinterpret_cast<ULONG_PTR>(header.data()));
    Print(Format(L"IsSupported: %d (%ls)\n", supported, supported ? L"supported" : L"not supported"));

    // The picture information as a host asks for it: the file by name.
    if (plugin.GetPictureInfoW == nullptr) {
        Print(L"the module has no GetPictureInfoW export\n");
        return 1;
    }
    susie::PictureInfo info{};
    const int result = plugin.GetPictureInfoW(file.c_str(), 0, susie::kFromFile, &info);
    Print(Format(L"GetPictureInfo: %d\n", result));
    if (result == 0) {
        Print(Format(L"  size: %ld x %ld at (%ld, %ld)\n", static_cast<long>(info.width),
                     static_cast<long>(info.height), static_cast<long>(info.left), static_cast<long>(info.top)));
        Print(Format(L"  density: %u x %u pixels per metre\n", static_cast<unsigned>(info.x_density),
                     static_cast<unsigned>(info.y_density)));
        Print(Format(L"  colour depth: %d bits per pixel\n", static_cast<int>(info.colorDepth)));
        PrintHdr(file);
    }
    return 0;
}

}  // namespace cli
