#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include "common/plugin_result.h"

namespace rorurera {

// COM initialisation and one imaging factory for the duration of one request.
// Every successful initialisation of this scope is undone on destruction.
class ComScope {
public:
    ComScope() = default;
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // Initialises COM apartment-threaded (an apartment the thread already has
    // is kept) and creates the imaging factory.
    PluginResult Open() noexcept;

    IWICImagingFactory* Factory() const noexcept { return factory_.Get(); }

private:
    bool initialised_ = false;
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
};

}  // namespace rorurera
