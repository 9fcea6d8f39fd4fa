#include "decode/frame_source.h"

#include <cstring>

#include "decode/pixel_format_table.h"

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

bool SameFormat(const WICPixelFormatGUID& a, const WICPixelFormatGUID& b) noexcept {
    return std::memcmp(&a, &b, sizeof(WICPixelFormatGUID)) == 0;
}

// The frame's palette, when the imaging component has one for it. Neither a
// palette that cannot be made nor one that cannot be copied is an error.
ComPtr<IWICPalette> FramePalette(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) noexcept {
    ComPtr<IWICPalette> palette;
    if (FAILED(factory->CreatePalette(palette.GetAddressOf())) || !palette) return nullptr;
    if (FAILED(frame->CopyPalette(palette.Get()))) return nullptr;
    return palette;
}

bool PaletteHasAlpha(IWICPalette* palette) noexcept {
    BOOL hasAlpha = FALSE;
    return SUCCEEDED(palette->HasAlpha(&hasAlpha)) && hasAlpha != FALSE;
}

// Hands the object out as an image source; a failed or empty answer is an
// internal error.
template <typename Interface>
PluginResult AsSource(Interface* object, ComPtr<IWICBitmapSource>& source) noexcept {
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(source.ReleaseAndGetAddressOf()))) || !source) {
        source.Reset();
        return PluginResult::InternalError;
    }
    return PluginResult::Success;
}

}  // namespace

bool ConverterRefused(HRESULT hr) noexcept {
    return hr == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT || hr == WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

PluginResult PrepareFrameSource(IWICImagingFactory* factory, const StoredFrame& frame, ComPtr<IWICBitmapSource>& source,
                                const PixelFormatEntry** output, HRESULT* failure) {
    source.Reset();
    if (failure != nullptr) *failure = S_OK;
    if (!frame.frame || factory == nullptr) return PluginResult::InternalError;
    const auto failed = [failure](HRESULT hr) noexcept {
        if (failure != nullptr) *failure = hr;
        return ResultFromHresult(hr);
    };
    const PixelFormatEntry& entry = *frame.entry;

    // Formats of 8 bits or less (and unknown ones) may have a palette, whose
    // transparent entries make the image one with alpha.
    bool hasAlpha = entry.hasAlpha;
    if (entry.bitsPerPixel <= 8) {
        const ComPtr<IWICPalette> palette = FramePalette(factory, frame.frame.Get());
        if (!hasAlpha && palette) hasAlpha = PaletteHasAlpha(palette.Get());
    }

    const WICPixelFormatGUID& outputFormat = hasAlpha ? GUID_WICPixelFormat32bppBGRA : entry.target;
    PluginResult result = PluginResult::Success;
    if (SameFormat(outputFormat, frame.format)) {
        result = AsSource(frame.frame.Get(), source);
    } else {
        ComPtr<IWICFormatConverter> converter;
        HRESULT hr = factory->CreateFormatConverter(converter.GetAddressOf());
        if (FAILED(hr)) return failed(hr);
        if (!converter) return PluginResult::InternalError;
        hr = converter->Initialize(frame.frame.Get(), outputFormat, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeMedianCut);
        if (FAILED(hr)) return failed(hr);
        result = AsSource(converter.Get(), source);
    }
    if (result == PluginResult::Success && output != nullptr) *output = &LookupPixelFormat(outputFormat);
    return result;
}

}  // namespace rorurera
