#include "cli_output.h"
#include "commands.h"

namespace cli {

int RunConfig(const susie::Plugin&, const std::vector<std::wstring>&) {
    Print(L"config: not available yet\n");
    return 1;
}

int RunAbout(const susie::Plugin&, const std::vector<std::wstring>&) {
    Print(L"about: not available yet\n");
    return 1;
}

}  // namespace cli
