#include "decode/stored_frame.h"

#include <utility>

namespace rorurera {

HRESULT ReadStoredFrame(IWICBitmapDecoder* decoder, StoredFrame& frame) noexcept {
    frame = StoredFrame{};
    if (decoder == nullptr) return E_POINTER;
    StoredFrame read;
    HRESULT hr = decoder->GetFrame(0, read.frame.GetAddressOf());
    if (SUCCEEDED(hr) && !read.frame) hr = E_UNEXPECTED;
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(hr)) hr = read.frame->GetSize(&width, &height);
    if (SUCCEEDED(hr)) hr = read.frame->GetResolution(&read.dpiX, &read.dpiY);
    if (SUCCEEDED(hr)) hr = read.frame->GetPixelFormat(&read.format);
    if (FAILED(hr)) return hr;
    read.width = width;
    read.height = height;
    read.entry = &LookupPixelFormat(read.format);
    frame = std::move(read);
    return S_OK;
}

}  // namespace rorurera
