// Module attach and detach.

#include <windows.h>

#include "common/module_identity.h"
#include "decode/pixel_format_table.h"

namespace {

// The language runtime linked into this module keeps per-thread records
// (with a thread handle and an event each) for threads that used it; they are
// freed when such a thread ends while the module is loaded. A host that
// unloads the module on the thread that used it would otherwise lose them on
// every unload: this module's thread-local-storage callbacks are run for the
// calling thread as if it were ending, before the module goes away.
void ReleaseCallingThreadRecords(HINSTANCE self) noexcept {
    auto* base = reinterpret_cast<unsigned char*>(self);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS];
    if (entry.VirtualAddress == 0) return;
    const auto* tls = reinterpret_cast<const IMAGE_TLS_DIRECTORY*>(base + entry.VirtualAddress);
    auto* callback = reinterpret_cast<PIMAGE_TLS_CALLBACK*>(tls->AddressOfCallBacks);
    for (; callback != nullptr && *callback != nullptr; ++callback) (*callback)(self, DLL_THREAD_DETACH, nullptr);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        rorurera::SetModuleInstance(instance);
        rorurera::PixelFormatTableAttach();
        break;
    case DLL_PROCESS_DETACH:
        rorurera::PixelFormatTableDetach();
        // Only on FreeLibrary: when the process ends, nothing needs freeing.
        if (reserved == nullptr) ReleaseCallingThreadRecords(instance);
        break;
    default:
        break;
    }
    return TRUE;
}
