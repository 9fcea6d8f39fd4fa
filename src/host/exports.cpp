// The host interface: eleven exports with their argument checks and input-mode
// dispatch. Narrow exports convert the name with the ANSI code page and share
// the wide cores. No C++ exception leaves an export.

#include <windows.h>

#include <new>
#include <optional>
#include <string>

#include "common/host_types.h"
#include "common/plugin_result.h"
#include "host/format_detection.h"
#include "host/plugin_info.h"
#include "host/requests.h"
#include "host/text_conversion.h"
#include "settings/configuration.h"

using rorurera::FileNameSource;
using rorurera::InputSource;
using rorurera::MemorySource;
using rorurera::PictureInfo;
using rorurera::PluginResult;
using rorurera::ProgressCallback;

namespace {

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

bool FromFile(unsigned int flag) noexcept { return (flag & 7u) == susie::kFromFile; }

// What the host handed over, as the low three bits of the flag say: a file
// name (the offset is then not used: the file is read from its first byte)
// or a memory block; none for any other mode, or without data.
std::optional<InputSource> InputOf(unsigned int flag, const wchar_t* path, const void* data, LONG_PTR length) {
    if (data == nullptr) return std::nullopt;
    if (FromFile(flag)) return FileNameSource{path};
    if ((flag & 7u) == susie::kFromMemory) return MemorySource{data, length};
    return std::nullopt;
}

// The wide form of a narrow export's file name; empty in memory mode.
std::wstring WidePath(unsigned int flag, const char* data) {
    return FromFile(flag) && data != nullptr ? rorurera::WideFromAnsi(data) : std::wstring();
}

PluginResult PictureInfoCore(const std::optional<InputSource>& input, PictureInfo* info) {
    if (!input || info == nullptr) return PluginResult::InternalError;
    return rorurera::PictureInfoRequest(*input, info);
}

PluginResult PictureCore(const std::optional<InputSource>& input, HLOCAL* header, HLOCAL* bits,
                         ProgressCallback callback, LONG_PTR user) {
    if (!input || header == nullptr || bits == nullptr) return PluginResult::InternalError;
    return rorurera::PictureRequest(*input, header, bits, callback, user);
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
    return Guarded([&] { return PictureInfoCore(InputOf(flag, data, data, offsetOrLength), info); });
}

int WINAPI GetPictureInfo(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, PictureInfo* info) {
    return Guarded([&] {
        const std::wstring path = WidePath(flag, data);
        return PictureInfoCore(InputOf(flag, path.c_str(), data, offsetOrLength), info);
    });
}

int WINAPI GetPictureW(LPCWSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header, HLOCAL* bits,
                       ProgressCallback callback, LONG_PTR user) {
    return Guarded(
        [&] { return PictureCore(InputOf(flag, data, data, offsetOrLength), header, bits, callback, user); });
}

int WINAPI GetPicture(LPCSTR data, LONG_PTR offsetOrLength, unsigned int flag, HLOCAL* header, HLOCAL* bits,
                      ProgressCallback callback, LONG_PTR user) {
    return Guarded([&] {
        const std::wstring path = WidePath(flag, data);
        return PictureCore(InputOf(flag, path.c_str(), data, offsetOrLength), header, bits, callback, user);
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
