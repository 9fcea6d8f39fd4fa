#pragma once

#include <string>

namespace rorurera {

// The wide form of a narrow name in the ANSI code page. A null or empty name,
// or one holding bytes that the code page cannot convert, gives an empty
// string. Throws
// std::bad_alloc when the wide string cannot be allocated.
std::wstring WideFromAnsi(const char* text);

}  // namespace rorurera
