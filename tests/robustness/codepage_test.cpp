// Narrow names in a Japanese ANSI code page (932). This program runs with a
// Japanese locale (see tests.cmake), so that Wine's ANSI code page is 932.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "robustness/request_outcome.h"
#include "support/test_paths.h"

namespace {

class CodePage932Test : public testing::Test {
protected:
    susie::Plugin plugin{testing_support::ModulePath()};
    std::wstring japanesePath;

    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u) << "the test must run with a Japanese locale";
        ASSERT_TRUE(plugin.Loaded());
        // "画像テスト表示.jxr": its code page 932 form has trail bytes 0x5C ('\'),
        // which a byte-wise path handling would take for separators.
        japanesePath = testing_support::ScratchDirectory() + L"/\u753B\u50CF\u30C6\u30B9\u30C8\u8868\u793A.jxr";
        ASSERT_TRUE(::CopyFileW(testing_support::FixturePath(L"rgb24_5x3.jxr").c_str(), japanesePath.c_str(), FALSE));
    }
    void TearDown() override { ::DeleteFileW(japanesePath.c_str()); }
};

TEST_F(CodePage932Test, NarrowExportsOpenJapaneseNames) {
    const std::string narrow = testing_support::Narrow(japanesePath, 932);
    ASSERT_NE(narrow.find('\x5C'), std::string::npos) << "the name should hold a 0x5C trail byte";

    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfo(narrow.c_str(), 0, susie::kFromFile, &info), 0);
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.height, 3);

    const testing_support::Outcome narrowPicture =
        testing_support::MakeRequest(plugin, japanesePath, testing_support::RequestKind::PictureFileNarrow);
    const testing_support::Outcome widePicture =
        testing_support::MakeRequest(plugin, japanesePath, testing_support::RequestKind::PictureFileWide);
    EXPECT_EQ(narrowPicture.result, 0);
    EXPECT_EQ(narrowPicture, widePicture);

    std::vector<char> zeros(2048, 0);
    EXPECT_EQ(plugin.IsSupported(narrow.c_str(), reinterpret_cast<ULONG_PTR>(zeros.data())), 1);
}

// A lead byte followed by a byte that cannot trail it: the code page cannot
// convert the name, and the request is refused rather than made on some
// other name.
TEST_F(CodePage932Test, NamesTheCodePageCannotConvertAreRefused) {
    const std::string directory = testing_support::Narrow(testing_support::ScratchDirectory(), 932);
    const std::string broken = directory + "/\x81\x20picture.jxr";
    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfo(broken.c_str(), 0, susie::kFromFile, &info), 8);
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    EXPECT_EQ(plugin.GetPicture(broken.c_str(), 0, susie::kFromFile, &header, &bits, nullptr, 0), 8);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}

}  // namespace
