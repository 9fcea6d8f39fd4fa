#include "fuzz/fuzz_probe.h"

namespace testing_support {
namespace {

#ifndef _WIN64
bool IsExecutableImage(const void* address, MEMORY_BASIC_INFORMATION* info = nullptr) {
    MEMORY_BASIC_INFORMATION mbi{};
    if (::VirtualQuery(address, &mbi, sizeof mbi) != sizeof mbi) return false;
    if (info != nullptr) *info = mbi;
    constexpr DWORD kExecute = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return mbi.State == MEM_COMMIT && mbi.Type == MEM_IMAGE && (mbi.Protect & kExecute) != 0;
}

bool Readable(const void* address) {
    MEMORY_BASIC_INFORMATION mbi{};
    if (::VirtualQuery(address, &mbi, sizeof mbi) != sizeof mbi) return false;
    if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) return false;
    return true;
}

// x86 return address: is the code just before it a call? E8 rel32, or
// FF /2 with a ModRM of 1 to 6 bytes in total.
bool FollowsCall(const std::uint8_t* ret) {
    if (!IsExecutableImage(ret) || !Readable(ret - 7)) return false;
    if (ret[-5] == 0xE8) return true;
    for (int length = 2; length <= 7; ++length) {
        if (ret[-length] == 0xFF && (ret[-length + 1] & 0x38) == 0x10) return true;
    }
    return false;
}
#endif

std::size_t Append(char* text, std::size_t size, std::size_t at, const char* part) {
    while (*part != '\0' && at + 1 < size) text[at++] = *part++;
    text[at] = '\0';
    return at;
}

std::size_t AppendHex(char* text, std::size_t size, std::size_t at, std::uintptr_t value) {
    char digits[2 + 2 * sizeof value + 1];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0);
    at = Append(text, size, at, "0x");
    while (n > 0 && at + 1 < size) text[at++] = digits[--n];
    text[at] = '\0';
    return at;
}

}  // namespace

std::size_t CountHandles() {
    // Handle values are multiples of 4; look far enough past the highest one
    // found that a gap cannot hide the rest.
    std::size_t count = 0;
    std::uintptr_t highest = 0;
    std::uintptr_t limit = 0x2000;
    for (std::uintptr_t value = 4; value < limit; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            highest = value;
            if (highest + 0x1000 > limit) limit = highest + 0x1000;
        }
    }
    return count;
}

// GCC 12 takes the segment-relative read inside NtCurrentTeb for an
// out-of-bounds array access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
std::uintptr_t CurrentStackBase() {
    const NT_TIB* tib = reinterpret_cast<const NT_TIB*>(::NtCurrentTeb());
    return reinterpret_cast<std::uintptr_t>(tib->StackBase);
}
#pragma GCC diagnostic pop

std::size_t CallChain(const CONTEXT& context, std::uintptr_t stackBase, const void** out, std::size_t max,
                      std::uint64_t* scanned) {
    if (max == 0) return 0;
    if (max > 64) max = 64;
    if (scanned != nullptr) *scanned = 0;
    std::size_t n = 0;
    const std::uintptr_t stackHigh = stackBase != 0 ? stackBase : CurrentStackBase();
#ifdef _WIN64
    // Unwinding only ever moves up the stack: the starting point bounds it below.
    const std::uintptr_t stackLow = context.Rsp;
#else
    const std::uintptr_t stackLow = context.Esp;
#endif
#ifdef _WIN64
    CONTEXT c = context;
    out[n++] = reinterpret_cast<const void*>(c.Rip);
    while (n < max) {
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(c.Rip, &imageBase, nullptr);
        if (function == nullptr) {
            // A leaf function, or no code at all (a call through a bad
            // pointer): the return address is on top of the stack.
            if (c.Rsp < stackLow || c.Rsp + 8 > stackHigh) break;
            c.Rip = *reinterpret_cast<const DWORD64*>(c.Rsp);
            c.Rsp += 8;
        } else {
            PVOID handlerData = nullptr;
            DWORD64 establisher = 0;
            ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, c.Rip, function, &c, &handlerData, &establisher, nullptr);
        }
        if (c.Rip == 0 || c.Rsp < stackLow || c.Rsp >= stackHigh) break;
        out[n++] = reinterpret_cast<const void*>(c.Rip);
    }
#else
    // No unwind tables: follow the frame-pointer chain. Wine's own modules
    // keep frame pointers, so the chain is exact through them and reaches
    // the return address into the first module that has none (the plug-in
    // or this program, built without), which is where the owner is decided.
    // Where the chain breaks, the next return address is searched on the
    // stack (marked "~" in the report: a value found this way can be stale).
    std::uintptr_t eip = context.Eip;
    std::uintptr_t esp = context.Esp;
    std::uintptr_t ebp = context.Ebp;
    out[n++] = reinterpret_cast<const void*>(eip);
    if (esp < stackLow || esp >= stackHigh) return n;
    if (!IsExecutableImage(reinterpret_cast<const void*>(eip)) && esp + 4 <= stackHigh) {
        // A call through a bad pointer: the return address is on top.
        eip = *reinterpret_cast<const std::uintptr_t*>(esp);
        esp += 4;
        if (FollowsCall(reinterpret_cast<const std::uint8_t*>(eip))) out[n++] = reinterpret_cast<const void*>(eip);
    }
    const std::uintptr_t scanTop = stackHigh - esp > 0x10000 ? esp + 0x10000 : stackHigh;
    while (n < max) {
        if (ebp >= esp && ebp + 8 <= stackHigh && (ebp & 3) == 0) {
            const std::uintptr_t ret = reinterpret_cast<const std::uintptr_t*>(ebp)[1];
            if (FollowsCall(reinterpret_cast<const std::uint8_t*>(ret))) {
                out[n++] = reinterpret_cast<const void*>(ret);
                esp = ebp + 8;
                ebp = reinterpret_cast<const std::uintptr_t*>(ebp)[0];
                continue;
            }
        }
        std::uintptr_t sp = esp;
        for (; sp + 4 <= scanTop; sp += 4) {
            const std::uintptr_t value = *reinterpret_cast<const std::uintptr_t*>(sp);
            if (value >= 0x10000 && FollowsCall(reinterpret_cast<const std::uint8_t*>(value))) break;
        }
        if (sp + 4 > scanTop) break;
        if (scanned != nullptr) *scanned |= 1ull << n;
        out[n++] = reinterpret_cast<const void*>(*reinterpret_cast<const std::uintptr_t*>(sp));
        esp = sp + 4;
    }
#endif
    return n;
}

__attribute__((noinline, optimize("no-omit-frame-pointer"))) std::size_t CurrentCallChain(const void** out,
                                                                                          std::size_t max,
                                                                                          std::uint64_t* scanned) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
#ifdef _WIN64
    ::RtlCaptureContext(&context);
#else
    // Wine's RtlCaptureContext describes the caller's caller by the frame
    // pointer; start from this function's own frame instead.
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    context.Ebp = static_cast<DWORD>(frame);
    context.Esp = static_cast<DWORD>(frame);
    context.Eip = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
    context.Ebp = *reinterpret_cast<const DWORD*>(frame);
    context.Esp = static_cast<DWORD>(frame + 8);
#endif
    return CallChain(context, 0, out, max, scanned);
}

std::size_t DescribeAddress(const void* address, char* text, std::size_t size) {
    if (size == 0) return 0;
    text[0] = '\0';
    HMODULE module = nullptr;
    std::size_t at = 0;
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCSTR>(address), &module) &&
        module != nullptr) {
        char path[MAX_PATH];
        const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
        const char* name = path;
        for (DWORD i = 0; i < length && i < MAX_PATH; ++i) {
            if (path[i] == '\\' || path[i] == '/') name = path + i + 1;
        }
        if (length == 0) name = "?module";
        at = Append(text, size, at, name);
        at = Append(text, size, at, "+");
        return AppendHex(text, size, at,
                         reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module));
    }
    at = Append(text, size, at, "?+");
    return AppendHex(text, size, at, reinterpret_cast<std::uintptr_t>(address));
}

}  // namespace testing_support
