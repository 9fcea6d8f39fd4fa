#pragma once

namespace rorurera {

// True when the module runs under Wine, whose ntdll exports
// wine_get_version. The product's one question about the platform it runs
// on, asked only where a picture's path is chosen (picture_path.h).
bool RunningUnderWine() noexcept;

}  // namespace rorurera
