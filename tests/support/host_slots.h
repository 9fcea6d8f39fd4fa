#pragma once

// A host's two picture slots as the tests hold them: they start with values
// of the host's own, which a request that fails or stops early must leave
// alone; the blocks a request stores there are read and freed as a host does.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "returned_bitmap.h"

namespace testing_support {

inline const HLOCAL kUntouchedHeader = reinterpret_cast<HLOCAL>(static_cast<std::uintptr_t>(0x5A5A0010));
inline const HLOCAL kUntouchedBits = reinterpret_cast<HLOCAL>(static_cast<std::uintptr_t>(0x5A5A0020));

struct HostSlots : hostkit::ReturnedBitmap {
    HostSlots() : ReturnedBitmap(kUntouchedHeader, kUntouchedBits) {}

    bool Untouched() const { return header == kUntouchedHeader && bits == kUntouchedBits; }
    BITMAPINFOHEADER Info() const { return *Header(); }
    // The first `size` bytes of the pixel block.
    std::vector<std::uint8_t> PixelBytes(std::size_t size) const {
        const std::uint8_t* first = PixelBlock().data();
        return {first, first + size};
    }
};

}  // namespace testing_support
