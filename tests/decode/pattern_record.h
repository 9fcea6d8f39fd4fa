#pragma once

// A host's picture information record filled with a pattern before the call,
// so that a test sees every byte the plug-in wrote.

#include <cstdint>
#include <cstring>

namespace decode_testing {

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

}  // namespace decode_testing
