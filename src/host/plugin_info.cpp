#include "host/plugin_info.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "common/module_identity.h"

namespace rorurera {
namespace {

constexpr wchar_t kPluginType[] = L"00IN";  // an import filter

// The one format's filter and description: numbers 2 and 3.
constexpr wchar_t kFilter[] = L"*.JXR;*.HDP;*.WDP";
constexpr wchar_t kDescription[] = L"JPEG XR - Joint Photographic Experts Group eXtended Range (*.jxr,*.hdp,*.wdp)";

// Copies at most size - 1 units and a terminator; only the terminator for a
// negative size.
template <typename Char>
int BoundedCopy(const Char* text, std::size_t length, Char* buffer, int size) noexcept {
    const std::size_t count = size > 0 ? std::min(length, static_cast<std::size_t>(size) - 1) : 0;
    std::copy_n(text, count, buffer);
    buffer[count] = Char{};
    return static_cast<int>(count);
}

// The text for an information number, or an empty one when there is none.
const wchar_t* PluginInfoText(int number) noexcept {
    switch (number) {
    case 0: return kPluginType;
    case 1: return kVersionText;
    case 2: return kFilter;
    case 3: return kDescription;
    default: return L"";
    }
}

}  // namespace

int CopyPluginInfoW(int number, wchar_t* buffer, int size) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    const wchar_t* text = PluginInfoText(number);
    return BoundedCopy(text, std::wcslen(text), buffer, size);
}

int CopyPluginInfoA(int number, char* buffer, int size) {
    if (buffer == nullptr || size == 0) return 0;
    const wchar_t* text = PluginInfoText(number);
    std::string converted;
    const int needed = size > 0 ? ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr) : 0;
    if (needed > 1) {
        converted.resize(static_cast<std::size_t>(needed));
        const int written = ::WideCharToMultiByte(CP_ACP, 0, text, -1, converted.data(), needed, nullptr, nullptr);
        converted.resize(written > 1 ? static_cast<std::size_t>(written) - 1 : 0);
    }
    return BoundedCopy(converted.data(), converted.size(), buffer, size);
}

}  // namespace rorurera
