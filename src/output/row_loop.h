#pragma once

// Row loops of the pixel stages: on the Windows thread pool and the calling
// thread in the 32-bit module (all waited for), on the calling thread in the
// 64-bit one; every row is handled by exactly one thread either way. The
// choice is made when row_loop.cpp alone is compiled (RORURERA_ROWS_ON_POOL),
// so a 64-bit test build with the pool loops runs the 32-bit module's code.

#include <cstdint>

namespace rorurera {

// Handles rows [first, end). Must not throw: it may run on a pool thread,
// where an exception could not travel back.
using RowRangeFn = void (*)(void* context, std::uint32_t first, std::uint32_t end) noexcept;

// All rows on the calling thread, in order.
void RunRowsOnCallingThread(std::uint32_t rows, RowRangeFn fn, void* context) noexcept;

// Rows in chunks on the thread pool and the calling thread; returns when
// every chunk has run. Falls back to the calling thread when no pool work
// can be created.
void RunRowsOnThreadPool(std::uint32_t rows, RowRangeFn fn, void* context) noexcept;

// Whether RunRows spreads rows over threads in this module: stages that
// rewrite rows in place pick their partition by it.
bool RowsOnThreads() noexcept;

// The module's choice: the thread pool in the 32-bit module, the calling
// thread in the 64-bit one.
void RunRows(std::uint32_t rows, RowRangeFn fn, void* context) noexcept;

// Calls body(row) once for every row in [0, rows); body must be noexcept.
template <typename Body>
void ForEachRow(std::uint32_t rows, const Body& body) noexcept {
    static_assert(noexcept(body(std::uint32_t{0})), "a row body must not throw");
    RunRows(
        rows,
        [](void* context, std::uint32_t first, std::uint32_t end) noexcept {
            const Body& rowBody = *static_cast<const Body*>(context);
            for (std::uint32_t row = first; row < end; ++row) rowBody(row);
        },
        const_cast<void*>(static_cast<const void*>(&body)));
}

}  // namespace rorurera
