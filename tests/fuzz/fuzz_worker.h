#pragma once

// A worker: one child process that feeds a range of inputs through the
// plug-in and writes each call to its report file as it happens.

#include <cstdint>
#include <string>

namespace testing_support {

struct WorkerOptions {
    std::uint64_t seed = 0;
    std::uint64_t first = 0;        // first input number
    std::uint64_t count = 0;        // inputs to run
    std::wstring report;            // report file; the input file is written next to it
    unsigned warmupRounds = 1;      // rounds of the unchanged corpus before the base measurement
    unsigned cleanRounds = 2;       // rounds of the unchanged corpus after the fuzz inputs, measured
    unsigned checkpointEvery = 25;  // inputs between two leak measurements
    unsigned stallSeconds = 60;     // no report line for this long: a hang
    bool allSteps = false;
    unsigned stepMask = 0xFFF;  // bit i: call i of fuzz_steps.h may be made
    // GetPicture is left out for inputs whose image header (or directory)
    // claims more than this many bytes at 4 bytes a pixel; 0: no limit. The
    // 64-bit module really decodes pictures of a few GB from files of a few
    // hundred bytes (30 s and more each), too slow for the suite's run.
    std::uint64_t pictureLimit = 0;
    unsigned largeEvery = 0;  // of the inputs over the limit, those whose number is a multiple of this keep GetPicture
    unsigned parentPid = 0;   // the worker ends itself when this process has ended
    // Faults planted on purpose, for the harness's own tests:
    //   crash-ours:N      input N: GetPictureInfoW with a bad record pointer
    //                     (an access violation inside the plug-in)
    //   crash-harness:N   input N: an access violation in the worker itself
    //   abort-harness:N   input N: abort() from the worker itself
    //   exit-call:N       input N: ExitProcess from inside GetPicture (its
    //                     progress callback), leaving no record
    //   exit-harness:N    input N: ExitProcess between two calls
    //   hang:N            input N: the worker stops making progress
    //   leak-handles      one event handle kept per input (and per file of
    //                     the clean rounds)
    //   leak-memory       64 KB of private memory kept likewise
    //   leak-plugin-block the blocks of successful GetPicture calls are not
    //                     freed (blocks of the plug-in left alive)
    std::string inject;
};

// Runs the range; returns the process exit code (0 when the report ends
// with Z).
int RunWorker(const WorkerOptions& options);

}  // namespace testing_support
