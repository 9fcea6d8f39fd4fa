#include "returned_bitmap.h"

#include <cstdlib>
#include <utility>

#include "common/host_types.h"

namespace hostkit {

ReturnedBitmap::Freed ReturnedBitmap::Free() noexcept {
    auto freeOne = [](HLOCAL& slot, HLOCAL start) {
        const HLOCAL block = std::exchange(slot, start);
        return block == start || block == nullptr || ::LocalFree(block) == nullptr;
    };
    Freed freed;
    freed.header = freeOne(header, headerStart_);
    freed.bits = freeOne(bits, bitsStart_);
    return freed;
}

std::span<const std::uint8_t> ReturnedBitmap::BlockBytes(HLOCAL block, HLOCAL start) noexcept {
    if (block == start || block == nullptr) return {};
    const auto* first = static_cast<const std::uint8_t*>(::LocalLock(block));
    if (first == nullptr) return {};
    const SIZE_T size = ::LocalSize(block);
    ::LocalUnlock(block);
    return {first, size};
}

const BITMAPINFOHEADER* ReturnedBitmap::Header() const noexcept {
    const std::span<const std::uint8_t> block = HeaderBlock();
    return block.size() >= sizeof(BITMAPINFOHEADER) ? reinterpret_cast<const BITMAPINFOHEADER*>(block.data())
                                                    : nullptr;
}

std::uint64_t ReturnedBitmap::Stride() const noexcept {
    const BITMAPINFOHEADER* info = Header();
    return info != nullptr && info->biWidth > 0 ? susie::DibStride(info->biWidth, info->biBitCount) : 0;
}

std::span<const std::uint8_t> ReturnedBitmap::Row(std::uint64_t fromBottom) const noexcept {
    const std::uint64_t stride = Stride();
    const std::span<const std::uint8_t> pixels = PixelBlock();
    if (stride == 0 || fromBottom >= static_cast<std::uint64_t>(std::llabs(Header()->biHeight)) ||
        pixels.size() / stride <= fromBottom) {
        return {};
    }
    return pixels.subspan(fromBottom * stride, stride);
}

}  // namespace hostkit
