#pragma once

namespace rorurera {

// True when the module runs under Wine, whose ntdll exports
// wine_get_version. The product's one question about the platform it runs
// on: Wine's imaging component loses the alpha of JPEG XR images.
bool RunningUnderWine() noexcept;

}  // namespace rorurera
