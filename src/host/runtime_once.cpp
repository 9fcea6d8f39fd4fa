// One-time initialisations of the language runtime linked into the module.
//
// The runtime's own set-up steps call pthread_once: the 32-bit module's
// unwind-table registration each time it is loaded, the exception
// machinery's thread-local set-up the first time an exception is thrown. The
// POSIX-thread emulation's version of it takes a TLS slot and a record for
// the calling thread (a thread handle and an event) that no unload releases.
// The module is linked with --wrap=pthread_once so that those calls come here
// instead: the same contract on the same pthread_once_t, with interlocked
// operations only and nothing kept.

#include <windows.h>

#include <pthread.h>

#include <cerrno>

namespace {

static_assert(sizeof(pthread_once_t) == sizeof(LONG));
constexpr LONG kNotRun = PTHREAD_ONCE_INIT;
constexpr LONG kDone = 1;  // the emulation's own value for a finished control
constexpr LONG kRunning = 2;

}  // namespace

extern "C" int __wrap_pthread_once(pthread_once_t* control, void (*routine)(void)) {
    if (control == nullptr || routine == nullptr) return EINVAL;
    auto* state = reinterpret_cast<volatile LONG*>(control);
    if (::InterlockedCompareExchange(state, kRunning, kNotRun) == kNotRun) {
        routine();
        ::InterlockedExchange(state, kDone);
        return 0;
    }
    // Another thread runs the routine: wait until it has finished.
    while (::InterlockedCompareExchange(state, kDone, kDone) != kDone) ::SwitchToThread();
    return 0;
}
