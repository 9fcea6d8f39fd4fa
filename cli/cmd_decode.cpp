// susiehost decode MODULE FILE OUT.bmp [--memory]
//
// Asks the plug-in for the picture, as a host does, from the file name or
// (with --memory) from the file's bytes in memory; shows the plug-in's
// progress reports as a bar; writes the two blocks it returns as a BMP file;
// prints size, depth and time, and frees the blocks with LocalFree.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli_output.h"
#include "commands.h"
#include "returned_bitmap.h"

namespace cli {
namespace {

const wchar_t* ResultName(int result) {
    switch (result) {
    case 0: return L"success";
    case -1: return L"not implemented";
    case 1: return L"aborted";
    case 2: return L"unknown format";
    case 4: return L"out of memory";
    case 8: return L"internal error";
    default: return L"not a plug-in result";
    }
}

// The bar on one line, redrawn at every report.
struct ProgressBar {
    int reports = 0;
    int last = -1;
};

int WINAPI ShowProgress(int numerator, int denominator, LONG_PTR user) {
    auto* bar = reinterpret_cast<ProgressBar*>(user);
    ++bar->reports;
    const int percent = denominator > 0 ? numerator * 100 / denominator : 0;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::wstring line = L"\r[";
    line.append(static_cast<std::size_t>(filled), L'#');
    line.append(static_cast<std::size_t>(kWidth - filled), L' ');
    line += Format(L"] %3d%%", percent);
    Print(line);
    bar->last = percent;
    return 0;  // never asks to stop
}

bool ReadWholeFile(const std::wstring& path, std::vector<char>& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() ||
             (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
    }
    ::CloseHandle(file);
    return ok;
}

// Entries of the colour table that follows the header in the first block.
std::uint32_t ColorTableEntries(const BITMAPINFOHEADER& info) {
    if (info.biClrUsed != 0) return info.biClrUsed;
    return info.biBitCount <= 8 ? (1u << info.biBitCount) : 0u;
}

// Writes a BMP file from the host's two blocks; false with a message when
// the blocks do not describe a bitmap or the file cannot be written.
bool WriteBmp(const std::wstring& path, const hostkit::ReturnedBitmap& picture, BITMAPINFOHEADER& shown) {
    const BITMAPINFOHEADER* info = picture.Header();
    const std::span<const std::uint8_t> pixels = picture.PixelBlock();
    if (info == nullptr || pixels.data() == nullptr || info->biSize < sizeof(BITMAPINFOHEADER) || info->biWidth <= 0 ||
        info->biHeight == 0) {
        Print(L"the plug-in returned blocks that are not a bitmap\n");
        return false;
    }
    shown = *info;
    const std::uint64_t height = info->biHeight < 0 ? -std::int64_t{info->biHeight} : info->biHeight;
    const std::uint64_t pixelBytes = picture.Stride() * height;
    const std::uint64_t infoBytes = info->biSize + 4ull * ColorTableEntries(*info);
    const std::uint64_t fileBytes = sizeof(BITMAPFILEHEADER) + infoBytes + pixelBytes;
    if (pixels.size() < pixelBytes || picture.HeaderBlock().size() < infoBytes || fileBytes > 0xFFFFFFFFull) {
        Print(L"the plug-in's blocks are smaller than the bitmap they describe\n");
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(fileBytes);
    file.bfOffBits = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + infoBytes);
    HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        Print(Format(L"cannot create %ls (error %lu)\n", path.c_str(), ::GetLastError()));
        return false;
    }
    DWORD written = 0;
    bool ok = ::WriteFile(out, &file, sizeof(file), &written, nullptr) &&
              ::WriteFile(out, info, static_cast<DWORD>(infoBytes), &written, nullptr) &&
              ::WriteFile(out, pixels.data(), static_cast<DWORD>(pixelBytes), &written, nullptr);
    ok = ::CloseHandle(out) && ok;
    if (!ok) Print(Format(L"cannot write %ls (error %lu)\n", path.c_str(), ::GetLastError()));
    return ok;
}

}  // namespace

int RunDecode(const susie::Plugin& plugin, const std::vector<std::wstring>& args) {
    std::vector<std::wstring> paths;
    bool memory = false;
    for (const std::wstring& arg : args) {
        if (arg == L"--memory") {
            memory = true;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() != 2) return 2;
    const std::wstring& input = paths[0];
    const std::wstring& output = paths[1];
    if (plugin.GetPictureW == nullptr || plugin.GetPicture == nullptr) {
        Print(L"the module has no GetPicture / GetPictureW export\n");
        return 1;
    }

    std::vector<char> bytes;
    if (memory && !ReadWholeFile(input, bytes)) {
        Print(Format(L"cannot read %ls (error %lu)\n", input.c_str(), ::GetLastError()));
        return 1;
    }

    ProgressBar bar;
    // The blocks are the host's: freed when it goes, whatever happened.
    hostkit::ReturnedBitmap picture;
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const int result =
        memory ? plugin.GetPicture(bytes.data(), static_cast<LONG_PTR>(bytes.size()), susie::kFromMemory,
                                   &picture.header, &picture.bits, ShowProgress, reinterpret_cast<LONG_PTR>(&bar))
               : plugin.GetPictureW(input.c_str(), 0, susie::kFromFile, &picture.header, &picture.bits, ShowProgress,
                                    reinterpret_cast<LONG_PTR>(&bar));
    ::QueryPerformanceCounter(&end);
    const double milliseconds = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    if (bar.reports != 0) Print(L"\n");

    int code = 1;
    if (result != 0) {
        Print(Format(L"GetPicture: %d (%ls)\n", result, ResultName(result)));
    } else {
        BITMAPINFOHEADER info{};
        if (WriteBmp(output, picture, info)) {
            Print(Format(L"%ls: %ld x %ld, %u bits per pixel, %.1f ms (%ls mode)\n", output.c_str(), info.biWidth,
                         info.biHeight, unsigned{info.biBitCount}, milliseconds, memory ? L"memory" : L"file"));
            code = 0;
        }
    }
    return code;
}

}  // namespace cli
