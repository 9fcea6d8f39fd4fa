#pragma once

// A host's picture information record filled with a pattern before the call,
// so that a test sees every byte the plug-in wrote, and what a successful
// answer holds.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/host_types.h"

namespace testing_support {

constexpr std::uint8_t kPattern = 0xA5;

template <typename Record>
Record PatternRecord() {
    Record record;
    std::memset(&record, kPattern, sizeof record);
    return record;
}

template <typename Record>
bool Untouched(const Record& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i) {
        if (bytes[i] != kPattern) return false;
    }
    return true;
}

// A successful answer: position 0, 0, the given size, densities and depth,
// hInfo null; the bytes past colorDepth other than hInfo (the 64-bit
// record's padding) keep the host's pattern.
inline void ExpectRecord(const susie::PictureInfo& info, int width, int height, int xDensity, int yDensity,
                         int depth) {
    EXPECT_EQ(info.left, 0);
    EXPECT_EQ(info.top, 0);
    EXPECT_EQ(info.width, width);
    EXPECT_EQ(info.height, height);
    EXPECT_EQ(info.x_density, xDensity);
    EXPECT_EQ(info.y_density, yDensity);
    EXPECT_EQ(info.colorDepth, depth);
    EXPECT_EQ(info.hInfo, nullptr);
#ifdef _WIN64
    EXPECT_EQ(info.padding[0], kPattern);
    EXPECT_EQ(info.padding[1], kPattern);
#endif
}

}  // namespace testing_support
