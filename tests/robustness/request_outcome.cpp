#include "robustness/request_outcome.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>

#include "support/test_paths.h"

namespace testing_support {
namespace {

// File contents are read once and shared by all threads.
const std::vector<std::uint8_t>& BytesOf(const std::wstring& path) {
    static std::mutex mutex;
    static std::map<std::wstring, std::vector<std::uint8_t>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(path);
    if (it == cache.end()) {
        std::vector<std::uint8_t> bytes;
        ReadWholeFile(path, bytes);  // a missing file gives no bytes
        it = cache.emplace(path, std::move(bytes)).first;
    }
    return it->second;
}

}  // namespace

const std::vector<std::wstring>& RequestFixtures() {
    static const std::vector<std::wstring> fixtures = [] {
        std::vector<std::wstring> paths;
        for (const wchar_t* name :
             {L"rgb24_3x2.jxr", L"rgb24_5x3.jxr", L"gray8_5x2.jxr", L"bw_33x2.jxr", L"bgr555_4x2.jxr",
              L"bgra32_3x2.jxr", L"lossy_rgb24_64x64.jxr", L"png_named.jxr", L"truncated.jxr", L"no-such-file.jxr"}) {
            paths.push_back(testing_support::FixturePath(name));
        }
        return paths;
    }();
    return fixtures;
}

Outcome TakePicture(int result, hostkit::ReturnedBitmap& picture) {
    Outcome outcome;
    outcome.result = result;
    if (const BITMAPINFOHEADER* info = picture.Header(); info != nullptr) {
        outcome.header.assign(picture.HeaderBlock().begin(), picture.HeaderBlock().end());
        if (picture.bits != nullptr && info->biWidth > 0 && info->biHeight > 0) {
            const std::uint64_t rowBits = std::uint64_t(info->biWidth) * info->biBitCount;
            const std::uint64_t fullBytes = rowBits / 8;
            const unsigned restBits = static_cast<unsigned>(rowBits % 8);
            const std::uint64_t stride = picture.Stride();
            if (picture.PixelBlock().size() >= stride * info->biHeight) {
                for (LONG y = 0; y < info->biHeight; ++y) {
                    const std::uint8_t* row = picture.PixelBlock().data() + stride * y;
                    outcome.pixels.insert(outcome.pixels.end(), row, row + fullBytes);
                    if (restBits != 0) {
                        outcome.pixels.push_back(row[fullBytes] & static_cast<std::uint8_t>(0xFF00 >> restBits));
                    }
                }
            } else {
                ADD_FAILURE() << "pixel block smaller than the picture";
            }
        }
    }
    const hostkit::ReturnedBitmap::Freed freed = picture.Free();
    EXPECT_TRUE(freed.header);
    EXPECT_TRUE(freed.bits);
    return outcome;
}

Outcome MakeRequest(const susie::Plugin& plugin, const std::wstring& fixture, RequestKind kind) {
    const std::string narrow = Narrow(fixture, CP_ACP);  // as a host of the ANSI code page holds it
    const std::vector<std::uint8_t>& bytes = BytesOf(fixture);
    // Hosts read the first 2 KB into a zero-filled buffer.
    std::vector<char> firstBytes(2048, 0);
    std::memcpy(firstBytes.data(), bytes.data(), std::min<std::size_t>(bytes.size(), firstBytes.size()));
    const auto headerValue = reinterpret_cast<ULONG_PTR>(firstBytes.data());
    const auto data = reinterpret_cast<LPCSTR>(bytes.data());
    const auto length = static_cast<LONG_PTR>(bytes.size());

    Outcome outcome;
    susie::PictureInfo info;
    std::memset(&info, 0xA5, sizeof info);
    hostkit::ReturnedBitmap picture;
    switch (kind) {
    case RequestKind::IsSupportedNarrow:
        outcome.result = plugin.IsSupported(narrow.c_str(), headerValue);
        return outcome;
    case RequestKind::IsSupportedWide:
        outcome.result = plugin.IsSupportedW(fixture.c_str(), headerValue);
        return outcome;
    case RequestKind::InfoFileNarrow:
        outcome.result = plugin.GetPictureInfo(narrow.c_str(), 0, susie::kFromFile, &info);
        break;
    case RequestKind::InfoFileWide:
        outcome.result = plugin.GetPictureInfoW(fixture.c_str(), 0, susie::kFromFile, &info);
        break;
    case RequestKind::InfoMemory:
        if (bytes.empty()) return outcome;
        outcome.result = plugin.GetPictureInfo(data, length, susie::kFromMemory, &info);
        break;
    // TakePicture reads the handles only after the call has filled them.
    case RequestKind::PictureFileNarrow:
        return TakePicture(
            plugin.GetPicture(narrow.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, nullptr, 0),
            picture);
    case RequestKind::PictureFileWide:
        return TakePicture(
            plugin.GetPictureW(fixture.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, nullptr, 0),
            picture);
    case RequestKind::PictureMemoryNarrow:
        if (bytes.empty()) return outcome;
        return TakePicture(
            plugin.GetPicture(data, length, susie::kFromMemory, &picture.header, &picture.bits, nullptr, 0), picture);
    case RequestKind::PictureMemoryWide:
        if (bytes.empty()) return outcome;
        return TakePicture(plugin.GetPictureW(reinterpret_cast<LPCWSTR>(data), length, susie::kFromMemory,
                                              &picture.header, &picture.bits, nullptr, 0),
                           picture);
    }
    const auto* record = reinterpret_cast<const std::uint8_t*>(&info);
    outcome.header.assign(record, record + sizeof info);
    return outcome;
}

int CountThreads() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

}  // namespace testing_support
