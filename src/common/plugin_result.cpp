#include "common/plugin_result.h"

#include <wincodec.h>

namespace rorurera {

PluginResult ResultFromHresult(HRESULT hr) noexcept {
    switch (hr) {
    case WINCODEC_ERR_COMPONENTNOTFOUND:
    case WINCODEC_ERR_BADIMAGE:
    case WINCODEC_ERR_BADHEADER: return PluginResult::UnknownFormat;
    case E_OUTOFMEMORY: return PluginResult::OutOfMemory;
    default: return PluginResult::InternalError;
    }
}

}  // namespace rorurera
