#include "host/com_scope.h"

namespace rorurera {
namespace {
// The first-version imaging factory class and its interface.
constexpr CLSID kClsidWicImagingFactory = {
    0xCACAF262, 0x9370, 0x4615, {0xA1, 0x3B, 0x9F, 0x55, 0x39, 0xDA, 0x4C, 0x0A}};
constexpr IID kIidWicImagingFactory = {
    0xEC5EC8A9, 0xC395, 0x4314, {0x9C, 0x77, 0x54, 0xD7, 0xA9, 0x35, 0xFF, 0x70}};
}  // namespace

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

    HRESULT hr = ::CoCreateInstance(kClsidWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    kIidWicImagingFactory,
                                    reinterpret_cast<void**>(factory_.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!factory_) return PluginResult::InternalError;
    return PluginResult::Success;
}

}  // namespace rorurera
