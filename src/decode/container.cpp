#include "decode/container.h"

#include <cstring>

namespace rorurera {
namespace {
// GUID_ContainerFormatWmp, the JPEG XR container.
constexpr GUID kContainerFormatJpegXr = {
    0x57A37CAA, 0x367A, 0x4540, {0x91, 0x6B, 0xF1, 0x83, 0xC5, 0x09, 0x3A, 0x4B}};
}  // namespace

PluginResult CheckJpegXrContainer(IWICBitmapDecoder* decoder) noexcept {
    if (decoder == nullptr) return PluginResult::InternalError;
    GUID container{};
    HRESULT hr = decoder->GetContainerFormat(&container);
    if (FAILED(hr)) return ResultFromHresult(hr);
    return std::memcmp(&container, &kContainerFormatJpegXr, sizeof(GUID)) == 0
               ? PluginResult::Success
               : PluginResult::UnknownFormat;
}

}  // namespace rorurera
