#include <windows.h>

#include "cli_output.h"
#include "commands.h"

namespace cli {

namespace {

// Calls ConfigurationDlg with no parent window and prints what it returned.
// Under Wine on Linux the windows need a display (see the README).
int ShowConfiguration(const susie::Plugin& plugin, const std::vector<std::wstring>& args, int function) {
    if (!args.empty()) return 2;
    if (plugin.ConfigurationDlg == nullptr) {
        Print(L"the module has no ConfigurationDlg export\n");
        return 1;
    }
    const int result = plugin.ConfigurationDlg(nullptr, function);
    Print(Format(L"ConfigurationDlg(%d): %d\n", function, result));
    return result == 0 ? 0 : 1;
}

}  // namespace

int RunConfig(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    return ShowConfiguration(plugin, args, 1);
}

int RunAbout(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    return ShowConfiguration(plugin, args, 0);
}

}  // namespace cli
