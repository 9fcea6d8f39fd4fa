// Hosts load and unload plug-ins at will: nothing of ours may stay behind or
// run after FreeLibrary.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "robustness/request_outcome.h"
#include "process_usage.h"
#include "support/test_paths.h"

namespace {

using testing_support::CountThreads;
using testing_support::MakeRequest;
using testing_support::Outcome;
using testing_support::RequestKind;

// What the process holds, as a host would watch it.
struct Usage {
    DWORD freeTlsSlot = 0;  // the lowest free slot: a slot lost per cycle raises it
    int handles = 0;
    int threads = 0;
    std::uint64_t privateBytes = 0;
    std::uint64_t heapBytes = 0;  // in use in the process's heaps
};

Usage MeasureUsage() {
    Usage usage;
    usage.freeTlsSlot = ::TlsAlloc();
    if (usage.freeTlsSlot != TLS_OUT_OF_INDEXES) ::TlsFree(usage.freeTlsSlot);
    usage.handles = hostkit::OpenHandleCount();
    usage.threads = CountThreads();
    usage.privateBytes = hostkit::CommittedPrivateBytes();
    usage.heapBytes = hostkit::HeapBytesInUse();
    return usage;
}

// The same once the thread pool has let its idle workers go. Each thread
// holds its stack (about 4 MB committed under Wine), and the pool keeps a
// worker that has run a callback for some seconds (5 under Wine): measured
// while one more or one less is alive, memory would seem to grow or shrink
// by that much. Waits until the thread count has held for 6 s (20 s at most).
Usage SettledUsage() {
    int threads = CountThreads();
    for (int waited = 0, held = 0; held < 6 && waited < 20; ++waited) {
        ::Sleep(1000);
        const int now = CountThreads();
        held = now == threads ? held + 1 : 0;
        threads = now;
    }
    return MeasureUsage();
}

std::string Describe(const Usage& usage) {
    return "TLS slot " + std::to_string(usage.freeTlsSlot) + ", handles " + std::to_string(usage.handles) +
           ", threads " + std::to_string(usage.threads) + ", private KB " + std::to_string(usage.privateBytes / 1024) +
           ", heap bytes " + std::to_string(usage.heapBytes);
}

// Every kind of call a host makes, on small pictures (the 32-bit module runs
// the row loops of pictures from 2 rows on the thread pool). The format test
// with a file handle and the plug-in information come after them.
constexpr struct {
    const wchar_t* fixture;
    RequestKind kind;
} kCalls[] = {
    {L"rgb24_3x2.jxr", RequestKind::IsSupportedNarrow},  {L"rgb24_3x2.jxr", RequestKind::IsSupportedWide},
    {L"gray8_5x2.jxr", RequestKind::InfoFileNarrow},     {L"bw_33x2.jxr", RequestKind::InfoFileWide},
    {L"bgra32_3x2.jxr", RequestKind::InfoMemory},        {L"bgr555_4x2.jxr", RequestKind::PictureFileNarrow},
    {L"rgb24_5x3.jxr", RequestKind::PictureFileWide},    {L"gray8_5x2.jxr", RequestKind::PictureMemoryNarrow},
    {L"bgra32_3x2.jxr", RequestKind::PictureMemoryWide},
};

std::vector<Outcome> MakeCalls(const susie::Plugin& plugin) {
    std::vector<Outcome> outcomes;
    for (const auto& call : kCalls) {
        outcomes.push_back(MakeRequest(plugin, testing_support::FixturePath(call.fixture), call.kind));
    }
    const std::wstring image = testing_support::FixturePath(L"rgb24_5x3.jxr");
    HANDLE file = ::CreateFileW(image.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Outcome handleTest;
    handleTest.result = plugin.IsSupportedW(image.c_str(), reinterpret_cast<ULONG_PTR>(file));
    outcomes.push_back(handleTest);
    ::CloseHandle(file);
    char text[256] = {};
    Outcome information;
    information.result = plugin.GetPluginInfo(2, text, sizeof text);
    information.header.assign(text, text + sizeof text);
    outcomes.push_back(information);
    return outcomes;
}

// An auto-reset event: one Set wakes one Wait. (With GCC 12's
// std::binary_semaphore a wake-up was once lost after some thousand rounds,
// and both threads waited for good.)
class Signal {
public:
    Signal() : event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Signal() { ::CloseHandle(event_); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void Set() { ::SetEvent(event_); }
    void Wait() { ::WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

// A long-lived thread of the host, as a worker that probes files while
// another thread loads and frees the plug-in.
class CallingThread {
public:
    CallingThread()
        : thread_([this] {
              for (go_.Wait(); plugin_ != nullptr; go_.Wait()) {
                  outcomes_ = MakeCalls(*plugin_);
                  done_.Set();
              }
          }) {}
    ~CallingThread() {
        Start(nullptr);
        thread_.join();
    }
    void Start(const susie::Plugin* plugin) {
        plugin_ = plugin;
        go_.Set();
    }
    const std::vector<Outcome>& Finish() {
        done_.Wait();
        return outcomes_;
    }

private:
    Signal go_;
    Signal done_;
    const susie::Plugin* plugin_ = nullptr;
    std::vector<Outcome> outcomes_;
    std::thread thread_;
};

// The same, as a callback of a host's own thread pool of one thread.
class CallingPoolThread {
public:
    CallingPoolThread() {
        ::SetThreadpoolThreadMaximum(pool_, 1);
        ::SetThreadpoolThreadMinimum(pool_, 1);
        ::InitializeThreadpoolEnvironment(&environment_);
        ::SetThreadpoolCallbackPool(&environment_, pool_);
        work_ = ::CreateThreadpoolWork(Work, this, &environment_);
    }
    ~CallingPoolThread() {
        ::CloseThreadpoolWork(work_);
        ::DestroyThreadpoolEnvironment(&environment_);
        ::CloseThreadpool(pool_);
    }
    void Start(const susie::Plugin* plugin) {
        plugin_ = plugin;
        ::SubmitThreadpoolWork(work_);
    }
    const std::vector<Outcome>& Finish() {
        ::WaitForThreadpoolWorkCallbacks(work_, FALSE);
        return outcomes_;
    }

private:
    static VOID CALLBACK Work(PTP_CALLBACK_INSTANCE, PVOID self, PTP_WORK) {
        auto* me = static_cast<CallingPoolThread*>(self);
        me->outcomes_ = MakeCalls(*me->plugin_);
    }
    PTP_POOL pool_ = ::CreateThreadpool(nullptr);
    TP_CALLBACK_ENVIRON environment_{};
    PTP_WORK work_ = nullptr;
    const susie::Plugin* plugin_ = nullptr;
    std::vector<Outcome> outcomes_;
};

// Cycles of the suite's run; RORURERA_LOAD_CYCLES asks for another number
// (scripts/load-unload.sh runs 5,000).
int CycleCount() {
    const char* text = std::getenv("RORURERA_LOAD_CYCLES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 300;
}

// Each cycle: load; the same calls from this thread, a plain thread and a
// pool thread at once; unload on this thread.
TEST(LoadUnload, CyclesFromThreeThreadsLeaveNothingBehind) {
    // Hosts are window programs that hold the common dialogs library (their
    // file dialogs) for good. Wine's copy of it loses a handle each time it
    // is itself loaded and unloaded, which a host that holds it never does.
    HMODULE commonDialogs = ::LoadLibraryW(L"comdlg32.dll");
    ASSERT_NE(commonDialogs, nullptr);
    CallingThread plain;
    CallingPoolThread pooled;
    std::vector<Outcome> expected;
    {
        susie::Plugin plugin(testing_support::ModulePath());
        ASSERT_TRUE(plugin.Loaded());
        expected = MakeCalls(plugin);
    }
    ASSERT_EQ(expected[6].result, 0);
    ASSERT_EQ(expected[6].pixels.size(), 5u * 3u * 3u);

    const int cycles = CycleCount();
    // The imaging component, the thread pools and the heap settle in the
    // first cycles.
    const int warmUp = 20;
    Usage atWarmUp;
    // Per call, the outcomes that differ from those of the first cycle.
    std::vector<int> different(expected.size(), 0);
    auto compare = [&](const std::vector<Outcome>& got, int cycle, const char* thread) {
        for (std::size_t c = 0; c < expected.size(); ++c) {
            if (got.at(c) == expected[c]) continue;
            if (different[c]++ == 0) {
                ADD_FAILURE() << "call " << c << " on the " << thread << " thread, cycle " << cycle << ": result "
                              << got[c].result << ", expected " << expected[c].result;
            }
        }
    };
    int stillLoaded = 0;
    for (int i = 0; i < warmUp + cycles; ++i) {
        if (i == warmUp) atWarmUp = SettledUsage();
        {
            susie::Plugin plugin(testing_support::ModulePath());
            ASSERT_TRUE(plugin.Loaded()) << "cycle " << i << ", error " << plugin.LoadError();
            plain.Start(&plugin);
            pooled.Start(&plugin);
            compare(MakeCalls(plugin), i, "unloading");
            compare(plain.Finish(), i, "plain");
            compare(pooled.Finish(), i, "pool");
        }
        if (::GetModuleHandleW(testing_support::ModuleFileName().c_str()) != nullptr) ++stillLoaded;
        if (i > warmUp && (i - warmUp) % 1000 == 0) {
            std::printf("cycle %d: %s\n", i - warmUp, Describe(MeasureUsage()).c_str());
            std::fflush(stdout);
        }
    }
    const Usage atEnd = SettledUsage();
    std::printf("%d cycles\n  after warm-up: %s\n  at the end:    %s\n", cycles, Describe(atWarmUp).c_str(),
                Describe(atEnd).c_str());
    EXPECT_EQ(different, std::vector<int>(expected.size(), 0));
    EXPECT_EQ(stillLoaded, 0);
    // A slot, handle or thread lost per cycle would show as hundreds; a
    // block left on the heap per load (as the 32-bit unwinder's lock once
    // was, 20 bytes) as thousands of bytes; a thread-pool worker lost per
    // picture as megabytes.
    EXPECT_LE(atEnd.freeTlsSlot, atWarmUp.freeTlsSlot);
    EXPECT_LE(atEnd.handles, atWarmUp.handles + 8);
    EXPECT_LE(atEnd.threads, atWarmUp.threads + 1);
    EXPECT_LT(atEnd.heapBytes, atWarmUp.heapBytes + std::uint64_t{16} * cycles);
    EXPECT_LT(atEnd.privateBytes, atWarmUp.privateBytes + (1u << 20));
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
            hostkit::ReturnedBitmap picture;
            const int result =
                plugin.GetPicture(data, length, susie::kFromMemory, &picture.header, &picture.bits, nullptr, 0);
            ASSERT_EQ(testing_support::TakePicture(result, picture).result, 0);
        }
    };
    requests(3);
    const std::uint64_t before = hostkit::CommittedPrivateBytes();
    requests(20);
    const std::uint64_t after = hostkit::CommittedPrivateBytes();
    EXPECT_LT(after, before + (32u << 20)) << "before " << before << ", after " << after;
}

}  // namespace
