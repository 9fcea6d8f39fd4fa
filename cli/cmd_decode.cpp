#include "cli_output.h"
#include "commands.h"

namespace cli {

int RunDecode(const susie::Plugin&, const std::vector<std::wstring>&) {
    Print(L"decode: not available yet\n");
    return 1;
}

}  // namespace cli
