#include "decode/pixel_format_table.h"

namespace rorurera {
void PixelFormatTableAttach() noexcept {}
void PixelFormatTableDetach() noexcept {}
}  // namespace rorurera
