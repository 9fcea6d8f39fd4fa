// How a dead worker is attributed, and the limits of it: README.md in this
// folder, "Workers, and whose crash it is".

#include "fuzz/fuzz_campaign.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <sstream>

#include "fuzz/fuzz_exit_codes.h"
#include "support/test_paths.h"

namespace testing_support {
namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A Wine path on drive Z: is the Linux path behind it.
std::string Shown(const std::wstring& path) {
    std::string text = Narrow(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.size() > 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':') text.erase(0, 2);
    return text;
}

std::string BaseName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    return Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

std::string Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

bool IsRuntimeModule(const std::string& lower) {
    static const char* const kRuntime[] = {
        "ntdll.dll",  "kernel32.dll", "kernelbase.dll", "msvcrt.dll",   "ucrtbase.dll", "shlwapi.dll",
        "shcore.dll", "ole32.dll",    "combase.dll",    "oleaut32.dll", "rpcrt4.dll",   "user32.dll",
        "win32u.dll", "gdi32.dll",    "advapi32.dll",   "sechost.dll",  "msvcp140.dll", "vcruntime140.dll",
    };
    if (lower == "?" || lower.empty()) return true;
    if (lower.rfind("api-ms-win-", 0) == 0) return true;
    for (const char* name : kRuntime) {
        if (lower == name) return true;
    }
    return false;
}

std::string OurModule() { return Lower(Narrow(testing_support::ModuleFileName())); }

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

// --- Reading a worker's report --------------------------------------------

struct Checkpoint {
    std::uint64_t inputs = 0;
    long long handles = 0, privateBytes = 0, heapBytes = 0, ourBlocks = 0, ourBytes = 0;
};

struct Report {
    bool startedWorker = false;
    std::string fatal;
    long long lastInput = -1;
    int lastInputMutation = -1;
    bool inCall = false;
    int callStep = -1;
    long long callInput = -1;  // the input of the call that began last
    bool finished = false;
    char deathKind = 0;  // 'X', 'A', 'H'
    std::string deathLine;
    bool haveBase = false, haveClean0 = false, haveClean = false;
    Checkpoint base, last, clean0, clean;
};

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

std::string ReadAll(const std::wstring& path) {
    std::string text;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}

std::uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

Report ReadReport(const std::wstring& path, Figures& figures) {
    Report r;
    std::istringstream in(ReadAll(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::vector<std::string> w = Words(line);
        const char kind = line[0];
        switch (kind) {
        case 'S': r.startedWorker = true; break;
        case 'F': r.fatal = line.size() > 2 ? line.substr(2) : line; break;
        case 'I':
            if (w.size() >= 3) {
                r.lastInput = std::atoll(w[1].c_str());
                r.lastInputMutation = std::atoi(w[2].c_str());
                r.inCall = false;
                ++figures.started;
                if (r.lastInputMutation >= 0 && r.lastInputMutation < static_cast<int>(Mutation::Count)) {
                    ++figures.mutations[r.lastInputMutation];
                }
            }
            break;
        case 'B':
            if (w.size() >= 3) {
                r.inCall = true;
                r.callInput = std::atoll(w[1].c_str());
                r.callStep = std::atoi(w[2].c_str());
            }
            break;
        case 'E':
            if (w.size() >= 4) {
                r.inCall = false;
                if (std::atoll(w[1].c_str()) >= 0) {
                    const int step = std::atoi(w[2].c_str());
                    ++figures.calls;
                    if (step >= 0 && step < kStepCount) ++figures.results[FamilyOf(step)][std::atoi(w[3].c_str())];
                    if (w.size() >= 5) {
                        Figures::SlowCall call{std::atoll(w[1].c_str()), step, std::atoi(w[3].c_str()),
                                               std::strtoull(w[4].c_str(), nullptr, 10)};
                        figures.callMs += call.ms;
                        auto at = std::find_if(figures.slowest.begin(), figures.slowest.end(),
                                               [&](const Figures::SlowCall& c) { return c.ms < call.ms; });
                        if (figures.slowest.size() < 5 || at != figures.slowest.end()) {
                            figures.slowest.insert(at, call);
                            if (figures.slowest.size() > 5) figures.slowest.pop_back();
                        }
                    }
                }
            }
            break;
        case 'V': {
            ++figures.violations;
            if (figures.violationSamples.size() < 40 && w.size() >= 3) {
                const std::size_t textAt = line.find(' ', line.find(' ', 2) + 1);
                const int step = std::atoi(w[2].c_str());
                figures.violationSamples.push_back("input " + w[1] + " " +
                                                   (step >= 0 ? StepName(step) : "(input file)") + ": " +
                                                   (textAt != std::string::npos ? line.substr(textAt + 1) : line));
            }
            break;
        }
        case 'K': ++figures.picturesLeftOut; break;
        case 'G': ++figures.picturesSampled; break;
        case 'D':
            ++figures.finished;
            r.inCall = false;
            break;
        case 'C':
            if (w.size() >= 7) {
                Checkpoint c;
                c.handles = std::atoll(w[2].c_str());
                c.privateBytes = std::atoll(w[3].c_str());
                c.heapBytes = std::atoll(w[4].c_str());
                c.ourBlocks = std::atoll(w[5].c_str());
                c.ourBytes = std::atoll(w[6].c_str());
                if (w[1] == "base") {
                    r.base = c;
                    r.last = c;
                    r.haveBase = true;
                } else if (w[1] == "clean0") {
                    r.clean0 = c;
                    r.haveClean0 = true;
                } else if (w[1] == "clean") {
                    r.clean = c;
                    r.haveClean = true;
                } else {
                    c.inputs = std::strtoull(w[1].c_str(), nullptr, 10);
                    r.last = c;
                }
            }
            break;
        case 'X':
        case 'A':
        case 'H':
            r.deathKind = kind;
            r.deathLine = line;
            break;
        case 'Z': r.finished = true; break;
        default: break;
        }
    }
    return r;
}

// The chain of an X / A / H line: its words of the form module+offset.
std::vector<std::string> ChainModules(const std::string& line, std::string* chain) {
    std::vector<std::string> modules;
    for (const std::string& word : Words(line)) {
        const std::size_t plus = word.find('+');
        if (plus == std::string::npos || plus == 0) continue;
        const std::size_t from = word[0] == '~' ? 1 : 0;  // found by the stack search
        modules.push_back(Lower(word.substr(from, plus - from)));
        if (chain != nullptr) *chain += (chain->empty() ? "" : " ") + word;
    }
    return modules;
}

std::string Tail(const std::wstring& logPath) {
    std::string text = ReadAll(logPath);
    // Only the worker's own messages matter, not the test framework's lines.
    std::string kept;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // jxrlib, inside Wine's decoder, reports every tag it does not know.
        if (line.empty() || line[0] == '[' || line.rfind("Note: Google Test filter", 0) == 0 ||
            line.rfind("Running main()", 0) == 0 || line.rfind("Unrecognized WMPTag", 0) == 0) {
            continue;
        }
        kept += (kept.empty() ? "" : " | ") + line;
    }
    if (kept.size() > 400) kept = "..." + kept.substr(kept.size() - 400);
    return kept;
}

// --- Workers ---------------------------------------------------------------

struct Range {
    std::uint64_t first = 0, count = 0;
};

struct Running {
    Range range;
    HANDLE process = nullptr;
    DWORD pid = 0;
    std::wstring report, log, dir;
    std::uint64_t lastSize = 0;
    ULONGLONG lastChange = 0;
    bool killed = false;
};

bool Spawn(const CampaignOptions& options, const std::wstring& dir, unsigned number, const Range& range,
           Running& worker) {
    worker.range = range;
    worker.dir = dir;
    worker.report = dir + L"\\worker-" + std::to_wstring(number) + L".txt";
    worker.log = dir + L"\\worker-" + std::to_wstring(number) + L".log";
    std::wstring command =
        L"\"" + ThisProgram() +
        L"\" --gtest_filter=FuzzWorker.DISABLED_Run --gtest_also_run_disabled_tests --fuzz-worker" + L" --fuzz-seed=" +
        std::to_wstring(options.seed) + L" --fuzz-first=" + std::to_wstring(range.first) + L" --fuzz-count=" +
        std::to_wstring(range.count) + L" --fuzz-warmup=" + std::to_wstring(options.warmupRounds) + L" --fuzz-clean=" +
        std::to_wstring(options.cleanRounds) + L" --fuzz-checkpoint=" + std::to_wstring(options.checkpointEvery) +
        L" --fuzz-stall=" + std::to_wstring(options.stallSeconds) + L" \"--fuzz-report=" + worker.report + L"\"";
    if (options.allSteps) command += L" --fuzz-all-steps";
    if (options.stepMask != 0xFFF) command += L" --fuzz-steps=" + std::to_wstring(options.stepMask);
    command += L" --fuzz-picture-limit=" + std::to_wstring(options.pictureLimit) + L" --fuzz-large-every=" +
               std::to_wstring(options.largeEvery) + L" --fuzz-parent=" + std::to_wstring(::GetCurrentProcessId());
    if (!options.inject.empty()) command += L" --fuzz-inject=" + Widen(options.inject);

    // A fresh, empty report: the worker appends to it.
    HANDLE report = ::CreateFileW(worker.report.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
    if (report == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(report);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE log = ::CreateFileW(worker.log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                               CREATE_ALWAYS, 0, nullptr);
    HANDLE input =
        ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = log;
    startup.hStdError = log;
    PROCESS_INFORMATION process{};
    const BOOL ok = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                     nullptr, &startup, &process);
    if (log != INVALID_HANDLE_VALUE) ::CloseHandle(log);
    if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    if (!ok) return false;
    ::CloseHandle(process.hThread);
    worker.process = process.hProcess;
    worker.pid = process.dwProcessId;
    worker.lastSize = 0;
    worker.lastChange = ::GetTickCount64();
    return true;
}

void SaveInput(const CampaignOptions& options, const Corpus& corpus, Incident& incident, const std::string& folder,
               unsigned alreadySaved) {
    if (incident.input < 0) return;
    const Input input = MakeInput(corpus, options.seed, static_cast<std::uint64_t>(incident.input));
    incident.detail = std::string(MutationName(input.mutation)) + " of " + input.base->name + ": " + input.detail +
                      " (" + std::to_string(input.bytes.size()) + " bytes)";
    if (folder == "platform" && alreadySaved >= 200) return;
    const std::wstring dir = options.outDir + L"\\" + Widen(folder);
    ::CreateDirectoryW(options.outDir.c_str(), nullptr);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring stem = dir + L"\\" + std::to_wstring(sizeof(void*) * 8) + L"bit-seed" +
                              std::to_wstring(options.seed) + L"-input" + std::to_wstring(incident.input);
    const std::wstring path = stem + L".jxr";
    if (!WriteFileBytes(path, input.bytes.data(), input.bytes.size())) return;
    incident.saved = Shown(path);

    std::string note = "input " + std::to_string(incident.input) + " of seed " + std::to_string(options.seed) + "\n" +
                       incident.detail + "\nin " + StepName(incident.step) + "\n" + incident.what + "\nowner " +
                       OwnerName(incident.owner) + " (" + incident.module + ")\n" + "chain " + incident.chain +
                       "\noutput " + incident.message + "\n";
    WriteFileBytes(stem + L".txt", note.data(), note.size());
}

}  // namespace

const char* OwnerName(Owner owner) {
    switch (owner) {
    case Owner::Ours: return "ours";
    case Owner::Platform: return "platform's";
    case Owner::TestProgram: return "test program's";
    default: return "unattributed";
    }
}

Owner DecideOwner(const std::vector<std::string>& modules, bool skipLeadingTestProgram, std::string* decider) {
    const std::string ours = OurModule();
    const std::string program = Lower(BaseName(ThisProgram()));
    std::size_t i = 0;
    // The abort handler's own frames.
    if (skipLeadingTestProgram) {
        while (i < modules.size() && modules[i] == program) ++i;
    }
    for (; i < modules.size(); ++i) {
        if (IsRuntimeModule(modules[i])) continue;
        if (decider != nullptr) *decider = modules[i];
        if (modules[i] == ours) return Owner::Ours;
        if (modules[i] == program) return Owner::TestProgram;
        return Owner::Platform;
    }
    if (decider != nullptr) *decider = "(none)";
    return Owner::Unknown;
}

const char* CoveredSite(const std::string& place) {
    struct Site {
        const char* place;
        const char* refused;
    };
    // Found with the kept inputs of the suite's run before the check existed.
    static const Site kSites[] = {
#ifdef _WIN64
        {"wmphoto.dll+0xa43a", "an orientation above 7 in the directory"},
        {"wmphoto.dll+0x1d0dc", "an output colour format the image header may not hold"},
#else
        {"wmphoto.dll+0xb17d", "an orientation above 7 in the directory"},
        {"wmphoto.dll+0x1e228", "an output colour format the image header may not hold"},
#endif
    };
    for (const Site& site : kSites) {
        if (Lower(place) == site.place) return site.refused;
    }
    return nullptr;
}

template <typename Items, typename Predicate>
unsigned CountIf(const Items& items, Predicate predicate) {
    return static_cast<unsigned>(std::count_if(items.begin(), items.end(), predicate));
}

unsigned Figures::CoveredAborts() const {
    return CountIf(incidents, [](const Incident& i) {
        return i.kind == Incident::Abort && i.owner == Owner::Platform && i.covered != nullptr;
    });
}
unsigned Figures::Crashes(Owner owner) const {
    return CountIf(incidents, [&](const Incident& i) { return i.kind != Incident::Hang && i.owner == owner; });
}
unsigned Figures::Hangs(Owner owner) const {
    return CountIf(incidents, [&](const Incident& i) { return i.kind == Incident::Hang && i.owner == owner; });
}
unsigned Figures::LeaksOver() const {
    return CountIf(leakRuns, [](const LeakRun& r) { return r.over; });
}
unsigned Figures::LeakRunsJudged() const {
    return CountIf(leakRuns, [](const LeakRun& r) { return r.judged; });
}

Figures RunCampaign(const CampaignOptions& options) {
    Figures figures;
    figures.module = Narrow(testing_support::ModuleFileName());
    figures.bits = static_cast<int>(sizeof(void*) * 8);
    figures.seed = options.seed;
    figures.first = options.first;
    figures.inputs = options.inputs;
    const ULONGLONG startTime = ::GetTickCount64();

    Corpus corpus;
    std::string missing;
    if (!corpus.Load(&missing)) {
        figures.fatal = "cannot read " + missing;
        return figures;
    }
    ::CreateDirectoryW(options.outDir.c_str(), nullptr);
    static unsigned campaigns = 0;
    const std::wstring runDir =
        options.outDir + L"\\run-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++campaigns);
    ::CreateDirectoryW(runDir.c_str(), nullptr);

    std::deque<Range> queue;
    for (std::uint64_t at = 0; at < options.inputs; at += options.chunk) {
        queue.push_back({options.first + at, std::min<std::uint64_t>(options.chunk, options.inputs - at)});
    }
    std::vector<Running> running;
    unsigned savedPlatform = 0;
    unsigned number = 0;
    bool keptFiles = false;  // reports kept for a person to read
    const unsigned jobs = std::max(1u, options.jobs);

    ULONGLONG lastProgress = ::GetTickCount64();
    while ((!queue.empty() || !running.empty()) && figures.fatal.empty()) {
        if (options.progressSeconds != 0 && ::GetTickCount64() - lastProgress >= options.progressSeconds * 1000ull) {
            lastProgress = ::GetTickCount64();
            std::printf("fuzz: ... %.0f s: %llu of %llu inputs done (of finished workers), %zu incidents\n",
                        static_cast<double>(lastProgress - startTime) / 1000.0,
                        static_cast<unsigned long long>(figures.started),
                        static_cast<unsigned long long>(options.inputs), figures.incidents.size());
            std::fflush(stdout);
        }
        while (running.size() < jobs && !queue.empty()) {
            Running worker;
            if (!Spawn(options, runDir, number++, queue.front(), worker)) {
                figures.fatal = "cannot start a worker (error " + std::to_string(::GetLastError()) + ")";
                break;
            }
            ++figures.workers;
            queue.pop_front();
            running.push_back(worker);
        }
        if (running.empty()) break;
        std::vector<HANDLE> handles;
        for (const Running& w : running) handles.push_back(w.process);
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 1000);

        for (std::size_t k = 0; k < running.size();) {
            Running& w = running[k];
            if (::WaitForSingleObject(w.process, 0) == WAIT_TIMEOUT) {
                // Back-stop for a worker whose own watchdog cannot report.
                const std::uint64_t size = SizeOf(w.report);
                const ULONGLONG now = ::GetTickCount64();
                if (size != w.lastSize) {
                    w.lastSize = size;
                    w.lastChange = now;
                }
                if (now - w.lastChange <= (options.stallSeconds + 30) * 1000ull) {
                    ++k;
                    continue;
                }
                ::TerminateProcess(w.process, kExitHang);
                ::WaitForSingleObject(w.process, 5000);
                w.killed = true;
            }
            DWORD exitCode = 0;
            ::GetExitCodeProcess(w.process, &exitCode);
            ::CloseHandle(w.process);
            const Report r = ReadReport(w.report, figures);

            if (r.haveBase) {
                LeakRun run;
                run.inputs = r.last.inputs;
                run.handles = r.last.handles - r.base.handles;
                run.ourBlocks = r.last.ourBlocks - r.base.ourBlocks;
                run.ourBytes = r.last.ourBytes - r.base.ourBytes;
                run.privateBytes = r.last.privateBytes - r.base.privateBytes;
                run.heapBytes = r.last.heapBytes - r.base.heapBytes;
                run.judged = r.last.inputs >= options.minJudgedInputs;
                run.over = run.judged && (run.handles > options.handleSlack || run.ourBlocks > options.ourBlockSlack ||
                                          run.ourBytes > options.ourByteSlack);
                if (r.haveClean0 && r.haveClean) {
                    run.clean = true;
                    run.cleanHandles = r.clean.handles - r.clean0.handles;
                    run.cleanPrivate = r.clean.privateBytes - r.clean0.privateBytes;
                    run.cleanHeap = r.clean.heapBytes - r.clean0.heapBytes;
                    if (run.cleanHandles > options.handleSlack || run.cleanPrivate > options.cleanPrivateSlack ||
                        run.cleanHeap > options.cleanHeapSlack) {
                        run.over = true;
                    }
                }
                figures.leakRuns.push_back(run);
            }

            bool keepFiles = false;
            if (!r.fatal.empty()) {
                figures.fatal = "worker: " + r.fatal;
                keepFiles = true;
            } else if (!r.finished) {
                Incident incident;
                incident.input = r.lastInput;
                incident.mutation = r.lastInputMutation;
                incident.step = r.inCall ? r.callStep : -1;
                incident.message = Tail(w.log);
                std::vector<std::string> modules = ChainModules(r.deathLine, &incident.chain);
                const std::vector<std::string> words = Words(r.deathLine);
                switch (r.deathKind) {
                case 'X':
                    incident.kind = Incident::Exception;
                    incident.what = "exception " + (words.size() > 1 ? "0x" + words[1] : std::string("?")) +
                                    (words.size() > 2 && words[2] != "-" ? " " + words[2] : std::string());
                    incident.owner = DecideOwner(modules, false, &incident.module);
                    break;
                case 'A':
                    incident.kind = Incident::Abort;
                    incident.what = "abort()";
                    incident.owner = DecideOwner(modules, true, &incident.module);
                    break;
                case 'H':
                    incident.kind = Incident::Hang;
                    incident.what = "no progress for " + std::to_string(options.stallSeconds) + " s";
                    incident.owner = DecideOwner(modules, false, &incident.module);
                    break;
                default:
                    if (w.killed) {
                        incident.kind = Incident::Hang;
                        incident.what = "no progress, killed (no chain)";
                        incident.owner = Owner::Unknown;
                    } else {
                        incident.kind = Incident::SilentExit;
                        incident.what = "ended with exit code " + Hex(exitCode) + " and no record";
                        incident.owner = incident.step >= 0 ? Owner::Platform : Owner::Unknown;
                        incident.module = incident.step >= 0 ? "(inside a call)" : "(between calls)";
                    }
                    break;
                }
                for (const std::string& word : Words(incident.chain)) {
                    const std::size_t from = word[0] == '~' ? 1 : 0;
                    if (Lower(word.substr(from, word.find('+') - from)) == incident.module) {
                        incident.place = word.substr(from);
                        break;
                    }
                }
                if (incident.kind == Incident::Abort && incident.owner == Owner::Platform) {
                    incident.covered = CoveredSite(incident.place);
                }
                if (!r.startedWorker || r.lastInput < 0 || (r.inCall && r.callInput < 0)) {
                    // Not one fuzz input began (the worker itself cannot run),
                    // or an unchanged test image killed it (warm-up or clean
                    // rounds).
                    figures.fatal = std::string(r.inCall && r.callInput < 0 ? "a worker died on an unchanged test image"
                                                                            : "a worker died before its first input") +
                                    " in " + StepName(incident.step) + ": " + incident.what + " " + incident.chain +
                                    " " + incident.message + " (report " + Shown(w.report) + ")";
                    keepFiles = true;
                } else {
                    const char* folder = incident.owner == Owner::Platform ? "platform"
                                         : incident.owner == Owner::Ours   ? "ours"
                                                                           : "unattributed";
                    SaveInput(options, corpus, incident, folder, savedPlatform);
                    if (incident.owner == Owner::Platform) ++savedPlatform;
                    if (incident.owner != Owner::Platform) keepFiles = true;
                    figures.incidents.push_back(incident);
                    const std::uint64_t next = static_cast<std::uint64_t>(r.lastInput) + 1;
                    const std::uint64_t end = w.range.first + w.range.count;
                    if (next < end) queue.push_front({next, end - next});
                }
            }
            // The input file of a worker that did not finish (one that did
            // deleted its own).
            ::DeleteFileW((w.dir + L"\\input-" + std::to_wstring(w.pid) + L".jxr").c_str());
            if (!keepFiles) {
                ::DeleteFileW(w.report.c_str());
                ::DeleteFileW(w.log.c_str());
            } else {
                keptFiles = true;
            }
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    for (Running& w : running) {  // only after a fatal error
        ::TerminateProcess(w.process, 1);
        ::CloseHandle(w.process);
    }
    // Only when empty. Wine deletes a file that a process which has just
    // ended had open only a moment later: wait for that.
    for (int attempt = 0;
         attempt < 50 && !keptFiles && !::RemoveDirectoryW(runDir.c_str()) && ::GetLastError() == ERROR_DIR_NOT_EMPTY;
         ++attempt) {
        ::Sleep(100);
    }
    figures.seconds = static_cast<double>(::GetTickCount64() - startTime) / 1000.0;
    return figures;
}

void PrintFigures(const Figures& f, const CampaignOptions& o, std::FILE* out) {
    std::fprintf(out, "fuzz: %s (%d-bit), seed %llu, inputs %llu..%llu (%llu), %u worker(s) at a time, %s\n",
                 f.module.c_str(), f.bits, static_cast<unsigned long long>(f.seed),
                 static_cast<unsigned long long>(f.first), static_cast<unsigned long long>(f.first + f.inputs - 1),
                 static_cast<unsigned long long>(f.inputs), std::max(1u, o.jobs),
                 o.allSteps ? "all 12 calls per input" : "6 calls per input");
    std::fprintf(out, "fuzz: inputs begun %llu, finished %llu; calls %llu; workers started %u; %.1f s\n",
                 static_cast<unsigned long long>(f.started), static_cast<unsigned long long>(f.finished),
                 static_cast<unsigned long long>(f.calls), f.workers, f.seconds);
    if (o.pictureLimit != 0) {
        std::fprintf(out, "fuzz: GetPicture left out for %llu inputs claiming more than %llu MB at 4 bytes a pixel",
                     static_cast<unsigned long long>(f.picturesLeftOut),
                     static_cast<unsigned long long>(o.pictureLimit >> 20));
        if (o.largeEvery != 0) {
            std::fprintf(out, " (made for the %llu of them whose number is a multiple of %u)",
                         static_cast<unsigned long long>(f.picturesSampled), o.largeEvery);
        }
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "fuzz: mutations:");
    for (int m = 0; m < static_cast<int>(Mutation::Count); ++m) {
        std::fprintf(out, " %s %llu", MutationName(static_cast<Mutation>(m)),
                     static_cast<unsigned long long>(f.mutations[m]));
    }
    std::fprintf(out, "\n");
    for (int family = 0; family < kFamilyCount; ++family) {
        std::fprintf(out, "fuzz: results %-15s", FamilyName(family));
        for (const auto& [result, count] : f.results[family]) {
            std::fprintf(out, " %d: %llu", result, static_cast<unsigned long long>(count));
        }
        std::fprintf(out, "\n");
    }
    std::map<std::string, unsigned> platformModules;
    unsigned silent = 0;
    for (const Incident& i : f.incidents) {
        if (i.owner == Owner::Platform && i.kind != Incident::Hang) {
            ++platformModules[i.kind == Incident::SilentExit
                                  ? std::string("silent exit inside a call")
                                  : i.module + (i.kind == Incident::Abort ? " abort" : " exception")];
            if (i.kind == Incident::SilentExit) ++silent;
        }
    }
    std::fprintf(out, "fuzz: crashes: ours %u, platform's %u", f.Crashes(Owner::Ours), f.Crashes(Owner::Platform));
    if (!platformModules.empty()) {
        std::fprintf(out, " (");
        bool firstItem = true;
        for (const auto& [name, count] : platformModules) {
            std::fprintf(out, "%s%s %u", firstItem ? "" : ", ", name.c_str(), count);
            firstItem = false;
        }
        std::fprintf(out, ")");
    }
    std::fprintf(out, ", test program's %u, unattributed %u; hangs: ours %u, platform's %u, other %u\n",
                 f.Crashes(Owner::TestProgram), f.Crashes(Owner::Unknown), f.Hangs(Owner::Ours),
                 f.Hangs(Owner::Platform), f.Hangs(Owner::TestProgram) + f.Hangs(Owner::Unknown));
    std::vector<Incident> sorted = f.incidents;
    std::sort(sorted.begin(), sorted.end(), [](const Incident& a, const Incident& b) { return a.input < b.input; });
    const char* kKinds[] = {"exception", "abort", "hang", "silent exit"};
    // Per call and place; an abort at a place the plug-in's check covers
    // fails the run.
    std::map<std::string, std::pair<unsigned, long long>> places;
    for (const Incident& i : sorted) {
        if (i.owner != Owner::Platform) continue;
        std::string key =
            std::string(kKinds[i.kind]) + " in " + StepName(i.step) + " at " + (i.place.empty() ? i.module : i.place);
        if (i.covered != nullptr) key += std::string(" !! covered: ") + i.covered;
        auto& entry = places[key];
        if (entry.first++ == 0) entry.second = i.input;
    }
    std::fprintf(out, "fuzz: the platform's aborts at places the plug-in's check covers: %u\n", f.CoveredAborts());
    for (const auto& [place, count] : places) {
        std::fprintf(out, "fuzz:   platform's: %s: %u (first input %lld)\n", place.c_str(), count.first, count.second);
    }
    unsigned listed = 0;
    for (const Incident& i : sorted) {
        const bool platform = i.owner == Owner::Platform;
        if (platform && ++listed > 40) continue;
        std::string detail = i.detail;
        if (platform && detail.size() > 110) detail = detail.substr(0, 107) + "...";
        std::fprintf(out, "fuzz:   %s input %lld (%s) in %s: %s -> %s (%s)\n", platform ? "  " : "!!", i.input,
                     detail.c_str(), StepName(i.step), i.what.c_str(), OwnerName(i.owner),
                     i.place.empty() ? i.module.c_str() : i.place.c_str());
        if (!platform) {
            if (!i.chain.empty()) std::fprintf(out, "fuzz:        chain %s\n", i.chain.c_str());
            if (!i.message.empty()) std::fprintf(out, "fuzz:        output %s\n", i.message.c_str());
        }
        if (!i.saved.empty())
            std::fprintf(out, "fuzz:        saved %s%s\n", i.saved.c_str(), platform ? "" : " (and .txt)");
    }
    if (listed > 40)
        std::fprintf(out, "fuzz:   ... %u more of the platform's (see the .txt next to each saved input)\n",
                     listed - 40);
    long long maxHandles = 0, maxBlocks = 0, maxBytes = 0, maxPrivate = 0, maxHeap = 0;
    long long maxCleanHandles = 0, maxCleanPrivate = 0, maxCleanHeap = 0;
    std::uint64_t judgedInputs = 0;
    unsigned cleanRuns = 0;
    for (const LeakRun& r : f.leakRuns) {
        if (r.clean) {
            ++cleanRuns;
            maxCleanHandles = std::max(maxCleanHandles, r.cleanHandles);
            maxCleanPrivate = std::max(maxCleanPrivate, r.cleanPrivate);
            maxCleanHeap = std::max(maxCleanHeap, r.cleanHeap);
        }
        if (!r.judged) continue;
        judgedInputs += r.inputs;
        maxHandles = std::max(maxHandles, r.handles);
        maxBlocks = std::max(maxBlocks, r.ourBlocks);
        maxBytes = std::max(maxBytes, r.ourBytes);
        maxPrivate = std::max(maxPrivate, r.privateBytes);
        maxHeap = std::max(maxHeap, r.heapBytes);
    }
    std::fprintf(
        out,
        "fuzz: leaks over the fuzz inputs: %u of %zu worker runs judged (%llu inputs after warm-up); largest "
        "growth: handles %+lld (slack %lld), the plug-in's heap blocks %+lld / %+lld bytes (slack %lld / %lld)\n",
        f.LeakRunsJudged(), f.leakRuns.size(), static_cast<unsigned long long>(judgedInputs), maxHandles, o.handleSlack,
        maxBlocks, maxBytes, o.ourBlockSlack, o.ourByteSlack);
    std::fprintf(
        out,
        "fuzz:   whole process over the same inputs (the platform's leaks included, not judged): private memory "
        "%+lld KB, heap in use %+lld KB\n",
        maxPrivate / 1024, maxHeap / 1024);
    std::fprintf(
        out,
        "fuzz: leaks over the clean rounds (%u of unchanged files after the inputs): %u worker runs; largest growth: "
        "handles %+lld (slack %lld), private memory %+lld KB (slack %lld KB), heap in use %+lld KB (slack %lld KB)\n",
        o.cleanRounds, cleanRuns, maxCleanHandles, o.handleSlack, maxCleanPrivate / 1024, o.cleanPrivateSlack / 1024,
        maxCleanHeap / 1024, o.cleanHeapSlack / 1024);
    std::fprintf(out, "fuzz: worker runs over a slack: %u\n", f.LeaksOver());
    for (const LeakRun& r : f.leakRuns) {
        if (r.over) {
            std::fprintf(
                out,
                "fuzz:   !! over %llu inputs: handles %+lld, the plug-in's blocks %+lld / %+lld bytes; clean rounds: "
                "handles %+lld, private %+lld KB, heap %+lld KB\n",
                static_cast<unsigned long long>(r.inputs), r.handles, r.ourBlocks, r.ourBytes, r.cleanHandles,
                r.cleanPrivate / 1024, r.cleanHeap / 1024);
        }
    }
    std::fprintf(
        out, "fuzz: time inside the plug-in's calls %.1f s; longest calls:", static_cast<double>(f.callMs) / 1000.0);
    for (const Figures::SlowCall& c : f.slowest) {
        std::fprintf(out, " input %lld %s -> %d in %.1f s;", c.input, StepName(c.step), c.result,
                     static_cast<double>(c.ms) / 1000.0);
    }
    std::fprintf(out, "\n");
    std::fprintf(out, "fuzz: rule violations %llu\n", static_cast<unsigned long long>(f.violations));
    for (const std::string& v : f.violationSamples) std::fprintf(out, "fuzz:   !! %s\n", v.c_str());
    if (!f.fatal.empty()) std::fprintf(out, "fuzz: cannot run: %s\n", f.fatal.c_str());
    std::fflush(out);
}

}  // namespace testing_support
