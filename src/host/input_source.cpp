#include "host/input_source.h"

#include <cstdint>

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

// Success only when the call succeeded and really delivered a decoder.
PluginResult DecoderResult(HRESULT hr, const ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (FAILED(hr)) return ResultFromHresult(hr);
    return decoder ? PluginResult::Success : PluginResult::InternalError;
}

PluginResult Open(IWICImagingFactory* factory, const FileNameSource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (source.path == nullptr || source.path[0] == L'\0') return PluginResult::InternalError;
    HRESULT hr = factory->CreateDecoderFromFilename(source.path, nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand,
                                                    decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

PluginResult Open(IWICImagingFactory* factory, const MemorySource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (source.data == nullptr) return PluginResult::InternalError;
    // A negative length would become a huge 32-bit count; the stream takes at
    // most a 32-bit count, so longer blocks cannot be read.
    if (source.length < 0) return PluginResult::InternalError;
    if (static_cast<std::uint64_t>(source.length) > 0xFFFFFFFFull) return PluginResult::InternalError;

    // The stream reads the host's block where it lies, for the duration of
    // this request only: the decoder that holds the stream is released
    // before the request returns. Nothing is ever written through it.
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.GetAddressOf())) || !stream) return PluginResult::InternalError;
    BYTE* bytes = static_cast<BYTE*>(const_cast<void*>(source.data));
    if (FAILED(stream->InitializeFromMemory(bytes, static_cast<DWORD>(source.length)))) {
        return PluginResult::InternalError;
    }

    HRESULT hr = factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                  WICDecodeMetadataCacheOnDemand,
                                                  decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

PluginResult Open(IWICImagingFactory* factory, const FileHandleSource& source,
                  ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    if (source.handle == INVALID_HANDLE_VALUE) return PluginResult::InternalError;
    HRESULT hr = factory->CreateDecoderFromFileHandle(reinterpret_cast<ULONG_PTR>(source.handle),
                                                      nullptr, WICDecodeMetadataCacheOnDemand,
                                                      decoder.ReleaseAndGetAddressOf());
    return DecoderResult(hr, decoder);
}

}  // namespace

PluginResult OpenDecoder(IWICImagingFactory* factory, const InputSource& source,
                         ComPtr<IWICBitmapDecoder>& decoder) noexcept {
    decoder.Reset();
    if (factory == nullptr) return PluginResult::InternalError;
    PluginResult result = std::visit([&](const auto& s) { return Open(factory, s, decoder); }, source);
    if (result != PluginResult::Success) decoder.Reset();
    return result;
}

UniqueFileHandle OpenFileForFormatTest(const wchar_t* path) noexcept {
    return UniqueFileHandle(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace rorurera
