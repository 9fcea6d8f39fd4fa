// Module attach and detach.

#include <windows.h>

#include "common/module_identity.h"
#include "decode/pixel_format_table.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        rorurera::SetModuleInstance(instance);
        ::DisableThreadLibraryCalls(instance);
        rorurera::PixelFormatTableAttach();
        break;
    case DLL_PROCESS_DETACH:
        rorurera::PixelFormatTableDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
