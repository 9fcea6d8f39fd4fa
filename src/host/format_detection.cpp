#include "host/format_detection.h"

#include <shlwapi.h>

#include "common/owners.h"
#include "decode/container_format.h"
#include "host/com_scope.h"
#include "host/input_source.h"

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

// The host passes either a file handle (any value below 0x10000) or the
// address of a buffer with the file's first bytes.
constexpr ULONG_PTR kFirstBufferAddress = 0x10000;
constexpr LONG_PTR kHeaderBufferSize = 2048;

// The extensions taken, in any letter case. Compared by the system, without
// the language runtime's locale and regular expressions: those keep set-up
// state for the process that a module unloaded at will would leave behind.
constexpr const wchar_t* kExtensions[] = {L".jxr", L".hdp", L".wdp"};

PluginResult ContentTest(const wchar_t* name, ULONG_PTR headerOrHandle) {
    ComScope scope;
    PluginResult result = scope.Open();
    if (result != PluginResult::Success) return result;

    if (headerOrHandle < kFirstBufferAddress) {
        ComPtr<IWICBitmapDecoder> decoder;
        PluginResult result =
            OpenDecoder(scope.Factory(), FileHandleSource{reinterpret_cast<HANDLE>(headerOrHandle)}, decoder);
        if (result != PluginResult::Success) return result;
        return CheckJpegXrContainer(decoder.Get());
    }

    ComPtr<IWICBitmapDecoder> decoder;
    const PluginResult fromHeader = OpenDecoder(
        scope.Factory(), MemorySource{reinterpret_cast<const void*>(headerOrHandle), kHeaderBufferSize}, decoder);
    if (fromHeader == PluginResult::Success) return CheckJpegXrContainer(decoder.Get());
    if (name == nullptr || name[0] == L'\0') return fromHeader;

    // The header alone was not enough: try the whole file.
    const UniqueFileHandle file(
        ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        // A file that does not exist is taken on the strength of its name.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? PluginResult::Success : fromHeader;
    }
    ComPtr<IWICBitmapDecoder> fileDecoder;
    if (OpenDecoder(scope.Factory(), FileHandleSource{file.get()}, fileDecoder) != PluginResult::Success) {
        return fromHeader;
    }
    return CheckJpegXrContainer(fileDecoder.Get());
}

// True when the whole extension text, dot included, is one of them in any
// letter case.
bool MatchesJpegXrExtension(const wchar_t* extension) {
    for (const wchar_t* known : kExtensions) {
        if (::CompareStringOrdinal(extension, -1, known, -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

}  // namespace

int IsSupportedCore(const wchar_t* name, ULONG_PTR headerOrHandle) {
    if (name != nullptr) {
        const wchar_t* extension = ::PathFindExtensionW(name);
        if (extension != nullptr && !MatchesJpegXrExtension(extension)) return 0;
    }
    return ContentTest(name, headerOrHandle) == PluginResult::Success ? 1 : 0;
}

}  // namespace rorurera
