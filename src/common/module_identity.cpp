#include "common/module_identity.h"

namespace rorurera {
namespace {
HINSTANCE g_instance = nullptr;
}

HINSTANCE ModuleInstance() noexcept { return g_instance; }
void SetModuleInstance(HINSTANCE instance) noexcept { g_instance = instance; }

}  // namespace rorurera
