#include "support/test_paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

namespace testing_support {
namespace {
std::wstring Widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }
}  // namespace

std::wstring ModulePath() {
    // A run against another build of the module (the 64-bit module with the
    // pool row loops) names it in the environment.
    wchar_t other[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"RORURERA_TEST_MODULE", other, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::wstring(other, length);
    return Widen(RORURERA_MODULE_PATH);
}

std::wstring ModuleFileName() {
    const std::wstring path = ModulePath();
    return path.substr(path.find_last_of(L"/\\") + 1);
}

std::wstring FixturePath(const std::wstring& name) { return Widen(RORURERA_FIXTURES_DIR) + L"/" + name; }

std::string FixturePathA(const std::string& name) { return std::string(RORURERA_FIXTURES_DIR) + "/" + name; }

std::string Narrow(const std::wstring& text, unsigned codePage) {
    const int size = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(codePage, 0, text.c_str(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) ::WideCharToMultiByte(codePage, 0, text.c_str(), size, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) != 0 && size.QuadPart < (1ll << 31);
    DWORD read = 0;
    if (ok) bytes.resize(static_cast<std::size_t>(size.QuadPart));
    if (ok && !bytes.empty())
        ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) != 0;
    ::CloseHandle(file);
    ok = ok && read == bytes.size();
    if (!ok) bytes.clear();
    return ok;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) ADD_FAILURE() << "cannot read " << Narrow(path);
    return bytes;
}

std::uint8_t* DirectoryEntry(std::vector<std::uint8_t>& bytes, std::uint16_t tag) {
    std::uint32_t ifd = 0;
    std::uint16_t entries = 0;
    if (bytes.size() < 8) return nullptr;
    std::memcpy(&ifd, bytes.data() + 4, 4);
    if (std::uint64_t{ifd} + 2 > bytes.size()) return nullptr;
    std::memcpy(&entries, bytes.data() + ifd, 2);
    for (std::uint32_t i = 0; i < entries && std::uint64_t{ifd} + 2 + 12 * (i + 1) <= bytes.size(); ++i) {
        std::uint8_t* entry = bytes.data() + ifd + 2 + 12 * i;
        std::uint16_t found = 0;
        std::memcpy(&found, entry, 2);
        if (found == tag) return entry;
    }
    return nullptr;
}

std::size_t ImageHeaderOffset(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at + 16 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, "WMPHOTO", 7) == 0) return at;
    }
    return bytes.size();
}

bool WriteFileBytes(const std::wstring& path, const void* data, std::size_t size) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        size == 0 || (::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
    ::CloseHandle(file);
    return ok;
}

std::wstring WriteScratchFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = ScratchDirectory() + L"/" + name;
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << "cannot write " << Narrow(path);
    return path;
}

std::wstring ScratchDirectory() {
    const std::wstring root = Widen(RORURERA_FIXTURES_DIR) + L"/scratch";
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring dir = root + L"/" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

}  // namespace testing_support
