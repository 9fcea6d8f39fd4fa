// The format test as hosts make it: a name with the file's first 2 KB, or a
// name with an open file handle.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "plugin.h"
#include "support/test_paths.h"

namespace {

using testing_support::FixturePath;
using testing_support::ModulePath;
using testing_support::ReadFileBytes;

// The first 2 KB of a file in a zero-filled buffer, as most hosts pass them.
std::vector<char> HeaderOf(const std::wstring& path) {
    std::vector<char> header(2048, 0);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    std::memcpy(header.data(), bytes.data(), std::min<std::size_t>(bytes.size(), header.size()));
    return header;
}

ULONG_PTR AddressOf(const std::vector<char>& header) { return reinterpret_cast<ULONG_PTR>(header.data()); }

// A page that cannot be read: any access to it crashes the test.
class NoAccessPage {
public:
    NoAccessPage() : page_(::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS)) {}
    ~NoAccessPage() { ::VirtualFree(page_, 0, MEM_RELEASE); }
    ULONG_PTR Address() const { return reinterpret_cast<ULONG_PTR>(page_); }

private:
    void* page_;
};

class FileHandle {
public:
    explicit FileHandle(const std::wstring& path)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    HANDLE Get() const { return handle_; }
    ULONG_PTR Value() const { return reinterpret_cast<ULONG_PTR>(handle_); }

private:
    HANDLE handle_;
};

class FormatDetectionTest : public testing::Test {
protected:
    susie::Plugin plugin{ModulePath()};
    const std::vector<char> jxrHeader = HeaderOf(FixturePath(L"rgb24_3x2.jxr"));
    const std::vector<char> pngHeader = HeaderOf(FixturePath(L"sample.png"));
    const std::vector<char> zeros = std::vector<char>(2048, 0);
    void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << "error " << plugin.LoadError(); }
};

TEST_F(FormatDetectionTest, JpegXrExtensionsInAnyCasePass) {
    for (const wchar_t* name : {L"a.jxr", L"a.JXR", L"dir.x/b.Hdp", L"c.wdp", L"C:\\pictures\\photo.WdP"}) {
        EXPECT_EQ(plugin.IsSupportedW(name, AddressOf(jxrHeader)), 1) << std::wstring(name).c_str();
    }
    for (const char* name : {"a.jxr", "b.HDP", "c.Wdp"}) {
        EXPECT_EQ(plugin.IsSupported(name, AddressOf(jxrHeader)), 1) << name;
    }
}

// A refused extension is answered before the header or handle is looked at:
// an unreadable page would crash the test, and a JPEG XR file's handle would
// be accepted.
TEST_F(FormatDetectionTest, OtherExtensionsAreRefusedWithoutReadingTheData) {
    NoAccessPage page;
    FileHandle jxr(FixturePath(L"rgb24_3x2.jxr"));
    ASSERT_NE(jxr.Get(), INVALID_HANDLE_VALUE);
    ASSERT_LT(jxr.Value(), 0x10000u);
    for (const wchar_t* name :
         {L"a.jpg", L"a.jxr.bak", L"a.jxrx", L"a.xjxr", L"noextension", L"dir.jxr/file", L"a.jx", L"a. jxr", L""}) {
        EXPECT_EQ(plugin.IsSupportedW(name, page.Address()), 0) << std::wstring(name).c_str();
        EXPECT_EQ(plugin.IsSupportedW(name, jxr.Value()), 0) << std::wstring(name).c_str();
    }
    EXPECT_EQ(plugin.IsSupported("a.png", page.Address()), 0);
    EXPECT_EQ(plugin.IsSupported("noextension", jxr.Value()), 0);
}

TEST_F(FormatDetectionTest, ContentDecidesForJpegXrNames) {
    EXPECT_EQ(plugin.IsSupportedW(L"x.jxr", AddressOf(jxrHeader)), 1);
    EXPECT_EQ(plugin.IsSupportedW(L"x.jxr", AddressOf(pngHeader)), 0);
    EXPECT_EQ(plugin.IsSupportedW(L"x.jxr", AddressOf(HeaderOf(FixturePath(L"sample.bmp")))), 0);
    EXPECT_EQ(plugin.IsSupportedW(L"x.jxr", AddressOf(HeaderOf(FixturePath(L"sample.tif")))), 0);
    EXPECT_EQ(plugin.IsSupported("x.jxr", AddressOf(pngHeader)), 0);
}

TEST_F(FormatDetectionTest, HostsThatPassTheWholeFile) {
    const std::vector<std::uint8_t> whole = ReadFileBytes(FixturePath(L"rgb24_640x480.jxr"));
    ASSERT_GT(whole.size(), 2048u);
    EXPECT_EQ(plugin.IsSupportedW(L"big.jxr", reinterpret_cast<ULONG_PTR>(whole.data())), 1);
}

// When the header is not enough, the named file itself is tried.
TEST_F(FormatDetectionTest, ShortHeaderFallsBackToTheNamedFile) {
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"rgb24_3x2.jxr").c_str(), AddressOf(zeros)), 1);
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"png_named.jxr").c_str(), AddressOf(zeros)), 0);
    const std::wstring narrow = FixturePath(L"rgb24_3x2.jxr");
    EXPECT_EQ(plugin.IsSupported(std::string(narrow.begin(), narrow.end()).c_str(), AddressOf(zeros)), 1);
}

// A file that does not exist is taken on the strength of its name; one in a
// folder that does not exist is not.
TEST_F(FormatDetectionTest, ShortHeaderWithMissingFiles) {
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"no-such-file.jxr").c_str(), AddressOf(zeros)), 1);
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"no-such-dir/no-such-file.jxr").c_str(), AddressOf(zeros)), 0);
    EXPECT_EQ(plugin.IsSupported("Z:/no-such-dir-at-all/x.hdp", AddressOf(zeros)), 0);
}

TEST_F(FormatDetectionTest, NullNamesGoStraightToTheContentTest) {
    EXPECT_EQ(plugin.IsSupportedW(nullptr, AddressOf(jxrHeader)), 1);
    EXPECT_EQ(plugin.IsSupportedW(nullptr, AddressOf(pngHeader)), 0);
    EXPECT_EQ(plugin.IsSupportedW(nullptr, AddressOf(zeros)), 0);
    // The narrow form turns a null name into an empty one, which no
    // extension matches.
    EXPECT_EQ(plugin.IsSupported(nullptr, AddressOf(jxrHeader)), 0);
}

TEST_F(FormatDetectionTest, FileHandles) {
    FileHandle jxr(FixturePath(L"rgb24_5x3.jxr"));
    FileHandle png(FixturePath(L"png_named.jxr"));
    ASSERT_NE(jxr.Get(), INVALID_HANDLE_VALUE);
    ASSERT_NE(png.Get(), INVALID_HANDLE_VALUE);
    ASSERT_LT(jxr.Value(), 0x10000u);
    ASSERT_LT(png.Value(), 0x10000u);
    EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", jxr.Value()), 1);
    EXPECT_EQ(plugin.IsSupportedW(nullptr, jxr.Value()), 1);
    EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", png.Value()), 0);
    // The handle stays the host's: still open and usable afterwards.
    LARGE_INTEGER size{};
    EXPECT_TRUE(::GetFileSizeEx(jxr.Get(), &size));
    EXPECT_GT(size.QuadPart, 0);
    EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", jxr.Value()), 1);
}

// Any value below 0x10000 is a handle, 0 included: no header is read and the
// named file is not tried.
TEST_F(FormatDetectionTest, ValueZeroIsAHandle) {
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"rgb24_3x2.jxr").c_str(), 0), 0);
    EXPECT_EQ(plugin.IsSupportedW(FixturePath(L"no-such-file.jxr").c_str(), 0), 0);
    EXPECT_EQ(plugin.IsSupportedW(nullptr, 0), 0);
}

// Runs a callable on a new thread whose COM state is set up first.
template <typename F>
void OnThread(F f) {
    std::thread thread(f);
    thread.join();
}

// After a request the thread's COM state is as the host left it: once the
// host has undone its own initialisation, COM is no longer initialised on
// the thread (an initialisation in the other model then succeeds with S_OK
// instead of failing with RPC_E_CHANGED_MODE).
TEST_F(FormatDetectionTest, RequestsLeaveTheThreadsComStateAsItWas) {
    OnThread([&] {
        EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", AddressOf(jxrHeader)), 1);
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK) << "no request may leave COM initialised behind it";
        if (SUCCEEDED(hr)) ::CoUninitialize();
    });
    struct Model {
        DWORD host;
        DWORD other;
    };
    for (const Model model : {Model{COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED},
                              Model{COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED}}) {
        OnThread([&] {
            ASSERT_EQ(::CoInitializeEx(nullptr, model.host), S_OK);
            EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", AddressOf(jxrHeader)), 1) << model.host;
            EXPECT_EQ(plugin.IsSupportedW(L"a.jxr", AddressOf(pngHeader)), 0) << model.host;
            EXPECT_EQ(::CoInitializeEx(nullptr, model.other), RPC_E_CHANGED_MODE) << "still initialised";
            ::CoUninitialize();
            const HRESULT after = ::CoInitializeEx(nullptr, model.other);
            EXPECT_EQ(after, S_OK) << "the host's CoUninitialize must end COM on its thread (model " << model.host
                                   << ")";
            if (SUCCEEDED(after)) ::CoUninitialize();
        });
    }
}

// Threads whose first calls arrive together on a freshly loaded module all
// get the right answers.
TEST(FormatDetectionThreads, FirstCallsFromManyThreadsAtOnce) {
    susie::Plugin fresh(ModulePath());
    ASSERT_TRUE(fresh.Loaded());
    const std::vector<char> jxrHeader = HeaderOf(FixturePath(L"rgb24_3x2.jxr"));
    NoAccessPage page;
    std::atomic<int> ready{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    constexpr int kThreads = 12;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            const bool accept = i % 2 == 0;
            const int answer = accept ? fresh.IsSupportedW(L"x.JXR", AddressOf(jxrHeader))
                                      : fresh.IsSupportedW(L"x.png", page.Address());
            if (answer != (accept ? 1 : 0)) ++wrong;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
