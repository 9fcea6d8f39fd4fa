// picture_bench MODULE IMAGE... [--runs N]
//
// How much GetPicture costs on top of the imaging component's own work. For
// each image, in one process, the runs alternate between
//   bare:    the work no plug-in can avoid: imaging factory, decoder from the
//            file, frame 0, the conversion the plug-in makes for that frame's
//            format (none for 24bppBGR and 32bppBGRA), and one full-width
//            CopyPixels at the packed pitch into a freshly allocated buffer;
//   plug-in: GetPictureW of the module in file mode, blocks freed afterwards;
// and the medians of both (wall time, and process CPU time, which other
// programs on the machine hardly move) and their ratios are printed. Then a
// few more runs of each measure memory: a second thread samples the
// process's committed private memory (summed over VirtualQuery's regions,
// which works under Wine as well); the peak above the level before the call
// is compared with the imaging component's own share (the bare peak less its
// buffer) plus two picture-sized blocks.
//
// With --tone-map IMAGE (an HDR picture stored as half floats), GetPicture
// of that image with the settings' tone mapping on against off, alternating,
// medians and their ratio: what the histogram pass and the curve cost.
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

namespace {

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

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t{};
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// User and kernel time of every thread of the process so far.
double ProcessCpuSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return double((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

bool SameGuid(const GUID& a, const GUID& b) { return ::IsEqualGUID(a, b) != FALSE; }

struct BareResult {
    bool ok = false;
    std::uint64_t bufferBytes = 0;
    UINT width = 0;
    UINT height = 0;
    UINT bits = 0;
};

// The imaging component's unavoidable share of one picture.
BareResult BareDecode(const std::wstring& path) {
    BareResult r;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
        return r;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
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
    const bool alpha = SameGuid(format, GUID_WICPixelFormat32bppBGRA) ||
                       SameGuid(format, GUID_WICPixelFormat32bppRGBA) ||
                       SameGuid(format, GUID_WICPixelFormat32bppPBGRA) ||
                       SameGuid(format, GUID_WICPixelFormat64bppRGBA) || halfFloat;
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

PluginRun PluginDecode(const susie::Plugin& plugin, const std::wstring& path) {
    PluginRun run;
    HLOCAL header = nullptr;
    HLOCAL bits = nullptr;
    run.result = plugin.GetPictureW(path.c_str(), 0, susie::kFromFile, &header, &bits, nullptr, 0);
    if (run.result == 0) {
        const auto* info = static_cast<const BITMAPINFOHEADER*>(::LocalLock(header));
        run.bitCount = info->biBitCount;
        run.pixelBytes = (std::uint64_t(info->biWidth) * info->biBitCount + 31) / 32 * 4 * info->biHeight;
        ::LocalUnlock(header);
    }
    if (bits != nullptr) ::LocalFree(bits);
    if (header != nullptr) ::LocalFree(header);
    return run;
}

std::string Narrow(const std::wstring& text) {
    const std::size_t slash = text.find_last_of(L"/\\");
    const std::wstring name = slash == std::wstring::npos ? text : text.substr(slash + 1);
    return std::string(name.begin(), name.end());
}

double Megabytes(std::uint64_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

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
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Zodirudu_Revav\\Rorurera.spi", L"HdrToneMap",
                       RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
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
            const PluginRun result = PluginDecode(plugin, image);
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
    std::vector<std::wstring> images;
    std::vector<std::wstring> hdrImages;
    int runs = 7;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--runs" && i + 1 < argc) {
            runs = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--tone-map" && i + 1 < argc) {
            hdrImages.push_back(argv[++i]);
        } else {
            images.push_back(arg);
        }
    }
    if (argc < 3 || (images.empty() && hdrImages.empty())) {
        std::fprintf(stderr, "usage: picture_bench MODULE IMAGE... [--tone-map IMAGE] [--runs N]\n");
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

    std::printf("%d-bit module, %d runs per image, medians\n", int(sizeof(void*) * 8), runs);
    std::printf("%-34s %9s %9s %7s %7s %7s | %9s %9s %9s %9s %9s %7s\n", "image", "bare ms", "plugin ms", "ratio",
                "cpu", "target", "pict MB", "work MB", "WIC MB", "plugin MB", "limit MB", "");
    int status = 0;
    // These rows measure the conversion alone: tone mapping has its own row.
    const std::optional<DWORD> toneMap = GetToneMap();
    SetToneMap(DWORD{0});
    for (const std::wstring& image : images) {
        // One of each first, unmeasured: the imaging component loads its
        // libraries and the heap settles.
        const BareResult probe = BareDecode(image);
        const PluginRun first = PluginDecode(plugin, image);
        if (!probe.ok || first.result != 0) {
            std::printf("%-34s failed: bare %s, GetPicture %d\n", Narrow(image).c_str(), probe.ok ? "ok" : "failed",
                        first.result);
            status = 1;
            continue;
        }
        // Times first, with no sampler running beside them; wall time and the
        // process's CPU time (the latter hardly moved by other programs).
        std::vector<double> bareTimes;
        std::vector<double> pluginTimes;
        std::vector<double> bareCpu;
        std::vector<double> pluginCpu;
        for (int run = 0; run < runs; ++run) {
            double cpu = ProcessCpuSeconds();
            double start = Now();
            BareDecode(image);
            bareTimes.push_back(Now() - start);
            bareCpu.push_back(ProcessCpuSeconds() - cpu);

            cpu = ProcessCpuSeconds();
            start = Now();
            PluginDecode(plugin, image);
            pluginTimes.push_back(Now() - start);
            pluginCpu.push_back(ProcessCpuSeconds() - cpu);
        }
        // Then memory, sampled from a second thread.
        std::vector<double> barePeaks;
        std::vector<double> pluginPeaks;
        for (int run = 0; run < std::min(runs, 3); ++run) {
            MemorySampler bareSampler;
            BareDecode(image);
            barePeaks.push_back(double(bareSampler.Stop()));
            MemorySampler pluginSampler;
            PluginDecode(plugin, image);
            pluginPeaks.push_back(double(pluginSampler.Stop()));
        }
        const double bare = Median(bareTimes);
        const double ours = Median(pluginTimes);
        const double ratio = ours / bare;
        const double cpuRatio = Median(pluginCpu) / Median(bareCpu);
        // 24-bit: the flip; alpha: the flip and the reduction; a format the
        // converter refuses (read in its own 64 bits): those and one pass of
        // our own conversion more.
        const double target = probe.bits == 64 ? 1.30 : probe.bits == 32 ? 1.20 : 1.10;
        // The imaging component's own share: what the bare work peaked at,
        // less the buffer it copied into.
        const double wicOwn = std::max(0.0, Median(barePeaks) - double(probe.bufferBytes));
        const double picture = double(first.pixelBytes);
        const double working = double(probe.bufferBytes);
        const double peak = Median(pluginPeaks);
        const double limit = wicOwn + 2 * std::max(picture, working);
        std::printf("%-34s %9.1f %9.1f %7.3f %7.3f %7.2f | %9.1f %9.1f %9.1f %9.1f %9.1f %7s\n",
                    Narrow(image).c_str(), bare * 1000, ours * 1000, ratio, cpuRatio, target, Megabytes(first.pixelBytes), Megabytes(probe.bufferBytes),
                    Megabytes(std::uint64_t(wicOwn)), Megabytes(std::uint64_t(peak)),
                    Megabytes(std::uint64_t(limit)), ratio <= target && peak <= limit ? "ok" : "OVER");
    }
    std::printf("ratio: median wall times; cpu: median process CPU times (user + kernel, all threads)\n");
    std::printf("pict: the 24-bit picture's pixel block; work: what CopyPixels fills (32-bit for alpha);\n"
                "WIC: the imaging component's own peak; plugin: GetPicture's peak; limit: WIC + 2 x max(pict, work)\n");
    SetToneMap(toneMap);
    for (const std::wstring& image : hdrImages) status |= ToneMapBench(plugin, image, runs);
    if (comInitialised) ::CoUninitialize();
    return status;
}
