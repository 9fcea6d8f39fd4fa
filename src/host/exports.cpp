// The host interface: eleven exports with their argument checks and input-mode
// dispatch. Narrow exports convert the name with the ANSI code page and share
// the wide cores. No C++ exception leaves an export.

#include <windows.h>

#include <new>
#include <string>

#include "common/host_types.h"
#include "common/plugin_result.h"
#include "host/format_detection.h"
#include "host/plugin_info.h"
#include "host/requests.h"
#include "host/text_conversion.h"
#include "settings/configuration.h"

using rorurera::PictureInfo;
using rorurera::PluginResult;
using rorurera::ProgressCallback;

namespace {

// The low three bits of the flag argument select the input.
enum class InputMode { File, Memory, Unsupported };

InputMode ModeOf(unsigned int flag) noexcept {
    switch (flag & 7u) {
    case 0: return InputMode::File;
    case 1: return InputMode::Memory;
    default: return InputMode::Unsupported;
    }
}

// Runs a request core; an exception that rises inside becomes a result:
// OutOfMemory for a failed allocation, InternalError for anything else.
template <typename Core>
int Guarded(Core&& core) noexcept {
    try {
        return rorurera::ToInt(core());
    } catch (const std::bad_alloc&) {
        return rorurera::ToInt(PluginResult::OutOfMemory);
    } catch (...) {
        return rorurera::ToInt(PluginResult::InternalError);
    }
}

// For the exports that answer with a count or a yes/no: any exception is 0.
template <typename Core>
int GuardedOrZero(Core&& core) noexcept {
    try {
        return core();
    } catch (...) {
        return 0;
    }
}

PluginResult PictureInfoCore(const wchar_t* path, const void* data, LONG_PTR length, InputMode mode,
                             PictureInfo* info) {
    return mode == InputMode::File ? rorurera::PictureInfoFromFile(path, info)
                                   : rorurera::PictureInfoFromMemory(data, length, info);
}

PluginResult PictureCore(const wchar_t* path, const void* data, LONG_PTR length, InputMode mode, HLOCAL* header,
                         HLOCAL* bits, ProgressCallback callback, LONG_PTR user) {
    return mode == InputMode::File ? rorurera::PictureFromFile(path, header, bits, callback, user)
                                   : rorurera::PictureFromMemory(data, length, header, bits, callback, user);
}

}  // namespace

extern "C" {

int WINAPI GetPluginInfoW(int number, LPWSTR buffer, int size) {
    return GuardedOrZero([&] { return rorurera::CopyPluginInfoW(number, buffer, size); });
}

int WINAPI GetPluginInfo(int number, LPSTR buffer, int size) {
    return GuardedOrZero([&] { return rorurera::CopyPluginInfoA(number, buffer, size); });
}

int WINAPI IsSupportedW(LPCWSTR name, ULONG_PTR headerOrHandle) {
    return GuardedOrZero([&] { return rorurera::IsSupportedCore(name, headerOrHandle); });
}

int WINAPI IsSupported(LPCSTR name, ULONG_PTR headerOrHandle) {
    // A null narrow name becomes an empty wide one, which no extension matches.
    return GuardedOrZero([&] {
        const std::wstring wide = rorurera::WideFromAnsi(name);
        return rorurera::IsSupportedCore(wide.c_str(), headerOrHandle);
    });
}

int WINAPI GetPictureInfoW(LPCWSTR data, LONG_PTR offsetOrLength, unsigned int flag, PictureInfo* info) {
    return Guarded([&] {
        const InputMode mode = ModeOf(flag);
        if (data == nullptr || info == nullptr || mode == InputMode::Unsupported) {
            return PluginResult::InternalError;
        }
        // In file mode the offset is not used: the file is read from its first byte.
        return PictureInfoCore(data, data, offsetOrLength, mode, info);
    });
}

int WINAPI GetPictureInfo(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, PictureInfo* info) {
    return Guarded([&] {
        const InputMode mode = ModeOf(flag);
        if (data == nullptr || info == nullptr || mode == InputMode::Unsupported) {
            return PluginResult::InternalError;
        }
        if (mode == InputMode::Memory) return PictureInfoCore(nullptr, data, offsetOrLength, mode, info);
        const std::wstring path = rorurera::WideFromAnsi(data);
        return PictureInfoCore(path.c_str(), nullptr, 0, mode, info);
    });
}

int WINAPI GetPictureW(LPCWSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header, HLOCAL* bits,
                       ProgressCallback callback, LONG_PTR user) {
    return Guarded([&] {
        const InputMode mode = ModeOf(flag);
        if (data == nullptr || header == nullptr || bits == nullptr || mode == InputMode::Unsupported) {
            return PluginResult::InternalError;
        }
        return PictureCore(data, data, offsetOrLength, mode, header, bits, callback, user);
    });
}

int WINAPI GetPicture(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header, HLOCAL* bits,
                      ProgressCallback callback, LONG_PTR user) {
    return Guarded([&] {
        const InputMode mode = ModeOf(flag);
        if (data == nullptr || header == nullptr || bits == nullptr || mode == InputMode::Unsupported) {
            return PluginResult::InternalError;
        }
        if (mode == InputMode::Memory) {
            return PictureCore(nullptr, data, offsetOrLength, mode, header, bits, callback, user);
        }
        const std::wstring path = rorurera::WideFromAnsi(data);
        return PictureCore(path.c_str(), nullptr, 0, mode, header, bits, callback, user);
    });
}

// Exported as GetPreview and GetPreviewW: this plug-in offers no preview.
int WINAPI GetPreview(LPCSTR, LONG_PTR, unsigned int, HLOCAL*, HLOCAL*, ProgressCallback, LONG_PTR) {
    return rorurera::ToInt(PluginResult::NotImplemented);
}

int WINAPI ConfigurationDlg(HWND parent, int function) {
    return Guarded([&] { return rorurera::ShowConfiguration(parent, function); });
}

}  // extern "C"
