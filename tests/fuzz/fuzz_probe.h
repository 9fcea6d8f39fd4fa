#pragma once

// What a worker measures about its own process: handles, private memory and
// heap use (for the leak check), and which modules a call chain passes
// through (for telling whose code crashed). The chain functions run inside a
// crash or abort handler: they allocate nothing and take no heap lock.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace testing_support {

// Open handles, counted by asking GetHandleInformation about every handle
// value in turn (under Wine GetProcessHandleCount always answers 0).
std::size_t CountHandles();

// Return addresses of the call chain that starts at `context` (its
// instruction pointer first). 64-bit: the unwind tables. 32-bit: the frame
// pointer chain (Wine's modules keep frame pointers), and where it breaks, a
// search of the stack for a value just behind a call instruction in a loaded
// image (a heuristic: a stale value can be found).
// stackBase: the top of the stack that the context belongs to (0 for the
// calling thread's own stack). At most 64 entries; bit i of *scanned tells
// that entry i was found by searching the stack rather than by unwinding.
std::size_t CallChain(const CONTEXT& context, std::uintptr_t stackBase, const void** out, std::size_t max,
                      std::uint64_t* scanned);

// The top of the calling thread's stack.
std::uintptr_t CurrentStackBase();

// The chain of the calling code itself (for the abort handler), starting at
// its caller. 32-bit: the caller must keep a frame pointer for the chain to
// go on past it.
std::size_t CurrentCallChain(const void** out, std::size_t max, std::uint64_t* scanned);

// Writes "name.dll+0x1234" for an address into text (size bytes, always
// terminated); "?+0xADDRESS" when no module holds it. Returns the length.
std::size_t DescribeAddress(const void* address, char* text, std::size_t size);

}  // namespace testing_support
