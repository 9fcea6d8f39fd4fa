#include "host/com_scope.h"

namespace rorurera {

ComScope::~ComScope() {
    factory_.Reset();
    if (initialised_) ::CoUninitialize();
}

PluginResult ComScope::Open() noexcept {
    // The request goes on in whatever apartment the thread has. Every
    // successful call counts, S_FALSE (the thread is in a single-threaded
    // apartment already) included, and is undone when the scope closes, so
    // that the host's own CoUninitialize still ends COM on its thread.
    // RPC_E_CHANGED_MODE (the multithreaded apartment) took nothing.
    initialised_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    // The first-version imaging factory, the one IWICImagingFactory serves.
    HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(factory_.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!factory_) return PluginResult::InternalError;
    return PluginResult::Success;
}

}  // namespace rorurera
