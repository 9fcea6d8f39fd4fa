// Module attach and detach.
//
// Hosts load and free the module at will, thousands of times in one process
// and from any thread: nothing the module sets up may outlive FreeLibrary.
// The module therefore reaches none of the language runtime's parts that keep
// per-process or per-thread records of their own (thread-safe local statics,
// locales, regular expressions, thread-local variables): in this statically
// linked runtime they set up the POSIX-thread emulation, whose thread-local
// slot and per-thread records are never released when a module goes away.
// The runtime's own one-time set-up goes through runtime_once.cpp.

#include <windows.h>

#include "output/profile_transform.h"

// The language runtime's release of its reserve for exceptions thrown when
// memory runs out (about 70 KB, taken when the module loads).
namespace __gnu_cxx {
void __freeres() noexcept;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) rorurera::ColorManagementAttach();
    if (reason == DLL_PROCESS_DETACH) {
        rorurera::ColorManagementDetach();
        // Only on FreeLibrary: when the process ends, nothing needs freeing.
        if (reserved == nullptr) __gnu_cxx::__freeres();
    }
    return TRUE;
}
