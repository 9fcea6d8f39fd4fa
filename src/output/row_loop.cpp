#include "output/row_loop.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace rorurera {
namespace {

// The most pool callbacks one loop submits.
constexpr std::uint32_t kMaxPoolWorkers = 15;
// Chunks per thread taking part: small enough to even out uneven threads,
// large enough that claiming a chunk costs nothing next to running it.
constexpr std::uint32_t kChunksPerThread = 8;

struct RowJob {
    RowRangeFn fn;
    void* context;
    std::uint32_t rows;
    std::uint32_t chunk;
    std::atomic<std::uint32_t> next{0};
};

// Claims chunks until none is left; each chunk goes to exactly one caller.
void Drain(RowJob& job) noexcept {
    std::uint32_t first = job.next.load(std::memory_order_relaxed);
    for (;;) {
        if (first >= job.rows) return;
        const std::uint32_t end = first + std::min(job.chunk, job.rows - first);
        if (job.next.compare_exchange_weak(first, end, std::memory_order_relaxed)) {
            job.fn(job.context, first, end);
            first = job.next.load(std::memory_order_relaxed);
        }
    }
}

VOID CALLBACK RowWork(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK) noexcept {
    Drain(*static_cast<RowJob*>(context));
}

std::uint32_t ProcessorCount() noexcept {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return std::max<std::uint32_t>(1, info.dwNumberOfProcessors);
}

}  // namespace

void RunRowsOnCallingThread(std::uint32_t rows, RowRangeFn fn, void* context) noexcept {
    if (rows != 0) fn(context, 0, rows);
}

void RunRowsOnThreadPool(std::uint32_t rows, RowRangeFn fn, void* context) noexcept {
    const std::uint32_t threads = std::min(ProcessorCount(), kMaxPoolWorkers + 1);
    const std::uint32_t chunk = std::max<std::uint32_t>(1, rows / (threads * kChunksPerThread));
    const std::uint32_t chunks = rows / chunk + (rows % chunk != 0 ? 1 : 0);
    const std::uint32_t workers = std::min(threads - 1, chunks > 0 ? chunks - 1 : 0);

    RowJob job{fn, context, rows, chunk};
    PTP_WORK work = workers != 0 ? ::CreateThreadpoolWork(RowWork, &job, nullptr) : nullptr;
    if (work == nullptr) {
        Drain(job);
        return;
    }
    for (std::uint32_t i = 0; i < workers; ++i) ::SubmitThreadpoolWork(work);
    Drain(job);
    // Every chunk is claimed by now; callbacks that have not started yet find
    // nothing to do and return at once. They are waited for, never cancelled:
    // Wine's pool loses a worker thread for every callback that a cancelling
    // wait takes back (thousands over a host's life).
    ::WaitForThreadpoolWorkCallbacks(work, FALSE);
    ::CloseThreadpoolWork(work);
}

#ifndef RORURERA_ROWS_ON_POOL
#error "the build says where the row loops run (RORURERA_ROWS_ON_POOL 0 or 1)"
#endif

bool RowsOnThreads() noexcept { return RORURERA_ROWS_ON_POOL != 0; }

void RunRows(std::uint32_t rows, RowRangeFn fn, void* context) noexcept {
    if constexpr (RORURERA_ROWS_ON_POOL != 0) {
        RunRowsOnThreadPool(rows, fn, context);
    } else {
        RunRowsOnCallingThread(rows, fn, context);
    }
}

}  // namespace rorurera
