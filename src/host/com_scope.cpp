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
    // S_FALSE (an apartment of the same kind exists) and RPC_E_CHANGED_MODE
    // (the thread is in the multithreaded apartment) both leave the thread
    // as the host set it up; only S_OK is ours to undo.
    initialised_ = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_OK;

    HRESULT hr = ::CoCreateInstance(kClsidWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    kIidWicImagingFactory,
                                    reinterpret_cast<void**>(factory_.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return ResultFromHresult(hr);
    if (!factory_) return PluginResult::InternalError;
    return PluginResult::Success;
}

}  // namespace rorurera
