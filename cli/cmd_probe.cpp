#include <windows.h>

#include <vector>

#include "cli_output.h"
#include "commands.h"

namespace cli {

// The format test as most hosts make it: the file's first 2 KB in a
// zero-filled buffer, with the file's name.
int RunProbe(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    if (args.size() != 1) return 2;
    const std::wstring& file = args[0];
    if (plugin.IsSupportedW == nullptr) {
        Print(L"the module has no IsSupportedW export\n");
        return 1;
    }
    std::vector<char> header(2048, 0);
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Print(Format(L"cannot open %ls (error %lu)\n", file.c_str(), ::GetLastError()));
        return 1;
    }
    DWORD read = 0;
    ::ReadFile(handle, header.data(), static_cast<DWORD>(header.size()), &read, nullptr);
    ::CloseHandle(handle);

    const int supported = plugin.IsSupportedW(file.c_str(), reinterpret_cast<ULONG_PTR>(header.data()));
    Print(Format(L"IsSupported: %d (%ls)\n", supported, supported ? L"supported" : L"not supported"));
    return 0;
}

}  // namespace cli
