#include "decode/stored_frame.h"

#include <utility>

namespace rorurera {

PluginResult ReadStoredFrame(IWICBitmapDecoder* decoder, StoredFrame& frame) {
    frame = StoredFrame{};
    if (decoder == nullptr) return PluginResult::InternalError;
    StoredFrame read;
    HRESULT hr = decoder->GetFrame(0, read.frame.GetAddressOf());
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!read.frame) return PluginResult::InternalError;
    UINT width = 0;
    UINT height = 0;
    hr = read.frame->GetSize(&width, &height);
    if (FAILED(hr)) return ResultFromHresult(hr);
    hr = read.frame->GetResolution(&read.dpiX, &read.dpiY);
    if (FAILED(hr)) return ResultFromHresult(hr);
    hr = read.frame->GetPixelFormat(&read.format);
    if (FAILED(hr)) return ResultFromHresult(hr);
    read.width = width;
    read.height = height;
    read.entry = &LookupPixelFormat(read.format);
    frame = std::move(read);
    return PluginResult::Success;
}

}  // namespace rorurera
