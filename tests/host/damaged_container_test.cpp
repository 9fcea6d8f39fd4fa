// Damaged files on which the platform's decoder (Wine's) ends the process:
// each row a fixture with a few bytes changed as in a file that did so. The
// plug-in must refuse them before any decoder sees them: IsSupported 0 with a
// header buffer and with a handle (left where it was), the picture requests
// 2 with the host's handles untouched.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "plugin.h"
#include "support/test_paths.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Patch {
    const char* what;
    const wchar_t* fixture;
    std::uint16_t tag;   // the directory entry to change, or 0 for the image header
    std::uint16_t type;  // the entry's new type, tag and value (0: kept)
    std::uint16_t newTag;
    std::uint32_t count, value;
    int headerByte;  // image header byte after "WMPHOTO" (with tag 0)
    std::uint8_t headerValue;
    int supported;  // what IsSupported must answer (1: the row shows a value kept)
};

constexpr std::uint16_t kOrientation = 0xBC02, kResolution = 0xBC82;
constexpr Patch kPatches[] = {
    // Orientations above 7, as the fuzzing run's inputs held them.
    {"orientation 8", L"rgb24_3x2.jxr", kOrientation, 0, 0, 1, 8, 0, 0, 0},
    {"orientation 0xFFFFFFFF", L"bgr555_4x2.jxr", kOrientation, 0, 0, 1, 0xFFFFFFFF, 0, 0, 0},
    {"orientation of another type", L"rgb24_5x3.jxr", kOrientation, 6531, 0, 1, 0x002E0000, 0, 0, 0},
    {"a second orientation entry", L"bw_33x2.jxr", kResolution, 4, kOrientation, 1, 0x7E, 0, 0, 0},
    {"orientation 7 is kept", L"rgb24_3x2.jxr", kOrientation, 0, 0, 1, 7, 0, 0, 1},
    // Descriptive metadata of the wrong kind.
    {"text without its NUL", L"rgb24_3x2.jxr", kResolution, 2, 0x010E, 4, 0x64636261, 0, 0, 0},
    {"caption of one byte", L"rgb24_3x2.jxr", kResolution, 1, 0x9C9B, 1, 0, 0, 0, 0},
    // Image header: colour format 15 (reserved), bit depth 12 (reserved),
    // one bit per pixel in RGB.
    {"output colour format 15", L"rgb24_8x8.jxr", 0, 0, 0, 0, 0, 11, 0xF1, 0},
    {"output bit depth 12", L"rgb24_8x8.jxr", 0, 0, 0, 0, 0, 11, 0x7C, 0},
    {"one bit per pixel in RGB", L"rgb24_8x8.jxr", 0, 0, 0, 0, 0, 11, 0x70, 0},
};

Bytes Patched(const Patch& p) {
    Bytes bytes = testing_support::ReadFileBytes(testing_support::FixturePath(p.fixture));
    if (p.tag == 0) {
        const std::size_t at = testing_support::ImageHeaderOffset(bytes);
        if (at < bytes.size()) {
            bytes[at + p.headerByte] = p.headerValue;
        } else {
            ADD_FAILURE() << "no image header";
        }
        return bytes;
    }
    std::uint8_t* entry = testing_support::DirectoryEntry(bytes, p.tag);
    if (entry == nullptr) {
        ADD_FAILURE() << "no entry " << std::hex << p.tag;
        return bytes;
    }
    if (p.newTag != 0) std::memcpy(entry, &p.newTag, 2);
    if (p.type != 0) std::memcpy(entry + 2, &p.type, 2);
    std::memcpy(entry + 4, &p.count, 4);
    std::memcpy(entry + 8, &p.value, 4);
    return bytes;
}

HLOCAL const kUntouched = reinterpret_cast<HLOCAL>(0x5A5A);

class DamagedContainerTest : public testing::TestWithParam<Patch> {
protected:
    susie::Plugin plugin{testing_support::ModulePath()};
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }
};

TEST_P(DamagedContainerTest, IsRefusedBeforeTheDecoderSeesIt) {
    const Patch& p = GetParam();
    const Bytes bytes = Patched(p);
    const std::wstring path = testing_support::WriteScratchFile(
        L"damaged_" + std::wstring(p.what, p.what + std::strlen(p.what)) + L".jxr", bytes);

    std::vector<char> header(2048, 0);
    std::memcpy(header.data(), bytes.data(), std::min(bytes.size(), header.size()));
    EXPECT_EQ(plugin.IsSupportedW(path.c_str(), reinterpret_cast<ULONG_PTR>(header.data())), p.supported);

    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER position{}, after{};
    position.QuadPart = 5;
    ASSERT_TRUE(::SetFilePointerEx(file, position, nullptr, FILE_BEGIN));
    EXPECT_EQ(plugin.IsSupportedW(path.c_str(), reinterpret_cast<ULONG_PTR>(file)), p.supported);
    EXPECT_TRUE(::SetFilePointerEx(file, LARGE_INTEGER{}, &after, FILE_CURRENT));
    EXPECT_EQ(after.QuadPart, 5) << "the host's file position";
    EXPECT_NE(::GetFileType(file), FILE_TYPE_UNKNOWN) << "the host's handle is still open";
    ::CloseHandle(file);
    if (p.supported != 0) return;

    susie::PictureInfo info{};
    EXPECT_EQ(plugin.GetPictureInfoW(path.c_str(), 0, susie::kFromFile, &info), 2);
    HLOCAL headerBlock = kUntouched, bits = kUntouched;
    EXPECT_EQ(plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &headerBlock, &bits, nullptr, 0), 2);
    EXPECT_EQ(plugin.GetPicture(reinterpret_cast<const char*>(bytes.data()), static_cast<LONG_PTR>(bytes.size()),
                                susie::kFromMemory, &headerBlock, &bits, nullptr, 0),
              2);
    EXPECT_TRUE(headerBlock == kUntouched && bits == kUntouched);
}

INSTANTIATE_TEST_SUITE_P(SavedCrashInputs, DamagedContainerTest, testing::ValuesIn(kPatches),
                         [](const testing::TestParamInfo<Patch>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c != '\0'; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });

}  // namespace
