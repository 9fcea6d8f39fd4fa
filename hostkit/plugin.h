#pragma once

#include <string>

#include "common/host_types.h"

namespace susie {

// A plug-in module loaded by path, with its exports resolved by their plain
// names. Missing exports stay null. The module is freed on destruction.
class Plugin {
public:
    explicit Plugin(const std::wstring& path);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    DWORD LoadError() const { return loadError_; }
    HMODULE Module() const { return module_; }
    FARPROC Resolve(const char* name) const;

    GetPluginInfoFn GetPluginInfo = nullptr;
    GetPluginInfoWFn GetPluginInfoW = nullptr;
    IsSupportedFn IsSupported = nullptr;
    IsSupportedWFn IsSupportedW = nullptr;
    GetPictureInfoFn GetPictureInfo = nullptr;
    GetPictureInfoWFn GetPictureInfoW = nullptr;
    GetPictureFn GetPicture = nullptr;
    GetPictureWFn GetPictureW = nullptr;
    GetPictureFn GetPreview = nullptr;
    GetPictureWFn GetPreviewW = nullptr;
    ConfigurationDlgFn ConfigurationDlg = nullptr;

private:
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
};

}  // namespace susie
