// The module as a host sees it: its exports, the plug-in information and the
// dispatch of the picture requests.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin.h"
#include "support/test_paths.h"

namespace {

using testing_support::ModuleFileName;
using testing_support::ModulePath;

class ExportsTest : public testing::Test {
protected:
    susie::Plugin plugin{ModulePath()};
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }
};

// --- exports -----------------------------------------------------------

TEST_F(ExportsTest, EveryExportResolvesByItsPlainName) {
    for (const char* name :
         {"GetPluginInfo", "GetPluginInfoW", "IsSupported", "IsSupportedW", "GetPictureInfo", "GetPictureInfoW",
          "GetPicture", "GetPictureW", "GetPreview", "GetPreviewW", "ConfigurationDlg"}) {
        EXPECT_NE(plugin.Resolve(name), nullptr) << name;
    }
}

TEST_F(ExportsTest, DecoratedNamesAreAbsent) {
    for (const char* name : {"_GetPluginInfo@12", "GetPluginInfo@12", "_IsSupported@8", "IsSupported@8",
                             "_GetPicture@28", "GetPicture@28", "_ConfigurationDlg@8", "ConfigurationDlg@8",
                             "_IsSupportedW@8", "_GetPictureInfoW@16", "GetPreviewW@28", "DllMain"}) {
        EXPECT_EQ(plugin.Resolve(name), nullptr) << name;
    }
}

TEST_F(ExportsTest, BothPreviewNamesAreOneFunction) {
    ASSERT_NE(plugin.Resolve("GetPreview"), nullptr);
    EXPECT_EQ(plugin.Resolve("GetPreview"), plugin.Resolve("GetPreviewW"));
}

TEST_F(ExportsTest, ModuleHasTheVersionResource) {
    const std::wstring path = ModulePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
    wchar_t* original = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\041104B0\\OriginalFilename",
                                 reinterpret_cast<void**>(&original), &length));
    EXPECT_EQ(std::wstring(original), ModuleFileName());
}

// --- plug-in information -------------------------------------------------

std::wstring VersionText() { return ModuleFileName() + L" version 1.1.2  written by Vazivaze"; }

TEST_F(ExportsTest, WideInformationTexts) {
    wchar_t buffer[256];
    EXPECT_EQ(plugin.GetPluginInfoW(0, buffer, 256), 4);
    EXPECT_STREQ(buffer, L"00IN");
    const std::wstring version = VersionText();
    EXPECT_EQ(plugin.GetPluginInfoW(1, buffer, 256), static_cast<int>(version.size()));
    EXPECT_EQ(std::wstring(buffer), version);
    EXPECT_EQ(plugin.GetPluginInfoW(2, buffer, 256), 17);
    EXPECT_STREQ(buffer, L"*.JXR;*.HDP;*.WDP");
    const wchar_t* description = L"JPEG XR - Joint Photographic Experts Group eXtended Range (*.jxr,*.hdp,*.wdp)";
    EXPECT_EQ(plugin.GetPluginInfoW(3, buffer, 256), static_cast<int>(std::wcslen(description)));
    EXPECT_STREQ(buffer, description);
}

TEST_F(ExportsTest, NarrowInformationTexts) {
    char buffer[256];
    EXPECT_EQ(plugin.GetPluginInfo(0, buffer, 256), 4);
    EXPECT_STREQ(buffer, "00IN");
    const std::wstring wide = VersionText();
    const std::string version(wide.begin(), wide.end());
    EXPECT_EQ(plugin.GetPluginInfo(1, buffer, 256), static_cast<int>(version.size()));
    EXPECT_EQ(std::string(buffer), version);
    EXPECT_EQ(plugin.GetPluginInfo(2, buffer, 256), 17);
    EXPECT_STREQ(buffer, "*.JXR;*.HDP;*.WDP");
    EXPECT_EQ(plugin.GetPluginInfo(3, buffer, 256), 77);
}

TEST_F(ExportsTest, AbsentNumbersGiveAnEmptyText) {
    for (int number : {4, 5, 6, 7, 8, 9, 10, 11, 100, -1, -2, INT_MIN, INT_MAX}) {
        wchar_t wide[8] = {L'x', L'x'};
        EXPECT_EQ(plugin.GetPluginInfoW(number, wide, 8), 0) << number;
        EXPECT_EQ(wide[0], L'\0') << number;
        EXPECT_EQ(wide[1], L'x') << number;
        char narrow[8] = {'x', 'x'};
        EXPECT_EQ(plugin.GetPluginInfo(number, narrow, 8), 0) << number;
        EXPECT_EQ(narrow[0], '\0') << number;
        EXPECT_EQ(narrow[1], 'x') << number;
    }
}

// Sizes 5, 4, 1 and 0: the copy is cut to size - 1 and terminated, and no
// unit past the terminator is written.
TEST_F(ExportsTest, TruncationIsBoundedAndTerminated) {
    struct Case {
        int size;
        int expected;
        const char* text;
    };
    for (const Case& c : {Case{5, 4, "00IN"}, Case{4, 3, "00I"}, Case{1, 0, ""}}) {
        wchar_t wide[8];
        std::wmemset(wide, L'#', 8);
        EXPECT_EQ(plugin.GetPluginInfoW(0, wide, c.size), c.expected) << c.size;
        EXPECT_EQ(std::wstring(wide, wide + c.expected), std::wstring(c.text, c.text + c.expected));
        EXPECT_EQ(wide[c.expected], L'\0');
        for (int i = c.expected + 1; i < 8; ++i) EXPECT_EQ(wide[i], L'#') << c.size << " at " << i;

        char narrow[8];
        std::memset(narrow, '#', 8);
        EXPECT_EQ(plugin.GetPluginInfo(0, narrow, c.size), c.expected) << c.size;
        EXPECT_EQ(std::string(narrow, c.expected), std::string(c.text, c.expected));
        EXPECT_EQ(narrow[c.expected], '\0');
        for (int i = c.expected + 1; i < 8; ++i) EXPECT_EQ(narrow[i], '#') << c.size << " at " << i;
    }
    wchar_t wide[4];
    std::wmemset(wide, L'#', 4);
    EXPECT_EQ(plugin.GetPluginInfoW(0, wide, 0), 0);
    EXPECT_EQ(wide[0], L'#');
    char narrow[4];
    std::memset(narrow, '#', 4);
    EXPECT_EQ(plugin.GetPluginInfo(0, narrow, 0), 0);
    EXPECT_EQ(narrow[0], '#');
}

TEST_F(ExportsTest, LongTextsAreCutToTheBuffer) {
    wchar_t wide[11];
    std::wmemset(wide, L'#', 11);
    EXPECT_EQ(plugin.GetPluginInfoW(3, wide, 10), 9);
    EXPECT_STREQ(wide, L"JPEG XR -");
    EXPECT_EQ(wide[10], L'#');
    char narrow[11];
    std::memset(narrow, '#', 11);
    EXPECT_EQ(plugin.GetPluginInfo(1, narrow, 10), 9);
    const std::wstring name = ModuleFileName();
    EXPECT_EQ(std::string(narrow), std::string(name.begin(), name.end()).substr(0, 9));
    EXPECT_EQ(narrow[10], '#');
}

TEST_F(ExportsTest, NullBufferAndNegativeSize) {
    EXPECT_EQ(plugin.GetPluginInfoW(0, nullptr, 100), 0);
    EXPECT_EQ(plugin.GetPluginInfo(0, nullptr, 100), 0);
    EXPECT_EQ(plugin.GetPluginInfoW(1, nullptr, -1), 0);
    wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(plugin.GetPluginInfoW(0, wide, -1), 0);
    EXPECT_EQ(wide[0], L'\0');
    EXPECT_EQ(wide[1], L'#');
    char narrow[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(plugin.GetPluginInfo(0, narrow, -5), 0);
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_EQ(narrow[1], '#');
}

// --- dispatch ------------------------------------------------------------

TEST_F(ExportsTest, PreviewIsNeverOffered) {
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    EXPECT_EQ(plugin.GetPreview(nullptr, 0, 0, nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(plugin.GetPreviewW(nullptr, 0, 7, nullptr, nullptr, nullptr, 0), -1);
    const std::string path = testing_support::FixturePathA("rgb24_3x2.jxr");
    EXPECT_EQ(plugin.GetPreview(path.c_str(), 0, 0, &header, &bits, nullptr, 0), -1);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST_F(ExportsTest, UnsupportedInputModesAreRefused) {
    const std::wstring path = testing_support::FixturePath(L"rgb24_3x2.jxr");
    const std::string pathA(path.begin(), path.end());
    for (unsigned int flag : {2u, 3u, 4u, 5u, 6u, 7u, 0x102u, 0xFFFFFFFFu}) {
        susie::PictureInfo info{};
        EXPECT_EQ(plugin.GetPictureInfoW(path.c_str(), 0, flag, &info), 8) << flag;
        EXPECT_EQ(plugin.GetPictureInfo(pathA.c_str(), 0, flag, &info), 8) << flag;
        HLOCAL header = nullptr;
        HLOCAL bits = nullptr;
        EXPECT_EQ(plugin.GetPictureW(path.c_str(), 0, flag, &header, &bits, nullptr, 0), 8) << flag;
        EXPECT_EQ(plugin.GetPicture(pathA.c_str(), 0, flag, &header, &bits, nullptr, 0), 8) << flag;
        EXPECT_EQ(header, nullptr);
        EXPECT_EQ(bits, nullptr);
    }
}

TEST_F(ExportsTest, NullRequiredPointersAreRefused) {
    const std::wstring path = testing_support::FixturePath(L"rgb24_3x2.jxr");
    const std::string pathA(path.begin(), path.end());
    susie::PictureInfo info{};
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    for (unsigned int flag : {0u, 1u}) {
        EXPECT_EQ(plugin.GetPictureInfoW(nullptr, 0, flag, &info), 8);
        EXPECT_EQ(plugin.GetPictureInfoW(path.c_str(), 0, flag, nullptr), 8);
        EXPECT_EQ(plugin.GetPictureInfo(nullptr, 0, flag, &info), 8);
        EXPECT_EQ(plugin.GetPictureInfo(pathA.c_str(), 0, flag, nullptr), 8);
        EXPECT_EQ(plugin.GetPictureW(nullptr, 0, flag, &header, &bits, nullptr, 0), 8);
        EXPECT_EQ(plugin.GetPictureW(path.c_str(), 0, flag, nullptr, &bits, nullptr, 0), 8);
        EXPECT_EQ(plugin.GetPictureW(path.c_str(), 0, flag, &header, nullptr, nullptr, 0), 8);
        EXPECT_EQ(plugin.GetPicture(nullptr, 0, flag, &header, &bits, nullptr, 0), 8);
        EXPECT_EQ(plugin.GetPicture(pathA.c_str(), 0, flag, nullptr, &bits, nullptr, 0), 8);
        EXPECT_EQ(plugin.GetPicture(pathA.c_str(), 0, flag, &header, nullptr, nullptr, 0), 8);
    }
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST_F(ExportsTest, EmptyFileNamesAreRefused) {
    susie::PictureInfo info{};
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    EXPECT_EQ(plugin.GetPictureInfoW(L"", 0, 0, &info), 8);
    EXPECT_EQ(plugin.GetPictureInfo("", 0, 0, &info), 8);
    EXPECT_EQ(plugin.GetPictureW(L"", 0, 0, &header, &bits, nullptr, 0), 8);
    EXPECT_EQ(plugin.GetPicture("", 0x100, 0, &header, &bits, nullptr, 0), 8);
}

TEST_F(ExportsTest, MissingFilesReachTheFileCore) {
    // Flag 0x100 has input mode 0: the file core opens the (missing) file.
    const std::wstring missing = testing_support::FixturePath(L"no-such-file.jxr");
    const std::string missingA(missing.begin(), missing.end());
    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfoW(missing.c_str(), 0, 0x100, &info), 8);
    EXPECT_EQ(plugin.GetPictureInfo(missingA.c_str(), 0, 0x100, &info), 8);
}

TEST_F(ExportsTest, ForeignDataReachesTheMemoryCore) {
    // Flag 0x101 has input mode 1: the bytes go to the imaging component,
    // which finds no decoder for them.
    const char garbage[64] = "not an image at all";
    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfoW(reinterpret_cast<LPCWSTR>(garbage), sizeof garbage, 0x101, &info), 2);
    EXPECT_EQ(plugin.GetPictureInfo(garbage, sizeof garbage, 0x101, &info), 2);
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    EXPECT_EQ(plugin.GetPicture(garbage, sizeof garbage, 0x101, &header, &bits, nullptr, 0), 2);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST_F(ExportsTest, NegativeAndOverlongMemoryLengthsAreRefused) {
    const char bytes[16] = {};
    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfo(bytes, -1, 1, &info), 8);
    EXPECT_EQ(plugin.GetPictureInfo(bytes, LONG_PTR{-2147483647 - 1}, 1, &info), 8);
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    EXPECT_EQ(plugin.GetPicture(bytes, -16, 1, &header, &bits, nullptr, 0), 8);
#ifdef _WIN64
    // Only a 64-bit host can pass a length above 32 bits.
    EXPECT_EQ(plugin.GetPictureInfo(bytes, LONG_PTR{0x100000000}, 1, &info), 8);
    EXPECT_EQ(plugin.GetPicture(bytes, LONG_PTR{0x100000000}, 1, &header, &bits, nullptr, 0), 8);
#endif
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}

#ifndef _WIN64
// Only a 32-bit process can have its address space filled up in a test.
// Reserves every free stretch of address space of 16 MB or more, so that a
// larger allocation fails while small ones still succeed; released on
// destruction.
class AddressSpaceFiller {
public:
    AddressSpaceFiller() {
        // Largest first, halving whenever no stretch of that size is left.
        SIZE_T size = SIZE_T{1} << 30;
        constexpr SIZE_T kLeave = 16 << 20;
        while (size >= kLeave) {
            void* reserved = ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
            if (reserved != nullptr) {
                reservations_.push_back(reserved);
            } else {
                size /= 2;
            }
        }
    }
    ~AddressSpaceFiller() {
        for (void* p : reservations_) ::VirtualFree(p, 0, MEM_RELEASE);
    }

private:
    std::vector<void*> reservations_;
};

// A narrow name whose wide form cannot be allocated: the failed allocation is
// answered with OutOfMemory, not thrown at the host.
TEST_F(ExportsTest, NameTooLargeToConvertGivesOutOfMemory) {
    std::string huge(64 << 20, 'a');
    susie::PictureInfo info{};
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    int infoResult = 0;
    int pictureResult = 0;
    int supported = -1;
    {
        AddressSpaceFiller filler;
        infoResult = plugin.GetPictureInfo(huge.c_str(), 0, 0, &info);
        pictureResult = plugin.GetPicture(huge.c_str(), 0, 0, &header, &bits, nullptr, 0);
        supported = plugin.IsSupported(huge.c_str(), 0);
    }
    EXPECT_EQ(infoResult, 4);
    EXPECT_EQ(pictureResult, 4);
    EXPECT_EQ(supported, 0);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(bits, nullptr);
}
#endif

TEST_F(ExportsTest, ConfigurationWithUnknownFunctionsShowsNothing) {
    EXPECT_EQ(plugin.ConfigurationDlg(nullptr, 2), -1);
    EXPECT_EQ(plugin.ConfigurationDlg(nullptr, -1), -1);
    EXPECT_EQ(plugin.ConfigurationDlg(nullptr, 1000), -1);
}

}  // namespace
