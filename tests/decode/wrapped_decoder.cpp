#include "wrapped_decoder.h"

namespace testing_support {

using Microsoft::WRL::ComPtr;

// --- WrappedFrame ------------------------------------------------------------

HRESULT WrappedFrame::GetSize(UINT* width, UINT* height) {
    return FAILED(sizeResult) ? sizeResult : real_->GetSize(width, height);
}

HRESULT WrappedFrame::GetPixelFormat(WICPixelFormatGUID* format) {
    if (FAILED(pixelFormatResult)) return pixelFormatResult;
    if (reportedFormat) {
        if (format == nullptr) return E_INVALIDARG;
        *format = *reportedFormat;
        return S_OK;
    }
    return real_->GetPixelFormat(format);
}

HRESULT WrappedFrame::GetResolution(double* dpiX, double* dpiY) {
    return FAILED(resolutionResult) ? resolutionResult : real_->GetResolution(dpiX, dpiY);
}

HRESULT WrappedFrame::CopyPalette(IWICPalette* palette) {
    ++copyPaletteCalls;
    if (!paletteColors) return real_->CopyPalette(palette);
    const HRESULT hr = palette->InitializeCustom(paletteColors->data(), static_cast<UINT>(paletteColors->size()));
    if (SUCCEEDED(hr)) lastPalette = palette;
    return hr;
}

HRESULT WrappedFrame::CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) {
    return real_->CopyPixels(rect, stride, size, buffer);
}

HRESULT WrappedFrame::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
    return real_->GetMetadataQueryReader(reader);
}

HRESULT WrappedFrame::GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) {
    return real_->GetColorContexts(count, contexts, actual);
}

HRESULT WrappedFrame::GetThumbnail(IWICBitmapSource** thumbnail) { return real_->GetThumbnail(thumbnail); }

// --- WrappedDecoder ------------------------------------------------------------

WrappedDecoder::WrappedDecoder(ComPtr<IWICBitmapDecoder> real) : real_(std::move(real)) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (real_ && SUCCEEDED(real_->GetFrame(0, frame.GetAddressOf())) && frame) {
        // mingw's ComPtr::Attach adds a reference: take the new object's
        // own one by assignment through the address instead.
        *frame_.ReleaseAndGetAddressOf() = new WrappedFrame(std::move(frame));
    }
}

HRESULT WrappedDecoder::QueryCapability(IStream* stream, DWORD* capability) {
    return real_->QueryCapability(stream, capability);
}

HRESULT WrappedDecoder::Initialize(IStream* stream, WICDecodeOptions options) {
    return real_->Initialize(stream, options);
}

HRESULT WrappedDecoder::GetContainerFormat(GUID* format) { return real_->GetContainerFormat(format); }

HRESULT WrappedDecoder::GetDecoderInfo(IWICBitmapDecoderInfo** info) { return real_->GetDecoderInfo(info); }

HRESULT WrappedDecoder::CopyPalette(IWICPalette* palette) { return real_->CopyPalette(palette); }

HRESULT WrappedDecoder::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
    return real_->GetMetadataQueryReader(reader);
}

HRESULT WrappedDecoder::GetPreview(IWICBitmapSource** preview) { return real_->GetPreview(preview); }

HRESULT WrappedDecoder::GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) {
    return real_->GetColorContexts(count, contexts, actual);
}

HRESULT WrappedDecoder::GetThumbnail(IWICBitmapSource** thumbnail) { return real_->GetThumbnail(thumbnail); }

HRESULT WrappedDecoder::GetFrameCount(UINT* count) { return real_->GetFrameCount(count); }

HRESULT WrappedDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
    if (frame == nullptr) return E_INVALIDARG;
    *frame = nullptr;
    if (FAILED(getFrameResult)) return getFrameResult;
    if (giveNoFrame) return S_OK;
    if (index != 0 || !frame_) return real_->GetFrame(index, frame);
    frame_->AddRef();
    *frame = frame_.Get();
    return S_OK;
}

ComPtr<WrappedDecoder> Wrap(ComPtr<IWICBitmapDecoder> real) {
    ComPtr<WrappedDecoder> decoder;
    *decoder.ReleaseAndGetAddressOf() = new WrappedDecoder(std::move(real));
    return decoder;
}

}  // namespace testing_support
