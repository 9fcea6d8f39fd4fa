#include "host/plugin_info.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/module_identity.h"

namespace rorurera {
namespace {

constexpr wchar_t kPluginType[] = L"00IN";  // an import filter

// Filters and descriptions, one pair per format: numbers 2 and 3, 4 and 5, ...
constexpr int kFormatPairs = 4;
constexpr const wchar_t* kFilters[kFormatPairs] = {L"*.JXR;*.HDP;*.WDP", nullptr, nullptr, nullptr};
constexpr const wchar_t* kDescriptions[kFormatPairs] = {
    L"JPEG XR - Joint Photographic Experts Group eXtended Range (*.jxr,*.hdp,*.wdp)", nullptr, nullptr, nullptr};

// Copies at most size - 1 units and a terminator; size must be positive.
template <typename Char>
int BoundedCopy(const Char* text, std::size_t length, Char* buffer, int size) noexcept {
    const std::size_t count = std::min(length, static_cast<std::size_t>(size) - 1);
    std::copy_n(text, count, buffer);
    buffer[count] = Char{};
    return static_cast<int>(count);
}

}  // namespace

const wchar_t* PluginInfoText(int number) noexcept {
    if (number == 0) return kPluginType;
    if (number == 1) return kVersionText;
    if (number < 2) return nullptr;
    const int pair = (number - 2) / 2;
    if (pair >= kFormatPairs) return nullptr;
    return (number - 2) % 2 == 0 ? kFilters[pair] : kDescriptions[pair];
}

int CopyPluginInfoW(int number, wchar_t* buffer, int size) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    const wchar_t* text = PluginInfoText(number);
    if (text == nullptr || text[0] == L'\0' || size < 0) {
        buffer[0] = L'\0';
        return 0;
    }
    return BoundedCopy(text, std::wcslen(text), buffer, size);
}

int CopyPluginInfoA(int number, char* buffer, int size) {
    if (buffer == nullptr || size == 0) return 0;
    const wchar_t* text = PluginInfoText(number);
    if (text == nullptr || text[0] == L'\0' || size < 0) {
        buffer[0] = '\0';
        return 0;
    }
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr) - 1;
    if (needed <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    std::vector<char> converted(static_cast<std::size_t>(needed) + 4, '\0');
    const int written = ::WideCharToMultiByte(CP_ACP, 0, text, -1, converted.data(), static_cast<int>(converted.size()),
                                              nullptr, nullptr) -
                        1;
    if (written <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return BoundedCopy(converted.data(), static_cast<std::size_t>(written), buffer, size);
}

}  // namespace rorurera
