#pragma once

#include <string>
#include <vector>

#include "plugin.h"

namespace cli {

// Each command gets the loaded plug-in and the arguments after the module
// path; it returns the program's exit code.
int RunInfo(const susie::Plugin& plugin, const std::vector<std::wstring>& args);
int RunProbe(const susie::Plugin& plugin, const std::vector<std::wstring>& args);
int RunDecode(const susie::Plugin& plugin, const std::vector<std::wstring>& args);
int RunConfig(const susie::Plugin& plugin, const std::vector<std::wstring>& args);
int RunAbout(const susie::Plugin& plugin, const std::vector<std::wstring>& args);

}  // namespace cli
