#include "host/text_conversion.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace rorurera {

std::wstring WideFromAnsi(const char* text) {
    if (text == nullptr) return {};
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) return {};
    const int bytes = static_cast<int>(length);
    // Bytes the code page cannot convert make the whole name unconvertible,
    // rather than a different name with replacement characters in it.
    const int needed = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, wide.data(), needed);
    if (written <= 0) return {};
    wide.resize(static_cast<std::size_t>(written));
    return wide;
}

}  // namespace rorurera
