#include "decode/color_profile.h"

#include <wrl/client.h>

namespace rorurera {

using Microsoft::WRL::ComPtr;

std::vector<std::uint8_t> ReadColorProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
    std::vector<std::uint8_t> bytes;
    UINT count = 0;
    if (factory == nullptr || frame == nullptr || FAILED(frame->GetColorContexts(0, nullptr, &count))) return bytes;
    constexpr UINT kMaxContexts = 8;
    if (count == 0 || count > kMaxContexts) return bytes;
    ComPtr<IWICColorContext> owned[kMaxContexts];
    IWICColorContext* contexts[kMaxContexts] = {};
    for (UINT i = 0; i < count; ++i) {
        if (FAILED(factory->CreateColorContext(owned[i].GetAddressOf())) || !owned[i]) return bytes;
        contexts[i] = owned[i].Get();
    }
    UINT filled = 0;
    if (FAILED(frame->GetColorContexts(count, contexts, &filled))) return bytes;
    for (UINT i = 0; i < filled && i < count; ++i) {
        WICColorContextType type = WICColorContextUninitialized;
        UINT size = 0;
        if (FAILED(contexts[i]->GetType(&type)) || type != WICColorContextProfile) continue;
        if (FAILED(contexts[i]->GetProfileBytes(0, nullptr, &size)) || size == 0 || size > kMaxProfileBytes) break;
        bytes.resize(size);
        UINT got = 0;
        if (FAILED(contexts[i]->GetProfileBytes(size, bytes.data(), &got)) || got != size) bytes.clear();
        break;
    }
    return bytes;
}

}  // namespace rorurera
