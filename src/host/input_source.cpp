#include "host/input_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "decode/container_values.h"

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

// The bytes of a memory block, or of the host's header buffer.
class MemoryBytes final : public ContainerBytes {
public:
    MemoryBytes(const void* data, std::uint64_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    std::size_t ReadAt(std::uint64_t offset, void* out, std::size_t size) noexcept override {
        if (offset >= size_) return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
        std::memcpy(out, data_ + offset, n);
        return n;
    }

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
};

// The bytes of an open file, read at given offsets. A read through a handle
// moves its file position; Open puts it back.
class FileBytes final : public ContainerBytes {
public:
    explicit FileBytes(HANDLE file) : file_(file) {}
    std::size_t ReadAt(std::uint64_t offset, void* out, std::size_t size) noexcept override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
        if (!::ReadFile(file_, out, wanted, &got, &at)) {
            // A handle opened for overlapped reading finishes the read later.
            if (::GetLastError() != ERROR_IO_PENDING || !::GetOverlappedResult(file_, &at, &got, TRUE)) return 0;
        }
        return got;
    }

private:
    HANDLE file_;
};

// The bytes of a stream over a named file, read at given offsets; the
// decoder later reads the same stream from its start.
class StreamBytes final : public ContainerBytes {
public:
    explicit StreamBytes(IStream* stream) : stream_(stream) {}
    std::size_t ReadAt(std::uint64_t offset, void* out, std::size_t size) noexcept override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        ULONG got = 0;
        const ULONG wanted = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 20));
        if (FAILED(stream_->Seek(at, STREAM_SEEK_SET, nullptr)) || FAILED(stream_->Read(out, wanted, &got))) return 0;
        return got;
    }

private:
    IStream* stream_;
};

// Success only when the call succeeded and really delivered a decoder.
PluginResult DecoderResult(HRESULT hr, const ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (FAILED(hr)) return ResultFromHresult(hr);
    return decoder ? PluginResult::Success : PluginResult::InternalError;
}

// What the decoder would die on is refused before it sees the data; every
// source that is no container, or that cannot be read, goes on to the
// decoder, which reports its own failure.
PluginResult Open(IWICImagingFactory* factory, const FileNameSource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (source.path == nullptr || source.path[0] == L'\0') return PluginResult::InternalError;
    // The file is opened once: the check and the decoder read one stream.
    ComPtr<IWICStream> stream;
    HRESULT hr = factory->CreateStream(stream.GetAddressOf());
    if (SUCCEEDED(hr) && !stream) hr = E_UNEXPECTED;
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(source.path, GENERIC_READ);
    if (FAILED(hr)) return ResultFromHresult(hr);
    StreamBytes bytes(stream.Get());
    const PluginResult checked = CheckContainerValues(bytes);
    if (checked != PluginResult::Success) return checked;
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr))) return PluginResult::InternalError;
    hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                          decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

PluginResult Open(IWICImagingFactory* factory, const MemorySource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    // A negative length would become a huge 32-bit count.
    if (source.data == nullptr || source.length < 0) return PluginResult::InternalError;
    MemoryBytes bytes(source.data, static_cast<std::uint64_t>(source.length));
    const PluginResult checked = CheckContainerValues(bytes);
    if (checked != PluginResult::Success) return checked;
    // The stream takes at most a 32-bit count, so longer blocks cannot be read.
    if (static_cast<std::uint64_t>(source.length) > 0xFFFFFFFFull) return PluginResult::InternalError;

    // The stream reads the host's block where it lies, for the duration of
    // this request only: the decoder that holds the stream is released
    // before the request returns. Nothing is ever written through it.
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.GetAddressOf())) || !stream) return PluginResult::InternalError;
    BYTE* block = static_cast<BYTE*>(const_cast<void*>(source.data));
    if (FAILED(stream->InitializeFromMemory(block, static_cast<DWORD>(source.length)))) {
        return PluginResult::InternalError;
    }
    const HRESULT hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                        decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

// The host's handle is read at explicit offsets and left at the file
// position it had. A handle without a position (not a file on a disk) goes
// to the decoder unchecked.
PluginResult Open(IWICImagingFactory* factory, const FileHandleSource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (source.handle == INVALID_HANDLE_VALUE) return PluginResult::InternalError;
    LARGE_INTEGER position{};
    if (::SetFilePointerEx(source.handle, LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        FileBytes bytes(source.handle);
        const PluginResult checked = CheckContainerValues(bytes);
        ::SetFilePointerEx(source.handle, position, nullptr, FILE_BEGIN);
        if (checked != PluginResult::Success) return checked;
    }
    const HRESULT hr =
        factory->CreateDecoderFromFileHandle(reinterpret_cast<ULONG_PTR>(source.handle), nullptr,
                                             WICDecodeMetadataCacheOnDemand, decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

}  // namespace

PluginResult OpenDecoder(IWICImagingFactory* factory, const InputSource& source,
                         ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    decoder.Reset();
    if (factory == nullptr) return PluginResult::InternalError;
    const PluginResult result = std::visit([&](const auto& s) { return Open(factory, s, decoder); }, source);
    if (result != PluginResult::Success) decoder.Reset();
    return result;
}

}  // namespace rorurera
