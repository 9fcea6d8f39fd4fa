#include "fuzz/fuzz_allocations.h"

#include <objbase.h>

#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <unordered_map>

namespace testing_support {
namespace {

CRITICAL_SECTION g_lock;
std::unordered_map<const void*, std::size_t>* g_live = nullptr;
long long g_bytes = 0;

void Add(const void* block, std::size_t size) {
    if (block == nullptr) return;
    ::EnterCriticalSection(&g_lock);
    auto [it, inserted] = g_live->emplace(block, size);
    if (!inserted) {
        g_bytes -= static_cast<long long>(it->second);
        it->second = size;
    }
    g_bytes += static_cast<long long>(size);
    ::LeaveCriticalSection(&g_lock);
}

void Remove(const void* block) {
    if (block == nullptr) return;
    ::EnterCriticalSection(&g_lock);
    auto it = g_live->find(block);
    if (it != g_live->end()) {
        g_bytes -= static_cast<long long>(it->second);
        g_live->erase(it);
    }
    ::LeaveCriticalSection(&g_lock);
}

// The real functions, as the module's import table held them.
decltype(&::malloc) g_malloc;
decltype(&::calloc) g_calloc;
decltype(&::realloc) g_realloc;
decltype(&::free) g_free;
decltype(&::_strdup) g_strdup;
decltype(&::_wcsdup) g_wcsdup;
decltype(&::LocalAlloc) g_localAlloc;
decltype(&::LocalReAlloc) g_localReAlloc;
decltype(&::LocalFree) g_localFree;
decltype(&::HeapAlloc) g_heapAlloc;
decltype(&::HeapReAlloc) g_heapReAlloc;
decltype(&::HeapFree) g_heapFree;
decltype(&::GlobalAlloc) g_globalAlloc;
decltype(&::GlobalFree) g_globalFree;
decltype(&::CoTaskMemAlloc) g_coTaskMemAlloc;
decltype(&::CoTaskMemFree) g_coTaskMemFree;

void* __cdecl Malloc(std::size_t size) {
    void* p = g_malloc(size);
    Add(p, size);
    return p;
}
void* __cdecl Calloc(std::size_t n, std::size_t size) {
    void* p = g_calloc(n, size);
    Add(p, n * size);
    return p;
}
void* __cdecl Realloc(void* old, std::size_t size) {
    void* p = g_realloc(old, size);
    if (p != nullptr || size == 0) Remove(old);
    Add(p, size);
    return p;
}
void __cdecl Free(void* p) {
    Remove(p);
    g_free(p);
}
char* __cdecl Strdup(const char* text) {
    char* p = g_strdup(text);
    if (p != nullptr) Add(p, std::strlen(p) + 1);
    return p;
}
wchar_t* __cdecl Wcsdup(const wchar_t* text) {
    wchar_t* p = g_wcsdup(text);
    if (p != nullptr) Add(p, (std::wcslen(p) + 1) * sizeof(wchar_t));
    return p;
}
HLOCAL WINAPI LocalAllocHook(UINT flags, SIZE_T size) {
    HLOCAL h = g_localAlloc(flags, size);
    Add(h, size);
    return h;
}
HLOCAL WINAPI LocalReAllocHook(HLOCAL old, SIZE_T size, UINT flags) {
    HLOCAL h = g_localReAlloc(old, size, flags);
    if (h != nullptr) {
        Remove(old);
        Add(h, size);
    }
    return h;
}
HLOCAL WINAPI LocalFreeHook(HLOCAL h) {
    Remove(h);
    return g_localFree(h);
}
LPVOID WINAPI HeapAllocHook(HANDLE heap, DWORD flags, SIZE_T size) {
    LPVOID p = g_heapAlloc(heap, flags, size);
    Add(p, size);
    return p;
}
LPVOID WINAPI HeapReAllocHook(HANDLE heap, DWORD flags, LPVOID old, SIZE_T size) {
    LPVOID p = g_heapReAlloc(heap, flags, old, size);
    if (p != nullptr) {
        Remove(old);
        Add(p, size);
    }
    return p;
}
BOOL WINAPI HeapFreeHook(HANDLE heap, DWORD flags, LPVOID p) {
    Remove(p);
    return g_heapFree(heap, flags, p);
}
HGLOBAL WINAPI GlobalAllocHook(UINT flags, SIZE_T size) {
    HGLOBAL h = g_globalAlloc(flags, size);
    Add(h, size);
    return h;
}
HGLOBAL WINAPI GlobalFreeHook(HGLOBAL h) {
    Remove(h);
    return g_globalFree(h);
}
LPVOID WINAPI CoTaskMemAllocHook(SIZE_T size) {
    LPVOID p = g_coTaskMemAlloc(size);
    Add(p, size);
    return p;
}
void WINAPI CoTaskMemFreeHook(LPVOID p) {
    Remove(p);
    g_coTaskMemFree(p);
}

struct Wrapper {
    const char* name;
    void* hook;
    void** original;
};

template <typename Fn>
Wrapper Wrap(const char* name, std::type_identity_t<Fn> hook, Fn& original) {
    return Wrapper{name, reinterpret_cast<void*>(hook), reinterpret_cast<void**>(&original)};
}

}  // namespace

bool TrackAllocations(HMODULE module, std::string* wrapped, std::string* error) {
    static bool initialised = false;
    if (!initialised) {
        ::InitializeCriticalSection(&g_lock);
        g_live = new std::unordered_map<const void*, std::size_t>();
        initialised = true;
    }
    const Wrapper wrappers[] = {
        Wrap("malloc", Malloc, g_malloc),
        Wrap("calloc", Calloc, g_calloc),
        Wrap("realloc", Realloc, g_realloc),
        Wrap("free", Free, g_free),
        Wrap("_strdup", Strdup, g_strdup),
        Wrap("_wcsdup", Wcsdup, g_wcsdup),
        Wrap("LocalAlloc", LocalAllocHook, g_localAlloc),
        Wrap("LocalReAlloc", LocalReAllocHook, g_localReAlloc),
        Wrap("LocalFree", LocalFreeHook, g_localFree),
        Wrap("HeapAlloc", HeapAllocHook, g_heapAlloc),
        Wrap("HeapReAlloc", HeapReAllocHook, g_heapReAlloc),
        Wrap("HeapFree", HeapFreeHook, g_heapFree),
        Wrap("GlobalAlloc", GlobalAllocHook, g_globalAlloc),
        Wrap("GlobalFree", GlobalFreeHook, g_globalFree),
        Wrap("CoTaskMemAlloc", CoTaskMemAllocHook, g_coTaskMemAlloc),
        Wrap("CoTaskMemFree", CoTaskMemFreeHook, g_coTaskMemFree),
    };

    auto* base = reinterpret_cast<std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        *error = "not a PE image";
        return false;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        *error = "no import table";
        return false;
    }
    bool freeWrapped = false, mallocWrapped = false;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); d->Name != 0;
         ++d) {
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            for (const Wrapper& w : wrappers) {
                if (std::strcmp(name, w.name) != 0) continue;
                DWORD old = 0;
                if (!::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) {
                    *error = std::string("cannot write the import slot of ") + name;
                    return false;
                }
                *w.original = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<std::uintptr_t>(w.hook);
                ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
                if (!wrapped->empty()) *wrapped += ' ';
                *wrapped += name;
                if (std::strcmp(name, "free") == 0) freeWrapped = true;
                if (std::strcmp(name, "malloc") == 0) mallocWrapped = true;
            }
        }
    }
    if (mallocWrapped != freeWrapped) {
        *error = "malloc and free are not both imported";
        return false;
    }
    return true;
}

Tracked TrackedLive() {
    Tracked t;
    if (g_live == nullptr) return t;
    ::EnterCriticalSection(&g_lock);
    t.blocks = static_cast<long long>(g_live->size());
    t.bytes = g_bytes;
    ::LeaveCriticalSection(&g_lock);
    return t;
}

void ForgetTracked(const void* block) {
    if (g_live != nullptr) Remove(block);
}

}  // namespace testing_support
