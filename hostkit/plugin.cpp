#include "plugin.h"

namespace susie {
namespace {
template <typename Fn>
void ResolveInto(const Plugin& plugin, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(plugin.Resolve(name)));
}
}  // namespace

Plugin::Plugin(const std::wstring& path) {
    module_ = ::LoadLibraryW(path.c_str());
    if (module_ == nullptr) {
        loadError_ = ::GetLastError();
        return;
    }
    ResolveInto(*this, "GetPluginInfo", GetPluginInfo);
    ResolveInto(*this, "GetPluginInfoW", GetPluginInfoW);
    ResolveInto(*this, "IsSupported", IsSupported);
    ResolveInto(*this, "IsSupportedW", IsSupportedW);
    ResolveInto(*this, "GetPictureInfo", GetPictureInfo);
    ResolveInto(*this, "GetPictureInfoW", GetPictureInfoW);
    ResolveInto(*this, "GetPicture", GetPicture);
    ResolveInto(*this, "GetPictureW", GetPictureW);
    ResolveInto(*this, "GetPreview", GetPreview);
    ResolveInto(*this, "GetPreviewW", GetPreviewW);
    ResolveInto(*this, "ConfigurationDlg", ConfigurationDlg);
}

Plugin::~Plugin() {
    if (module_ != nullptr) ::FreeLibrary(module_);
}

FARPROC Plugin::Resolve(const char* name) const {
    return module_ != nullptr ? ::GetProcAddress(module_, name) : nullptr;
}

}  // namespace susie
