#pragma once

#include "output/pixel_buffer.h"

namespace rorurera {

// True under Wine for a 32-bit blue-green-red-alpha picture whose alpha
// bytes are all 0: Wine's imaging component delivers every JPEG XR alpha
// channel as 0, so such a picture is shown with its stored colours, as with
// the alpha dropped. Always false on Windows, where a wholly transparent
// picture still shows the background.
bool AlphaLostByPlatform(const PixelBuffer& buffer) noexcept;

}  // namespace rorurera
