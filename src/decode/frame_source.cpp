#include "decode/frame_source.h"

#include <cstring>

namespace rorurera {

using Microsoft::WRL::ComPtr;

ComPtr<IWICPalette> SourcePalette(IWICImagingFactory* factory, IWICBitmapSource* source) noexcept {
    ComPtr<IWICPalette> palette;
    if (factory == nullptr || source == nullptr) return nullptr;
    if (FAILED(factory->CreatePalette(palette.GetAddressOf())) || !palette) return nullptr;
    if (FAILED(source->CopyPalette(palette.Get()))) return nullptr;
    return palette;
}

bool ConverterRefused(HRESULT hr) noexcept {
    return hr == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT || hr == WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT PrepareFrameSource(IWICImagingFactory* factory, const StoredFrame& frame, PreparedSource& prepared) noexcept {
    prepared = PreparedSource{};
    if (!frame.frame || factory == nullptr) return E_POINTER;
    const PixelFormatEntry& entry = *frame.entry;

    // Formats of 8 bits or less (and unknown ones) may have a palette, whose
    // transparent entries make the image one with alpha.
    bool hasAlpha = entry.hasAlpha;
    if (!hasAlpha && entry.bitsPerPixel <= 8) {
        BOOL paletteAlpha = FALSE;
        const ComPtr<IWICPalette> palette = SourcePalette(factory, frame.frame.Get());
        hasAlpha = palette && SUCCEEDED(palette->HasAlpha(&paletteAlpha)) && paletteAlpha != FALSE;
    }

    const WICPixelFormatGUID& output = hasAlpha ? GUID_WICPixelFormat32bppBGRA : entry.target;
    ComPtr<IWICBitmapSource> source;
    HRESULT hr = S_OK;
    if (std::memcmp(&output, &frame.format, sizeof(output)) == 0) {
        hr = frame.frame.As(&source);
    } else {
        ComPtr<IWICFormatConverter> converter;
        hr = factory->CreateFormatConverter(converter.GetAddressOf());
        if (SUCCEEDED(hr) && !converter) hr = E_UNEXPECTED;
        if (SUCCEEDED(hr)) {
            hr = converter->Initialize(frame.frame.Get(), output, WICBitmapDitherTypeNone, nullptr, 0.0,
                                       WICBitmapPaletteTypeMedianCut);
        }
        if (SUCCEEDED(hr)) hr = converter.As(&source);
    }
    if (SUCCEEDED(hr) && !source) hr = E_UNEXPECTED;
    if (FAILED(hr)) return hr;
    prepared.source = std::move(source);
    prepared.format = &LookupPixelFormat(output);
    return S_OK;
}

}  // namespace rorurera
