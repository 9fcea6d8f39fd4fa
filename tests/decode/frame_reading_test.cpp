// Frame 0 as the plug-in inspects and prepares it, on the imaging
// component's real decoders of the generated JPEG XR images: the picture
// information record, and the image source in its output format. A wrapped
// decoder stands in front of the real one where a test needs another answer
// from it or has to see the frame's references come back.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cwchar>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/host_types.h"
#include "decode/frame_source.h"
#include "decode/picture_info.h"
#include "host/com_scope.h"
#include "host/input_source.h"
#include "pattern_record.h"
#include "support/platform.h"
#include "support/test_paths.h"
#include "wrapped_decoder.h"

namespace {

using Microsoft::WRL::ComPtr;
using rorurera::PluginResult;
using testing_support::FixturePath;
using testing_support::Untouched;
using testing_support::WrappedDecoder;

bool SameFormat(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

ComPtr<IUnknown> Identity(IUnknown* object) {
    ComPtr<IUnknown> identity;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(identity.GetAddressOf())));
    return identity;
}

WICPixelFormatGUID FormatOf(IWICBitmapSource* source) {
    WICPixelFormatGUID format{};
    EXPECT_HRESULT_SUCCEEDED(source->GetPixelFormat(&format));
    return format;
}

// The source's pixels with the tight row pitch, or the failure of CopyPixels.
struct Pixels {
    HRESULT result = E_FAIL;
    UINT stride = 0;
    std::vector<std::uint8_t> bytes;
    std::uint8_t At(UINT x, UINT y) const { return bytes[y * stride + x]; }
};
Pixels CopyAll(IWICBitmapSource* source, UINT bitsPerPixel) {
    Pixels pixels;
    UINT width = 0;
    UINT height = 0;
    EXPECT_HRESULT_SUCCEEDED(source->GetSize(&width, &height));
    pixels.stride = (width * bitsPerPixel + 7) / 8;
    pixels.bytes.assign(static_cast<std::size_t>(pixels.stride) * height, 0xEE);
    pixels.result =
        source->CopyPixels(nullptr, pixels.stride, static_cast<UINT>(pixels.bytes.size()), pixels.bytes.data());
    return pixels;
}

class FrameInspection : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(scope.Open(), PluginResult::Success); }

    ComPtr<IWICBitmapDecoder> Open(const std::wstring& name) {
        const std::wstring path = FixturePath(name);
        ComPtr<IWICBitmapDecoder> decoder;
        EXPECT_EQ(rorurera::OpenDecoder(scope.Factory(), rorurera::FileNameSource{path.c_str()}, decoder),
                  PluginResult::Success)
            << "cannot open " << std::string(name.begin(), name.end());
        return decoder;
    }

    ComPtr<WrappedDecoder> OpenWrapped(const std::wstring& name) {
        ComPtr<WrappedDecoder> decoder = testing_support::Wrap(Open(name));
        EXPECT_EQ(decoder->Frame().References(), 1u);
        return decoder;
    }

    // The frame read as a request reads it, then prepared; nothing is left
    // in `source` on failure.
    PluginResult Prepare(IWICBitmapDecoder* decoder, ComPtr<IWICBitmapSource>& source) {
        rorurera::StoredFrame frame;
        rorurera::PreparedSource prepared;
        HRESULT hr = rorurera::ReadStoredFrame(decoder, frame);
        if (SUCCEEDED(hr)) hr = rorurera::PrepareFrameSource(scope.Factory(), frame, prepared);
        source = prepared.source;
        return SUCCEEDED(hr) ? PluginResult::Success : rorurera::ResultFromHresult(hr);
    }

    rorurera::ComScope scope;
};

// --- the picture information record ------------------------------------------

class PictureInfoRead : public FrameInspection {
protected:
    static rorurera::PictureInfo PatternRecord() { return testing_support::PatternRecord<rorurera::PictureInfo>(); }
};

TEST_F(PictureInfoRead, FillsTheRecordFromFrame0) {
    ComPtr<IWICBitmapDecoder> decoder = Open(L"rgb24_640x480.jxr");
    rorurera::PictureInfo info = PatternRecord();
    ASSERT_EQ(rorurera::ReadPictureInfo(decoder.Get(), &info), PluginResult::Success);
    testing_support::ExpectRecord(info, 640, 480, 3779, 3779, 24);
}

TEST_F(PictureInfoRead, ColourDepthIsTheDepthOfTheReportedFormat) {
    const GUID madeUp = {0x0BADF00D, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    const struct {
        const GUID* format;
        int depth;
    } cases[] = {
        {&GUID_WICPixelFormat144bpp8ChannelsAlpha, 144},
        {&GUID_WICPixelFormat128bppRGBAFloat, 128},
        {&GUID_WICPixelFormat8bppAlpha, 8},
        {&GUID_WICPixelFormat8bppGray, 8},
        {&GUID_WICPixelFormat32bppRGB, 0},
        {&madeUp, 0},
    };
    for (const auto& c : cases) {
        ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgb24_3x2.jxr");
        decoder->Frame().reportedFormat = *c.format;
        rorurera::PictureInfo info = PatternRecord();
        ASSERT_EQ(rorurera::ReadPictureInfo(decoder.Get(), &info), PluginResult::Success) << c.depth;
        EXPECT_EQ(info.colorDepth, c.depth);
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, 2);
        EXPECT_EQ(decoder->Frame().References(), 1u) << "the frame was not released";
    }
}

TEST_F(PictureInfoRead, EveryFailureLeavesTheRecordAsItWas) {
    const struct {
        const char* what;
        HRESULT getFrame;
        bool noFrame;
        HRESULT size;
        HRESULT resolution;
        HRESULT format;
        PluginResult expected;
    } cases[] = {
        {"GetFrame, bad image", WINCODEC_ERR_BADIMAGE, false, S_OK, S_OK, S_OK, PluginResult::UnknownFormat},
        {"GetFrame, out of memory", E_OUTOFMEMORY, false, S_OK, S_OK, S_OK, PluginResult::OutOfMemory},
        {"GetFrame, no frame", S_OK, true, S_OK, S_OK, S_OK, PluginResult::InternalError},
        {"GetSize", S_OK, false, E_FAIL, S_OK, S_OK, PluginResult::InternalError},
        {"GetSize, size out of range", S_OK, false, WINCODEC_ERR_IMAGESIZEOUTOFRANGE, S_OK, S_OK,
         PluginResult::InternalError},
        {"GetResolution", S_OK, false, S_OK, E_OUTOFMEMORY, S_OK, PluginResult::OutOfMemory},
        {"GetPixelFormat", S_OK, false, S_OK, S_OK, WINCODEC_ERR_BADHEADER, PluginResult::UnknownFormat},
        {"GetPixelFormat, no component", S_OK, false, S_OK, S_OK, WINCODEC_ERR_COMPONENTNOTFOUND,
         PluginResult::UnknownFormat},
    };
    for (const auto& c : cases) {
        ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgb24_640x480.jxr");
        decoder->getFrameResult = c.getFrame;
        decoder->giveNoFrame = c.noFrame;
        decoder->Frame().sizeResult = c.size;
        decoder->Frame().resolutionResult = c.resolution;
        decoder->Frame().pixelFormatResult = c.format;
        rorurera::PictureInfo info = PatternRecord();
        EXPECT_EQ(rorurera::ReadPictureInfo(decoder.Get(), &info), c.expected) << c.what;
        EXPECT_TRUE(Untouched(info)) << c.what;
        EXPECT_EQ(decoder->Frame().References(), 1u) << c.what << ": the frame was not released";
    }
}

TEST_F(PictureInfoRead, AnotherContainerIsAnUnknownFormat) {
    for (const wchar_t* name : {L"sample.png", L"png_named.jxr", L"sample.bmp", L"sample.tif"}) {
        ComPtr<IWICBitmapDecoder> decoder = Open(name);
        rorurera::PictureInfo info = PatternRecord();
        EXPECT_EQ(rorurera::ReadPictureInfo(decoder.Get(), &info), PluginResult::UnknownFormat);
        EXPECT_TRUE(Untouched(info));
    }
}

TEST_F(PictureInfoRead, MissingArguments) {
    rorurera::PictureInfo info = PatternRecord();
    EXPECT_EQ(rorurera::ReadPictureInfo(nullptr, &info), PluginResult::InternalError);
    EXPECT_TRUE(Untouched(info));
    ComPtr<IWICBitmapDecoder> decoder = Open(L"rgb24_3x2.jxr");
    EXPECT_EQ(rorurera::ReadPictureInfo(decoder.Get(), nullptr), PluginResult::InternalError);
}

// Pixels per metre: dots per inch / 0.0254, truncated, low 16 bits.
TEST(Density, FromDotsPerInch) {
    const struct {
        double dpi;
        std::uint16_t density;
    } cases[] = {
        {96.0, 3779}, {72.0, 2834},    {300.0, 11811}, {2000.0, 13204}, {0.0, 0},      {0.02, 0},
        {0.0254, 1},  {1664.6, 65535}, {1664.62, 0},   {1700.0, 1393},  {-1.0, 65497}, {95.98660278320312, 3779},
    };
    for (const auto& c : cases) EXPECT_EQ(rorurera::DensityFromDpi(c.dpi), c.density) << c.dpi;
    EXPECT_EQ(rorurera::DensityFromDpi(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(rorurera::DensityFromDpi(std::numeric_limits<double>::infinity()), 0);
}

// --- the prepared frame source ----------------------------------------------------

class FramePreparation : public FrameInspection {
protected:
    // Prepares frame 0 of a wrapped decoder and checks that the source is the
    // frame itself, in the frame's own format.
    void ExpectPassedThrough(const wchar_t* name, const GUID& format) {
        SCOPED_TRACE(std::string(name, name + std::wcslen(name)));
        ComPtr<WrappedDecoder> decoder = OpenWrapped(name);
        ComPtr<IWICBitmapSource> source;
        ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
        ASSERT_TRUE(source);
        EXPECT_EQ(Identity(source.Get()).Get(), Identity(&decoder->Frame()).Get());
        EXPECT_TRUE(SameFormat(FormatOf(source.Get()), format));
        source.Reset();
        EXPECT_EQ(decoder->Frame().References(), 1u) << "a reference to the frame was kept";
    }

    // Prepares frame 0 and checks that a converter to `format` stands in
    // front of the frame; the source is returned for a look at its pixels.
    ComPtr<IWICBitmapSource> ExpectConverted(WrappedDecoder* decoder, const GUID& format) {
        ComPtr<IWICBitmapSource> source;
        EXPECT_EQ(Prepare(decoder, source), PluginResult::Success);
        if (!source) return nullptr;
        EXPECT_NE(Identity(source.Get()).Get(), Identity(&decoder->Frame()).Get());
        ComPtr<IWICFormatConverter> converter;
        EXPECT_HRESULT_SUCCEEDED(source.As(&converter)) << "the source is no format converter";
        EXPECT_TRUE(SameFormat(FormatOf(source.Get()), format));
        return source;
    }
};

TEST_F(FramePreparation, FramesAlreadyInTheirOutputFormatArePassedThrough) {
    ExpectPassedThrough(L"rgb24_3x2.jxr", GUID_WICPixelFormat24bppBGR);
    ExpectPassedThrough(L"bgra32_3x2.jxr", GUID_WICPixelFormat32bppBGRA);
    ExpectPassedThrough(L"bgra32_3x2_interleaved.jxr", GUID_WICPixelFormat32bppBGRA);
    ExpectPassedThrough(L"bw_33x2.jxr", GUID_WICPixelFormatBlackWhite);
    ExpectPassedThrough(L"gray8_5x2.jxr", GUID_WICPixelFormat8bppGray);
    ExpectPassedThrough(L"bgr555_4x2.jxr", GUID_WICPixelFormat16bppBGR555);
}

TEST_F(FramePreparation, APassedThroughFrameDeliversItsPixels) {
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgb24_3x2.jxr");
    ComPtr<IWICBitmapSource> source;
    ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
    const Pixels pixels = CopyAll(source.Get(), 24);
    ASSERT_HRESULT_SUCCEEDED(pixels.result);
    EXPECT_EQ(pixels.bytes, (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150,
                                                       160, 170, 180}));
}

TEST_F(FramePreparation, BlackWhiteStaysBlackWhite) {
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"bw_33x2.jxr");
    ComPtr<IWICBitmapSource> source;
    ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
    EXPECT_EQ(Identity(source.Get()).Get(), Identity(&decoder->Frame()).Get());
    EXPECT_TRUE(SameFormat(FormatOf(source.Get()), GUID_WICPixelFormatBlackWhite));
    const Pixels pixels = CopyAll(source.Get(), 1);
    ASSERT_HRESULT_SUCCEEDED(pixels.result);
    ASSERT_EQ(pixels.stride, 5u);
    const std::uint8_t rows[2][5] = {{0xB1, 0x0F, 0x00, 0xFF, 0x80}, {0x80, 0x00, 0x55, 0x01, 0x00}};
    for (UINT y = 0; y < 2; ++y) {
        for (UINT x = 0; x < 4; ++x) EXPECT_EQ(pixels.At(x, y), rows[y][x]) << x << "," << y;
        EXPECT_EQ(pixels.At(4, y) & 0x80, rows[y][4]) << "last bit of row " << y;
    }
}

// 64bppRGBA has alpha and goes through a converter; 32bppBGRA needs none.
TEST_F(FramePreparation, AnImageWithAlphaComesOutAs32bppBGRA) {
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgba64_2x2.jxr");
    ComPtr<IWICBitmapSource> source = ExpectConverted(decoder.Get(), GUID_WICPixelFormat32bppBGRA);
    ASSERT_TRUE(source);
    const Pixels pixels = CopyAll(source.Get(), 32);
    ASSERT_HRESULT_SUCCEEDED(pixels.result);
    // Colour channels of 0, 0xFFFF and 0x9ABC / 0x5678 / 0x1234 (B, G, R):
    // their high bytes, without a transfer curve (platform.h).
    const int tolerance = testing_support::SixteenBitConverterTolerance();
    const std::uint8_t colours[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0x9A, 0x56, 0x12}};
    for (UINT i = 0; i < 4; ++i) {
        for (UINT c = 0; c < 3; ++c) {
            EXPECT_NEAR(pixels.At((i % 2) * 4 + c, i / 2), colours[i][c], tolerance) << i << "," << c;
        }
    }
    if (testing_support::WicKeepsJpegXrAlpha()) {
        EXPECT_EQ(pixels.At(4 + 3, 0), 0xFF);  // alpha 0xFFFF
        EXPECT_EQ(pixels.At(0 + 3, 1), 0x00);  // alpha 0
    } else {
        for (UINT i = 0; i < 4; ++i) EXPECT_EQ(pixels.At((i % 2) * 4 + 3, i / 2), 0) << i;
    }
    source.Reset();
    EXPECT_EQ(decoder->Frame().References(), 1u) << "a reference to the frame was kept";
}

// Floating-point sources: Windows converts them; Wine's converter refuses
// at Initialize (0x88982F80), which is an internal error, and nothing is
// handed out.
TEST_F(FramePreparation, FloatingPointWithAlphaGoesTo32bppBGRA) {
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgba128f_2x2.jxr");
    ComPtr<IWICBitmapSource> source;
    const PluginResult result = Prepare(decoder.Get(), source);
    if (testing_support::WicConvertsFloatFormats()) {
        ASSERT_EQ(result, PluginResult::Success);
        ASSERT_TRUE(source);
        EXPECT_TRUE(SameFormat(FormatOf(source.Get()), GUID_WICPixelFormat32bppBGRA));
        EXPECT_NE(Identity(source.Get()).Get(), Identity(&decoder->Frame()).Get());
    } else {
        EXPECT_EQ(result, PluginResult::InternalError);
        EXPECT_FALSE(source);
    }
    source.Reset();
    EXPECT_EQ(decoder->Frame().References(), 1u) << "a reference to the frame was kept";
}

// 565, 48-bit and 16-bit grey frames get a converter to 24bppBGR. Windows
// converts their pixels; Wine's converter fails CopyPixels with
// WINCODEC_ERR_UNSUPPORTEDOPERATION.
TEST_F(FramePreparation, IntegerFormatsGoThroughAConverterTo24bppBGR) {
    const struct {
        const wchar_t* name;
        // pixels whose conversion every scaling gives: x, y, B, G, R
        std::vector<std::array<int, 5>> exact;
    } cases[] = {
        {L"bgr565_4x2.jxr",
         {{0, 0, 0, 0, 255}, {1, 0, 0, 255, 0}, {2, 0, 255, 0, 0}, {3, 0, 255, 255, 255}, {0, 1, 0, 0, 0}}},
        {L"rgb48_3x2.jxr", {{0, 0, 0, 0, 255}, {1, 0, 0, 255, 0}, {2, 0, 255, 0, 0}, {2, 1, 255, 255, 255}}},
        {L"gray16_3x2.jxr", {{0, 0, 0, 0, 0}, {2, 1, 255, 255, 255}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::wcslen(c.name)));
        ComPtr<WrappedDecoder> decoder = OpenWrapped(c.name);
        ComPtr<IWICBitmapSource> source = ExpectConverted(decoder.Get(), GUID_WICPixelFormat24bppBGR);
        ASSERT_TRUE(source);
        const Pixels pixels = CopyAll(source.Get(), 24);
        if (testing_support::WicConvertsIntegerFormatsTo24bpp()) {
            ASSERT_HRESULT_SUCCEEDED(pixels.result);
            for (const auto& p : c.exact) {
                for (int k = 0; k < 3; ++k) {
                    EXPECT_EQ(pixels.At(p[0] * 3 + k, p[1]), p[2 + k]) << p[0] << "," << p[1] << " channel " << k;
                }
            }
        } else {
            EXPECT_EQ(pixels.result, WINCODEC_ERR_UNSUPPORTEDOPERATION);
        }
        source.Reset();
        EXPECT_EQ(decoder->Frame().References(), 1u) << "a reference to the frame was kept";
    }
}

// Formats of 8 bits or less have their palette read; its alpha makes the
// image one with alpha. JPEG XR frames have no palette under Wine, so the
// palette is handed in here by the wrapped frame.
TEST_F(FramePreparation, APaletteWithAlphaMakesTheImageOneWithAlpha) {
    std::vector<WICColor> colours;
    for (UINT v = 0; v < 256; ++v) colours.push_back((v == 0 ? 0x00000000u : 0xFF000000u) | v * 0x010101u);
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"gray8_5x2.jxr");
    decoder->Frame().paletteColors = colours;
    ComPtr<IWICBitmapSource> source = ExpectConverted(decoder.Get(), GUID_WICPixelFormat32bppBGRA);
    EXPECT_EQ(decoder->Frame().copyPaletteCalls, 1);
    ASSERT_TRUE(decoder->Frame().lastPalette);
    EXPECT_EQ(decoder->Frame().lastPalette.Detach()->Release(), 0u) << "the palette was not released";
    source.Reset();
    EXPECT_EQ(decoder->Frame().References(), 1u);
}

TEST_F(FramePreparation, AnOpaquePaletteChangesNothing) {
    std::vector<WICColor> colours;
    for (UINT v = 0; v < 256; ++v) colours.push_back(0xFF000000u | v * 0x010101u);
    ComPtr<WrappedDecoder> decoder = OpenWrapped(L"gray8_5x2.jxr");
    decoder->Frame().paletteColors = colours;
    ComPtr<IWICBitmapSource> source;
    ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
    EXPECT_EQ(Identity(source.Get()).Get(), Identity(&decoder->Frame()).Get());
    EXPECT_TRUE(SameFormat(FormatOf(source.Get()), GUID_WICPixelFormat8bppGray));
    ASSERT_TRUE(decoder->Frame().lastPalette);
    EXPECT_EQ(decoder->Frame().lastPalette.Detach()->Release(), 0u) << "the palette was not released";
}

TEST_F(FramePreparation, OnlyFormatsOf8BitsOrLessHaveTheirPaletteRead) {
    const struct {
        const wchar_t* name;
        int calls;
    } cases[] = {{L"bw_33x2.jxr", 1},
                 {L"gray8_5x2.jxr", 1},
                 {L"rgb24_3x2.jxr", 0},
                 {L"bgr555_4x2.jxr", 0},
                 {L"bgra32_3x2.jxr", 0}};
    for (const auto& c : cases) {
        ComPtr<WrappedDecoder> decoder = OpenWrapped(c.name);
        ComPtr<IWICBitmapSource> source;
        ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
        EXPECT_EQ(decoder->Frame().copyPaletteCalls, c.calls) << std::string(c.name, c.name + std::wcslen(c.name));
    }
}

// JPEG XR frames have a palette on Windows only; without one, an 8-bit grey
// frame has no alpha and stays as it is.
TEST_F(FramePreparation, TheRealPaletteOfAGreyFrame) {
    ComPtr<IWICBitmapDecoder> decoder = Open(L"gray8_5x2.jxr");
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_HRESULT_SUCCEEDED(decoder->GetFrame(0, frame.GetAddressOf()));
    ComPtr<IWICPalette> palette;
    ASSERT_HRESULT_SUCCEEDED(scope.Factory()->CreatePalette(palette.GetAddressOf()));
    const HRESULT copied = frame->CopyPalette(palette.Get());
    if (testing_support::WicHasJpegXrPalettes()) {
        EXPECT_HRESULT_SUCCEEDED(copied);
    } else {
        EXPECT_EQ(copied, WINCODEC_ERR_PALETTEUNAVAILABLE);
    }
    ComPtr<IWICBitmapSource> source;
    ASSERT_EQ(Prepare(decoder.Get(), source), PluginResult::Success);
    EXPECT_TRUE(SameFormat(FormatOf(source.Get()), GUID_WICPixelFormat8bppGray));
}

TEST_F(FramePreparation, FailuresHandOutNothingAndReleaseTheFrame) {
    const struct {
        const char* what;
        HRESULT getFrame;
        bool noFrame;
        HRESULT format;
        bool refuseSource;
        PluginResult expected;
    } cases[] = {
        {"GetFrame, bad image", WINCODEC_ERR_BADIMAGE, false, S_OK, false, PluginResult::UnknownFormat},
        {"GetFrame, out of memory", E_OUTOFMEMORY, false, S_OK, false, PluginResult::OutOfMemory},
        {"GetFrame, other", E_FAIL, false, S_OK, false, PluginResult::InternalError},
        {"GetFrame, no frame", S_OK, true, S_OK, false, PluginResult::InternalError},
        {"GetPixelFormat, bad header", S_OK, false, WINCODEC_ERR_BADHEADER, false, PluginResult::UnknownFormat},
        {"GetPixelFormat, out of memory", S_OK, false, E_OUTOFMEMORY, false, PluginResult::OutOfMemory},
        {"frame without IWICBitmapSource", S_OK, false, S_OK, true, PluginResult::InternalError},
    };
    for (const auto& c : cases) {
        ComPtr<WrappedDecoder> decoder = OpenWrapped(L"rgb24_3x2.jxr");
        decoder->getFrameResult = c.getFrame;
        decoder->giveNoFrame = c.noFrame;
        decoder->Frame().pixelFormatResult = c.format;
        decoder->Frame().refuseSourceInterface = c.refuseSource;
        // A source left from before is dropped.
        ComPtr<IWICBitmapSource> source;
        ComPtr<IWICBitmapFrameDecode> stale;
        ASSERT_HRESULT_SUCCEEDED(Open(L"rgb24_5x3.jxr")->GetFrame(0, stale.GetAddressOf()));
        ASSERT_HRESULT_SUCCEEDED(stale.As(&source));
        EXPECT_EQ(Prepare(decoder.Get(), source), c.expected) << c.what;
        EXPECT_FALSE(source) << c.what;
        EXPECT_EQ(decoder->Frame().References(), 1u) << c.what << ": the frame was not released";
    }
}

TEST_F(FramePreparation, NoDecoderIsAnInternalError) {
    ComPtr<IWICBitmapSource> source;
    EXPECT_EQ(Prepare(nullptr, source), PluginResult::InternalError);
    EXPECT_FALSE(source);
}

}  // namespace
