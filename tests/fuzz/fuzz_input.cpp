#include "fuzz/fuzz_input.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/test_paths.h"

namespace testing_support {
namespace {

// The images the mutations start from: every small generated image, the
// 640 x 480 one (large enough for several tiles and the 2 KB header buffer)
// less often, and files of other formats named .jxr. Wine 8.0's decoder
// leaks on each picture of two of them, measured with the imaging component
// alone: bgra32_3x2_interleaved.jxr 37,259 bytes per decode, orient6.jxr
// 150,317 bytes per failed CopyPixels. The icc_* pictures carry an ICC
// profile (tag 0x8773, its bytes at the end of the file): Adobe RGB (18,604
// bytes) on a 24-bit card, a CMYK press profile (187,484 bytes, lookup
// tables) on a 32bppCMYK card, a grey one (420 bytes) on an 8-bit grey card.
struct CorpusName {
    const char* name;
    unsigned weight;
    bool platformLeaks = false;
};
// clang-format off
constexpr CorpusName kCorpus[] = {
    {"rgb24_3x2.jxr", 10},   {"rgb24_5x3.jxr", 10},   {"rgb24_8x8.jxr", 10},     {"rgb24_4x2.jxr", 6},
    {"bw_33x2.jxr", 10},     {"bw_33x2_b1.jxr", 6},   {"gray8_5x2.jxr", 10},     {"gray16_3x2.jxr", 10},
    {"bgr555_4x2.jxr", 10},  {"bgr565_4x2.jxr", 10},  {"bgra32_3x2.jxr", 12},    {"bgra32_3x2_interleaved.jxr", 10, true},
    {"rgb48_3x2.jxr", 10},   {"rgba64_2x2.jxr", 10},  {"rgba128f_2x2.jxr", 10},  {"lossy_rgb24_64x64.jxr", 12},
    {"dpi300.jxr", 4},       {"orient3.jxr", 4},      {"orient6.jxr", 4, true},  {"rgb24_640x480.jxr", 3},
    {"truncated.jxr", 2},    {"png_named.jxr", 2},    {"bmp_named.jxr", 2},      {"tif_named.jxr", 2},
    {"icc_adobe_rgb24_16x8.jxr", 8}, {"icc_cmyk_cmyk32_16x8.jxr", 8}, {"icc_gray_gray8_16x8.jxr", 8},
};
// clang-format on

constexpr std::uint8_t kMagic[4] = {'I', 'I', 0xBC, 0x01};
constexpr std::uint8_t kCodestreamMagic[8] = {'W', 'M', 'P', 'H', 'O', 'T', 'O', 0};

// Directory tags of the container that matter to a decoder.
constexpr std::uint16_t kTagPixelFormat = 0xBC01;
constexpr std::uint16_t kTagWidth = 0xBC80;
constexpr std::uint16_t kTagHeight = 0xBC81;
constexpr std::uint16_t kTagImageOffset = 0xBCC0;
constexpr std::uint16_t kTagImageBytes = 0xBCC1;
constexpr std::uint16_t kTagAlphaOffset = 0xBCC2;
constexpr std::uint16_t kTagAlphaBytes = 0xBCC3;
constexpr std::uint16_t kTagIccProfile = 0x8773;
constexpr std::uint16_t kKnownTags[] = {0xBC01, 0xBC02, 0xBC80, 0xBC81, 0xBC82, 0xBC83, 0xBCC0, 0xBCC1, 0xBCC2, 0xBCC3,
                                        0xBCC4, 0xBCC5, 0x8773, 0x0112, 0x010E, 0x02BC, 0x83BB, 0x8769, 0x8825, 0xEA1C};

std::uint16_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (at + 2 > b.size()) return;
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (at + 4 > b.size()) return;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void AppendFormat(std::string& text, const char* format, std::size_t a, unsigned b = 0) {
    char part[48];
    std::snprintf(part, sizeof part, format, a, b);
    text += part;
}

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

const IfdEntry* FindEntry(const Layout& layout, std::uint16_t tag) {
    for (const IfdEntry& e : layout.entries) {
        if (e.tag == tag) return &e;
    }
    return nullptr;
}

// Values that tend to find mistakes in offset and size arithmetic.
std::uint32_t Interesting32(Random& r, std::uint32_t current, std::size_t fileSize) {
    const std::uint32_t size = static_cast<std::uint32_t>(fileSize);
    switch (r.Below(14)) {
    case 0: return 0;
    case 1: return 0xFFFFFFFFu;
    case 2: return 0x7FFFFFFFu;
    case 3: return 0x80000000u;
    case 4: return size;
    case 5: return size - 1;
    case 6: return size + 1;
    case 7: return current + static_cast<std::uint32_t>(r.Between(1, 16));
    case 8: return current - static_cast<std::uint32_t>(r.Between(1, 16));
    case 9: return 0xFFFFu;
    case 10: return 0x10000u;
    case 11: return static_cast<std::uint32_t>(r.Below(fileSize + 1));
    case 12: return current ^ (1u << r.Below(32));
    default: return static_cast<std::uint32_t>(r.Next());
    }
}

// --- Truncate --------------------------------------------------------------

void Truncate(Input& in, Random& r) {
    const std::size_t size = in.bytes.size();
    const Layout layout = ReadLayout(in.bytes);
    std::vector<std::size_t> points = {0, 8, 2047, 2048, 2049, size / 2};
    if (layout.ifdOffset != 0) {
        points.push_back(layout.ifdOffset);
        points.push_back(layout.ifdOffset + 2 + 12 * layout.entries.size());
    }
    for (std::size_t c : layout.codestreams) {
        points.push_back(c);
        points.push_back(c + 16);
        points.push_back(c + 32);
    }
    for (const IfdEntry& e : layout.entries) {
        if (e.tag == kTagImageOffset || e.tag == kTagAlphaOffset || e.type == 1) points.push_back(e.value);
    }
    std::size_t keep = 0;
    switch (r.Below(4)) {
    case 0:  // anywhere
        keep = static_cast<std::size_t>(r.Below(size));
        break;
    case 1: {  // near a boundary of the layout
        const std::size_t at = points[r.Below(points.size())];
        keep = at + static_cast<std::size_t>(r.Below(17)) - 8;
        if (at < 8 && keep > at + 8) keep = 0;
        break;
    }
    case 2:  // very short
        keep = static_cast<std::size_t>(r.Below(std::min<std::size_t>(size, 160)));
        break;
    default:  // missing only the end
        keep = size - static_cast<std::size_t>(r.Between(1, std::max<std::size_t>(1, std::min<std::size_t>(size, 64))));
        break;
    }
    if (keep >= size) keep = size - 1;
    in.detail = "cut " + std::to_string(size) + " -> " + std::to_string(keep) + " bytes";
    in.bytes.resize(keep);
}

// --- BitFlip ---------------------------------------------------------------

void BitFlip(Input& in, Random& r) {
    const std::size_t size = in.bytes.size();
    const Layout layout = ReadLayout(in.bytes);
    unsigned flips = 1;
    const std::uint64_t pick = r.Below(10);
    if (pick >= 5) flips = static_cast<unsigned>(r.Between(2, 4));
    if (pick >= 8) flips = static_cast<unsigned>(r.Between(5, 32));
    in.detail = "flip bits at";
    for (unsigned i = 0; i < flips; ++i) {
        std::size_t at = 0;
        const std::uint64_t where = r.Below(4);
        if (where == 0 && !layout.codestreams.empty()) {
            // the image header and the first bytes of the coded data
            const std::size_t c = layout.codestreams[r.Below(layout.codestreams.size())];
            at = std::min(size - 1, c + static_cast<std::size_t>(r.Below(48)));
        } else if (where == 1) {
            at = static_cast<std::size_t>(r.Below(std::min<std::size_t>(size, 160)));
        } else {
            at = static_cast<std::size_t>(r.Below(size));
        }
        const unsigned bit = static_cast<unsigned>(r.Below(8));
        in.bytes[at] ^= static_cast<std::uint8_t>(1u << bit);
        if (i < 6) AppendFormat(in.detail, " %zu.%u", at, bit);
    }
    if (flips > 6) in.detail += " ... (" + std::to_string(flips) + " bits)";
}

// --- RandomBytes -----------------------------------------------------------

void RandomBytes(Input& in, Random& r) {
    const std::size_t size = in.bytes.size();
    switch (r.Below(5)) {
    case 0:
    case 1: {  // scattered bytes
        const unsigned n = static_cast<unsigned>(r.Between(1, 16));
        in.detail = std::to_string(n) + " random bytes at";
        for (unsigned i = 0; i < n; ++i) {
            const std::size_t at =
                static_cast<std::size_t>(r.Chance(50) ? r.Below(std::min<std::size_t>(size, 200)) : r.Below(size));
            in.bytes[at] = r.Byte();
            if (i < 6) AppendFormat(in.detail, " %zu", at);
        }
        break;
    }
    case 2: {  // a run of random or extreme bytes
        const std::size_t at = static_cast<std::size_t>(r.Below(size));
        const std::size_t n = std::min<std::size_t>(size - at, static_cast<std::size_t>(r.Between(1, 64)));
        const int fill = static_cast<int>(r.Below(5));  // 0..3 fixed values, 4 random
        static constexpr std::uint8_t kFill[] = {0x00, 0xFF, 0x7F, 0x80};
        for (std::size_t i = 0; i < n; ++i) in.bytes[at + i] = fill < 4 ? kFill[fill] : r.Byte();
        in.detail = std::to_string(n) + (fill < 4 ? " bytes " + Hex(kFill[fill]) : std::string(" random bytes")) +
                    " from " + std::to_string(at);
        break;
    }
    case 3: {  // insert
        const std::size_t at = static_cast<std::size_t>(r.Below(size + 1));
        const std::size_t n = static_cast<std::size_t>(r.Between(1, 32));
        std::vector<std::uint8_t> extra(n);
        for (auto& b : extra) b = r.Byte();
        in.bytes.insert(in.bytes.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
        in.detail = std::to_string(n) + " random bytes inserted at " + std::to_string(at);
        break;
    }
    default: {  // delete
        const std::size_t at = static_cast<std::size_t>(r.Below(size));
        const std::size_t n = std::min<std::size_t>(size - at, static_cast<std::size_t>(r.Between(1, 32)));
        in.bytes.erase(in.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       in.bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        in.detail = std::to_string(n) + " bytes deleted at " + std::to_string(at);
        break;
    }
    }
}

// --- ContainerTags ---------------------------------------------------------

std::string TagName(std::uint16_t tag) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", tag);
    return text;
}

void DamageOneTagField(Input& in, Random& r, const Layout& layout) {
    std::vector<std::uint8_t>& b = in.bytes;
    const std::size_t size = b.size();
    const std::size_t countAt = layout.ifdOffset;
    const std::size_t nextAt = layout.ifdOffset + 2 + 12 * layout.entries.size();
    const IfdEntry& e = layout.entries[r.Below(layout.entries.size())];
    std::string what;
    switch (r.Below(12)) {
    case 0: {  // the number of entries
        static constexpr std::uint32_t kCounts[] = {0, 1, 0xFFFF, 0x8000, 0x100};
        const std::uint32_t n =
            r.Chance(50) ? kCounts[r.Below(5)] : static_cast<std::uint32_t>(layout.entries.size() + r.Between(1, 4));
        Put16(b, countAt, n);
        what = "entry count = " + std::to_string(n & 0xFFFF);
        break;
    }
    case 1: {  // where the directory is
        const std::uint32_t v = Interesting32(r, static_cast<std::uint32_t>(layout.ifdOffset), size);
        Put32(b, 4, v);
        what = "directory offset = " + Hex(v);
        break;
    }
    case 2: {  // the next directory: itself, the header, anywhere
        std::uint32_t v = 0;
        switch (r.Below(4)) {
        case 0: v = static_cast<std::uint32_t>(layout.ifdOffset); break;
        case 1: v = 8; break;
        default: v = Interesting32(r, 0, size); break;
        }
        Put32(b, nextAt, v);
        what = "next directory = " + Hex(v);
        break;
    }
    case 3:
    case 4: {  // an entry's type
        std::uint32_t t = 0;
        switch (r.Below(3)) {
        case 0: t = static_cast<std::uint32_t>(r.Between(0, 13)); break;
        case 1: t = r.Chance(50) ? 0xFFFF : 0x8001; break;
        default: t = static_cast<std::uint32_t>(r.Below(0x10000)); break;
        }
        Put16(b, e.at + 2, t);
        what = "entry " + TagName(e.tag) + " type = " + std::to_string(t);
        break;
    }
    case 5:
    case 6: {  // an entry's count
        const std::uint32_t v = Interesting32(r, e.count, size);
        Put32(b, e.at + 4, v);
        what = "entry " + TagName(e.tag) + " count = " + Hex(v);
        break;
    }
    case 7:
    case 8: {  // an entry's value or offset
        const std::uint32_t v = Interesting32(r, e.value, size);
        Put32(b, e.at + 8, v);
        what = "entry " + TagName(e.tag) + " value = " + Hex(v);
        break;
    }
    case 9: {  // an entry's tag: a duplicate, another known tag, anything
        std::uint32_t t =
            r.Chance(60) ? kKnownTags[r.Below(std::size(kKnownTags))] : static_cast<std::uint32_t>(r.Below(0x10000));
        Put16(b, e.at, t);
        what = "entry " + TagName(e.tag) + " tag = " + TagName(static_cast<std::uint16_t>(t));
        break;
    }
    case 10: {  // a whole entry of random bytes
        for (int i = 0; i < 12; ++i) b[e.at + i] = r.Byte();
        what = "entry " + TagName(e.tag) + " random";
        break;
    }
    default: {  // the pixel format's bytes, or the image / alpha offsets and sizes
        const IfdEntry* format = FindEntry(layout, kTagPixelFormat);
        if (format != nullptr && format->value + 16 <= size && r.Chance(50)) {
            const std::size_t at = format->value + (r.Chance(50) ? 15 : static_cast<std::size_t>(r.Below(16)));
            b[at] = r.Byte();
            what = "pixel format byte " + std::to_string(at - format->value) + " = " + Hex(b[at]);
        } else {
            static constexpr std::uint16_t kPlaces[] = {kTagImageOffset, kTagImageBytes, kTagAlphaOffset,
                                                        kTagAlphaBytes,  kTagWidth,      kTagHeight};
            const IfdEntry* place = FindEntry(layout, kPlaces[r.Below(std::size(kPlaces))]);
            if (place == nullptr) place = &e;
            const std::uint32_t v = Interesting32(r, place->value, size);
            Put32(b, place->at + 8, v);
            what = "entry " + TagName(place->tag) + " value = " + Hex(v);
        }
        break;
    }
    }
    if (!in.detail.empty()) in.detail += "; ";
    in.detail += what;
}

void ContainerTags(Input& in, Random& r) {
    const Layout layout = ReadLayout(in.bytes);
    if (layout.entries.empty()) {
        // Not a container (another format, or cut short): damage its first bytes instead.
        const unsigned n = static_cast<unsigned>(r.Between(1, 4));
        in.detail = "no directory; random bytes at";
        for (unsigned i = 0; i < n; ++i) {
            const std::size_t at = static_cast<std::size_t>(r.Below(std::min<std::size_t>(in.bytes.size(), 64)));
            in.bytes[at] = r.Byte();
            AppendFormat(in.detail, " %zu", at);
        }
        return;
    }
    const unsigned fields = r.Chance(70) ? 1 : static_cast<unsigned>(r.Between(2, 3));
    for (unsigned i = 0; i < fields; ++i) DamageOneTagField(in, r, layout);
}

// --- Dimensions ------------------------------------------------------------

std::uint64_t HugeSide(Random& r) {
    // Up to 2^32, the largest the image header can hold (width-1 in 32 bits).
    static constexpr std::uint64_t kSides[] = {
        0x100000000ull, 0xFFFFFFFFull, 0x80000001ull, 0x80000000ull, 0x7FFFFFFFull, 0x40000000ull,
        0x20000000ull,  0x10000000ull, 0x1000000ull,  0x100000ull,   0x10001ull,    0x10000ull,
        0xFFFFull,      46341ull,      32768ull,      16385ull,
    };
    if (r.Chance(20)) return r.Between(1, 0x100000000ull);
    return kSides[r.Below(std::size(kSides))];
}

void Dimensions(Input& in, Random& r) {
    const Layout layout = ReadLayout(in.bytes);
    if (layout.codestreams.empty()) {
        BitFlip(in, r);
        in.detail = "no image header; " + in.detail;
        return;
    }
    // Usually the main image's header; for a planar alpha channel sometimes its own header.
    std::size_t at = layout.codestreams.front();
    const IfdEntry* image = FindEntry(layout, kTagImageOffset);
    if (image != nullptr &&
        std::find(layout.codestreams.begin(), layout.codestreams.end(), image->value) != layout.codestreams.end()) {
        at = image->value;
    }
    if (layout.codestreams.size() > 1 && r.Chance(25)) at = layout.codestreams[r.Below(layout.codestreams.size())];

    std::uint64_t width = 0, height = 0;
    bool shortHeader = false;
    if (!ReadDimensions(in.bytes, at, width, height, shortHeader)) {
        BitFlip(in, r);
        in.detail = "image header cut off; " + in.detail;
        return;
    }
    const std::uint64_t which = r.Below(10);  // 0-2 width only, 3-5 height only, 6-9 both
    if (which <= 2 || which >= 6) width = HugeSide(r);
    if ((which >= 3 && which <= 5) || which >= 6) height = HugeSide(r);
    const bool forceLong = r.Chance(15);
    WriteDimensions(in.bytes, at, width, height, forceLong);
    bool stillShort = false;
    std::uint64_t w2 = 0, h2 = 0;
    ReadDimensions(in.bytes, at, w2, h2, stillShort);
    in.detail = "image header at " + std::to_string(at) + ": " + std::to_string(width) + " x " +
                std::to_string(height) + (stillShort ? " (short header)" : " (long header)");

    // The directory's own width and height: matching the header, other huge
    // values, or left alone.
    const Layout after = ReadLayout(in.bytes);
    const IfdEntry* w = FindEntry(after, kTagWidth);
    const IfdEntry* h = FindEntry(after, kTagHeight);
    const std::uint64_t how = r.Below(10);
    if (w != nullptr && h != nullptr && how < 8) {
        const std::uint64_t iw = how < 5 ? width : HugeSide(r);
        const std::uint64_t ih = how < 5 ? height : HugeSide(r);
        const auto clamp = [](std::uint64_t v) {
            return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFull));
        };
        for (const IfdEntry* e : {w, h}) {
            Put16(in.bytes, e->at + 2, 4);  // LONG
            Put32(in.bytes, e->at + 4, 1);
        }
        Put32(in.bytes, w->at + 8, clamp(iw));
        Put32(in.bytes, h->at + 8, clamp(ih));
        in.detail += "; directory " + std::to_string(clamp(iw)) + " x " + std::to_string(clamp(ih));
    }
}

// --- Profile ---------------------------------------------------------------

// The bytes of the embedded ICC profile, as the directory places them.
struct ProfileRange {
    std::size_t at = 0;
    std::size_t size = 0;     // 0: none, or not inside the file
    std::size_t entryAt = 0;  // the directory entry of tag 0x8773
};

ProfileRange FindProfile(const Layout& layout, std::size_t fileSize) {
    ProfileRange range;
    const IfdEntry* e = FindEntry(layout, kTagIccProfile);
    // Large enough for a header and a tag count, wholly inside the file.
    if (e == nullptr || e->count < 132 || e->value > fileSize || e->count > fileSize - e->value) return range;
    range.at = e->value;
    range.size = e->count;
    range.entryAt = e->at;
    return range;
}

// ICC profiles are big-endian.
std::uint32_t GetBe32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}
void PutBe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (at + 4 > b.size()) return;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// One damage inside the profile's bytes: most profile bytes are lookup
// tables and text, so mutations anywhere in the file rarely reach the header
// and the tag table, which the library reads first.
void ProfileBytes(Input& in, Random& r, const ProfileRange& p) {
    std::vector<std::uint8_t>& b = in.bytes;
    const std::size_t tableAt = p.at + 128;
    const std::uint32_t tags = GetBe32(b, tableAt);
    // The tag table's entries that lie inside the profile: signature, offset, size.
    const std::size_t listed = std::min<std::size_t>(tags, (p.size - 132) / 12);
    in.detail = "profile at " + std::to_string(p.at) + " (" + std::to_string(p.size) + " bytes): ";
    switch (r.Below(8)) {
    case 0: {  // a header field: size, version, class, colour space, PCS, rendering intent ...
        static constexpr std::size_t kFields[] = {0, 8, 12, 16, 20, 36, 64, 68};
        const std::size_t field = kFields[r.Below(std::size(kFields))];
        const std::uint32_t v = Interesting32(r, GetBe32(b, p.at + field), p.size);
        PutBe32(b, p.at + field, v);
        in.detail += "header field " + std::to_string(field) + " = " + Hex(v);
        break;
    }
    case 1: {  // bits of the header and the tag count
        const unsigned flips = static_cast<unsigned>(r.Between(1, 8));
        in.detail += "flip bits at";
        for (unsigned i = 0; i < flips; ++i) {
            const std::size_t at = p.at + static_cast<std::size_t>(r.Below(132));
            const unsigned bit = static_cast<unsigned>(r.Below(8));
            b[at] ^= static_cast<std::uint8_t>(1u << bit);
            AppendFormat(in.detail, " +%zu.%u", at - p.at, bit);
        }
        break;
    }
    case 2: {  // the tag count
        const std::uint32_t v =
            r.Chance(50) ? Interesting32(r, tags, p.size) : tags + static_cast<std::uint32_t>(r.Between(1, 8));
        PutBe32(b, tableAt, v);
        in.detail += "tag count " + std::to_string(tags) + " -> " + Hex(v);
        break;
    }
    case 3:
    case 4: {  // an entry of the tag table: its offset, its size or its signature
        if (listed == 0) {
            PutBe32(b, tableAt, static_cast<std::uint32_t>(r.Below(0x10000)));
            in.detail += "tag count random (no entries)";
            break;
        }
        const std::size_t entry = static_cast<std::size_t>(r.Below(listed));
        const std::size_t at = tableAt + 4 + 12 * entry;
        const std::uint64_t which = r.Below(3);  // 0 signature, 1 offset, 2 size
        std::uint32_t v = 0;
        if (which == 0) {
            // another entry's signature (a duplicate), or anything
            v = r.Chance(70) ? GetBe32(b, tableAt + 4 + 12 * r.Below(listed)) : static_cast<std::uint32_t>(r.Next());
        } else {
            v = Interesting32(r, GetBe32(b, at + 4 * which), p.size);
        }
        PutBe32(b, at + 4 * which, v);
        static constexpr const char* kField[] = {"signature", "offset", "size"};
        in.detail += "tag entry " + std::to_string(entry) + " " + kField[which] + " = " + Hex(v);
        break;
    }
    case 5:
    case 6: {  // bytes inside one tag's data (type signature, counts, curve and table values)
        std::size_t from = p.at + 132 + 12 * listed;
        std::size_t end = p.at + p.size;
        if (listed != 0) {
            const std::size_t entry = static_cast<std::size_t>(r.Below(listed));
            const std::uint32_t offset = GetBe32(b, tableAt + 4 + 12 * entry + 4);
            const std::uint32_t size = GetBe32(b, tableAt + 4 + 12 * entry + 8);
            if (offset < p.size && size != 0) {
                from = p.at + offset;
                end = p.at + std::min<std::size_t>(p.size, std::size_t{offset} + size);
            }
        }
        if (from >= end) {
            from = p.at;
            end = p.at + p.size;
        }
        const unsigned n = static_cast<unsigned>(r.Between(1, 8));
        in.detail += std::to_string(n) + " bytes in tag data at";
        for (unsigned i = 0; i < n; ++i) {
            // the first 12 bytes (type and counts) half the time
            const std::size_t span = r.Chance(50) ? std::min<std::size_t>(12, end - from) : end - from;
            const std::size_t at = from + static_cast<std::size_t>(r.Below(span));
            b[at] = r.Chance(30) ? (r.Chance(50) ? 0xFF : 0x00) : r.Byte();
            AppendFormat(in.detail, " +%zu", at - p.at);
        }
        break;
    }
    default: {  // the profile's length: the directory's count, or the file cut inside the profile
        if (r.Chance(50)) {
            const std::uint32_t v = r.Chance(50) ? static_cast<std::uint32_t>(r.Between(0, p.size - 1))
                                                 : Interesting32(r, static_cast<std::uint32_t>(p.size), b.size());
            Put32(b, p.entryAt + 4, v);
            in.detail += "directory count " + std::to_string(p.size) + " -> " + Hex(v);
        } else {
            const std::size_t keep = p.at + static_cast<std::size_t>(r.Below(p.size));
            in.detail +=
                "file cut to " + std::to_string(keep) + " bytes (profile +" + std::to_string(keep - p.at) + ")";
            b.resize(keep);
        }
        break;
    }
    }
}

}  // namespace

const char* MutationName(Mutation mutation) {
    switch (mutation) {
    case Mutation::Truncate: return "truncate";
    case Mutation::BitFlip: return "bit-flip";
    case Mutation::RandomBytes: return "random-bytes";
    case Mutation::ContainerTags: return "container-tags";
    case Mutation::Dimensions: return "dimensions";
    case Mutation::Profile: return "icc-profile";
    default: return "?";
    }
}

bool Corpus::Load(std::string* missing) {
    files_.clear();
    totalWeight_ = 0;
    for (const CorpusName& entry : kCorpus) {
        const std::string path = testing_support::FixturePathA(entry.name);
        CorpusFile f;
        f.name = entry.name;
        f.weight = entry.weight;
        f.platformLeaks = entry.platformLeaks;
        const bool ok = testing_support::ReadWholeFile(std::wstring(path.begin(), path.end()), f.bytes) &&
                        !f.bytes.empty() && f.bytes.size() < (64u << 20);
        if (!ok) {
            if (missing != nullptr) *missing = path;
            files_.clear();
            return false;
        }
        totalWeight_ += f.weight;
        files_.push_back(std::move(f));
    }
    return true;
}

const CorpusFile& Corpus::Pick(Random& random) const {
    std::uint64_t ticket = random.Below(totalWeight_);
    for (const CorpusFile& f : files_) {
        if (ticket < f.weight) return f;
        ticket -= f.weight;
    }
    return files_.back();
}

Layout ReadLayout(const std::vector<std::uint8_t>& b) {
    Layout layout;
    if (b.size() >= 8 && std::memcmp(b.data(), kMagic, 4) == 0) {
        layout.container = true;
        const std::uint32_t ifd = Get32(b, 4);
        if (ifd >= 8 && static_cast<std::uint64_t>(ifd) + 2 <= b.size()) {
            const unsigned n = Get16(b, ifd);
            if (static_cast<std::uint64_t>(ifd) + 2 + 12ull * n + 4 <= b.size()) {
                layout.ifdOffset = ifd;
                for (unsigned i = 0; i < n; ++i) {
                    IfdEntry e;
                    e.at = ifd + 2 + 12 * i;
                    e.tag = Get16(b, e.at);
                    e.type = Get16(b, e.at + 2);
                    e.count = Get32(b, e.at + 4);
                    e.value = Get32(b, e.at + 8);
                    layout.entries.push_back(e);
                }
            }
        }
    }
    for (std::size_t at = 0; at + sizeof kCodestreamMagic <= b.size(); ++at) {
        if (std::memcmp(b.data() + at, kCodestreamMagic, sizeof kCodestreamMagic) == 0) {
            layout.codestreams.push_back(at);
        }
    }
    return layout;
}

// After the 8-byte signature: byte 8 version, byte 9 tiling / transform
// flags, byte 10 with SHORT_HEADER_FLAG in its top bit, byte 11 output colour
// format and bit depth, then WIDTH_MINUS1 and HEIGHT_MINUS1 (big-endian).
constexpr std::size_t kFlagsByte = 10;
constexpr std::uint8_t kShortHeaderFlag = 0x80;
constexpr std::size_t kSizeFields = 12;

bool ReadDimensions(const std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t& width, std::uint64_t& height,
                    bool& shortHeader) {
    if (at + kSizeFields + 4 > b.size()) return false;
    shortHeader = (b[at + kFlagsByte] & kShortHeaderFlag) != 0;
    const std::size_t p = at + kSizeFields;
    if (shortHeader) {
        width = ((b[p] << 8) | b[p + 1]) + 1ull;
        height = ((b[p + 2] << 8) | b[p + 3]) + 1ull;
        return true;
    }
    if (at + kSizeFields + 8 > b.size()) return false;
    const auto be32 = [&](std::size_t q) {
        return (static_cast<std::uint64_t>(b[q]) << 24) | (b[q + 1] << 16) | (b[q + 2] << 8) | b[q + 3];
    };
    width = be32(p) + 1;
    height = be32(p + 4) + 1;
    return true;
}

bool WriteDimensions(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t width, std::uint64_t height,
                     bool forceLongHeader) {
    std::uint64_t oldWidth = 0, oldHeight = 0;
    bool shortHeader = false;
    if (width == 0 || height == 0 || width > 0x100000000ull || height > 0x100000000ull) return false;
    if (!ReadDimensions(b, at, oldWidth, oldHeight, shortHeader)) return false;
    const std::size_t p = at + kSizeFields;
    if (shortHeader && !forceLongHeader && width <= 0x10000 && height <= 0x10000) {
        b[p] = static_cast<std::uint8_t>((width - 1) >> 8);
        b[p + 1] = static_cast<std::uint8_t>(width - 1);
        b[p + 2] = static_cast<std::uint8_t>((height - 1) >> 8);
        b[p + 3] = static_cast<std::uint8_t>(height - 1);
        return true;
    }
    if (shortHeader) {
        // Four more bytes: every offset in the directory that lies beyond
        // them moves, and the byte count of the codestream that grows.
        const Layout layout = ReadLayout(b);
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(p), 4, 0);
        b[at + kFlagsByte] &= static_cast<std::uint8_t>(~kShortHeaderFlag);
        for (const IfdEntry& e : layout.entries) {
            if ((e.tag == kTagImageOffset || e.tag == kTagAlphaOffset) && e.value > p) Put32(b, e.at + 8, e.value + 4);
        }
        const IfdEntry* image = FindEntry(layout, kTagImageOffset);
        const IfdEntry* alpha = FindEntry(layout, kTagAlphaOffset);
        const std::uint16_t grown = (alpha != nullptr && alpha->value == at)   ? kTagAlphaBytes
                                    : (image != nullptr && image->value == at) ? kTagImageBytes
                                                                               : 0;
        if (const IfdEntry* bytes = grown != 0 ? FindEntry(layout, grown) : nullptr) {
            Put32(b, bytes->at + 8, bytes->value + 4);
        }
        if (layout.ifdOffset > p) Put32(b, 4, static_cast<std::uint32_t>(layout.ifdOffset + 4));
    }
    const auto put = [&](std::size_t q, std::uint64_t v) {
        b[q] = static_cast<std::uint8_t>(v >> 24);
        b[q + 1] = static_cast<std::uint8_t>(v >> 16);
        b[q + 2] = static_cast<std::uint8_t>(v >> 8);
        b[q + 3] = static_cast<std::uint8_t>(v);
    };
    put(p, width - 1);
    put(p + 4, height - 1);
    return true;
}

Input MakeInput(const Corpus& corpus, std::uint64_t runSeed, std::uint64_t index) {
    Random r(InputSeed(runSeed, index));
    Input in;
    in.index = index;
    in.base = &corpus.Pick(r);
    in.bytes = in.base->bytes;
    // A picture with a profile: half its inputs damage the profile's bytes.
    if (const ProfileRange profile = FindProfile(ReadLayout(in.bytes), in.bytes.size());
        profile.size != 0 && r.Chance(50)) {
        in.mutation = Mutation::Profile;
        ProfileBytes(in, r, profile);
        return in;
    }
    // Damaged directories stop Wine's decoder most often (each stop costs a
    // new worker), so they come a little less often than the rest.
    static constexpr unsigned kWeights[] = {22, 24, 22, 14, 18};
    std::uint64_t ticket = r.Below(100);
    int kind = 0;
    while (ticket >= kWeights[kind]) ticket -= kWeights[kind++];
    in.mutation = static_cast<Mutation>(kind);
    switch (in.mutation) {
    case Mutation::Truncate: Truncate(in, r); break;
    case Mutation::BitFlip: BitFlip(in, r); break;
    case Mutation::RandomBytes: RandomBytes(in, r); break;
    case Mutation::ContainerTags: ContainerTags(in, r); break;
    default: Dimensions(in, r); break;
    }
    return in;
}

}  // namespace testing_support
