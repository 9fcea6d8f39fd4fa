#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <variant>

#include "common/plugin_result.h"

namespace rorurera {

// What the host handed over for one request.
struct FileNameSource {
    const wchar_t* path;  // null-terminated
};
struct MemorySource {
    const void* data;
    LONG_PTR length;  // bytes; pointer-sized and signed, as the host passes it
};
struct FileHandleSource {
    HANDLE handle;  // the host's; never closed here
};
using InputSource = std::variant<FileNameSource, MemorySource, FileHandleSource>;

// Asks the factory for a decoder over the source. On Success the decoder is
// set; otherwise it is left empty.
PluginResult OpenDecoder(IWICImagingFactory* factory, const InputSource& source,
                         Microsoft::WRL::ComPtr<IWICBitmapDecoder>& decoder) noexcept;

}  // namespace rorurera
