// Hosts load and unload plug-ins at will: nothing of ours may stay behind or
// run after FreeLibrary.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "robustness/request_outcome.h"
#include "process_usage.h"
#include "support/test_paths.h"

namespace {

using robustness::CountThreads;
using robustness::MakeRequest;
using robustness::Outcome;
using robustness::RequestKind;

// One cycle: load, one picture request (large enough that the 32-bit module
// runs its row loops on the thread pool), unload.
Outcome Cycle(const std::wstring& image) {
    susie::Plugin plugin(testing_support::ModulePath());
    if (!plugin.Loaded()) return {};
    return MakeRequest(plugin, image, RequestKind::PictureFileWide);
}

TEST(LoadUnload, TwoHundredCyclesLeaveNothingBehind) {
    const std::wstring image = testing_support::FixturePath(L"rgb24_640x480.jxr");
    // Hosts are window programs that hold the common dialogs library (their
    // file dialogs) for good. Wine's copy of it loses a handle each time it
    // is itself loaded and unloaded, which a host that holds it never does.
    HMODULE commonDialogs = ::LoadLibraryW(L"comdlg32.dll");
    ASSERT_NE(commonDialogs, nullptr);
    const Outcome first = Cycle(image);
    ASSERT_EQ(first.result, 0);
    ASSERT_EQ(first.pixels.size(), 640u * 480u * 3u);

    // The imaging component and the thread pool settle in the first cycles.
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Cycle(image), first);
    const int handlesBefore = hostkit::OpenHandleCount();
    const int threadsBefore = CountThreads();
    ASSERT_GT(handlesBefore, 0);
    ASSERT_GT(threadsBefore, 0);

    int different = 0;
    for (int i = 0; i < 200; ++i) {
        if (!(Cycle(image) == first)) ++different;
    }
    EXPECT_EQ(different, 0);
    // A few handles of the system's own may come and go; a leak of one per
    // cycle would show as 200.
    EXPECT_LE(hostkit::OpenHandleCount(), handlesBefore + 8);
    // Idle pool threads may linger for a while after their last work.
    ::Sleep(100);
    EXPECT_LE(CountThreads(), threadsBefore + 4);
    EXPECT_EQ(::GetModuleHandleW(testing_support::ModuleFileName().c_str()), nullptr)
        << "the module is still loaded";
    ::FreeLibrary(commonDialogs);
}

// Memory-mode requests copy the host's block into a stream; the copy must go
// with the request. A block of 8 MB, forty times: a copy kept per request
// would add over 300 MB.
TEST(RequestMemory, MemoryModeRequestsReleaseTheirCopies) {
    susie::Plugin plugin(testing_support::ModulePath());
    ASSERT_TRUE(plugin.Loaded());
    std::vector<std::uint8_t> block = testing_support::ReadFileBytes(testing_support::FixturePath(L"rgb24_3x2.jxr"));
    ASSERT_FALSE(block.empty());
    block.resize(8 << 20, 0);
    const auto data = reinterpret_cast<LPCSTR>(block.data());
    const auto length = static_cast<LONG_PTR>(block.size());

    auto requests = [&](int count) {
        for (int i = 0; i < count; ++i) {
            susie::PictureInfo info{};
            ASSERT_EQ(plugin.GetPictureInfo(data, length, susie::kFromMemory, &info), 0);
            HLOCAL header = nullptr;
            HLOCAL bits = nullptr;
            const int result = plugin.GetPicture(data, length, susie::kFromMemory, &header, &bits, nullptr, 0);
            ASSERT_EQ(robustness::TakePicture(result, header, bits).result, 0);
        }
    };
    requests(3);
    const std::uint64_t before = hostkit::CommittedPrivateBytes();
    requests(20);
    const std::uint64_t after = hostkit::CommittedPrivateBytes();
    EXPECT_LT(after, before + (32u << 20)) << "before " << before << ", after " << after;
}

}  // namespace
