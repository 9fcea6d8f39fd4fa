#include "host/requests.h"

#include "decode/picture_info.h"
#include "host/com_scope.h"
#include "host/input_source.h"
#include "output/picture_assembly.h"
#include "output/progress.h"

namespace rorurera {
namespace {

using Microsoft::WRL::ComPtr;

PluginResult PictureInfoFrom(const InputSource& source, PictureInfo* info) {
    ComScope scope;
    PluginResult result = scope.Open();
    if (result != PluginResult::Success) return result;

    ComPtr<IWICBitmapDecoder> decoder;
    result = OpenDecoder(scope.Factory(), source, decoder);
    if (result != PluginResult::Success) return result;
    return ReadPictureInfo(decoder.Get(), info);
}

PluginResult PictureFrom(const InputSource& source, HLOCAL* header, HLOCAL* bits, ProgressCallback callback,
                         LONG_PTR user) {
    const ProgressReporter progress(callback, user);
    if (progress.StopRequestedAt(0)) return PluginResult::Aborted;

    ComScope scope;
    PluginResult result = scope.Open();
    if (result != PluginResult::Success) return result;

    ComPtr<IWICBitmapDecoder> decoder;
    result = OpenDecoder(scope.Factory(), source, decoder);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(10)) return PluginResult::Aborted;

    return AssemblePicture(scope.Factory(), decoder.Get(), header, bits, progress);
}

}  // namespace

PluginResult PictureInfoFromFile(const wchar_t* path, PictureInfo* info) {
    return PictureInfoFrom(FileNameSource{path}, info);
}

PluginResult PictureInfoFromMemory(const void* data, LONG_PTR length, PictureInfo* info) {
    return PictureInfoFrom(MemorySource{data, length}, info);
}

PluginResult PictureFromFile(const wchar_t* path, HLOCAL* header, HLOCAL* bits, ProgressCallback callback,
                             LONG_PTR user) {
    return PictureFrom(FileNameSource{path}, header, bits, callback, user);
}

PluginResult PictureFromMemory(const void* data, LONG_PTR length, HLOCAL* header, HLOCAL* bits,
                               ProgressCallback callback, LONG_PTR user) {
    return PictureFrom(MemorySource{data, length}, header, bits, callback, user);
}

}  // namespace rorurera
