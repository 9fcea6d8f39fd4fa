#pragma once

// A decoder and its frame 0 as the plug-in sees them, standing in front of
// the imaging component's real ones: every call goes through to the real
// object unless the test asked for a different answer. The frame counts its
// own references, so a test can see whether everything handed out came back.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <optional>
#include <utility>
#include <vector>

#include "support/fake_com.h"

namespace testing_support {

class WrappedFrame final
    : public testing_support::FakeCom<IWICBitmapFrameDecode, testing_support::FakeLifetime::EndsAtLastRelease> {
public:
    explicit WrappedFrame(Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> real) : real_(std::move(real)) {}

    // Answers the test may set instead of the real frame's.
    HRESULT sizeResult = S_OK;
    HRESULT resolutionResult = S_OK;
    HRESULT pixelFormatResult = S_OK;
    std::optional<WICPixelFormatGUID> reportedFormat;
    bool refuseSourceInterface = false;
    // When set, CopyPalette fills the caller's palette with these colours
    // and succeeds; the palette is kept in lastPalette.
    std::optional<std::vector<WICColor>> paletteColors;

    // What the frame saw.
    int copyPaletteCalls = 0;
    Microsoft::WRL::ComPtr<IWICPalette> lastPalette;

    ULONG References() const { return references; }

    // IWICBitmapSource
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override;
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override;
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) override;

    // IWICBitmapFrameDecode
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) override;
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;

private:
    ~WrappedFrame() override = default;
    bool Offers(REFIID iid) const override { return iid == IID_IWICBitmapSource && !refuseSourceInterface; }
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> real_;
};

class WrappedDecoder final
    : public testing_support::FakeCom<IWICBitmapDecoder, testing_support::FakeLifetime::EndsAtLastRelease> {
public:
    // Takes the real decoder's frame 0 at once and wraps it.
    explicit WrappedDecoder(Microsoft::WRL::ComPtr<IWICBitmapDecoder> real);

    // Answers the test may set instead of the real decoder's.
    HRESULT getFrameResult = S_OK;
    bool giveNoFrame = false;  // S_OK with a null frame

    // The one frame 0 handed out (this decoder keeps one reference to it).
    WrappedFrame& Frame() const { return *frame_.Get(); }

    // IWICBitmapDecoder
    HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override;
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions options) override;
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override;
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override;
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) override;
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

private:
    ~WrappedDecoder() override = default;
    Microsoft::WRL::ComPtr<IWICBitmapDecoder> real_;
    Microsoft::WRL::ComPtr<WrappedFrame> frame_;
};

// A new wrapped decoder over a real one, owned by the returned pointer.
Microsoft::WRL::ComPtr<WrappedDecoder> Wrap(Microsoft::WRL::ComPtr<IWICBitmapDecoder> real);

}  // namespace testing_support
