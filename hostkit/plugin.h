#pragma once

#include <string>

#include "common/host_types.h"

namespace susie {

// The exports' prototypes: stdcall, pointer-sized arguments where hosts pass
// them.
using GetPluginInfoFn = int(WINAPI*)(int number, LPSTR buffer, int size);
using GetPluginInfoWFn = int(WINAPI*)(int number, LPWSTR buffer, int size);
using IsSupportedFn = int(WINAPI*)(LPCSTR name, ULONG_PTR headerOrHandle);
using IsSupportedWFn = int(WINAPI*)(LPCWSTR name, ULONG_PTR headerOrHandle);
using GetPictureInfoFn = int(WINAPI*)(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, PictureInfo* info);
using GetPictureInfoWFn = int(WINAPI*)(LPCWSTR data, LONG_PTR offsetOrLength, unsigned int flag, PictureInfo* info);
using GetPictureFn = int(WINAPI*)(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header, HLOCAL* bits,
                                  ProgressCallback callback, LONG_PTR user);
using GetPictureWFn = int(WINAPI*)(LPCWSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header,
                                   HLOCAL* bits, ProgressCallback callback, LONG_PTR user);
using ConfigurationDlgFn = int(WINAPI*)(HWND parent, int function);

// A plug-in module loaded by path, with its exports resolved by their plain
// names. Missing exports stay null. The module is freed on destruction.
class Plugin {
    // First: the exports below are resolved from the module as they are made.
    HMODULE module_;
    DWORD loadError_;

public:
    explicit Plugin(const std::wstring& path)
        : module_(::LoadLibraryW(path.c_str())), loadError_(module_ == nullptr ? ::GetLastError() : 0) {}
    ~Plugin() {
        if (module_ != nullptr) ::FreeLibrary(module_);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    DWORD LoadError() const { return loadError_; }
    HMODULE Module() const { return module_; }
    FARPROC Resolve(const char* name) const { return module_ != nullptr ? ::GetProcAddress(module_, name) : nullptr; }

    GetPluginInfoFn GetPluginInfo = Export<GetPluginInfoFn>("GetPluginInfo");
    GetPluginInfoWFn GetPluginInfoW = Export<GetPluginInfoWFn>("GetPluginInfoW");
    IsSupportedFn IsSupported = Export<IsSupportedFn>("IsSupported");
    IsSupportedWFn IsSupportedW = Export<IsSupportedWFn>("IsSupportedW");
    GetPictureInfoFn GetPictureInfo = Export<GetPictureInfoFn>("GetPictureInfo");
    GetPictureInfoWFn GetPictureInfoW = Export<GetPictureInfoWFn>("GetPictureInfoW");
    GetPictureFn GetPicture = Export<GetPictureFn>("GetPicture");
    GetPictureWFn GetPictureW = Export<GetPictureWFn>("GetPictureW");
    GetPictureFn GetPreview = Export<GetPictureFn>("GetPreview");
    GetPictureWFn GetPreviewW = Export<GetPictureWFn>("GetPreviewW");
    ConfigurationDlgFn ConfigurationDlg = Export<ConfigurationDlgFn>("ConfigurationDlg");

private:
    template <typename Fn>
    Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(Resolve(name)));
    }
};

}  // namespace susie
