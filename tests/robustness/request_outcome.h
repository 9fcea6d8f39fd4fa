#pragma once

// What one request of a host gave back, in a form that two runs can compare:
// the result and, for pictures, the header block and the defined pixel bytes
// (row padding is left out: its bytes are unspecified).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin.h"
#include "returned_bitmap.h"

namespace testing_support {

struct Outcome {
    int result = -100;
    std::vector<std::uint8_t> header;  // BITMAPINFO block, or the PictureInfo record
    std::vector<std::uint8_t> pixels;  // defined bytes of every row, bottom row first
    bool operator==(const Outcome&) const = default;
};

enum class RequestKind {
    IsSupportedNarrow,
    IsSupportedWide,
    InfoFileNarrow,
    InfoFileWide,
    InfoMemory,
    PictureFileNarrow,
    PictureFileWide,
    PictureMemoryNarrow,
    PictureMemoryWide,
};
constexpr int kRequestKinds = 9;

// The images the requests are made on, good and bad.
const std::vector<std::wstring>& RequestFixtures();

// Makes one request through the plug-in's exports, as a host would, and
// frees whatever the plug-in handed over.
Outcome MakeRequest(const susie::Plugin& plugin, const std::wstring& fixture, RequestKind kind);

// Copies the picture's defined bytes out of the two blocks and frees them.
Outcome TakePicture(int result, hostkit::ReturnedBitmap& picture);

// Threads running in this process.
int CountThreads();

}  // namespace testing_support
