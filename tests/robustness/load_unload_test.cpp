// Hosts load and unload plug-ins at will: nothing of ours may stay behind or
// run after FreeLibrary.

#include <windows.h>

#include <gtest/gtest.h>

#include "robustness/request_outcome.h"
#include "support/test_paths.h"

namespace {

using robustness::CountOpenHandles;
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
    const Outcome first = Cycle(image);
    ASSERT_EQ(first.result, 0);
    ASSERT_EQ(first.pixels.size(), 640u * 480u * 3u);

    // The imaging component and the thread pool settle in the first cycles.
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Cycle(image), first);
    const int handlesBefore = CountOpenHandles();
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
    EXPECT_LE(CountOpenHandles(), handlesBefore + 8);
    // Idle pool threads may linger for a while after their last work.
    ::Sleep(100);
    EXPECT_LE(CountThreads(), threadsBefore + 4);
    EXPECT_EQ(::GetModuleHandleW(testing_support::ModuleFileName().c_str()), nullptr)
        << "the module is still loaded";
}

}  // namespace
