#pragma once

// The parent side of a fuzzing run: it hands ranges of inputs to worker
// processes (this same program in worker mode), reads their reports, tells
// whose code a dead worker died in, keeps the inputs that killed one, and
// sums the figures.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_steps.h"

namespace testing_support {

struct CampaignOptions {
    std::uint64_t seed = 0;
    std::uint64_t first = 0;
    std::uint64_t inputs = 1000;
    unsigned jobs = 1;     // workers at a time
    unsigned chunk = 250;  // inputs handed to one worker
    unsigned warmupRounds = 1;
    unsigned checkpointEvery = 25;
    unsigned stallSeconds = 60;
    bool allSteps = false;
    unsigned stepMask = 0xFFF;
    std::uint64_t pictureLimit = 0;  // see WorkerOptions
    unsigned largeEvery = 0;
    std::string inject;            // planted fault, for the harness's own tests
    std::wstring outDir;           // reports while running, kept inputs
    unsigned progressSeconds = 0;  // a progress line this often (0: none)
    // Leak check, per worker (see README.md): over the fuzz inputs, from the
    // measurement right after the warm-up to the last one, the process's
    // handles and the plug-in's own heap blocks; over the clean rounds at the
    // end, the whole process (handles, private memory, heap). A worker's fuzz
    // phase is judged when at least minJudgedInputs inputs lie between its
    // measurements.
    unsigned cleanRounds = 2;
    unsigned minJudgedInputs = 25;
    long long handleSlack = 4;
    long long ourBlockSlack = 0;
    long long ourByteSlack = 0;
    long long cleanPrivateSlack = 256 << 10;
    long long cleanHeapSlack = 64 << 10;
};

// Whose code a dead worker died in.
enum class Owner { Ours, Platform, TestProgram, Unknown };
const char* OwnerName(Owner owner);

struct Incident {
    enum Kind { Exception, Abort, Hang, SilentExit } kind = SilentExit;
    long long input = -1;
    int step = -1;  // -1: between two calls
    int mutation = -1;
    Owner owner = Owner::Unknown;
    std::string module;             // the module that decided the owner
    std::string place;              // its innermost frame in the chain (module+offset)
    std::string what;               // exception code, exit code
    std::string chain;              // module+offset, innermost first
    std::string message;            // the end of the worker's output (an assertion's text)
    std::string detail;             // the input: base file and mutation
    std::string saved;              // where the input was kept
    const char* covered = nullptr;  // an abort at a place the plug-in's check covers: what it refuses
};

// The places (module+offset, innermost frame) where Wine 8.0's JPEG XR
// decoder aborts on values that the plug-in refuses before it makes a
// decoder: what is refused there, or null for any other place. An abort at
// one of them means that a file got past the check.
const char* CoveredSite(const std::string& place);

// One worker's measurements (growth from first to last).
struct LeakRun {
    std::uint64_t inputs = 0;  // fuzz inputs between the two measurements
    long long handles = 0;     // process, over the fuzz inputs
    long long ourBlocks = 0;   // the plug-in's own heap blocks, same span
    long long ourBytes = 0;
    long long privateBytes = 0;  // process, same span (the platform's leaks included)
    long long heapBytes = 0;
    bool judged = false;
    bool clean = false;  // the clean rounds ran
    long long cleanHandles = 0, cleanPrivate = 0, cleanHeap = 0;
    bool over = false;
};

struct Figures {
    std::string module;
    int bits = 0;
    std::uint64_t seed = 0, first = 0, inputs = 0;
    std::uint64_t started = 0, finished = 0, calls = 0;
    std::uint64_t picturesLeftOut = 0;  // inputs whose GetPicture calls were left out (picture limit)
    std::uint64_t picturesSampled = 0;  // inputs over the limit that kept them
    std::uint64_t mutations[static_cast<int>(Mutation::Count)] = {};
    std::map<int, std::uint64_t> results[kFamilyCount];
    std::vector<Incident> incidents;
    std::uint64_t violations = 0;
    std::vector<std::string> violationSamples;
    std::vector<LeakRun> leakRuns;
    struct SlowCall {
        long long input = 0;
        int step = 0;
        int result = 0;
        unsigned long long ms = 0;
    };
    std::vector<SlowCall> slowest;  // the longest calls, longest first
    unsigned long long callMs = 0;  // all calls together
    unsigned workers = 0;
    double seconds = 0;
    std::string fatal;  // the run could not be carried out

    unsigned Crashes(Owner owner) const;  // exceptions, aborts and silent exits
    unsigned Hangs(Owner owner) const;
    unsigned CoveredAborts() const;  // the platform's aborts at a covered place
    unsigned LeaksOver() const;
    unsigned LeakRunsJudged() const;
};

Figures RunCampaign(const CampaignOptions& options);
void PrintFigures(const Figures& figures, const CampaignOptions& options, std::FILE* out);

// Decides the owner from a call chain (module names, innermost first): the
// first module that is neither a general runtime library nor unknown code.
Owner DecideOwner(const std::vector<std::string>& modules, bool skipLeadingTestProgram, std::string* decider);

}  // namespace testing_support
