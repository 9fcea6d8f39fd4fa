// picture_bench MODULE [--runs N] [ROW...]
//
// How much GetPicture costs on top of the imaging component's own work. Each
// row compares, in one process, alternating runs of
//   bare:    the work no plug-in can avoid: imaging factory, decoder, frame 0,
//            the conversion the plug-in makes for that frame's format (none
//            for 24bppBGR and 32bppBGRA), and one full-width CopyPixels at the
//            packed pitch into a freshly allocated buffer;
//   plug-in: GetPictureW of the module, blocks freed afterwards;
// and prints the medians of both (wall time, and process CPU time, which
// other programs on the machine hardly move) and their ratios. Rows:
//   IMAGE              file mode (the decoder from the file name); then a few
//                      more runs measure memory: a second thread samples the
//                      process's committed private memory (summed over
//                      VirtualQuery's regions, which works under Wine as
//                      well); the peak above the level before the call is
//                      compared with the imaging component's own share (the
//                      bare peak less its buffer) + 1 picture block + 1 MB;
//   --memory IMAGE     memory mode: the file's bytes read once into memory;
//                      the bare work reads them in place through the imaging
//                      component's stream (InitializeFromMemory); memory as
//                      for file mode;
//   --threads N IMAGE  throughput: N host threads each decoding the image
//                      (file mode) against N threads doing the bare work;
//                      pictures per second, the plug-in's share of the bare;
//   --folder DIR       the cost of each call: every *.jxr of DIR once per run;
//   --tone-map IMAGE   an HDR picture stored as half floats: GetPicture with
//                      the settings' tone mapping on against off,
//                      alternating, medians and their ratio (what the
//                      histogram pass and the curve cost). The other rows
//                      run with tone mapping off; the stored setting is put
//                      back afterwards.
//   --profile PLAIN TAGGED
//                      colour management: GetPicture of a picture without
//                      a colour profile (PLAIN) against the same picture
//                      with one embedded (TAGGED), alternating; the ratios
//                      of the median wall and CPU times (targets: 1.4 for
//                      an RGB profile, 2.0 for a CMYK one, 1.02 for an sRGB
//                      one, which converts nothing), both memory peaks and
//                      the difference, against one band of stored samples
//                      (4 MB, the band the tone-mapping reader uses) + 1 MB.
//
// It prints numbers; it asserts nothing.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plugin.h"
#include "process_usage.h"
#include "returned_bitmap.h"
#include "bench_clock.h"

namespace {

using bench::Median;
using bench::Now;
using bench::ProcessCpuSeconds;

using Microsoft::WRL::ComPtr;

using hostkit::CommittedPrivateBytes;

// Samples committed private memory from a second thread for the duration of
// one measured call; Peak() is the most seen above the level before it.
class MemorySampler {
public:
    MemorySampler() : baseline_(CommittedPrivateBytes()), peak_(baseline_) {
        thread_ = std::thread([this] {
            while (!stop_.load(std::memory_order_relaxed)) {
                peak_ = std::max(peak_, CommittedPrivateBytes());
                ::Sleep(1);
            }
        });
    }
    std::uint64_t Stop() {
        stop_ = true;
        thread_.join();
        peak_ = std::max(peak_, CommittedPrivateBytes());
        return peak_ - baseline_;
    }

private:
    std::uint64_t baseline_;
    std::uint64_t peak_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

bool SameGuid(const GUID& a, const GUID& b) { return ::IsEqualGUID(a, b) != FALSE; }

// What one call decodes: a file by name, or the file's bytes in memory.
struct Input {
    std::wstring path;
    std::vector<std::uint8_t> bytes;  // memory mode when not empty
    bool Memory() const { return !bytes.empty(); }
};

struct BareResult {
    bool ok = false;
    std::uint64_t bufferBytes = 0;
    UINT width = 0;
    UINT height = 0;
    UINT bits = 0;
};

// The imaging component's unavoidable share of one picture.
BareResult BareDecode(const Input& input) {
    BareResult r;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
        return r;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (input.Memory()) {
        // The bytes read where they are, as the cheapest host-side reader would.
        ComPtr<IWICStream> stream;
        if (FAILED(factory->CreateStream(&stream)) ||
            FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(input.bytes.data()),
                                                static_cast<DWORD>(input.bytes.size()))) ||
            FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder))) {
            return r;
        }
    } else if (FAILED(factory->CreateDecoderFromFilename(input.path.c_str(), nullptr, GENERIC_READ,
                                                         WICDecodeMetadataCacheOnDemand, &decoder))) {
        return r;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return r;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetPixelFormat(&format))) return r;

    // The plug-in's choice for the formats benchmarked here: alpha formats
    // to 32bppBGRA, the others to 24bppBGR; no converter when the frame has
    // the output format already.
    const bool halfFloat = SameGuid(format, GUID_WICPixelFormat64bppRGBAHalf);
    const bool alpha =
        SameGuid(format, GUID_WICPixelFormat32bppBGRA) || SameGuid(format, GUID_WICPixelFormat32bppRGBA) ||
        SameGuid(format, GUID_WICPixelFormat32bppPBGRA) || SameGuid(format, GUID_WICPixelFormat64bppRGBA) || halfFloat;
    const GUID& target = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    ComPtr<IWICBitmapSource> source;
    r.bits = alpha ? 32 : 24;
    if (SameGuid(format, target)) {
        frame.As(&source);
    } else {
        ComPtr<IWICFormatConverter> converter;
        if (FAILED(factory->CreateFormatConverter(&converter))) return r;
        const HRESULT hr = converter->Initialize(frame.Get(), target, WICBitmapDitherTypeNone, nullptr, 0.0,
                                                 WICBitmapPaletteTypeMedianCut);
        if (SUCCEEDED(hr)) {
            converter.As(&source);
        } else if (hr == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT && halfFloat) {
            // A converter that refuses the format (Wine's): the unavoidable
            // work is one copy of the frame in its own format, which the
            // plug-in then converts itself.
            frame.As(&source);
            r.bits = 64;
        } else {
            return r;
        }
    }
    if (!source || FAILED(source->GetSize(&r.width, &r.height))) return r;
    const std::uint64_t pitch = (std::uint64_t{r.width} * r.bits + 7) / 8;
    r.bufferBytes = pitch * r.height;
    if (r.bufferBytes > 0xFFFFFFFFull) return r;
    HLOCAL buffer = ::LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(r.bufferBytes));
    if (buffer == nullptr) return r;
    const WICRect all{0, 0, static_cast<INT>(r.width), static_cast<INT>(r.height)};
    r.ok = SUCCEEDED(source->CopyPixels(&all, static_cast<UINT>(pitch), static_cast<UINT>(r.bufferBytes),
                                        static_cast<BYTE*>(buffer)));
    ::LocalFree(buffer);
    return r;
}

struct PluginRun {
    int result = -100;
    std::uint64_t pixelBytes = 0;
    int bitCount = 0;
};

PluginRun PluginDecode(const susie::Plugin& plugin, const Input& input) {
    PluginRun run;
    hostkit::ReturnedBitmap picture;  // freed as a host frees it
    if (input.Memory()) {
        run.result =
            plugin.GetPictureW(reinterpret_cast<LPCWSTR>(input.bytes.data()), static_cast<LONG_PTR>(input.bytes.size()),
                               susie::kFromMemory, &picture.header, &picture.bits, nullptr, 0);
    } else {
        run.result =
            plugin.GetPictureW(input.path.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, nullptr, 0);
    }
    if (const BITMAPINFOHEADER* info = picture.Header(); run.result == 0 && info != nullptr) {
        run.bitCount = info->biBitCount;
        run.pixelBytes = picture.Stride() * info->biHeight;
    }
    return run;
}

std::string Narrow(const std::wstring& text) {
    const std::size_t slash = text.find_last_of(L"/\\");
    const std::wstring name = slash == std::wstring::npos ? text : text.substr(slash + 1);
    return std::string(name.begin(), name.end());
}

double Megabytes(std::uint64_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    DWORD read = 0;
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < 0x7FFFFFFF) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
            bytes.clear();
        }
    }
    ::CloseHandle(file);
    return bytes;
}

std::vector<std::wstring> FolderImages(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*.jxr").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return paths;
    do {
        paths.push_back(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// One call's work, timed: wall seconds and process CPU seconds.
struct Timing {
    std::vector<double> wall;
    std::vector<double> cpu;
};

template <typename Work>
void Time(Timing& timing, const Work& work) {
    const double cpu = ProcessCpuSeconds();
    const double start = Now();
    work();
    timing.wall.push_back(Now() - start);
    timing.cpu.push_back(ProcessCpuSeconds() - cpu);
}

void PrintHeader() {
    std::printf("%-34s %-7s %9s %9s %7s %7s %7s | %8s %8s %8s %9s %8s %s\n", "image", "mode", "bare ms", "plugin ms",
                "wall", "cpu", "target", "pict MB", "work MB", "WIC MB", "plugin MB", "limit MB", "");
}

// Two kinds of work measured side by side: times from alternating runs with
// no sampler beside them, then memory peaks from up to three runs of each,
// sampled from a second thread.
struct SideBySide {
    Timing first;
    Timing second;
    std::vector<double> firstPeaks;
    std::vector<double> secondPeaks;
    // The second's median time over the first's.
    double WallRatio() const { return Median(second.wall) / Median(first.wall); }
    double CpuRatio() const { return Median(second.cpu) / Median(first.cpu); }
};

template <typename First, typename Second>
SideBySide MeasureSideBySide(int runs, const First& first, const Second& second) {
    SideBySide m;
    for (int run = 0; run < runs; ++run) {
        Time(m.first, first);
        Time(m.second, second);
    }
    for (int run = 0; run < std::min(runs, 3); ++run) {
        MemorySampler firstSampler;
        first();
        m.firstPeaks.push_back(double(firstSampler.Stop()));
        MemorySampler secondSampler;
        second();
        m.secondPeaks.push_back(double(secondSampler.Stop()));
    }
    return m;
}

// Alternating timed runs of the bare work and the plug-in on one input, then
// memory; prints one row. False when either failed.
bool PictureRow(const susie::Plugin& plugin, const Input& input, const char* mode, int runs) {
    // One of each first, unmeasured: the imaging component loads its
    // libraries and the heap settles.
    const BareResult probe = BareDecode(input);
    const PluginRun first = PluginDecode(plugin, input);
    if (!probe.ok || first.result != 0) {
        std::printf("%-34s %-7s failed: bare %s, GetPicture %d\n", Narrow(input.path).c_str(), mode,
                    probe.ok ? "ok" : "failed", first.result);
        return false;
    }
    const SideBySide m = MeasureSideBySide(
        runs, [&] { BareDecode(input); }, [&] { PluginDecode(plugin, input); });
    const Timing& bare = m.first;
    const Timing& ours = m.second;
    const double wallRatio = m.WallRatio();
    const double cpuRatio = m.CpuRatio();
    // 24-bit: the flip; alpha: the flip and the reduction; a format the
    // converter refuses (read in its own 64 bits): those and one pass of our
    // own conversion more.
    const double target = probe.bits == 64 ? 1.30 : probe.bits == 32 ? 1.05 : 1.02;
    // The imaging component's own share: what the bare work peaked at, less
    // the buffer it copied into.
    const double wicOwn = std::max(0.0, Median(m.firstPeaks) - double(probe.bufferBytes));
    const double picture = double(first.pixelBytes);
    const double working = double(probe.bufferBytes);
    const double peak = Median(m.secondPeaks);
    const double limit = wicOwn + std::max(picture, working) + 1024.0 * 1024.0;
    std::printf("%-34s %-7s %9.1f %9.1f %7.3f %7.3f %7.2f | %8.1f %8.1f %8.1f %9.1f %8.1f %s\n",
                Narrow(input.path).c_str(), mode, Median(bare.wall) * 1000, Median(ours.wall) * 1000, wallRatio,
                cpuRatio, target, Megabytes(first.pixelBytes), Megabytes(probe.bufferBytes),
                Megabytes(std::uint64_t(wicOwn)), Megabytes(std::uint64_t(peak)), Megabytes(std::uint64_t(limit)),
                cpuRatio <= target && peak <= limit ? "ok" : "OVER");
    return true;
}

// The stored pixel format's ICC colour space as the picture's file names it:
// the target ratio of a row. An sRGB profile converts nothing.
double ProfileTarget(const std::wstring& tagged) {
    const std::string name = Narrow(tagged);
    if (name.find("srgb") != std::string::npos) return 1.02;
    if (name.find("cmyk") != std::string::npos) return 2.0;
    return 1.4;
}

constexpr double kProfileBandBytes = 4.0 * 1024 * 1024;

// GetPicture of one picture without and with a colour profile, alternating.
bool ProfileRow(const susie::Plugin& plugin, const std::wstring& plainPath, const std::wstring& taggedPath, int runs) {
    const Input plain{plainPath, {}};
    const Input tagged{taggedPath, {}};
    // One of each first, unmeasured.
    const PluginRun firstPlain = PluginDecode(plugin, plain);
    const PluginRun firstTagged = PluginDecode(plugin, tagged);
    if (firstPlain.result != 0 || firstTagged.result != 0) {
        std::printf("%-34s %-7s failed: GetPicture %d without, %d with the profile\n", Narrow(taggedPath).c_str(),
                    "profile", firstPlain.result, firstTagged.result);
        return false;
    }
    const SideBySide m = MeasureSideBySide(
        runs, [&] { PluginDecode(plugin, plain); }, [&] { PluginDecode(plugin, tagged); });
    const Timing& without = m.first;
    const Timing& with = m.second;
    const double wallRatio = m.WallRatio();
    const double cpuRatio = m.CpuRatio();
    const double target = ProfileTarget(taggedPath);
    const double plainPeak = Median(m.firstPeaks);
    const double taggedPeak = Median(m.secondPeaks);
    const double extra = taggedPeak - plainPeak;
    const double limit = kProfileBandBytes + 1024.0 * 1024.0;
    std::printf("%-40s %-7s %9.1f %9.1f %7.3f %7.3f %7.2f | %8.1f %8.1f %8.1f %8.1f %s\n", Narrow(taggedPath).c_str(),
                "profile", Median(without.wall) * 1000, Median(with.wall) * 1000, wallRatio, cpuRatio, target,
                Megabytes(firstPlain.pixelBytes), Megabytes(std::uint64_t(plainPeak)),
                Megabytes(std::uint64_t(std::max(0.0, taggedPeak))), extra / (1024.0 * 1024.0),
                cpuRatio <= target && extra <= limit ? "ok" : "OVER");
    return true;
}

// Every picture of a folder once per run, bare and plug-in alternating.
bool FolderRow(const susie::Plugin& plugin, const std::wstring& folder, int runs) {
    std::vector<Input> inputs;
    for (const std::wstring& path : FolderImages(folder)) inputs.push_back(Input{path, {}});
    bool ok = !inputs.empty();
    for (const Input& input : inputs) ok = ok && BareDecode(input).ok && PluginDecode(plugin, input).result == 0;
    if (!ok) {
        std::printf("%-34s %-7s failed\n", Narrow(folder).c_str(), "folder");
        return false;
    }
    Timing bare;
    Timing ours;
    for (int run = 0; run < runs; ++run) {
        Time(bare, [&] {
            for (const Input& input : inputs) BareDecode(input);
        });
        Time(ours, [&] {
            for (const Input& input : inputs) PluginDecode(plugin, input);
        });
    }
    const double n = double(inputs.size());
    const double cpuRatio = Median(ours.cpu) / Median(bare.cpu);
    const std::string name = Narrow(folder) + " (" + std::to_string(inputs.size()) + " files, per file)";
    std::printf("%-34s %-7s %9.2f %9.2f %7.3f %7.3f %7.2f | %s\n", name.c_str(), "folder", Median(bare.wall) * 1000 / n,
                Median(ours.wall) * 1000 / n, Median(ours.wall) / Median(bare.wall), cpuRatio, 1.02,
                cpuRatio <= 1.02 ? "ok" : "OVER");
    return true;
}

// Seconds for `threads` host threads to make `each` pictures apiece.
template <typename Work>
double ThreadedSeconds(int threads, int each, const Work& work) {
    std::vector<std::thread> pool;
    const double start = Now();
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            // Each host thread in its own apartment, as viewers' worker threads are.
            const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
            for (int i = 0; i < each; ++i) work();
            if (com) ::CoUninitialize();
        });
    }
    for (std::thread& thread : pool) thread.join();
    return Now() - start;
}

// Pictures per second with several host threads: plug-in against bare.
bool ThreadsRow(const susie::Plugin& plugin, const Input& input, int threads, int runs) {
    if (!BareDecode(input).ok || PluginDecode(plugin, input).result != 0) {
        std::printf("%-34s %-7s failed\n", Narrow(input.path).c_str(), "threads");
        return false;
    }
    const int each = 2;
    std::vector<double> bareRates;
    std::vector<double> pluginRates;
    for (int run = 0; run < std::max(3, runs / 2); ++run) {
        bareRates.push_back(threads * each / ThreadedSeconds(threads, each, [&] { BareDecode(input); }));
        pluginRates.push_back(threads * each / ThreadedSeconds(threads, each, [&] { PluginDecode(plugin, input); }));
    }
    const double share = Median(pluginRates) / Median(bareRates);
    const std::string mode = std::to_string(threads) + " thr";
    std::printf("%-34s %-7s %9.2f %9.2f %7.3f %7s %7.2f | pictures/s bare, plugin; plugin share %s\n",
                Narrow(input.path).c_str(), mode.c_str(), Median(bareRates), Median(pluginRates), share, "-", 0.97,
                share >= 0.97 ? "ok" : "UNDER");
    return true;
}

// Sets "HdrToneMap" in the plug-in's settings key; nullopt deletes it.
void SetToneMap(const std::optional<DWORD>& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zodirudu_Revav\\Rorurera.spi", 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value) {
        ::RegSetValueExW(key, L"HdrToneMap", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
    } else {
        ::RegDeleteValueW(key, L"HdrToneMap");
    }
    ::RegCloseKey(key);
}

std::optional<DWORD> GetToneMap() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Zodirudu_Revav\\Rorurera.spi", L"HdrToneMap", RRF_RT_REG_DWORD,
                       nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

// GetPicture of one HDR image with tone mapping on and off, alternating; the
// stored setting is put back afterwards.
int ToneMapBench(const susie::Plugin& plugin, const std::wstring& image, int runs) {
    const std::optional<DWORD> saved = GetToneMap();
    std::vector<double> on;
    std::vector<double> off;
    int status = 0;
    for (int run = -1; run < runs && status == 0; ++run) {  // run -1: unmeasured
        for (const DWORD setting : {1u, 0u}) {
            SetToneMap(setting);
            const double start = Now();
            const PluginRun result = PluginDecode(plugin, Input{image, {}});
            const double seconds = Now() - start;
            if (result.result != 0) {
                std::printf("%-34s tone map %s: GetPicture %d\n", Narrow(image).c_str(), setting ? "on" : "off",
                            result.result);
                status = 1;
                break;
            }
            if (run >= 0) (setting ? on : off).push_back(seconds);
        }
    }
    SetToneMap(saved);
    if (status != 0) return status;
    std::printf("%-34s %9s %9s %7s\n", "tone map (HDR, half float)", "off ms", "on ms", "ratio");
    std::printf("%-34s %9.1f %9.1f %7.3f\n", Narrow(image).c_str(), Median(off) * 1000, Median(on) * 1000,
                Median(on) / Median(off));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: picture_bench MODULE [--runs N] [IMAGE | --memory IMAGE | --threads N IMAGE | "
                     "--folder DIR | --tone-map IMAGE | --profile PLAIN TAGGED]...\n");
        return 2;
    }
    susie::Plugin plugin(argv[1]);
    if (!plugin.Loaded() || plugin.GetPictureW == nullptr) {
        std::fprintf(stderr, "cannot load the module (error %lu)\n", plugin.LoadError());
        return 1;
    }
    // The thread keeps one apartment throughout: the plug-in's own
    // initialisation then adds the same small cost to every run.
    const bool comInitialised = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    int runs = 7;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::wstring(argv[i]) == L"--runs") runs = std::max(1, _wtoi(argv[i + 1]));
    }
    std::printf("%d-bit module, %d runs per row, medians\n", int(sizeof(void*) * 8), runs);
    PrintHeader();
    int status = 0;
    // These rows measure the conversion alone: tone mapping has its own row.
    const std::optional<DWORD> toneMap = GetToneMap();
    SetToneMap(DWORD{0});
    std::vector<std::wstring> hdrImages;
    bool profileHeader = false;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        bool ok = true;
        if (arg == L"--runs" && i + 1 < argc) {
            ++i;
        } else if (arg == L"--memory" && i + 1 < argc) {
            Input input{argv[++i], {}};
            input.bytes = ReadBytes(input.path);
            ok = !input.bytes.empty() && PictureRow(plugin, input, "memory", runs);
        } else if (arg == L"--threads" && i + 2 < argc) {
            const int threads = std::max(1, _wtoi(argv[++i]));
            ok = ThreadsRow(plugin, Input{argv[++i], {}}, threads, runs);
        } else if (arg == L"--folder" && i + 1 < argc) {
            ok = FolderRow(plugin, argv[++i], runs);
        } else if (arg == L"--tone-map" && i + 1 < argc) {
            hdrImages.push_back(argv[++i]);
        } else if (arg == L"--profile" && i + 2 < argc) {
            if (!profileHeader) {
                std::printf("%-40s %-7s %9s %9s %7s %7s %7s | %8s %8s %8s %8s\n", "colour profile (with)", "mode",
                            "plain ms", "tagged ms", "wall", "cpu", "target", "pict MB", "plain MB", "tagged MB",
                            "extra MB");
                profileHeader = true;
            }
            const std::wstring plain = argv[++i];
            ok = ProfileRow(plugin, plain, argv[++i], runs);
        } else {
            ok = PictureRow(plugin, Input{arg, {}}, "file", runs);
        }
        if (!ok) status = 1;
    }
    std::printf(
        "wall, cpu: plug-in / bare, median wall and process CPU times (user + kernel, all threads);\n"
        "target: cpu at most 1.02 (24-bit), 1.05 (alpha); threads: pictures/s share at least 0.97\n"
        "pict: the 24-bit picture's pixel block; work: what CopyPixels fills (32-bit for alpha);\n"
        "WIC: the imaging component's own peak; plugin: GetPicture's peak; limit: WIC + max(pict, work) + 1 MB\n"
        "profile rows: wall, cpu: tagged / plain; target 1.4 RGB profile, 2.0 CMYK, 1.02 sRGB; peaks of both;\n"
        "extra: tagged peak - plain peak, at most one band of stored samples (4 MB) + 1 MB\n");
    SetToneMap(toneMap);
    for (const std::wstring& image : hdrImages) status |= ToneMapBench(plugin, image, runs);
    if (comInitialised) ::CoUninitialize();
    return status;
}
