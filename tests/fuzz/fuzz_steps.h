#pragma once

// The calls a worker makes for each input, and the lines of its report.

#include <cstdint>

namespace testing_support {

// Each input goes through one call of each pair below (narrow or wide picked
// per input), or through all twelve with --fuzz-all-steps.
enum Step : int {
    kIsSupportedHeader,   // IsSupported, 2 KB header buffer
    kIsSupportedWHeader,  // IsSupportedW, 2 KB header buffer
    kIsSupportedHandle,   // IsSupported, file handle
    kIsSupportedWHandle,  // IsSupportedW, file handle
    kGetPictureInfoFile,
    kGetPictureInfoWFile,
    kGetPictureInfoMemory,
    kGetPictureInfoWMemory,
    kGetPictureFile,
    kGetPictureWFile,
    kGetPictureMemory,
    kGetPictureWMemory,
    kStepCount
};

inline const char* StepName(int step) {
    static const char* const kNames[kStepCount] = {
        "IsSupported(header)",  "IsSupportedW(header)",  "IsSupported(handle)",    "IsSupportedW(handle)",
        "GetPictureInfo(file)", "GetPictureInfoW(file)", "GetPictureInfo(memory)", "GetPictureInfoW(memory)",
        "GetPicture(file)",     "GetPictureW(file)",     "GetPicture(memory)",     "GetPictureW(memory)",
    };
    if (step == -1) return "(between calls)";  // as reports and incidents number it
    return step >= 0 && step < kStepCount ? kNames[step] : "?";
}

// Three families of calls, for the result figures.
enum Family : int { kFamilyIsSupported, kFamilyPictureInfo, kFamilyPicture, kFamilyCount };
inline int FamilyOf(int step) { return step / 4; }
inline const char* FamilyName(int family) {
    static const char* const kNames[kFamilyCount] = {"IsSupported", "GetPictureInfo", "GetPicture"};
    return family >= 0 && family < kFamilyCount ? kNames[family] : "?";
}

// Report lines (one per event, written straight to the file so that they
// survive the worker's death):
//   S <pid>                          worker started
//   I <input> <mutation> <base> <size> <what was done>   input made, calls follow
//   B <input> <step>                 call begins
//   E <input> <step> <result> <ms>   call returned after <ms> milliseconds
//   V <input> <step> <text>          a returned value broke a rule
//   K <input>                        GetPicture left out: too large for the run
//   G <input>                        GetPicture made although over the limit (sample)
//   D <input>                        input done
//   T <names>                        allocators of the plug-in being counted
//   C <label> <handles> <private> <heap> <our blocks> <our bytes>
//                                    measurement; label: "base" right after
//                                    the warm-up, the number of fuzz inputs
//                                    done, "clean0" / "clean" around the clean
//                                    rounds at the end
//   X <code> <address> <chain...>    unhandled exception (chain: module+offset)
//   A <chain...>                     abort() was called (chain from the handler)
//   F <text>                         the worker cannot run
//   Z                                worker finished
// Inputs are numbered within the run; warm-up calls use input -1, clean
// rounds -2.

}  // namespace testing_support
