// Fuzzing of the plug-in's content exports with damaged JPEG XR files, each
// input in a worker process (see fuzz_campaign.cpp for how a dead worker is
// attributed and README.md in this folder for the options).
//
//   fuzz_test.exe                         the short run (CTest): 1000 inputs
//                                         and the harness's own tests
//   fuzz_test.exe --gtest_filter=Fuzz.Campaign --fuzz-inputs=10000 --fuzz-jobs=2
//                                         a long run (scripts/fuzz.sh)
//   --fuzz-seed=N --fuzz-first=I --fuzz-inputs=1   input I of seed N alone

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_campaign.h"
#include "fuzz/fuzz_exit_codes.h"
#include "fuzz/fuzz_worker.h"
#include "support/test_paths.h"

namespace testing_support {
namespace {

// The seed of the suite's short run; any other run names its own.
constexpr std::uint64_t kDefaultSeed = 20261208;
constexpr std::uint64_t kDefaultInputs = 1000;
// The suite's run leaves GetPicture out for inputs that claim pictures of
// more than 64 MB (the long run does not): see WorkerOptions.
constexpr std::uint64_t kDefaultPictureLimit = 64ull << 20;

struct Arguments {
    bool worker = false;
    WorkerOptions workerOptions;
    CampaignOptions campaign;
};

// Kept inputs and the reports of running workers: build/<preset>/fuzz.
std::wstring OutputDirectory() {
    const char* dir = RORURERA_FUZZ_OUTPUT_DIR;
    return std::wstring(dir, dir + std::strlen(dir));
}

// Deletes a folder of the planted-fault runs with everything in it.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    for (int attempt = 0; attempt < 50 && !::RemoveDirectoryW(dir.c_str()); ++attempt) ::Sleep(100);
}

std::uint64_t Number(const char* text) { return std::strtoull(text, nullptr, 0); }

bool Option(const char* argument, const char* name, const char** value) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(argument, name, n) != 0 || argument[n] != '=') return false;
    *value = argument + n + 1;
    return true;
}

Arguments ParseArguments() {
    Arguments a;
    a.campaign.seed = a.workerOptions.seed = kDefaultSeed;
    a.campaign.inputs = kDefaultInputs;
    a.campaign.pictureLimit = kDefaultPictureLimit;
    a.campaign.outDir = OutputDirectory();
    if (const char* seed = std::getenv("RORURERA_FUZZ_SEED")) a.campaign.seed = a.workerOptions.seed = Number(seed);
    if (const char* inputs = std::getenv("RORURERA_FUZZ_INPUTS")) a.campaign.inputs = Number(inputs);
    if (const char* jobs = std::getenv("RORURERA_FUZZ_JOBS")) a.campaign.jobs = static_cast<unsigned>(Number(jobs));
    for (int i = 1; i < __argc; ++i) {
        const char* arg = __argv[i];
        const char* v = nullptr;
        if (std::strcmp(arg, "--fuzz-worker") == 0) a.worker = true;
        else if (std::strcmp(arg, "--fuzz-all-steps") == 0) a.campaign.allSteps = a.workerOptions.allSteps = true;
        else if (Option(arg, "--fuzz-seed", &v)) a.campaign.seed = a.workerOptions.seed = Number(v);
        else if (Option(arg, "--fuzz-first", &v)) a.campaign.first = a.workerOptions.first = Number(v);
        else if (Option(arg, "--fuzz-count", &v)) a.workerOptions.count = Number(v);
        else if (Option(arg, "--fuzz-steps", &v))
            a.campaign.stepMask = a.workerOptions.stepMask = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-large-every", &v))
            a.campaign.largeEvery = a.workerOptions.largeEvery = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-parent", &v)) a.workerOptions.parentPid = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-picture-limit", &v))
            a.campaign.pictureLimit = a.workerOptions.pictureLimit = Number(v);
        else if (Option(arg, "--fuzz-inputs", &v)) a.campaign.inputs = Number(v);
        else if (Option(arg, "--fuzz-jobs", &v)) a.campaign.jobs = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-chunk", &v)) a.campaign.chunk = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-clean", &v))
            a.campaign.cleanRounds = a.workerOptions.cleanRounds = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-warmup", &v))
            a.campaign.warmupRounds = a.workerOptions.warmupRounds = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-checkpoint", &v))
            a.campaign.checkpointEvery = a.workerOptions.checkpointEvery = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-stall", &v))
            a.campaign.stallSeconds = a.workerOptions.stallSeconds = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-inject", &v)) a.campaign.inject = a.workerOptions.inject = v;
        else if (Option(arg, "--fuzz-report", &v)) a.workerOptions.report.assign(v, v + std::strlen(v));
        else if (Option(arg, "--fuzz-progress", &v)) a.campaign.progressSeconds = static_cast<unsigned>(Number(v));
        else if (Option(arg, "--fuzz-out", &v)) a.campaign.outDir.assign(v, v + std::strlen(v));
    }
    if (a.campaign.chunk == 0) a.campaign.chunk = 250;
    if (a.campaign.checkpointEvery == 0) a.campaign.checkpointEvery = 25;
    if (a.workerOptions.checkpointEvery == 0) a.workerOptions.checkpointEvery = 25;
    // A run shorter than a leak measurement's distance is judged on what it has.
    a.campaign.minJudgedInputs =
        static_cast<unsigned>(std::min<std::uint64_t>(a.campaign.checkpointEvery, a.campaign.inputs));
    return a;
}

const Arguments& Args() {
    static const Arguments arguments = ParseArguments();
    return arguments;
}

// A few inputs with a planted fault, in their own output folder.
CampaignOptions Planted(const std::string& inject, std::uint64_t inputs) {
    CampaignOptions o;
    o.seed = Args().campaign.seed;
    o.inputs = inputs;
    o.chunk = static_cast<unsigned>(inputs);
    o.inject = inject;
    o.warmupRounds = 0;
    o.cleanRounds = 0;
    o.checkpointEvery = 10;
    o.minJudgedInputs = 10;
    o.stallSeconds = 30;
    o.pictureLimit = kDefaultPictureLimit;
    o.outDir = Args().campaign.outDir + L"\\harness-" + std::to_wstring(::GetCurrentProcessId());
    return o;
}

// The planted runs keep their inputs apart from real findings, and only
// while the test looks at them.
class FuzzHarness : public testing::Test {
protected:
    void TearDown() override { RemoveTree(Planted("", 1).outDir); }
};

void ExpectOneIncident(const Figures& f, Incident::Kind kind, Owner owner, long long input) {
    ASSERT_TRUE(f.fatal.empty()) << f.fatal;
    ASSERT_EQ(f.incidents.size(), 1u);
    EXPECT_EQ(f.incidents[0].kind, kind);
    EXPECT_EQ(f.incidents[0].owner, owner)
        << OwnerName(f.incidents[0].owner) << " by " << f.incidents[0].module << "; chain " << f.incidents[0].chain;
    EXPECT_EQ(f.incidents[0].input, input);
    // The worker after it took the rest of the range.
    EXPECT_EQ(f.started, f.inputs);
    EXPECT_EQ(f.finished, f.inputs - 1);
}

}  // namespace

// The run itself: every input through IsSupported, GetPictureInfo and
// GetPicture in file and memory mode.
TEST(Fuzz, Campaign) {
    const CampaignOptions& options = Args().campaign;
    const Figures f = RunCampaign(options);
    PrintFigures(f, options, stdout);
    ASSERT_TRUE(f.fatal.empty()) << f.fatal;
    EXPECT_EQ(f.started, options.inputs) << "every input must at least begin";
    EXPECT_EQ(f.Crashes(Owner::Ours), 0u) << "a crash in our module: see the saved input above";
    EXPECT_EQ(f.CoveredAborts(), 0u) << "the platform's decoder aborted on a file that the plug-in should have refused";
    EXPECT_EQ(f.Crashes(Owner::TestProgram), 0u);
    EXPECT_EQ(f.Crashes(Owner::Unknown), 0u);
    EXPECT_EQ(f.Hangs(Owner::Ours) + f.Hangs(Owner::TestProgram) + f.Hangs(Owner::Unknown), 0u);
    EXPECT_EQ(f.violations, 0u);
    EXPECT_GE(f.LeakRunsJudged(), 1u) << "no worker ran long enough for a leak measurement";
    EXPECT_EQ(f.LeaksOver(), 0u);
    // Not every input may fail: slightly damaged files still decode.
    const auto& pictures = f.results[kFamilyPicture];
    EXPECT_GT(pictures.count(0) ? pictures.at(0) : 0, 0u) << "no GetPicture call succeeded";
    const auto& supported = f.results[kFamilyIsSupported];
    EXPECT_GT(supported.count(1) ? supported.at(1) : 0, 0u) << "no IsSupported call said yes";
}

// The harness must see what it claims to see: faults planted on purpose.
TEST_F(FuzzHarness, CrashInsideThePluginIsOursAndItsInputIsKept) {
    const Figures f = RunCampaign(Planted("crash-ours:3", 6));
    ExpectOneIncident(f, Incident::Exception, Owner::Ours, 3);
    ASSERT_FALSE(f.incidents.empty());
    EXPECT_NE(f.incidents[0].what.find("0xC0000005"), std::string::npos) << f.incidents[0].what;
    EXPECT_EQ(f.incidents[0].step, kGetPictureInfoWFile);
    ASSERT_FALSE(f.incidents[0].saved.empty());
    EXPECT_NE(::GetFileAttributesA(("Z:" + f.incidents[0].saved).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FuzzHarness, CrashAndAbortInTheTestProgramAreNotThePlatforms) {
    const Figures crash = RunCampaign(Planted("crash-harness:2", 4));
    ExpectOneIncident(crash, Incident::Exception, Owner::TestProgram, 2);
    const Figures abort = RunCampaign(Planted("abort-harness:1", 3));
    ExpectOneIncident(abort, Incident::Abort, Owner::TestProgram, 1);
}

TEST_F(FuzzHarness, ExitWithoutARecordIsThePlatformsOnlyInsideACall) {
    const Figures inside = RunCampaign(Planted("exit-call:1", 3));
    ExpectOneIncident(inside, Incident::SilentExit, Owner::Platform, 1);
    const Figures between = RunCampaign(Planted("exit-harness:1", 3));
    ExpectOneIncident(between, Incident::SilentExit, Owner::Unknown, 1);
}

TEST_F(FuzzHarness, HangIsStoppedAndAttributed) {
    CampaignOptions o = Planted("hang:1", 3);
    o.stallSeconds = 3;
    const Figures f = RunCampaign(o);
    ExpectOneIncident(f, Incident::Hang, Owner::TestProgram, 1);
}

TEST_F(FuzzHarness, LeaksAreSeen) {
    // Each planted leak, and the least that its measurement must show.
    struct AtLeast {
        const char* measure;
        long long LeakRun::*field;
        long long least;
    };
    const struct {
        const char* inject;
        unsigned cleanRounds;
        std::vector<AtLeast> atLeast;
    } kLeaks[] = {
        {"leak-handles", 0, {{"handles", &LeakRun::handles, 30}}},
        {"leak-memory",
         1,
         {{"privateBytes", &LeakRun::privateBytes, 30 * 0x10000},
          {"cleanPrivate", &LeakRun::cleanPrivate, 0x10000 * 20}}},
        {"leak-plugin-block", 0, {{"ourBlocks", &LeakRun::ourBlocks, 1}}},
    };
    for (const auto& leak : kLeaks) {
        SCOPED_TRACE(leak.inject);
        CampaignOptions o = Planted(leak.inject, 30);
        o.warmupRounds = 1;
        o.cleanRounds = leak.cleanRounds;
        const Figures f = RunCampaign(o);
        ASSERT_TRUE(f.fatal.empty()) << f.fatal;
        ASSERT_EQ(f.leakRuns.size(), 1u);
        for (const AtLeast& a : leak.atLeast) EXPECT_GE(f.leakRuns[0].*a.field, a.least) << a.measure;
        EXPECT_EQ(f.LeaksOver(), 1u);
    }
}

// Writes inputs --fuzz-first .. of --fuzz-seed to <output>/inputs, to look
// at or to try elsewhere; runs only when asked for by name.
TEST(FuzzTool, DISABLED_WriteInputs) {
    const CampaignOptions& o = Args().campaign;
    Corpus corpus;
    std::string missing;
    ASSERT_TRUE(corpus.Load(&missing)) << missing;
    const std::wstring dir = o.outDir + L"\\inputs";
    ::CreateDirectoryW(o.outDir.c_str(), nullptr);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    for (std::uint64_t i = o.first; i < o.first + o.inputs; ++i) {
        const Input input = MakeInput(corpus, o.seed, i);
        const std::wstring path = dir + L"\\seed" + std::to_wstring(o.seed) + L"-input" + std::to_wstring(i) + L".jxr";
        ASSERT_TRUE(WriteFileBytes(path, input.bytes.data(), input.bytes.size()));
        std::printf("%ls: %s of %s: %s\n", path.c_str(), MutationName(input.mutation), input.base->name.c_str(),
                    input.detail.c_str());
    }
}

// Worker mode: started by the tests above, never on its own.
TEST(FuzzWorker, DISABLED_Run) {
    if (!Args().worker) GTEST_SKIP() << "worker mode is for the fuzzing run's child processes";
    const int code = RunWorker(Args().workerOptions);
    std::fflush(stdout);
    EXPECT_EQ(code, 0);
}

}  // namespace testing_support
