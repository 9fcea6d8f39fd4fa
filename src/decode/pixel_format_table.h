#pragma once

#include <windows.h>

namespace rorurera {

// Creates the table's lock at module attach / deletes the table and then the
// lock at detach.
void PixelFormatTableAttach() noexcept;
void PixelFormatTableDetach() noexcept;

}  // namespace rorurera
