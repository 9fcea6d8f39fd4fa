// Requests from many host threads at once, and from threads in every COM
// state, give exactly what one thread gets alone.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "robustness/request_outcome.h"
#include "support/test_paths.h"

namespace {

using testing_support::kRequestKinds;
using testing_support::MakeRequest;
using testing_support::Outcome;
using testing_support::RequestFixtures;
using testing_support::RequestKind;

using Reference = std::map<std::pair<std::size_t, int>, Outcome>;

// Every fixture through every kind of request, on one thread.
Reference SingleThreadedReference() {
    susie::Plugin plugin(testing_support::ModulePath());
    EXPECT_TRUE(plugin.Loaded());
    Reference reference;
    const auto& fixtures = RequestFixtures();
    for (std::size_t f = 0; f < fixtures.size(); ++f) {
        for (int k = 0; k < kRequestKinds; ++k) {
            reference[{f, k}] = MakeRequest(plugin, fixtures[f], static_cast<RequestKind>(k));
        }
    }
    return reference;
}

TEST(Concurrency, ReferenceCoversSuccessesAndFailures) {
    const Reference reference = SingleThreadedReference();
    int pictures = 0;
    int failures = 0;
    for (const auto& [key, outcome] : reference) {
        if (!outcome.pixels.empty()) ++pictures;
        if (outcome.result != 0 && outcome.result != 1) ++failures;
    }
    // Six good images decode in four picture modes each.
    EXPECT_GE(pictures, 24);
    EXPECT_GT(failures, 0);
}

// Eight threads, two hundred mixed requests each, on a freshly loaded module
// whose first-use tables are built while the threads race.
TEST(Concurrency, EightThreadsGetTheSingleThreadedResults) {
    const Reference reference = SingleThreadedReference();
    susie::Plugin plugin(testing_support::ModulePath());
    ASSERT_TRUE(plugin.Loaded());

    constexpr int kThreads = 8;
    constexpr int kRequests = 200;
    const auto& fixtures = RequestFixtures();
    std::atomic<int> ready{0};
    std::atomic<int> mismatches{0};
    std::atomic<int> made{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int i = 0; i < kRequests; ++i) {
                const std::size_t f = static_cast<std::size_t>(i * 7 + t * 3) % fixtures.size();
                const int k = (i * 5 + t) % kRequestKinds;
                const Outcome outcome = MakeRequest(plugin, fixtures[f], static_cast<RequestKind>(k));
                if (!(outcome == reference.at({f, k}))) ++mismatches;
                ++made;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(made.load(), kThreads * kRequests);
    EXPECT_EQ(mismatches.load(), 0);
}

// How a host thread is set up before it calls the plug-in.
enum class ComState { None, SingleThreaded, MultiThreaded };

// Whether COM is initialised on this thread, and in which model, told by
// trying to initialise it: S_FALSE means the same model is there already,
// RPC_E_CHANGED_MODE the other one, S_OK none (undone at once).
ComState ProbeComState() {
    const HRESULT sta = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (sta == S_OK) {
        ::CoUninitialize();
        return ComState::None;
    }
    if (sta == S_FALSE) {
        ::CoUninitialize();
        return ComState::SingleThreaded;
    }
    return ComState::MultiThreaded;
}

TEST(ComStates, EveryHostThreadGetsThePicturesAndKeepsItsComState) {
    const Reference reference = SingleThreadedReference();
    susie::Plugin plugin(testing_support::ModulePath());
    ASSERT_TRUE(plugin.Loaded());
    const auto& fixtures = RequestFixtures();

    for (ComState state : {ComState::None, ComState::SingleThreaded, ComState::MultiThreaded}) {
        std::thread host([&] {
            if (state != ComState::None) {
                ASSERT_EQ(::CoInitializeEx(nullptr, state == ComState::SingleThreaded ? COINIT_APARTMENTTHREADED
                                                                                      : COINIT_MULTITHREADED),
                          S_OK);
            }
            ASSERT_EQ(ProbeComState(), state);
            for (std::size_t f = 0; f < fixtures.size(); ++f) {
                for (int k = 0; k < kRequestKinds; ++k) {
                    EXPECT_EQ(MakeRequest(plugin, fixtures[f], static_cast<RequestKind>(k)), reference.at({f, k}))
                        << "state " << static_cast<int>(state) << ", fixture " << f << ", kind " << k;
                    EXPECT_EQ(ProbeComState(), state) << "after kind " << k;
                }
            }
            if (state != ComState::None) ::CoUninitialize();
        });
        host.join();
    }
}

}  // namespace
