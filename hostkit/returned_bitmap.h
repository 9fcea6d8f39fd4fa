#pragma once

// The picture a plug-in's GetPicture hands to its host: two local-memory
// blocks, the BITMAPINFO (header and colour table) and the pixel rows of a
// bottom-up DIB. The host owns them from then on; this owner reads them as a
// host does and frees both with LocalFree.

#include <windows.h>

#include <cstdint>
#include <span>

namespace hostkit {

class ReturnedBitmap {
public:
    // The slots start with the given values: a host's own, which a request
    // that hands nothing over must leave alone. They are never freed.
    explicit ReturnedBitmap(HLOCAL headerStart = nullptr, HLOCAL bitsStart = nullptr) noexcept
        : header(headerStart), bits(bitsStart), headerStart_(headerStart), bitsStart_(bitsStart) {}
    ~ReturnedBitmap() { Free(); }
    ReturnedBitmap(const ReturnedBitmap&) = delete;
    ReturnedBitmap& operator=(const ReturnedBitmap&) = delete;

    // The slots GetPicture stores the two blocks into (pass &header, &bits).
    HLOCAL header;
    HLOCAL bits;

    // Both slots still hold their start values.
    bool Untouched() const noexcept { return header == headerStart_ && bits == bitsStart_; }

    // Frees each block the plug-in stored, once, and puts the start values
    // back; says for each whether LocalFree worked (true where there was none).
    struct Freed {
        bool header = true;
        bool bits = true;
    };
    Freed Free() noexcept;
    // Puts the start values back without freeing anything (a lost picture).
    void Abandon() noexcept {
        header = headerStart_;
        bits = bitsStart_;
    }

    // The whole blocks, as LocalLock gives them (fixed blocks, which stay
    // where they are until freed); a null span for a slot holding no block
    // or a block that cannot be locked.
    std::span<const std::uint8_t> HeaderBlock() const noexcept { return BlockBytes(header, headerStart_); }
    std::span<const std::uint8_t> PixelBlock() const noexcept { return BlockBytes(bits, bitsStart_); }

    // The header, or null when the header block is too small for one.
    const BITMAPINFOHEADER* Header() const noexcept;
    // Bytes from one row to the next by the header; 0 without a header or
    // with a width that is not positive.
    std::uint64_t Stride() const noexcept;
    // Row `fromBottom` in block order (the picture's bottom row is 0), the
    // stride's bytes of it; empty when the picture has no such row or the
    // pixel block does not hold it.
    std::span<const std::uint8_t> Row(std::uint64_t fromBottom) const noexcept;

private:
    static std::span<const std::uint8_t> BlockBytes(HLOCAL block, HLOCAL start) noexcept;

    HLOCAL headerStart_;
    HLOCAL bitsStart_;
};

}  // namespace hostkit
