#pragma once

// What one request of a host gave back, in a form that two runs can compare:
// the result and, for pictures, the header block and the defined pixel bytes
// (row padding is left out: its bytes are unspecified).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin.h"

namespace robustness {

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
Outcome TakePicture(int result, HLOCAL header, HLOCAL bits);

// Handles open in this process (probing handle values: the count functions
// answer 0 under Wine) and threads running in it.
int CountOpenHandles();
int CountThreads();
// Committed private memory of this process, summed over its regions
// (the process memory counters answer 0 under Wine).
std::uint64_t CommittedPrivateBytes();

}  // namespace robustness
