// GetPictureInfo and GetPictureInfoW of the built module, called as a host
// calls them, on the generated JPEG XR images and on files that are not
// JPEG XR: the record as filled, and the record left alone on every failure.

#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "pattern_record.h"
#include "plugin.h"
#include "support/platform.h"
#include "support/test_paths.h"

namespace {

using testing_support::FixturePath;
using testing_support::FixturePathA;
using testing_support::ModulePath;
using testing_support::ReadFileBytes;

using testing_support::ExpectRecord;
using testing_support::Untouched;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

susie::PictureInfo PatternRecord() { return testing_support::PatternRecord<susie::PictureInfo>(); }

// The four ways a host asks: a wide or narrow file name, or the file's bytes
// in memory through either export.
enum class Way { WideFile, NarrowFile, WideMemory, NarrowMemory };
constexpr Way kAllWays[] = {Way::WideFile, Way::NarrowFile, Way::WideMemory, Way::NarrowMemory};

const char* NameOf(Way way) {
    switch (way) {
    case Way::WideFile: return "GetPictureInfoW, file";
    case Way::NarrowFile: return "GetPictureInfo, file";
    case Way::WideMemory: return "GetPictureInfoW, memory";
    case Way::NarrowMemory: return "GetPictureInfo, memory";
    }
    return "";
}

class PictureInfoExport : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError();
        ASSERT_NE(plugin.GetPictureInfo, nullptr);
        ASSERT_NE(plugin.GetPictureInfoW, nullptr);
    }

    // Asks for a fixture's picture information one way; the record starts
    // filled with the pattern.
    int Ask(Way way, const std::wstring& name, susie::PictureInfo& info, LONG_PTR offset = 0) {
        info = PatternRecord();
        const std::wstring path = FixturePath(name);
        switch (way) {
        case Way::WideFile: return plugin.GetPictureInfoW(path.c_str(), offset, susie::kFromFile, &info);
        case Way::NarrowFile:
            return plugin.GetPictureInfo(FixturePathA(Narrow(name)).c_str(), offset, susie::kFromFile, &info);
        case Way::WideMemory:
        case Way::NarrowMemory: {
            const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
            const auto length = static_cast<LONG_PTR>(bytes.size());
            return way == Way::WideMemory ? plugin.GetPictureInfoW(reinterpret_cast<LPCWSTR>(bytes.data()), length,
                                                                   susie::kFromMemory, &info)
                                          : plugin.GetPictureInfo(reinterpret_cast<LPCSTR>(bytes.data()), length,
                                                                  susie::kFromMemory, &info);
        }
        }
        return -100;
    }

    susie::Plugin plugin{ModulePath()};
};

// --- successful answers --------------------------------------------------------

TEST_F(PictureInfoExport, A24BitImageOf640x480At96Dpi) {
    for (Way way : kAllWays) {
        SCOPED_TRACE(NameOf(way));
        susie::PictureInfo info;
        ASSERT_EQ(Ask(way, L"rgb24_640x480.jxr", info), 0);
        ExpectRecord(info, 640, 480, 3779, 3779, 24);
    }
}

// 72, 300 and 2000 dpi give 2834, 11811 and 78740 pixels per metre, the
// last stored in 16 bits as 13204; each axis has its own.
TEST_F(PictureInfoExport, DensitiesComeFromEachAxis) {
    const struct {
        const wchar_t* name;
        int x;
        int y;
    } cases[] = {
        {L"dpi72.jxr", 2834, 2834},      {L"dpi300.jxr", 11811, 11811},  {L"dpi2000.jxr", 13204, 13204},
        {L"dpi72x300.jxr", 2834, 11811}, {L"rgb24_8x8.jxr", 3779, 3779},
    };
    for (const auto& c : cases) {
        for (Way way : kAllWays) {
            SCOPED_TRACE(Narrow(c.name) + ", " + NameOf(way));
            susie::PictureInfo info;
            ASSERT_EQ(Ask(way, c.name, info), 0);
            ExpectRecord(info, 8, 8, c.x, c.y, 24);
        }
    }
}

// The depth is that of the stored format, not of the bitmap GetPicture
// delivers.
TEST_F(PictureInfoExport, ColourDepthIsTheStoredFormatsDepth) {
    const struct {
        const wchar_t* name;
        int width;
        int height;
        int depth;
    } cases[] = {
        {L"gray8_5x2.jxr", 5, 2, 8},      {L"gray16_3x2.jxr", 3, 2, 16},
        {L"bw_33x2.jxr", 33, 2, 1},       {L"bw_33x2_b1.jxr", 33, 2, 1},
        {L"bgr555_4x2.jxr", 4, 2, 16},    {L"bgr565_4x2.jxr", 4, 2, 16},
        {L"bgra32_3x2.jxr", 3, 2, 32},    {L"bgra32_3x2_interleaved.jxr", 3, 2, 32},
        {L"rgb24_3x2.jxr", 3, 2, 24},     {L"rgb24_5x3.jxr", 5, 3, 24},
        {L"rgb48_3x2.jxr", 3, 2, 48},     {L"rgba64_2x2.jxr", 2, 2, 64},
        {L"rgba128f_2x2.jxr", 2, 2, 128}, {L"lossy_rgb24_64x64.jxr", 64, 64, 24},
    };
    for (const auto& c : cases) {
        for (Way way : kAllWays) {
            SCOPED_TRACE(Narrow(c.name) + ", " + NameOf(way));
            susie::PictureInfo info;
            ASSERT_EQ(Ask(way, c.name, info), 0);
            ExpectRecord(info, c.width, c.height, 3779, 3779, c.depth);
        }
    }
}

// In file mode the host's offset is not used: the file is read from byte 0.
TEST_F(PictureInfoExport, TheFileOffsetIsIgnored) {
    for (LONG_PTR offset : {LONG_PTR{1}, LONG_PTR{100}, LONG_PTR{12345}, LONG_PTR{-1}, LONG_PTR{0x7FFFFFFF}}) {
        for (Way way : {Way::WideFile, Way::NarrowFile}) {
            SCOPED_TRACE(std::string(NameOf(way)) + ", offset " + std::to_string(offset));
            susie::PictureInfo info;
            ASSERT_EQ(Ask(way, L"dpi72x300.jxr", info, offset), 0);
            ExpectRecord(info, 8, 8, 2834, 11811, 24);
        }
    }
}

// The size is the one the decoder reports; no orientation tag is read.
TEST_F(PictureInfoExport, OrientationDoesNotSwapTheSize) {
    for (Way way : kAllWays) {
        SCOPED_TRACE(NameOf(way));
        susie::PictureInfo info;
        ASSERT_EQ(Ask(way, L"orient3.jxr", info), 0);
        ExpectRecord(info, 4, 2, 3779, 3779, 24);

        ASSERT_EQ(Ask(way, L"orient6.jxr", info), 0);
        if (testing_support::WicReportsStoredSizeForQuarterTurns()) {
            ExpectRecord(info, 4, 2, 3779, 3779, 24);
        } else {
            ExpectRecord(info, 2, 4, 3779, 3779, 24);
        }
    }
}

TEST_F(PictureInfoExport, ThreadsAskingAtOnce) {
    const struct {
        const wchar_t* name;
        int width;
        int depth;
    } cases[] = {{L"rgb24_640x480.jxr", 640, 24},
                 {L"gray8_5x2.jxr", 5, 8},
                 {L"rgba128f_2x2.jxr", 2, 128},
                 {L"bw_33x2.jxr", 33, 1}};
    std::vector<int> wrong(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const auto& c = cases[t % 4];
            const std::wstring path = FixturePath(c.name);
            for (int i = 0; i < 10; ++i) {
                susie::PictureInfo info = PatternRecord();
                if (plugin.GetPictureInfoW(path.c_str(), 0, susie::kFromFile, &info) != 0 || info.width != c.width ||
                    info.colorDepth != c.depth) {
                    ++wrong[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// --- failures ------------------------------------------------------------------------

TEST_F(PictureInfoExport, ImagesOfOtherFormatsAreUnknownAndLeaveTheRecordAlone) {
    for (const wchar_t* name :
         {L"sample.png", L"png_named.jxr", L"sample.bmp", L"bmp_named.jxr", L"sample.tif", L"tif_named.jxr"}) {
        for (Way way : kAllWays) {
            SCOPED_TRACE(Narrow(name) + ", " + NameOf(way));
            susie::PictureInfo info;
            EXPECT_EQ(Ask(way, name, info), 2);
            EXPECT_TRUE(Untouched(info));
        }
    }
}

TEST_F(PictureInfoExport, AMissingFileIsAnInternalError) {
    for (Way way : {Way::WideFile, Way::NarrowFile}) {
        SCOPED_TRACE(NameOf(way));
        susie::PictureInfo info;
        EXPECT_EQ(Ask(way, L"no_such_file.jxr", info), 8);
        EXPECT_TRUE(Untouched(info));
    }
}

// An empty block is handed to the imaging component like any other; its
// answer, mapped as every imaging failure is, comes back (under Wine it
// finds no decoder for an empty stream: 2).
TEST_F(PictureInfoExport, AnEmptyMemoryBlockGetsTheImagingComponentsAnswer) {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_HRESULT_SUCCEEDED(hr);
    HRESULT wicAnswer = S_OK;
    {
        IWICImagingFactory* factory = nullptr;
        ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)));
        const BYTE none = 0;
        IStream* stream = ::SHCreateMemStream(&none, 0);
        ASSERT_NE(stream, nullptr);
        IWICBitmapDecoder* decoder = nullptr;
        wicAnswer = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
        if (decoder != nullptr) decoder->Release();
        stream->Release();
        factory->Release();
    }
    ::CoUninitialize();
    ASSERT_TRUE(FAILED(wicAnswer)) << "a decoder for no bytes at all";
    if (testing_support::RunningUnderWine()) {
        EXPECT_EQ(wicAnswer, WINCODEC_ERR_COMPONENTNOTFOUND);
    }
    const int expected = wicAnswer == WINCODEC_ERR_COMPONENTNOTFOUND || wicAnswer == WINCODEC_ERR_BADIMAGE ||
                                 wicAnswer == WINCODEC_ERR_BADHEADER
                             ? 2
                         : wicAnswer == E_OUTOFMEMORY ? 4
                                                      : 8;

    const char bytes[16] = {};
    susie::PictureInfo info = PatternRecord();
    EXPECT_EQ(plugin.GetPictureInfoW(reinterpret_cast<LPCWSTR>(bytes), 0, susie::kFromMemory, &info), expected);
    EXPECT_TRUE(Untouched(info));
    info = PatternRecord();
    EXPECT_EQ(plugin.GetPictureInfo(bytes, 0, susie::kFromMemory, &info), expected);
    EXPECT_TRUE(Untouched(info));
}

#ifdef _WIN64
// The memory stream takes a 32-bit length: a longer block is refused before
// any byte of it is read.
TEST_F(PictureInfoExport, MemoryBlocksLongerThan32BitsAreRefused) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(FixturePath(L"rgb24_3x2.jxr"));
    for (LONG_PTR length :
         {LONG_PTR{0x100000000}, static_cast<LONG_PTR>(0x100000000 + bytes.size()), LONG_PTR{0x7FFFFFFFFFFFFFFF}}) {
        susie::PictureInfo info = PatternRecord();
        EXPECT_EQ(plugin.GetPictureInfoW(reinterpret_cast<LPCWSTR>(bytes.data()), length, susie::kFromMemory, &info), 8)
            << length;
        EXPECT_TRUE(Untouched(info));
        info = PatternRecord();
        EXPECT_EQ(plugin.GetPictureInfo(reinterpret_cast<LPCSTR>(bytes.data()), length, susie::kFromMemory, &info), 8)
            << length;
        EXPECT_TRUE(Untouched(info));
    }
    // The same bytes with their own length are read.
    susie::PictureInfo info = PatternRecord();
    EXPECT_EQ(plugin.GetPictureInfoW(reinterpret_cast<LPCWSTR>(bytes.data()), static_cast<LONG_PTR>(bytes.size()),
                                     susie::kFromMemory, &info),
              0);
}
#endif

}  // namespace
