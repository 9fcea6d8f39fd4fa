// The pixel format table: its rows against the identifiers the SDK publishes,
// the rules the rows follow, lookups of formats that are and are not in it,
// and the plain lookup.

#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "decode/pixel_format_table.h"

namespace {

using rorurera::kFallbackEntry;
using rorurera::LookupPixelFormat;
using rorurera::PixelFormatEntry;

const PixelFormatEntry& PixelFormatRow(std::size_t i) { return rorurera::PixelFormatRows()[i]; }
std::size_t PixelFormatRowCount() { return rorurera::PixelFormatRows().size(); }

// The table's rows in their order, named as the SDK names them; each GUID
// is the SDK's own constant of that name.
struct PublishedFormat {
    const GUID* guid;
    const char* name;
};
// clang-format off
#define PUBLISHED(name) PublishedFormat{&GUID_WICPixelFormat##name, #name}
const std::array<PublishedFormat, 76> kPublishedRows = {
    PUBLISHED(1bppIndexed),          PUBLISHED(2bppIndexed),          PUBLISHED(4bppIndexed),
    PUBLISHED(8bppIndexed),          PUBLISHED(BlackWhite),           PUBLISHED(2bppGray),
    PUBLISHED(4bppGray),             PUBLISHED(8bppGray),             PUBLISHED(16bppGray),
    PUBLISHED(16bppGrayFixedPoint),  PUBLISHED(16bppGrayHalf),        PUBLISHED(32bppGrayFloat),
    PUBLISHED(32bppGrayFixedPoint),  PUBLISHED(16bppBGR555),          PUBLISHED(16bppBGR565),
    PUBLISHED(16bppBGRA5551),        PUBLISHED(32bppBGR101010),       PUBLISHED(32bppRGBA1010102),
    PUBLISHED(32bppRGBA1010102XR),   PUBLISHED(24bppRGB),             PUBLISHED(24bppBGR),
    PUBLISHED(32bppBGR),             PUBLISHED(32bppRGBA),            PUBLISHED(32bppBGRA),
    PUBLISHED(32bppRGBE),            PUBLISHED(32bppPRGBA),           PUBLISHED(32bppPBGRA),
    PUBLISHED(48bppRGB),             PUBLISHED(48bppBGR),             PUBLISHED(48bppRGBFixedPoint),
    PUBLISHED(48bppBGRFixedPoint),   PUBLISHED(48bppRGBHalf),         PUBLISHED(64bppRGBA),
    PUBLISHED(64bppBGRA),            PUBLISHED(64bppPRGBA),           PUBLISHED(64bppPBGRA),
    PUBLISHED(64bppRGBFixedPoint),   PUBLISHED(64bppRGBAFixedPoint),  PUBLISHED(64bppBGRAFixedPoint),
    PUBLISHED(64bppRGBHalf),         PUBLISHED(64bppRGBAHalf),        PUBLISHED(96bppRGBFixedPoint),
    PUBLISHED(128bppRGBFloat),       PUBLISHED(128bppRGBAFloat),      PUBLISHED(128bppPRGBAFloat),
    PUBLISHED(128bppRGBFixedPoint),  PUBLISHED(128bppRGBAFixedPoint), PUBLISHED(32bppCMYK),
    PUBLISHED(64bppCMYK),            PUBLISHED(40bppCMYKAlpha),       PUBLISHED(80bppCMYKAlpha),
    PUBLISHED(24bpp3Channels),       PUBLISHED(48bpp3Channels),       PUBLISHED(32bpp3ChannelsAlpha),
    PUBLISHED(64bpp3ChannelsAlpha),  PUBLISHED(32bpp4Channels),       PUBLISHED(64bpp4Channels),
    PUBLISHED(40bpp4ChannelsAlpha),  PUBLISHED(80bpp4ChannelsAlpha),  PUBLISHED(40bpp5Channels),
    PUBLISHED(80bpp5Channels),       PUBLISHED(48bpp5ChannelsAlpha),  PUBLISHED(96bpp5ChannelsAlpha),
    PUBLISHED(48bpp6Channels),       PUBLISHED(96bpp6Channels),       PUBLISHED(56bpp6ChannelsAlpha),
    PUBLISHED(112bpp6ChannelsAlpha), PUBLISHED(56bpp7Channels),       PUBLISHED(112bpp7Channels),
    PUBLISHED(64bpp7ChannelsAlpha),  PUBLISHED(128bpp7ChannelsAlpha), PUBLISHED(64bpp8Channels),
    PUBLISHED(128bpp8Channels),      PUBLISHED(72bpp8ChannelsAlpha),  PUBLISHED(144bpp8ChannelsAlpha),
    PUBLISHED(8bppAlpha),
};
#undef PUBLISHED
// clang-format on

bool SameBytes(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

std::string Hex(const GUID& g) {
    char text[64];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

const PublishedFormat* PublishedNamed(const std::string& name) {
    for (const PublishedFormat& f : kPublishedRows) {
        if (name == f.name) return &f;
    }
    return nullptr;
}

bool IsTableRow(const GUID& g) {
    for (const PublishedFormat& f : kPublishedRows) {
        if (SameBytes(*f.guid, g)) return true;
    }
    return false;
}

// What the SDK's names say: the number before "bpp" (BlackWhite has 1 bit),
// and an alpha channel for "Alpha", "RGBA" and "BGRA" names.
int BitsFromName(const std::string& name) {
    if (name == "BlackWhite") return 1;
    return std::stoi(name.substr(0, name.find("bpp")));
}
bool AlphaFromName(const std::string& name) {
    return name.find("Alpha") != std::string::npos || name.find("RGBA") != std::string::npos ||
           name.find("BGRA") != std::string::npos;
}

// --- the rows ----------------------------------------------------------------

TEST(PixelFormatRows, EveryRowHasThePublishedIdentifierInTableOrder) {
    ASSERT_EQ(PixelFormatRowCount(), kPublishedRows.size());
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        EXPECT_TRUE(SameBytes(PixelFormatRow(i).source, *kPublishedRows[i].guid))
            << "row " << i + 1 << " (" << kPublishedRows[i].name << ") holds " << Hex(PixelFormatRow(i).source)
            << ", published " << Hex(*kPublishedRows[i].guid);
    }
}

TEST(PixelFormatRows, SourcesAreDistinct) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < PixelFormatRowCount(); ++i) {
        EXPECT_TRUE(seen.insert(Hex(PixelFormatRow(i).source)).second) << "row " << i + 1;
    }
    EXPECT_EQ(seen.size(), 76u);
}

TEST(PixelFormatRows, BitsPerPixelIsTheNumberInTheFormatName) {
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        EXPECT_EQ(PixelFormatRow(i).bitsPerPixel, BitsFromName(kPublishedRows[i].name)) << kPublishedRows[i].name;
    }
}

TEST(PixelFormatRows, AlphaIsWhatTheFormatNameSays) {
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        EXPECT_EQ(PixelFormatRow(i).hasAlpha, AlphaFromName(kPublishedRows[i].name)) << kPublishedRows[i].name;
    }
}

// Without alpha: indexed and grey formats of 8 bits or less stay, the 2-bit
// ones widen to their 4-bit form; of 9 bits or more, 16bppBGR555 stays and
// everything else becomes 24bppBGR.
TEST(PixelFormatRows, FormatsWithoutAlphaGoToTheirOutputFormat) {
    int checked = 0;
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        const std::string name = kPublishedRows[i].name;
        if (AlphaFromName(name)) continue;
        std::string target;
        if (BitsFromName(name) <= 8) {
            target = name.rfind("2bpp", 0) == 0 ? "4bpp" + name.substr(4) : name;
        } else {
            target = name == "16bppBGR555" ? name : "24bppBGR";
        }
        const PublishedFormat* expected = PublishedNamed(target);
        ASSERT_NE(expected, nullptr) << target;
        EXPECT_TRUE(SameBytes(PixelFormatRow(i).target, *expected->guid))
            << name << " goes to " << Hex(PixelFormatRow(i).target) << ", not " << target;
        ++checked;
    }
    EXPECT_EQ(checked, 44);
}

// A frame with alpha always becomes 32bppBGRA; the rows keep the targets
// they were given, 16bppBGR555 for the 5-5-5 format with alpha and
// 24bppBGR for all others.
TEST(PixelFormatRows, RowsWithAlphaKeepTheirGivenTargets) {
    int checked = 0;
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        const std::string name = kPublishedRows[i].name;
        if (!AlphaFromName(name)) continue;
        const GUID& expected = name == "16bppBGRA5551" ? GUID_WICPixelFormat16bppBGR555 : GUID_WICPixelFormat24bppBGR;
        EXPECT_TRUE(SameBytes(PixelFormatRow(i).target, expected)) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 32);
}

// The rows a prepared source hits: their bits are the output depth, and only
// 32bppBGRA has alpha.
TEST(PixelFormatRows, OutputFormatsGiveTheOutputDepth) {
    const struct {
        const GUID* format;
        int bits;
        bool alpha;
    } outputs[] = {
        {&GUID_WICPixelFormat1bppIndexed, 1, false},  {&GUID_WICPixelFormat4bppIndexed, 4, false},
        {&GUID_WICPixelFormat8bppIndexed, 8, false},  {&GUID_WICPixelFormatBlackWhite, 1, false},
        {&GUID_WICPixelFormat4bppGray, 4, false},     {&GUID_WICPixelFormat8bppGray, 8, false},
        {&GUID_WICPixelFormat16bppBGR555, 16, false}, {&GUID_WICPixelFormat24bppBGR, 24, false},
        {&GUID_WICPixelFormat32bppBGRA, 32, true},
    };
    for (const auto& output : outputs) {
        const PixelFormatEntry& entry = LookupPixelFormat(*output.format);
        EXPECT_TRUE(SameBytes(entry.source, *output.format)) << Hex(*output.format);
        EXPECT_EQ(entry.bitsPerPixel, output.bits) << Hex(*output.format);
        EXPECT_EQ(entry.hasAlpha, output.alpha) << Hex(*output.format);
    }
}

// --- lookups -------------------------------------------------------------------

TEST(LookupPixelFormat, FindsEveryRowByItsBytes) {
    for (std::size_t i = 0; i < kPublishedRows.size(); ++i) {
        const GUID copy = *kPublishedRows[i].guid;  // another object, the same bytes
        EXPECT_EQ(&LookupPixelFormat(copy), &PixelFormatRow(i)) << kPublishedRows[i].name;
    }
}

TEST(LookupPixelFormat, SpotChecks) {
    const PixelFormatEntry& bgra = LookupPixelFormat(GUID_WICPixelFormat32bppBGRA);
    EXPECT_TRUE(SameBytes(bgra.target, GUID_WICPixelFormat24bppBGR));
    EXPECT_EQ(bgra.bitsPerPixel, 32);
    EXPECT_TRUE(bgra.hasAlpha);

    const PixelFormatEntry& bgr = LookupPixelFormat(GUID_WICPixelFormat24bppBGR);
    EXPECT_TRUE(SameBytes(bgr.target, GUID_WICPixelFormat24bppBGR));
    EXPECT_EQ(bgr.bitsPerPixel, 24);
    EXPECT_FALSE(bgr.hasAlpha);

    const PixelFormatEntry& bgr555 = LookupPixelFormat(GUID_WICPixelFormat16bppBGR555);
    EXPECT_TRUE(SameBytes(bgr555.target, GUID_WICPixelFormat16bppBGR555));
    EXPECT_EQ(bgr555.bitsPerPixel, 16);
    EXPECT_FALSE(bgr555.hasAlpha);

    const PixelFormatEntry& rgbaFloat = LookupPixelFormat(GUID_WICPixelFormat128bppRGBAFloat);
    EXPECT_EQ(rgbaFloat.bitsPerPixel, 128);
    EXPECT_TRUE(rgbaFloat.hasAlpha);

    EXPECT_EQ(LookupPixelFormat(GUID_WICPixelFormat144bpp8ChannelsAlpha).bitsPerPixel, 144);

    const PixelFormatEntry& alphaOnly = LookupPixelFormat(GUID_WICPixelFormat8bppAlpha);
    EXPECT_EQ(alphaOnly.bitsPerPixel, 8);
    EXPECT_TRUE(alphaOnly.hasAlpha);

    const PixelFormatEntry& bgra5551 = LookupPixelFormat(GUID_WICPixelFormat16bppBGRA5551);
    EXPECT_TRUE(SameBytes(bgra5551.target, GUID_WICPixelFormat16bppBGR555));
    EXPECT_TRUE(bgra5551.hasAlpha);

    const PixelFormatEntry& gray2 = LookupPixelFormat(GUID_WICPixelFormat2bppGray);
    EXPECT_TRUE(SameBytes(gray2.target, GUID_WICPixelFormat4bppGray));
    EXPECT_EQ(gray2.bitsPerPixel, 2);
}

TEST(LookupPixelFormat, TheFallbackEntry) {
    EXPECT_TRUE(SameBytes(kFallbackEntry.source, GUID_WICPixelFormatDontCare));
    EXPECT_TRUE(SameBytes(kFallbackEntry.target, GUID_WICPixelFormat24bppBGR));
    EXPECT_EQ(kFallbackEntry.bitsPerPixel, 0);
    EXPECT_FALSE(kFallbackEntry.hasAlpha);
}

TEST(LookupPixelFormat, AbsentFormatsGiveTheFallback) {
    const GUID madeUp = {0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    const GUID zero{};
    for (const GUID* absent : {&GUID_WICPixelFormatDontCare, &GUID_WICPixelFormat32bppRGB,
                               &GUID_WICPixelFormat64bppPRGBAHalf, &madeUp, &zero}) {
        EXPECT_EQ(&LookupPixelFormat(*absent), &kFallbackEntry) << Hex(*absent);
    }
}

// Every identifier one byte away from a row (that is not itself a row) is
// absent: the whole 16 bytes are compared, the last one included.
TEST(LookupPixelFormat, AnIdentifierThatDiffersInOneByteIsNotFound) {
    int absent = 0;
    for (const PublishedFormat& row : kPublishedRows) {
        for (int last = 0; last < 256; ++last) {
            GUID g = *row.guid;
            if (g.Data4[7] == last) continue;
            g.Data4[7] = static_cast<unsigned char>(last);
            if (IsTableRow(g)) continue;
            ASSERT_EQ(&LookupPixelFormat(g), &kFallbackEntry) << row.name << " with last byte " << last;
            ++absent;
        }
        for (std::size_t byte = 0; byte < sizeof(GUID); ++byte) {
            GUID g = *row.guid;
            reinterpret_cast<unsigned char*>(&g)[byte] ^= 0x80;
            if (IsTableRow(g)) continue;
            ASSERT_EQ(&LookupPixelFormat(g), &kFallbackEntry) << row.name << " with byte " << byte << " changed";
        }
    }
    // 65 rows share a prefix whose 256 last bytes hold 65 rows and DontCare.
    EXPECT_EQ(absent, 11 * 255 + 65 * (256 - 65));
}

}  // namespace
