#pragma once

#include <windows.h>

namespace rorurera {

// Bounded copies of the text of an information number (the type, the
// version, the filter and the description; empty for a number without
// one) into the host's buffer: the wide form counts
// characters, the narrow form bytes of the ANSI code page. Both return what
// was copied, without the terminator.
int CopyPluginInfoW(int number, wchar_t* buffer, int size) noexcept;
int CopyPluginInfoA(int number, char* buffer, int size);  // may throw std::bad_alloc

}  // namespace rorurera
