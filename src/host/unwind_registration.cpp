// The 32-bit module's unwind tables and the lock that guards them.
//
// The 32-bit runtime unwinds exceptions from DWARF tables, which the module
// registers with the runtime's unwinder at every load and deregisters at
// unload. The unwinder guards its list of tables with a lock that the
// POSIX-thread emulation creates on first use, on the heap, and that nobody
// destroys: without more, every load leaves that lock behind (tens of bytes,
// thousands of times in a host that loads and frees the module at will).
// The module is linked with --wrap for the two registration calls and the
// lock's acquisition, so that the lock taken while the tables are registered
// is noted and destroyed once they are deregistered, the last use of it.
// Registration and deregistration both run under the loader's lock, at load
// and at unload, so the note needs no guard of its own.

#ifndef _WIN64

#include <pthread.h>

extern "C" {

void __real___register_frame_info(const void* tables, void* object);
void* __real___deregister_frame_info(const void* tables);
int __real_pthread_mutex_lock(pthread_mutex_t* lock);

namespace {
bool registering = false;
pthread_mutex_t* tablesLock = nullptr;
}  // namespace

int __wrap_pthread_mutex_lock(pthread_mutex_t* lock) {
    if (registering && tablesLock == nullptr) tablesLock = lock;
    return __real_pthread_mutex_lock(lock);
}

void __wrap___register_frame_info(const void* tables, void* object) {
    registering = true;
    __real___register_frame_info(tables, object);
    registering = false;
}

void* __wrap___deregister_frame_info(const void* tables) {
    void* object = __real___deregister_frame_info(tables);
    if (tablesLock != nullptr) {
        ::pthread_mutex_destroy(tablesLock);
        tablesLock = nullptr;
    }
    return object;
}

}  // extern "C"

#endif  // _WIN64
