#pragma once

#include <string>

namespace cli {

// Writes text to standard output as UTF-8.
void Print(const std::wstring& text);
// printf-style formatting into a wide string.
std::wstring Format(const wchar_t* format, ...);

}  // namespace cli
