#pragma once

// A JPEG XR decoder and frame made up by the test: the frame states any size
// and pixel format, fills CopyPixels' buffer with a known pattern (or only
// records the call), and can fail any of its calls. Both count their
// references so that a test sees whether the plug-in gave back everything it
// was handed.

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/fake_com.h"

namespace testing_support {

class FakeFrame final : public FakeCom<IWICBitmapFrameDecode, FakeLifetime::OwnedByTest, IWICBitmapSource> {
public:
    FakeFrame() = default;
    FakeFrame(UINT frameWidth, UINT frameHeight) : width(frameWidth), height(frameHeight) {}

    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    HRESULT sizeResult = S_OK;
    HRESULT resolutionResult = S_OK;
    HRESULT copyResult = S_OK;
    bool fillPixels = true;     // byte i of the buffer becomes i + 1 (mod 256)
    std::vector<BYTE> content;  // when not empty: copied to the buffer instead of the pattern

    int copies = 0;
    WICRect lastRect{};
    UINT lastStride = 0;
    UINT lastSize = 0;

    HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
        if (FAILED(sizeResult)) return sizeResult;
        *w = width;
        *h = height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* f) override {
        *f = format;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
        if (FAILED(resolutionResult)) return resolutionResult;
        *x = *y = 300.0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) override {
        ++copies;
        lastRect = rect != nullptr ? *rect : WICRect{-1, -1, -1, -1};
        lastStride = stride;
        lastSize = size;
        if (FAILED(copyResult)) return copyResult;
        if (!content.empty()) {
            std::memcpy(buffer, content.data(), std::min<std::size_t>(size, content.size()));
        } else if (fillPixels) {
            for (UINT i = 0; i < size; ++i) buffer[i] = static_cast<BYTE>(i + 1);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader**) override {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT*) override {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource**) override { return WINCODEC_ERR_CODECNOTHUMBNAIL; }
};

class FakeDecoder final : public FakeCom<IWICBitmapDecoder, FakeLifetime::OwnedByTest> {
public:
    FakeFrame frame;
    int frameFetches = 0;  // calls of GetFrame

    HRESULT STDMETHODCALLTYPE QueryCapability(IStream*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(IStream*, WICDecodeOptions) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* container) override {
        *container = GUID_ContainerFormatWmp;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader**) override {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource**) override { return WINCODEC_ERR_UNSUPPORTEDOPERATION; }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT*) override {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource**) override { return WINCODEC_ERR_CODECNOTHUMBNAIL; }
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** out) override {
        ++frameFetches;
        if (index != 0) return WINCODEC_ERR_FRAMEMISSING;
        frame.AddRef();
        *out = &frame;
        return S_OK;
    }
};

}  // namespace testing_support
