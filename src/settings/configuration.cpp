#include "settings/configuration.h"

#include "common/module_identity.h"
#include "settings/resource.h"
#include "settings/settings_dialog.h"

namespace rorurera {

PluginResult ShowConfiguration(HWND parent, int function) {
    switch (function) {
    case 0:
        // The about box: the version text under the module's file name.
        return ::MessageBoxW(parent, kVersionText, kModuleFileName, MB_OK) != 0 ? PluginResult::Success
                                                                                : PluginResult::InternalError;
    case 1:
        // OK and Cancel both count as success; -1 means the dialog could not
        // be created or could not save.
        return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_SETTINGS), parent, SettingsDialogProc, 0) == -1
                   ? PluginResult::InternalError
                   : PluginResult::Success;
    default: return PluginResult::NotImplemented;
    }
}

}  // namespace rorurera
