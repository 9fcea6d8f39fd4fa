#include "decode/container_format.h"

namespace rorurera {

PluginResult CheckJpegXrContainer(IWICBitmapDecoder* decoder) noexcept {
    if (decoder == nullptr) return PluginResult::InternalError;
    GUID container{};
    HRESULT hr = decoder->GetContainerFormat(&container);
    if (FAILED(hr)) return ResultFromHresult(hr);
    return IsEqualGUID(container, GUID_ContainerFormatWmp) ? PluginResult::Success : PluginResult::UnknownFormat;
}

}  // namespace rorurera
