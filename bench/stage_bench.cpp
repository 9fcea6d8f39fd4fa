// stage_bench [--runs N]
//
// The pixel stages alone, on working pictures of the benchmark's shapes made
// as the packed copy makes them: median wall and process CPU time of the
// flip (and the alpha reduction), next to one memcpy of the same bytes (the
// cost of one pass over the picture). Then the question of the 64-bit
// module's threads: the same row-pair swap and the same blending run on the
// calling thread and on the thread pool, wall and CPU time. Numbers that the
// imaging component's decoding does not drown: picture_bench shows the
// stages only as a fraction of a second-long decode.
//
// It prints numbers; it asserts nothing.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/pixel_buffer.h"
#include "output/pixel_stages.h"
#include "output/row_loop.h"
#include "bench_clock.h"

namespace {

using bench::Median;
using bench::Now;
using bench::ProcessCpuSeconds;

using rorurera::PixelBuffer;

struct Medians {
    double wallMs;
    double cpuMs;
};

// `prepare` runs untimed before each timed `work`.
template <typename Prepare, typename Work>
Medians Measure(int runs, const Prepare& prepare, const Work& work) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const double cpuStart = ProcessCpuSeconds();
        const double start = Now();
        work();
        wall.push_back((Now() - start) * 1000);
        cpu.push_back((ProcessCpuSeconds() - cpuStart) * 1000);
    }
    return {Median(wall), Median(cpu)};
}

// A working picture as the packed copy leaves it, filled with a pattern
// (alpha 128 for 32-bit pictures, so that the blend does its arithmetic).
bool MakePicture(PixelBuffer& buffer, std::uint32_t width, std::uint32_t height, std::uint32_t bits) {
    if (rorurera::CreatePixelBuffer(buffer, width, height, bits, {}, buffer.spare, rorurera::RowPacking::Tight) !=
        rorurera::PluginResult::Success) {
        return false;
    }
    const std::size_t bytes = buffer.layout->stride * height;
    for (std::size_t i = 0; i < bytes; ++i) buffer.data()[i] = static_cast<std::uint8_t>(i * 7);
    if (bits == 32) {
        for (std::size_t i = 3; i < bytes; i += 4) buffer.data()[i] = 128;
    }
    return true;
}

void StageRow(const char* name, std::uint32_t width, std::uint32_t height, std::uint32_t bits, int runs) {
    PixelBuffer buffer;
    if (!MakePicture(buffer, width, height, bits)) {
        std::printf("%-22s cannot allocate\n", name);
        return;
    }
    const std::size_t bytes = buffer.layout->stride * height;
    std::vector<std::uint8_t> copy(bytes);
    const Medians pass = Measure(
        runs, [] {}, [&] { std::memcpy(copy.data(), buffer.data(), bytes); });
    // Each run starts from the packed rows again (untimed).
    auto reset = [&] {
        buffer.layout->bitsPerPixel = bits;
        buffer.layout->stride = static_cast<std::size_t>(rorurera::PackedRowBytes(width, bits));
        std::memcpy(buffer.data(), copy.data(), bytes);
    };
    const Medians stages = Measure(runs, reset, [&] {
        if (bits == 32)
            rorurera::ReduceTo24Bits(buffer, rorurera::AlphaMode::Composite, rorurera::BgrColor{0xFF, 0xFF, 0xFF});
        rorurera::FlipToBottomUp(buffer);
    });
    // In memcpy passes, by wall time: CPU times come in 10 ms steps under Wine.
    std::printf("%-22s %8.1f %8.1f %8.1f %8.1f %7.2f %s\n", name, pass.wallMs, pass.cpuMs, stages.wallMs, stages.cpuMs,
                pass.wallMs > 0 ? stages.wallMs / pass.wallMs : 0.0, buffer.spare ? "SECOND BLOCK" : "");
}

// Row bodies for the thread question.
struct SwapJob {
    std::uint8_t* data;
    std::uint32_t height;
    std::size_t stride;
};

void SwapPairs(void* context, std::uint32_t first, std::uint32_t end) noexcept {
    const auto& job = *static_cast<SwapJob*>(context);
    std::uint8_t scratch[4096];
    for (std::uint32_t row = first; row < end; ++row) {
        std::uint8_t* a = job.data + std::size_t{row} * job.stride;
        std::uint8_t* b = job.data + std::size_t{job.height - 1 - row} * job.stride;
        for (std::size_t done = 0; done < job.stride; done += sizeof scratch) {
            const std::size_t n = std::min(sizeof scratch, job.stride - done);
            std::memcpy(scratch, a + done, n);
            std::memcpy(a + done, b + done, n);
            std::memcpy(b + done, scratch, n);
        }
    }
}

void BlendSlots(void* context, std::uint32_t first, std::uint32_t end) noexcept {
    const auto& job = *static_cast<SwapJob*>(context);
    for (std::uint32_t row = first; row < end; ++row) {
        std::uint8_t* p = job.data + std::size_t{row} * job.stride;
        for (std::size_t x = 0; x + 4 <= job.stride; x += 4) {
            const std::uint32_t a = p[x + 3];
            for (int c = 0; c < 3; ++c)
                p[x / 4 * 3 + c] = static_cast<std::uint8_t>((p[x + c] * a + 255 * (255 - a)) / 255);
        }
    }
}

void ThreadRow(const char* name, std::uint32_t width, std::uint32_t height, std::uint32_t bits, rorurera::RowRangeFn fn,
               bool pairs, int runs) {
    PixelBuffer buffer;
    if (!MakePicture(buffer, width, height, bits)) return;
    SwapJob job{buffer.data(), height, buffer.layout->stride};
    const std::uint32_t rows = pairs ? height / 2 : height;
    const Medians one = Measure(
        runs, [] {}, [&] { rorurera::RunRowsOnCallingThread(rows, fn, &job); });
    const Medians pool = Measure(
        runs, [] {}, [&] { rorurera::RunRowsOnThreadPool(rows, fn, &job); });
    std::printf("%-30s %8.1f %8.1f %8.1f %8.1f\n", name, one.wallMs, one.cpuMs, pool.wallMs, pool.cpuMs);
}

// The same loop while the host keeps every thread of the default pool busy
// with work of its own: the row loop's callbacks then wait in the queue, and
// the loop, which never cancels them, returns only once each has started and
// found no rows left. The pool starts threads for queued work, so this
// costs the start of a thread, not the host's work.
struct HostWork {
    volatile LONG stop = 0;
};

VOID CALLBACK BusyHostWork(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK) {
    auto* work = static_cast<HostWork*>(context);
    while (::InterlockedCompareExchange(&work->stop, 0, 0) == 0) ::Sleep(1);
}

void BusyPoolRow(const char* name, std::uint32_t width, std::uint32_t height, rorurera::RowRangeFn fn, int runs) {
    HostWork host;
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    PTP_WORK busy = ::CreateThreadpoolWork(BusyHostWork, &host, nullptr);
    if (busy == nullptr) return;
    for (DWORD i = 0; i < info.dwNumberOfProcessors; ++i) ::SubmitThreadpoolWork(busy);
    ::Sleep(100);
    ThreadRow(name, width, height, 32, fn, false, runs);
    ::InterlockedExchange(&host.stop, 1);
    ::WaitForThreadpoolWorkCallbacks(busy, FALSE);
    ::CloseThreadpoolWork(busy);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
    std::printf("%d-bit, %d runs, medians in ms\n", int(sizeof(void*) * 8), runs);
    std::printf("%-22s %8s %8s %8s %8s %7s\n", "picture", "pass", "pass cpu", "stages", "st. cpu", "passes");
    StageRow("6000x4000 24-bit", 6000, 4000, 24, runs);
    StageRow("3001x2001 24-bit", 3001, 2001, 24, runs);
    StageRow("1x20000 24-bit", 1, 20000, 24, runs);
    StageRow("4000x3000 32bppBGRA", 4000, 3000, 32, runs);
    StageRow("6000x4000 32bppBGRA", 6000, 4000, 32, runs);
    std::printf(
        "pass: one memcpy of the packed picture; stages: the reduction (alpha) and the flip in place;\n"
        "passes: stage wall time in memcpy passes\n\n");
    std::printf("%-30s %8s %8s %8s %8s\n", "row loop", "1 thr", "1 cpu", "pool", "pool cpu");
    ThreadRow("row-pair swap 6000x4000x24", 6000, 4000, 24, SwapPairs, true, runs);
    ThreadRow("blend in slots 4000x3000x32", 4000, 3000, 32, BlendSlots, false, runs);
    ThreadRow("blend in slots 64x64x32", 64, 64, 32, BlendSlots, false, runs);
    BusyPoolRow("64x64x32, host's pool busy", 64, 64, BlendSlots, runs);
    BusyPoolRow("4000x3000x32, host's pool busy", 4000, 3000, BlendSlots, runs);
    return 0;
}
