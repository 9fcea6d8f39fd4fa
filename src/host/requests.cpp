#include "host/requests.h"

#include "decode/picture_info.h"
#include "host/com_scope.h"
#include "host/input_source.h"
#include "output/picture_assembly.h"
#include "output/progress.h"

namespace rorurera {

using Microsoft::WRL::ComPtr;

namespace {

// COM and the imaging factory for the request, and a decoder over the source.
PluginResult Open(const InputSource& source, ComScope& scope, ComPtr<IWICBitmapDecoder>& decoder) {
    const PluginResult result = scope.Open();
    return result == PluginResult::Success ? OpenDecoder(scope.Factory(), source, decoder) : result;
}

}  // namespace

PluginResult PictureInfoRequest(const InputSource& source, PictureInfo* info) {
    ComScope scope;
    ComPtr<IWICBitmapDecoder> decoder;
    const PluginResult result = Open(source, scope, decoder);
    return result == PluginResult::Success ? ReadPictureInfo(decoder.Get(), info) : result;
}

PluginResult PictureRequest(const InputSource& source, HLOCAL* header, HLOCAL* bits, ProgressCallback callback,
                            LONG_PTR user) {
    const ProgressReporter progress(callback, user);
    if (progress.StopRequestedAt(0)) return PluginResult::Aborted;

    ComScope scope;
    ComPtr<IWICBitmapDecoder> decoder;
    const PluginResult result = Open(source, scope, decoder);
    if (result != PluginResult::Success) return result;
    if (progress.StopRequestedAt(10)) return PluginResult::Aborted;

    return AssemblePicture(scope.Factory(), decoder.Get(), header, bits, progress);
}

}  // namespace rorurera
