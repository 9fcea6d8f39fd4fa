#pragma once

// The picture GetPicture hands to the host, which owns it: the BITMAPINFO block and the bottom-up DIB
// rows, read as a host reads them (LocalLock of fixed blocks, which stay put) and freed with LocalFree.

#include <windows.h>

#include <cstdint>
#include <span>
#include <utility>

#include "common/host_types.h"

namespace hostkit {

class ReturnedBitmap {
public:
    // The slots start with the given values: a host's own, which a request
    // that hands nothing over must leave alone; they are never freed.
    explicit ReturnedBitmap(HLOCAL headerStart = nullptr, HLOCAL bitsStart = nullptr) noexcept
        : header(headerStart), bits(bitsStart), start_{headerStart, bitsStart} {}
    ~ReturnedBitmap() { Free(); }
    ReturnedBitmap(const ReturnedBitmap&) = delete;
    ReturnedBitmap& operator=(const ReturnedBitmap&) = delete;

    HLOCAL header;  // the slots GetPicture stores the blocks into
    HLOCAL bits;

    // Frees each block stored, once, and puts the start values back; true
    // for each slot whose LocalFree worked or that held no block.
    struct Freed {
        bool header, bits;
    };
    Freed Free() noexcept { return {FreeSlot(header, start_[0]), FreeSlot(bits, start_[1])}; }

    // The whole blocks; a null span for no block or one that cannot be locked.
    std::span<const std::uint8_t> HeaderBlock() const noexcept { return Block(header, start_[0]); }
    std::span<const std::uint8_t> PixelBlock() const noexcept { return Block(bits, start_[1]); }
    // The header, or null when the header block is too small for one.
    const BITMAPINFOHEADER* Header() const noexcept {
        const auto block = HeaderBlock();
        return block.size() >= sizeof(BITMAPINFOHEADER) ? reinterpret_cast<const BITMAPINFOHEADER*>(block.data())
                                                        : nullptr;
    }
    // Bytes from one row to the next; 0 without a header or a positive width.
    std::uint64_t Stride() const noexcept {
        const BITMAPINFOHEADER* info = Header();
        return info != nullptr && info->biWidth > 0 ? susie::DibStride(info->biWidth, info->biBitCount) : 0;
    }

private:
    static bool FreeSlot(HLOCAL& slot, HLOCAL start) noexcept {
        const HLOCAL block = std::exchange(slot, start);
        return block == start || block == nullptr || ::LocalFree(block) == nullptr;
    }
    static std::span<const std::uint8_t> Block(HLOCAL block, HLOCAL start) noexcept {
        const void* first = block != start && block != nullptr ? ::LocalLock(block) : nullptr;
        if (first != nullptr) ::LocalUnlock(block);
        return first != nullptr ? std::span{static_cast<const std::uint8_t*>(first), ::LocalSize(block)}
                                : std::span<const std::uint8_t>{};
    }

    HLOCAL start_[2];
};

}  // namespace hostkit
