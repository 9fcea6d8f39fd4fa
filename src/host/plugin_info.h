#pragma once

#include <windows.h>

namespace rorurera {

// The text for an information number, or null when there is none.
const wchar_t* PluginInfoText(int number) noexcept;

// Bounded copies of that text into the host's buffer: the wide form counts
// characters, the narrow form bytes of the ANSI code page. Both return what
// was copied, without the terminator.
int CopyPluginInfoW(int number, wchar_t* buffer, int size) noexcept;
int CopyPluginInfoA(int number, char* buffer, int size);  // may throw std::bad_alloc

}  // namespace rorurera
