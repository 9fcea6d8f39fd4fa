#include "decode/pixel_format_table.h"

#include <wincodec.h>

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "common/owners.h"

namespace rorurera {
namespace {

// Rows in their fixed order, each format named by the toolchain's own
// identifier constant: source format, the format a frame of it becomes
// when it has no alpha, the source's own bits per pixel, and whether the
// source carries alpha. A frame with alpha always becomes 32bppBGRA, so the
// target of an alpha row is never used.
constexpr PixelFormatEntry kRows[] = {
    // source                                  target                           bits alpha      # kind
    {GUID_WICPixelFormat1bppIndexed,            GUID_WICPixelFormat1bppIndexed,    1, false},  // 1 palette, kept
    {GUID_WICPixelFormat2bppIndexed,            GUID_WICPixelFormat4bppIndexed,    2, false},  // 2 palette, widened to 4 bits
    {GUID_WICPixelFormat4bppIndexed,            GUID_WICPixelFormat4bppIndexed,    4, false},  // 3 palette, kept
    {GUID_WICPixelFormat8bppIndexed,            GUID_WICPixelFormat8bppIndexed,    8, false},  // 4 palette, kept
    {GUID_WICPixelFormatBlackWhite,             GUID_WICPixelFormatBlackWhite,     1, false},  // 5 two-level, kept
    {GUID_WICPixelFormat2bppGray,               GUID_WICPixelFormat4bppGray,       2, false},  // 6 grey, widened to 4 bits
    {GUID_WICPixelFormat4bppGray,               GUID_WICPixelFormat4bppGray,       4, false},  // 7 grey, kept
    {GUID_WICPixelFormat8bppGray,               GUID_WICPixelFormat8bppGray,       8, false},  // 8 grey, kept
    {GUID_WICPixelFormat16bppGray,              GUID_WICPixelFormat24bppBGR,      16, false},  // 9 grey
    {GUID_WICPixelFormat16bppGrayFixedPoint,    GUID_WICPixelFormat24bppBGR,      16, false},  // 10 grey, fixed point
    {GUID_WICPixelFormat16bppGrayHalf,          GUID_WICPixelFormat24bppBGR,      16, false},  // 11 grey, half float
    {GUID_WICPixelFormat32bppGrayFloat,         GUID_WICPixelFormat24bppBGR,      32, false},  // 12 grey, float
    {GUID_WICPixelFormat32bppGrayFixedPoint,    GUID_WICPixelFormat24bppBGR,      32, false},  // 13 grey, fixed point
    {GUID_WICPixelFormat16bppBGR555,            GUID_WICPixelFormat16bppBGR555,   16, false},  // 14 5-5-5, kept
    {GUID_WICPixelFormat16bppBGR565,            GUID_WICPixelFormat24bppBGR,      16, false},  // 15 5-6-5
    {GUID_WICPixelFormat16bppBGRA5551,          GUID_WICPixelFormat16bppBGR555,   16, true },  // 16 5-5-5 with 1-bit alpha
    {GUID_WICPixelFormat32bppBGR101010,         GUID_WICPixelFormat24bppBGR,      32, false},  // 17 10-10-10
    {GUID_WICPixelFormat32bppRGBA1010102,       GUID_WICPixelFormat24bppBGR,      32, true },  // 18 10-10-10 with 2-bit alpha
    {GUID_WICPixelFormat32bppRGBA1010102XR,     GUID_WICPixelFormat24bppBGR,      32, true },  // 19 10-10-10 extended range with 2-bit alpha
    {GUID_WICPixelFormat24bppRGB,               GUID_WICPixelFormat24bppBGR,      24, false},  // 20 RGB byte order
    {GUID_WICPixelFormat24bppBGR,               GUID_WICPixelFormat24bppBGR,      24, false},  // 21 the 24-bit output format
    {GUID_WICPixelFormat32bppBGR,               GUID_WICPixelFormat24bppBGR,      32, false},  // 22 unused fourth byte
    {GUID_WICPixelFormat32bppRGBA,              GUID_WICPixelFormat24bppBGR,      32, true },  // 23 RGB order with alpha
    {GUID_WICPixelFormat32bppBGRA,              GUID_WICPixelFormat24bppBGR,      32, true },  // 24 the alpha output format
    {GUID_WICPixelFormat32bppRGBE,              GUID_WICPixelFormat24bppBGR,      32, false},  // 25 shared exponent
    {GUID_WICPixelFormat32bppPRGBA,             GUID_WICPixelFormat24bppBGR,      32, true },  // 26 premultiplied alpha
    {GUID_WICPixelFormat32bppPBGRA,             GUID_WICPixelFormat24bppBGR,      32, true },  // 27 premultiplied alpha
    {GUID_WICPixelFormat48bppRGB,               GUID_WICPixelFormat24bppBGR,      48, false},  // 28 16 bits a channel
    {GUID_WICPixelFormat48bppBGR,               GUID_WICPixelFormat24bppBGR,      48, false},  // 29 16 bits a channel
    {GUID_WICPixelFormat48bppRGBFixedPoint,     GUID_WICPixelFormat24bppBGR,      48, false},  // 30 fixed point
    {GUID_WICPixelFormat48bppBGRFixedPoint,     GUID_WICPixelFormat24bppBGR,      48, false},  // 31 fixed point
    {GUID_WICPixelFormat48bppRGBHalf,           GUID_WICPixelFormat24bppBGR,      48, false},  // 32 half float
    {GUID_WICPixelFormat64bppRGBA,              GUID_WICPixelFormat24bppBGR,      64, true },  // 33 16 bits a channel with alpha
    {GUID_WICPixelFormat64bppBGRA,              GUID_WICPixelFormat24bppBGR,      64, true },  // 34 16 bits a channel with alpha
    {GUID_WICPixelFormat64bppPRGBA,             GUID_WICPixelFormat24bppBGR,      64, true },  // 35 premultiplied alpha
    {GUID_WICPixelFormat64bppPBGRA,             GUID_WICPixelFormat24bppBGR,      64, true },  // 36 premultiplied alpha
    {GUID_WICPixelFormat64bppRGBFixedPoint,     GUID_WICPixelFormat24bppBGR,      64, false},  // 37 fixed point, unused fourth channel
    {GUID_WICPixelFormat64bppRGBAFixedPoint,    GUID_WICPixelFormat24bppBGR,      64, true },  // 38 fixed point with alpha
    {GUID_WICPixelFormat64bppBGRAFixedPoint,    GUID_WICPixelFormat24bppBGR,      64, true },  // 39 fixed point with alpha
    {GUID_WICPixelFormat64bppRGBHalf,           GUID_WICPixelFormat24bppBGR,      64, false},  // 40 half float, unused fourth channel
    {GUID_WICPixelFormat64bppRGBAHalf,          GUID_WICPixelFormat24bppBGR,      64, true },  // 41 half float with alpha
    {GUID_WICPixelFormat96bppRGBFixedPoint,     GUID_WICPixelFormat24bppBGR,      96, false},  // 42 fixed point
    {GUID_WICPixelFormat128bppRGBFloat,         GUID_WICPixelFormat24bppBGR,     128, false},  // 43 float, unused fourth channel
    {GUID_WICPixelFormat128bppRGBAFloat,        GUID_WICPixelFormat24bppBGR,     128, true },  // 44 float with alpha
    {GUID_WICPixelFormat128bppPRGBAFloat,       GUID_WICPixelFormat24bppBGR,     128, true },  // 45 float, premultiplied alpha
    {GUID_WICPixelFormat128bppRGBFixedPoint,    GUID_WICPixelFormat24bppBGR,     128, false},  // 46 fixed point, unused fourth channel
    {GUID_WICPixelFormat128bppRGBAFixedPoint,   GUID_WICPixelFormat24bppBGR,     128, true },  // 47 fixed point with alpha
    {GUID_WICPixelFormat32bppCMYK,              GUID_WICPixelFormat24bppBGR,      32, false},  // 48 CMYK
    {GUID_WICPixelFormat64bppCMYK,              GUID_WICPixelFormat24bppBGR,      64, false},  // 49 CMYK, 16 bits a channel
    {GUID_WICPixelFormat40bppCMYKAlpha,         GUID_WICPixelFormat24bppBGR,      40, true },  // 50 CMYK with alpha
    {GUID_WICPixelFormat80bppCMYKAlpha,         GUID_WICPixelFormat24bppBGR,      80, true },  // 51 CMYK with alpha, 16 bits a channel
    {GUID_WICPixelFormat24bpp3Channels,         GUID_WICPixelFormat24bppBGR,      24, false},  // 52 3 channels, 8 bits each
    {GUID_WICPixelFormat48bpp3Channels,         GUID_WICPixelFormat24bppBGR,      48, false},  // 53 3 channels, 16 bits each
    {GUID_WICPixelFormat32bpp3ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      32, true },  // 54 3 channels with alpha, 8 bits each
    {GUID_WICPixelFormat64bpp3ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      64, true },  // 55 3 channels with alpha, 16 bits each
    {GUID_WICPixelFormat32bpp4Channels,         GUID_WICPixelFormat24bppBGR,      32, false},  // 56 4 channels, 8 bits each
    {GUID_WICPixelFormat64bpp4Channels,         GUID_WICPixelFormat24bppBGR,      64, false},  // 57 4 channels, 16 bits each
    {GUID_WICPixelFormat40bpp4ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      40, true },  // 58 4 channels with alpha, 8 bits each
    {GUID_WICPixelFormat80bpp4ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      80, true },  // 59 4 channels with alpha, 16 bits each
    {GUID_WICPixelFormat40bpp5Channels,         GUID_WICPixelFormat24bppBGR,      40, false},  // 60 5 channels, 8 bits each
    {GUID_WICPixelFormat80bpp5Channels,         GUID_WICPixelFormat24bppBGR,      80, false},  // 61 5 channels, 16 bits each
    {GUID_WICPixelFormat48bpp5ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      48, true },  // 62 5 channels with alpha, 8 bits each
    {GUID_WICPixelFormat96bpp5ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      96, true },  // 63 5 channels with alpha, 16 bits each
    {GUID_WICPixelFormat48bpp6Channels,         GUID_WICPixelFormat24bppBGR,      48, false},  // 64 6 channels, 8 bits each
    {GUID_WICPixelFormat96bpp6Channels,         GUID_WICPixelFormat24bppBGR,      96, false},  // 65 6 channels, 16 bits each
    {GUID_WICPixelFormat56bpp6ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      56, true },  // 66 6 channels with alpha, 8 bits each
    {GUID_WICPixelFormat112bpp6ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,     112, true },  // 67 6 channels with alpha, 16 bits each
    {GUID_WICPixelFormat56bpp7Channels,         GUID_WICPixelFormat24bppBGR,      56, false},  // 68 7 channels, 8 bits each
    {GUID_WICPixelFormat112bpp7Channels,        GUID_WICPixelFormat24bppBGR,     112, false},  // 69 7 channels, 16 bits each
    {GUID_WICPixelFormat64bpp7ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      64, true },  // 70 7 channels with alpha, 8 bits each
    {GUID_WICPixelFormat128bpp7ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,     128, true },  // 71 7 channels with alpha, 16 bits each
    {GUID_WICPixelFormat64bpp8Channels,         GUID_WICPixelFormat24bppBGR,      64, false},  // 72 8 channels, 8 bits each
    {GUID_WICPixelFormat128bpp8Channels,        GUID_WICPixelFormat24bppBGR,     128, false},  // 73 8 channels, 16 bits each
    {GUID_WICPixelFormat72bpp8ChannelsAlpha,    GUID_WICPixelFormat24bppBGR,      72, true },  // 74 8 channels with alpha, 8 bits each
    {GUID_WICPixelFormat144bpp8ChannelsAlpha,   GUID_WICPixelFormat24bppBGR,     144, true },  // 75 8 channels with alpha, 16 bits each
    {GUID_WICPixelFormat8bppAlpha,              GUID_WICPixelFormat24bppBGR,       8, true },  // 76 alpha only
};
static_assert(std::size(kRows) == 76);

constexpr PixelFormatEntry kFallback = {GUID_WICPixelFormatDontCare, GUID_WICPixelFormat24bppBGR, 0, false};

// The index is keyed by the identifier's 16 bytes as stored in memory,
// compared as an unsigned byte string.
using FormatKey = std::array<unsigned char, sizeof(GUID)>;
using FormatIndex = std::map<FormatKey, const PixelFormatEntry*>;

FormatKey KeyOf(const GUID& format) noexcept {
    FormatKey key;
    std::memcpy(key.data(), &format, key.size());
    return key;
}

// Process-wide state: the lock lives from attach to detach; the index from
// the first lookup to detach. Both are touched only under the lock, except
// when the module attaches and detaches.
std::optional<CriticalSection> g_lock;
std::unique_ptr<FormatIndex> g_index;
int g_indexBuildCount = 0;

// Inserts the rows in table order (an identifier already present keeps its
// first row). A build that runs out of memory frees the partial index and
// leaves the index absent, so the next lookup builds it again.
void BuildIndex() {
    auto index = std::make_unique<FormatIndex>();
    for (const PixelFormatEntry& row : kRows) index->emplace(KeyOf(row.source), &row);
    g_index = std::move(index);
    ++g_indexBuildCount;
}

CriticalSection& TableLock() {
    if (!g_lock) throw std::logic_error("pixel format table used before PixelFormatTableAttach");
    return *g_lock;
}

}  // namespace

const PixelFormatEntry& kFallbackEntry = kFallback;

const PixelFormatEntry& LookupPixelFormat(const GUID& format) {
    CriticalSectionLock hold(TableLock());
    if (!g_index) BuildIndex();
    const auto found = g_index->find(KeyOf(format));
    return found != g_index->end() ? *found->second : kFallbackEntry;
}

void PixelFormatTableAttach() noexcept { g_lock.emplace(); }

void PixelFormatTableDetach() noexcept {
    g_index.reset();
    g_lock.reset();
}

std::size_t PixelFormatRowCount() noexcept { return std::size(kRows); }

const PixelFormatEntry& PixelFormatRow(std::size_t index) noexcept { return kRows[index]; }

int PixelFormatIndexBuildCount() noexcept {
    if (!g_lock) return g_indexBuildCount;
    CriticalSectionLock hold(*g_lock);
    return g_indexBuildCount;
}

}  // namespace rorurera
