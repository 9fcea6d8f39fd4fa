#pragma once

// What a process holds, counted in ways that also work under Wine (where
// GetProcessHandleCount and PrivateUsage answer 0): committed private memory
// summed over VirtualQuery's regions, bytes in use in the heaps, and open
// handles found by probing.

#include <windows.h>

#include <cstdint>

namespace hostkit {

inline std::uint64_t CommittedPrivateBytes() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    std::uint64_t total = 0;
    auto* address = static_cast<std::uint8_t*>(info.lpMinimumApplicationAddress);
    const auto* last = static_cast<const std::uint8_t*>(info.lpMaximumApplicationAddress);
    MEMORY_BASIC_INFORMATION region{};
    while (address < last && ::VirtualQuery(address, &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        address = static_cast<std::uint8_t*>(region.BaseAddress) + region.RegionSize;
    }
    return total;
}

// Bytes in use in every heap of the process (blocks handed out and not
// freed): exact where committed memory moves in steps of whole pages.
inline std::uint64_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    std::uint64_t total = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!::HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) total += entry.cbData;
        }
        ::HeapUnlock(heaps[i]);
    }
    return total;
}

inline int OpenHandleCount() {
    int count = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace hostkit
