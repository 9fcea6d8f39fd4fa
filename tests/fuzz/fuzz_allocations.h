#pragma once

// The plug-in's own heap blocks, apart from the platform's leaks (README.md
// in this folder, "Leaks"): the blocks that the plug-in module itself
// allocates and frees. Its import table entries for the C runtime's and the
// system's allocators are pointed at counting wrappers. COM objects, which
// other modules allocate, are not counted here; a COM object left behind
// shows in the handle count (file mode) and in the clean rounds at the end of
// each worker.

#include <windows.h>

#include <cstdint>
#include <string>

namespace testing_support {

// Installs the wrappers into `module`'s import table; the names of the
// functions wrapped go to *wrapped (for the report).
bool TrackAllocations(HMODULE module, std::string* wrapped, std::string* error);

struct Tracked {
    long long blocks = 0;
    long long bytes = 0;
};
// Blocks allocated by the module and not freed yet.
Tracked TrackedLive();

// A block handed to the host, which frees it itself (not through the module).
void ForgetTracked(const void* block);

}  // namespace testing_support
