#include "fuzz/fuzz_worker.h"

#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_allocations.h"
#include "fuzz/fuzz_exit_codes.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_probe.h"
#include "fuzz/fuzz_steps.h"
#include "plugin.h"
#include "process_usage.h"
#include "returned_bitmap.h"
#include "support/test_paths.h"

namespace testing_support {
namespace {

// --- The report ------------------------------------------------------------

HANDLE g_report = INVALID_HANDLE_VALUE;
volatile LONG g_lines = 0;  // grows with every line: the watchdog's sign of life

void Emit(const char* text, std::size_t length) {
    DWORD written = 0;
    ::WriteFile(g_report, text, static_cast<DWORD>(length), &written, nullptr);
    ::InterlockedIncrement(&g_lines);
}

void Line(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof text) - 2) n = static_cast<int>(sizeof text) - 2;
    text[n++] = '\n';
    Emit(text, static_cast<std::size_t>(n));
}

// Builds a line in a fixed buffer: the crash and abort handlers may not use
// the heap.
struct FixedLine {
    char text[3072];
    std::size_t at = 0;
    void Add(const char* part) {
        while (*part != '\0' && at + 2 < sizeof text) text[at++] = *part++;
    }
    void AddHex(std::uintptr_t value) {
        char digits[2 * sizeof value + 1];
        int n = 0;
        do {
            digits[n++] = "0123456789ABCDEF"[value & 15];
            value >>= 4;
        } while (value != 0);
        while (n > 0 && at + 2 < sizeof text) text[at++] = digits[--n];
    }
    void AddChain(const void* const* chain, std::size_t n, std::uint64_t scanned = 0) {
        for (std::size_t i = 0; i < n; ++i) {
            char place[160];
            DescribeAddress(chain[i], place, sizeof place);
            Add((scanned >> i) & 1 ? " ~" : " ");
            Add(place);
        }
    }
    void Send() {
        text[at++] = '\n';
        Emit(text, at);
    }
};

constexpr std::size_t kChainDepth = 40;

// --- Crash, abort and hang handlers ---------------------------------------

volatile LONG g_dying = 0;

[[noreturn]] void Die(UINT code) {
    ::TerminateProcess(::GetCurrentProcess(), code);
    for (;;) ::Sleep(INFINITE);
}

// The handlers' buffers are static: only one handler ever runs (g_dying),
// and on the stack they would sit inside the area that the 32-bit chain scan
// reads.
FixedLine g_line;
const void* g_chain[kChainDepth];

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (::InterlockedExchange(&g_dying, 1) != 0) Die(kExitCrash);
    FixedLine& line = g_line;
    line.Add("X ");
    line.AddHex(pointers->ExceptionRecord->ExceptionCode);
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        line.Add(record.ExceptionInformation[0] == 0   ? " read@"
                 : record.ExceptionInformation[0] == 8 ? " exec@"
                                                       : " write@");
        line.AddHex(record.ExceptionInformation[1]);
    } else {
        line.Add(" -");
    }
    const void** chain = g_chain;
    std::uint64_t scanned = 0;
    std::size_t n = CallChain(*pointers->ContextRecord, 0, chain, kChainDepth, &scanned);
    if (n > 0 && chain[0] != record.ExceptionAddress) {
        // The context's instruction pointer is the fault's address, except
        // for exceptions raised in software: keep both.
        line.AddChain(&record.ExceptionAddress, 1);
    }
    line.AddChain(chain, n, scanned);
    line.Send();
    Die(kExitCrash);
}

// A frame pointer of its own, so that the 32-bit chain reaches the runtime's
// raise() and whoever called abort().
__attribute__((noinline, optimize("no-omit-frame-pointer"))) void __cdecl OnAbort(int) {
    if (::InterlockedExchange(&g_dying, 1) != 0) Die(kExitAbort);
    std::uint64_t scanned = 0;
    const std::size_t n = CurrentCallChain(g_chain, kChainDepth, &scanned);
    FixedLine& line = g_line;
    line.Add("A");
    line.AddChain(g_chain, n, scanned);
    line.Send();
    Die(kExitAbort);
}

// Wine's decoder is linked with ucrtbase, the plug-in and this program with
// msvcrt: each runtime keeps its own signal table, so both get the handler.
void InstallAbortHandlers() {
    std::signal(SIGABRT, OnAbort);
    using SignalFn = void(__cdecl * (__cdecl*)(int, void(__cdecl*)(int)))(int);
    if (HMODULE ucrt = ::LoadLibraryW(L"ucrtbase.dll")) {
        if (auto ucrtSignal = reinterpret_cast<SignalFn>(reinterpret_cast<void*>(::GetProcAddress(ucrt, "signal")))) {
            ucrtSignal(SIGABRT, OnAbort);
        }
    }
}

HANDLE g_mainThread = nullptr;
HANDLE g_parent = nullptr;
std::uintptr_t g_mainStackBase = 0;
unsigned g_stallSeconds = 60;

// No line for g_stallSeconds: the main thread is stopped where it is, its
// call chain reported, and the worker ends. Also ends a worker whose parent
// has gone.
DWORD WINAPI Watchdog(void*) {
    LONG seen = g_lines;
    ULONGLONG since = ::GetTickCount64();
    for (;;) {
        ::Sleep(500);
        if (g_parent != nullptr && ::WaitForSingleObject(g_parent, 0) == WAIT_OBJECT_0) {
            // Nobody reads the report any more.
            ::InterlockedExchange(&g_dying, 1);
            Die(kExitHang);
        }
        const LONG now = g_lines;
        if (now != seen) {
            seen = now;
            since = ::GetTickCount64();
            continue;
        }
        if (::GetTickCount64() - since < g_stallSeconds * 1000ull) continue;
        if (::InterlockedExchange(&g_dying, 1) != 0) Die(kExitHang);
        ::SuspendThread(g_mainThread);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        FixedLine& line = g_line;
        line.Add("H");
        if (::GetThreadContext(g_mainThread, &context)) {
            std::uint64_t scanned = 0;
            const std::size_t n = CallChain(context, g_mainStackBase, g_chain, kChainDepth, &scanned);
            line.AddChain(g_chain, n, scanned);
        }
        line.Send();
        Die(kExitHang);
    }
}

// --- Planted faults --------------------------------------------------------

struct Injection {
    std::string kind;
    long long at = -1;
};

Injection ParseInjection(const std::string& text) {
    Injection injection;
    const std::size_t colon = text.find(':');
    injection.kind = text.substr(0, colon);
    if (colon != std::string::npos) injection.at = std::atoll(text.c_str() + colon + 1);
    return injection;
}

// --- Memory the plug-in may read only up to its end ------------------------

// Bytes that end exactly where an inaccessible page begins, so that reading
// one byte too far faults at once.
class GuardedBytes {
public:
    GuardedBytes() = default;
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    ~GuardedBytes() { Release(); }

    std::uint8_t* Fill(const std::uint8_t* data, std::size_t size, std::size_t capacity) {
        Release();
        const std::size_t page = 4096;
        const std::size_t span = (capacity + page - 1) / page * page;
        base_ =
            static_cast<std::uint8_t*>(::VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (base_ == nullptr) return nullptr;
        DWORD old = 0;
        ::VirtualProtect(base_ + span, page, PAGE_NOACCESS, &old);
        std::uint8_t* start = base_ + span - capacity;
        std::memset(start, 0, capacity);
        if (size > 0) std::memcpy(start, data, size < capacity ? size : capacity);
        return start;
    }
    void Release() {
        if (base_ != nullptr) ::VirtualFree(base_, 0, MEM_RELEASE);
        base_ = nullptr;
    }

private:
    std::uint8_t* base_ = nullptr;
};

// --- The progress callback -------------------------------------------------

constexpr LONG_PTR kUserValue = static_cast<LONG_PTR>(0x5A5A1234);

struct Progress {
    int calls = 0;
    int last = -1;
    int stopAt = 0;  // the call that asks to stop; 0: never
    bool stopped = false;
    bool exitInside = false;
    char problem[160] = {};
};
Progress g_progress;

int WINAPI OnProgress(int numerator, int denominator, LONG_PTR user) {
    Progress& p = g_progress;
    ++p.calls;
    if (p.problem[0] == '\0') {
        if (user != kUserValue) {
            std::snprintf(p.problem, sizeof p.problem, "progress callback got user value %p",
                          reinterpret_cast<void*>(user));
        } else if (denominator <= 0 || numerator < 0 || numerator > denominator) {
            std::snprintf(p.problem, sizeof p.problem, "progress %d of %d", numerator, denominator);
        } else if (numerator < p.last) {
            std::snprintf(p.problem, sizeof p.problem, "progress went back from %d to %d", p.last, numerator);
        }
    }
    p.last = numerator;
    if (p.exitInside) ::ExitProcess(kExitPlanted);
    if (p.stopAt != 0 && p.calls == p.stopAt) {
        p.stopped = true;
        return 1;
    }
    return 0;
}

// --- One worker's state ----------------------------------------------------

class Worker {
public:
    Worker(const WorkerOptions& options, susie::Plugin& plugin) : options_(options), plugin_(plugin) {}

    bool Prepare() {
        const std::wstring& report = options_.report;
        const std::size_t slash = report.find_last_of(L"/\\");
        const std::wstring dir = slash == std::wstring::npos ? L"." : report.substr(0, slash);
        pathW_ = dir + L"\\input-" + std::to_wstring(::GetCurrentProcessId()) + L".jxr";
        pathA_ = Narrow(pathW_, CP_ACP);
        if (pathA_.empty()) return false;
        injection_ = ParseInjection(options_.inject);
        return true;
    }

    ~Worker() { ::DeleteFileW(pathW_.c_str()); }

    // Every file of the corpus, unchanged, through one call of each pair
    // (narrow and wide by turns): every first-use structure of the plug-in
    // and of the platform gets built before the leak check's base
    // measurement.
    void WarmUp(const Corpus& corpus) {
        unsigned turn = 0;
        for (unsigned round = 0; round < options_.warmupRounds; ++round) {
            for (const CorpusFile& file : corpus.Files()) {
                if (!WriteInput(file.bytes, -1)) continue;
                Random r(0x5EED0000u + turn);
                for (int pair = 0; pair < kStepCount / 2; ++pair)
                    RunStep(-1, 2 * pair + static_cast<int>(turn & 1), file.bytes, r);
                ++turn;
            }
        }
    }

    // The unchanged corpus again (less the files on which the platform
    // leaks), one call of each pair (narrow and wide by turns): the whole
    // process must stay level from round to round.
    void CleanRound(unsigned round) {
        for (const CorpusFile& file : corpus_->Files()) {
            if (file.platformLeaks || !WriteInput(file.bytes, -2)) continue;
            Random r(0xC1EA0000u + round);
            for (int pair = 0; pair < kStepCount / 2; ++pair)
                RunStep(-2, 2 * pair + static_cast<int>(round & 1), file.bytes, r);
            PlantedLeaks();
        }
    }

    void PlantedLeaks() {
        if (injection_.kind == "leak-handles") ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (injection_.kind == "leak-memory")
            ::VirtualAlloc(nullptr, 0x10000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    }

    void SetCorpus(const Corpus& corpus) { corpus_ = &corpus; }

    void RunInput(const Input& input) {
        const long long index = static_cast<long long>(input.index);
        Line("I %lld %d %s %zu %s", index, static_cast<int>(input.mutation), input.base->name.c_str(),
             input.bytes.size(), input.detail.c_str());
        Planted(index, "crash-harness", [] { *static_cast<volatile int*>(nullptr) = 1; });
        Planted(index, "abort-harness", [] { std::abort(); });
        Planted(index, "exit-harness", [] { ::ExitProcess(kExitPlanted); });
        Planted(index, "hang", [] { ::Sleep(INFINITE); });
        Planted(index, "crash-ours", [&] { CrashInsidePlugin(index); });

        const bool fileReady = WriteInput(input.bytes, index);
        Random r(InputSeed(options_.seed, input.index) ^ 0x5851F42D4C957F2Dull);
        int steps[kStepCount];
        int n = 0;
        for (int pair = 0; pair < kStepCount / 2; ++pair) {
            if (options_.allSteps) {
                steps[n++] = 2 * pair;
                steps[n++] = 2 * pair + 1;
            } else {
                steps[n++] = 2 * pair + static_cast<int>(r.Below(2));
            }
        }
        bool tooLarge = options_.pictureLimit != 0 && ClaimedPixels(input.bytes) > options_.pictureLimit / 4;
        if (tooLarge && options_.largeEvery != 0 && input.index % options_.largeEvery == 0) {
            tooLarge = false;
            Line("G %lld", index);
        }
        if (tooLarge) Line("K %lld", index);
        for (int i = 0; i < n; ++i) {
            if (tooLarge && FamilyOf(steps[i]) == kFamilyPicture) continue;
            const bool needsFile = steps[i] == kIsSupportedHandle || steps[i] == kIsSupportedWHandle ||
                                   steps[i] == kGetPictureInfoFile || steps[i] == kGetPictureInfoWFile ||
                                   steps[i] == kGetPictureFile || steps[i] == kGetPictureWFile;
            if (needsFile && !fileReady) continue;
            if ((options_.stepMask >> steps[i] & 1) == 0) continue;
            g_progress.exitInside =
                injection_.kind == "exit-call" && injection_.at == index && FamilyOf(steps[i]) == kFamilyPicture;
            RunStep(index, steps[i], input.bytes, r);
        }
        PlantedLeaks();
        Line("D %lld", index);
    }

private:
    // The largest width x height that the image headers or the directory
    // state (0 when none can be read).
    static std::uint64_t ClaimedPixels(const std::vector<std::uint8_t>& bytes) {
        const Layout layout = ReadLayout(bytes);
        std::uint64_t most = 0;
        const auto area = [](std::uint64_t w, std::uint64_t h) { return (w != 0 && h > ~0ull / w) ? ~0ull : w * h; };
        for (std::size_t at : layout.codestreams) {
            std::uint64_t w = 0, h = 0;
            bool shortHeader = false;
            if (ReadDimensions(bytes, at, w, h, shortHeader)) most = std::max(most, area(w, h));
        }
        std::uint64_t w = 0, h = 0;
        for (const IfdEntry& e : layout.entries) {
            if (e.tag == 0xBC80) w = e.value;
            if (e.tag == 0xBC81) h = e.value;
        }
        return std::max(most, area(w, h));
    }

    template <typename Fault>
    void Planted(long long index, const char* kind, Fault fault) {
        if (injection_.at == index && injection_.kind == kind) fault();
    }

    // A bad record pointer with a good image: the plug-in writes through it.
    void CrashInsidePlugin(long long index) {
        const std::wstring good = testing_support::FixturePath(L"rgb24_3x2.jxr");
        Line("B %lld %d", index, static_cast<int>(kGetPictureInfoWFile));
        const int result =
            plugin_.GetPictureInfoW(good.c_str(), 0, susie::kFromFile,
                                    reinterpret_cast<susie::PictureInfo*>(static_cast<std::uintptr_t>(0x10)));
        Line("E %lld %d %d", index, static_cast<int>(kGetPictureInfoWFile), result);
    }

    void Violation(long long index, int step, const char* format, ...) {
        char text[600];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        Line("V %lld %d %s", index, step, text);
    }

    bool WriteInput(const std::vector<std::uint8_t>& bytes, long long index) {
        HANDLE file = ::CreateFileW(pathW_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // The plug-in would have left the previous input open.
            Violation(index, -1, "cannot rewrite the input file (error %lu): is it still open?", ::GetLastError());
            return false;
        }
        DWORD written = 0;
        const bool ok =
            bytes.empty() || (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                              written == bytes.size());
        ::CloseHandle(file);
        if (!ok) Violation(index, -1, "cannot write the input file (error %lu)", ::GetLastError());
        return ok;
    }

    void RunStep(long long index, int step, const std::vector<std::uint8_t>& bytes, Random& r) {
        switch (FamilyOf(step)) {
        case kFamilyIsSupported: IsSupportedStep(index, step, bytes); break;
        case kFamilyPictureInfo: PictureInfoStep(index, step, bytes); break;
        default: PictureStep(index, step, bytes, r); break;
        }
    }

    void Begin(long long index, int step) {
        Line("B %lld %d", index, step);
        began_ = ::GetTickCount64();
    }
    void End(long long index, int step, int result) {
        Line("E %lld %d %d %llu", index, step, result, static_cast<unsigned long long>(::GetTickCount64() - began_));
    }

    void IsSupportedStep(long long index, int step, const std::vector<std::uint8_t>& bytes) {
        const bool wide = step == kIsSupportedWHeader || step == kIsSupportedWHandle;
        ULONG_PTR value = 0;
        HANDLE file = INVALID_HANDLE_VALUE;
        GuardedBytes header;
        std::uint8_t copy[2048];
        if (step == kIsSupportedHeader || step == kIsSupportedWHeader) {
            // As hosts do: up to 2 KB from the file's start, zeros after a short file.
            std::uint8_t* buffer = header.Fill(bytes.data(), bytes.size(), sizeof copy);
            if (buffer == nullptr) {
                Violation(index, step, "harness: no memory for the header buffer");
                return;
            }
            std::memcpy(copy, buffer, sizeof copy);
            value = reinterpret_cast<ULONG_PTR>(buffer);
        } else {
            file = ::CreateFileW(pathW_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE || reinterpret_cast<ULONG_PTR>(file) > 0xFFFF) {
                Violation(index, step, "harness: no file handle below 0x10000 (error %lu)", ::GetLastError());
                if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
                return;
            }
            value = reinterpret_cast<ULONG_PTR>(file);
        }
        Begin(index, step);
        const int result =
            wide ? plugin_.IsSupportedW(pathW_.c_str(), value) : plugin_.IsSupported(pathA_.c_str(), value);
        End(index, step, result);
        if (result != 0 && result != 1) Violation(index, step, "IsSupported returned %d", result);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD flags = 0;
            if (!::GetHandleInformation(file, &flags)) {
                Violation(index, step, "the host's file handle was closed");
            } else {
                ::CloseHandle(file);
            }
        } else if (std::memcmp(copy, reinterpret_cast<const void*>(value), sizeof copy) != 0) {
            Violation(index, step, "the host's header buffer was written to");
        }
    }

    // A memory step's input, in a guarded block of its own size; false (a
    // violation) when there is no memory for it.
    bool HostBlock(long long index, int step, const std::vector<std::uint8_t>& bytes, GuardedBytes& data,
                   const std::uint8_t*& block) {
        block = data.Fill(bytes.data(), bytes.size(), bytes.size());
        if (block == nullptr) Violation(index, step, "harness: no memory for the input");
        return block != nullptr;
    }

    void PictureInfoStep(long long index, int step, const std::vector<std::uint8_t>& bytes) {
        const bool wide = step == kGetPictureInfoWFile || step == kGetPictureInfoWMemory;
        const bool memory = step == kGetPictureInfoMemory || step == kGetPictureInfoWMemory;
        susie::PictureInfo info;
        std::memset(&info, 0xA5, sizeof info);
        info.hInfo = nullptr;
        susie::PictureInfo before;
        std::memcpy(&before, &info, sizeof info);
        GuardedBytes data;
        const std::uint8_t* block = nullptr;
        if (memory && !HostBlock(index, step, bytes, data, block)) return;
        Begin(index, step);
        int result = 0;
        if (memory) {
            const auto length = static_cast<LONG_PTR>(bytes.size());
            result = wide ? plugin_.GetPictureInfoW(reinterpret_cast<LPCWSTR>(block), length, susie::kFromMemory, &info)
                          : plugin_.GetPictureInfo(reinterpret_cast<LPCSTR>(block), length, susie::kFromMemory, &info);
        } else {
            result = wide ? plugin_.GetPictureInfoW(pathW_.c_str(), 0, susie::kFromFile, &info)
                          : plugin_.GetPictureInfo(pathA_.c_str(), 0, susie::kFromFile, &info);
        }
        End(index, step, result);
        if (result != 0 && result != 1 && result != 2 && result != 4 && result != 8) {
            Violation(index, step, "GetPictureInfo returned %d", result);
        }
        if (result != 0) {
            if (std::memcmp(&info, &before, sizeof info) != 0)
                Violation(index, step, "record written although the call failed (%d)", result);
            return;
        }
        // Success: the fields up to colorDepth are the plug-in's; nothing
        // behind them (the 64-bit padding, hInfo) may change.
        constexpr std::size_t kWritten = offsetof(susie::PictureInfo, colorDepth) + sizeof info.colorDepth;
        if (std::memcmp(reinterpret_cast<const std::uint8_t*>(&info) + kWritten,
                        reinterpret_cast<const std::uint8_t*>(&before) + kWritten, sizeof info - kWritten) != 0) {
            Violation(index, step, "bytes behind colorDepth were written (hInfo %p)", static_cast<void*>(info.hInfo));
            ForgetTracked(info.hInfo);
            if (info.hInfo != nullptr && ::LocalFree(info.hInfo) != nullptr) {
                Violation(index, step, "hInfo is not freeable with LocalFree");
            }
        }
    }

    void PictureStep(long long index, int step, const std::vector<std::uint8_t>& bytes, Random& r) {
        const bool wide = step == kGetPictureWFile || step == kGetPictureWMemory;
        const bool memory = step == kGetPictureMemory || step == kGetPictureWMemory;
        GuardedBytes data;
        const std::uint8_t* block = nullptr;
        if (memory && !HostBlock(index, step, bytes, data, block)) return;
        // No callback, one that never stops, or one that asks to stop at its n-th call.
        const std::uint64_t kind = r.Below(10);
        const susie::ProgressCallback callback = kind < 4 ? nullptr : OnProgress;
        const bool exitInside = g_progress.exitInside;
        g_progress = Progress{};
        g_progress.exitInside = exitInside;
        if (kind >= 8) g_progress.stopAt = static_cast<int>(r.Between(1, 10));
        hostkit::ReturnedBitmap picture;
        HLOCAL& header = picture.header;
        HLOCAL& bits = picture.bits;
        Begin(index, step);
        int result = 0;
        if (memory) {
            const auto length = static_cast<LONG_PTR>(bytes.size());
            result = wide ? plugin_.GetPictureW(reinterpret_cast<LPCWSTR>(block), length, susie::kFromMemory, &header,
                                                &bits, callback, kUserValue)
                          : plugin_.GetPicture(reinterpret_cast<LPCSTR>(block), length, susie::kFromMemory, &header,
                                               &bits, callback, kUserValue);
        } else {
            result =
                wide ? plugin_.GetPictureW(pathW_.c_str(), 0, susie::kFromFile, &header, &bits, callback, kUserValue)
                     : plugin_.GetPicture(pathA_.c_str(), 0, susie::kFromFile, &header, &bits, callback, kUserValue);
        }
        End(index, step, result);
        if (result != 0 && result != 1 && result != 2 && result != 4 && result != 8) {
            Violation(index, step, "GetPicture returned %d", result);
        }
        if (g_progress.problem[0] != '\0') Violation(index, step, "%s", g_progress.problem);
        if (g_progress.stopped && result != 1)
            Violation(index, step, "the callback asked to stop, the result is %d", result);
        if (result == 1 && !g_progress.stopped) Violation(index, step, "result 1 (stopped) without a stop request");

        const bool handedOver = result == 0 || (result == 1 && header != nullptr && bits != nullptr);
        if (!handedOver) {
            if (header != nullptr || bits != nullptr) {
                Violation(index, step, "result %d but the handles were written (%p, %p)", result,
                          static_cast<void*>(header), static_cast<void*>(bits));
                HostFree(picture);
            }
            return;
        }
        if (header == nullptr || bits == nullptr) {
            Violation(index, step, "result %d with a null handle (%p, %p)", result, static_cast<void*>(header),
                      static_cast<void*>(bits));
            HostFree(picture);
            return;
        }
        CheckBitmap(index, step, picture);
        if (injection_.kind == "leak-plugin-block") {  // kept, as if the plug-in had lost them
            header = bits = nullptr;
            return;
        }
        const hostkit::ReturnedBitmap::Freed freed = HostFree(picture);
        if (!freed.header) Violation(index, step, "LocalFree of the header block failed");
        if (!freed.bits) Violation(index, step, "LocalFree of the pixel block failed");
    }

    // The host's LocalFree of the blocks it was given; says which worked.
    static hostkit::ReturnedBitmap::Freed HostFree(hostkit::ReturnedBitmap& picture) {
        for (HLOCAL block : {picture.header, picture.bits}) {
            if (block != nullptr) ForgetTracked(block);
        }
        return picture.Free();
    }

    // The two blocks as a host reads them.
    void CheckBitmap(long long index, int step, const hostkit::ReturnedBitmap& picture) {
        const SIZE_T headerSize = ::LocalSize(picture.header);
        const SIZE_T bitsSize = ::LocalSize(picture.bits);
        if (headerSize < sizeof(BITMAPINFOHEADER)) {
            Violation(index, step, "header block of %zu bytes", static_cast<std::size_t>(headerSize));
            return;
        }
        if (picture.Header() == nullptr) {
            Violation(index, step, "LocalLock of the header block failed");
            return;
        }
        const BITMAPINFOHEADER h = *picture.Header();
        if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight <= 0 || h.biPlanes != 1) {
            Violation(index, step, "BITMAPINFOHEADER size %lu, %ld x %ld, planes %u",
                      static_cast<unsigned long>(h.biSize), static_cast<long>(h.biWidth), static_cast<long>(h.biHeight),
                      h.biPlanes);
            return;
        }
        const unsigned bpp = h.biBitCount;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
            Violation(index, step, "biBitCount %u", bpp);
            return;
        }
        std::uint64_t need = sizeof(BITMAPINFOHEADER);
        if (h.biCompression == BI_BITFIELDS) {
            need += 12;
        } else if (h.biCompression != BI_RGB) {
            Violation(index, step, "biCompression %lu", static_cast<unsigned long>(h.biCompression));
            return;
        }
        if (bpp <= 8) {
            const std::uint64_t colors = h.biClrUsed != 0 ? h.biClrUsed : (1ull << bpp);
            if (colors > (1ull << bpp))
                Violation(index, step, "biClrUsed %lu for %u bits", static_cast<unsigned long>(h.biClrUsed), bpp);
            need += 4 * colors;
        }
        if (headerSize < need) {
            Violation(index, step, "header block of %zu bytes, needs %llu", static_cast<std::size_t>(headerSize),
                      static_cast<unsigned long long>(need));
        }
        const std::uint64_t pixels = picture.Stride() * static_cast<std::uint64_t>(h.biHeight);
        if (bitsSize < pixels) {
            Violation(index, step, "pixel block of %zu bytes for %ld x %ld at %u bits (needs %llu)",
                      static_cast<std::size_t>(bitsSize), static_cast<long>(h.biWidth), static_cast<long>(h.biHeight),
                      bpp, static_cast<unsigned long long>(pixels));
        }
    }

    const WorkerOptions& options_;
    susie::Plugin& plugin_;
    const Corpus* corpus_ = nullptr;
    ULONGLONG began_ = 0;
    std::wstring pathW_;
    std::string pathA_;
    Injection injection_;
};

void Checkpoint(const char* label) {
    const Tracked ours = TrackedLive();
    Line("C %s %zu %llu %llu %lld %lld", label, CountHandles(),
         static_cast<unsigned long long>(hostkit::CommittedPrivateBytes()),
         static_cast<unsigned long long>(hostkit::HeapBytesInUse()), ours.blocks, ours.bytes);
}

}  // namespace

int RunWorker(const WorkerOptions& options) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    g_report = ::CreateFileW(options.report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    if (g_report == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "fuzz worker: cannot open the report file (error %lu)\n", ::GetLastError());
        return 2;
    }
    ::SetUnhandledExceptionFilter(OnUnhandledException);
    InstallAbortHandlers();
    Line("S %lu", ::GetCurrentProcessId());

    Corpus corpus;
    std::string missing;
    if (!corpus.Load(&missing)) {
        Line("F cannot read %s", missing.c_str());
        return 3;
    }
    susie::Plugin plugin(testing_support::ModulePath());
    if (!plugin.Loaded() || plugin.IsSupported == nullptr || plugin.IsSupportedW == nullptr ||
        plugin.GetPictureInfo == nullptr || plugin.GetPictureInfoW == nullptr || plugin.GetPicture == nullptr ||
        plugin.GetPictureW == nullptr) {
        Line("F cannot load the plug-in or one of its exports (error %lu)", plugin.LoadError());
        return 3;
    }
    std::string wrapped, error;
    if (!TrackAllocations(plugin.Module(), &wrapped, &error)) {
        Line("F cannot count the plug-in's allocations: %s", error.c_str());
        return 3;
    }
    Line("T %s", wrapped.c_str());
    Worker worker(options, plugin);
    worker.SetCorpus(corpus);
    if (!worker.Prepare()) {
        Line("F cannot name the input file");
        return 3;
    }

    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &g_mainThread, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    g_mainStackBase = CurrentStackBase();
    if (options.parentPid != 0) g_parent = ::OpenProcess(SYNCHRONIZE, FALSE, options.parentPid);
    g_stallSeconds = options.stallSeconds;
    if (HANDLE watchdog = ::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr)) ::CloseHandle(watchdog);

    worker.WarmUp(corpus);
    Checkpoint("base");
    std::uint64_t done = 0;
    for (std::uint64_t i = 0; i < options.count; ++i) {
        worker.RunInput(MakeInput(corpus, options.seed, options.first + i));
        ++done;
        if (done % options.checkpointEvery == 0 || done == options.count) Checkpoint(std::to_string(done).c_str());
    }
    if (options.cleanRounds > 0) {
        worker.CleanRound(0);
        Checkpoint("clean0");
        for (unsigned round = 1; round <= options.cleanRounds; ++round) worker.CleanRound(round);
        Checkpoint("clean");
    }
    Line("Z");
    return 0;
}

}  // namespace testing_support
