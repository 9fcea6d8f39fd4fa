// susiehost: a small Susie host of ours. It loads any import plug-in by path
// and prints what the plug-in answers.
//
//   susiehost info   MODULE                       the plug-in information texts
//   susiehost probe  MODULE FILE                  the format test and the picture information
//   susiehost decode MODULE FILE OUT.bmp [--memory]
//                                                 decode FILE into a BMP file
//   susiehost config MODULE                       the plug-in's settings dialog
//   susiehost about  MODULE                       the plug-in's about box
//
// Output is UTF-8.

#include <windows.h>

#include <string>
#include <vector>

#include "cli_output.h"
#include "commands.h"
#include "plugin.h"

namespace cli {

int RunInfo(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    if (!args.empty()) return 2;
    if (plugin.GetPluginInfoW == nullptr) {
        Print(L"the module has no GetPluginInfoW export\n");
        return 1;
    }
    for (int number = 0;; ++number) {
        wchar_t text[512] = {};
        const int length = plugin.GetPluginInfoW(number, text, 512);
        if (length <= 0) break;
        Print(Format(L"info %d: %ls\n", number, text));
    }
    return 0;
}

}  // namespace cli

namespace {

int Usage() {
    cli::Print(
        L"usage: susiehost COMMAND MODULE [ARGS...]\n"
        L"commands:\n"
        L"  info   MODULE                          print the plug-in's information texts\n"
        L"  probe  MODULE FILE                     format test and picture information of FILE\n"
        L"  decode MODULE FILE OUT.bmp [--memory]  decode FILE into a BMP file (--memory: from memory)\n"
        L"  config MODULE                          open the plug-in's settings dialog\n"
        L"  about  MODULE                          open the plug-in's about box\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    const std::wstring command = argv[1];
    const std::wstring modulePath = argv[2];
    const std::vector<std::wstring> args(argv + 3, argv + argc);

    using Command = int (*)(const susie::Plugin&, const std::vector<std::wstring>&);
    const struct {
        const wchar_t* name;
        Command run;
    } commands[] = {
        {L"info", cli::RunInfo},     {L"probe", cli::RunProbe}, {L"decode", cli::RunDecode},
        {L"config", cli::RunConfig}, {L"about", cli::RunAbout},
    };
    for (const auto& c : commands) {
        if (command != c.name) continue;
        susie::Plugin plugin(modulePath);
        if (!plugin.Loaded()) {
            cli::Print(cli::Format(L"cannot load %ls (error %lu)\n", modulePath.c_str(), plugin.LoadError()));
            return 1;
        }
        const int code = c.run(plugin, args);
        return code == 2 ? Usage() : code;
    }
    return Usage();
}
