#pragma once

// Owner types for the Windows resources that no library of the toolchain
// wraps: each closes its handle exactly once, on every path. COM interfaces
// are owned by Microsoft::WRL::ComPtr instead.

#include <windows.h>

#include <utility>

namespace rorurera {

template <typename Traits>
class UniqueResource {
public:
    using pointer = typename Traits::pointer;

    UniqueResource() noexcept = default;
    explicit UniqueResource(pointer value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    // Gives the value up without closing it.
    pointer release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(pointer value = Traits::Invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

    void swap(UniqueResource& other) noexcept { std::swap(value_, other.value_); }

private:
    pointer value_ = Traits::Invalid();
};

struct HlocalTraits {
    using pointer = HLOCAL;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::LocalFree(p); }
};
struct HkeyTraits {
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::RegCloseKey(p); }
};
// A kernel handle whose "none" value is INVALID_HANDLE_VALUE (CreateFileW).
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer p) noexcept { ::CloseHandle(p); }
};
template <typename GdiHandle>
struct GdiObjectTraits {
    using pointer = GdiHandle;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::DeleteObject(p); }
};

using UniqueHlocal = UniqueResource<HlocalTraits>;
using UniqueHkey = UniqueResource<HkeyTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<GdiObjectTraits<HPEN>>;

}  // namespace rorurera
