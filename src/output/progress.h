#pragma once

#include "common/host_types.h"

namespace rorurera {

// The host's progress callback with its user value. Reports go out only when
// the host gave a callback; true means the host asked to stop.
class ProgressReporter {
public:
    ProgressReporter(ProgressCallback callback, LONG_PTR user) noexcept : callback_(callback), user_(user) {}

    bool StopRequestedAt(int percent) const { return callback_ != nullptr && callback_(percent, 100, user_) != 0; }

private:
    ProgressCallback callback_;
    LONG_PTR user_;
};

}  // namespace rorurera
