#include "decode/container_values.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace rorurera {
namespace {

// The container: "II", 0xBC, a version byte of 0 or 1, the offset of the
// directory; the directory: an entry count, then 12-byte entries (tag, type,
// count, value or offset), all little-endian, as in TIFF.
constexpr std::uint16_t kTagTransformation = 0xBC02;
constexpr std::uint16_t kTagImageOffset = 0xBCC0;
constexpr std::uint16_t kTagAlphaOffset = 0xBCC2;
constexpr std::uint16_t kTagAlphaByteCount = 0xBCC3;

// Field types.
constexpr std::uint16_t kTypeByte = 1;
constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeUndefined = 7;

// The orientation (TRANSFORMATION) is one of 8 values: none, the flips, and
// the quarter turn with each flip.
constexpr std::uint32_t kOrientations = 8;

// The descriptive metadata tags and what each must hold. The decoder reads
// every one of them into a typed value and asserts on that type; a caption
// it reads as UTF-16 text and touches its last character even when the text
// could not be read.
enum class MetadataKind { Text, OneShort, TwoShorts, Utf16Text };
struct MetadataTag {
    std::uint16_t tag;
    MetadataKind kind;
};
constexpr MetadataTag kMetadataTags[] = {
    {0x010D, MetadataKind::Text},       // document name
    {0x010E, MetadataKind::Text},       // image description
    {0x010F, MetadataKind::Text},       // camera make
    {0x0110, MetadataKind::Text},       // camera model
    {0x011D, MetadataKind::Text},       // page name
    {0x0129, MetadataKind::TwoShorts},  // page number (page, of pages)
    {0x0131, MetadataKind::Text},       // software
    {0x0132, MetadataKind::Text},       // date and time
    {0x013B, MetadataKind::Text},       // artist
    {0x013C, MetadataKind::Text},       // host computer
    {0x4746, MetadataKind::OneShort},   // rating stars
    {0x4749, MetadataKind::OneShort},   // rating value
    {0x8298, MetadataKind::Text},       // copyright
    {0x9C9B, MetadataKind::Utf16Text},  // caption
};

// Colour formats of the image header (OUTPUT_CLR_FMT, and the image plane's
// INTERNAL_CLR_FMT for the first seven): 9 to 15 are reserved, and so are
// 5 and 7 as internal formats.
// clang-format off
enum ColorFormat : unsigned {
    kGrey = 0, kYuv420 = 1, kYuv422 = 2, kYuv444 = 3, kCmyk = 4, kCmykDirect = 5, kNComponent = 6,
    kRgb = 7, kRgbe = 8, kColorFormats = 9,
};
// clang-format on
constexpr unsigned Bit(unsigned format) { return 1u << format; }

// Bit depths of the image header (OUTPUT_BITDEPTH): 0 and 15 one bit
// (0 = white, 0 = black), 1 8 bits, 2 16, 3 16 signed, 4 16 float,
// 6 32 signed, 7 32 float, 8 5-5-5, 9 10-10-10, 10 5-6-5; 11 to 14 are
// reserved (5 is 32-bit unsigned in the reference decoder). For each, the
// output colour formats that the decoder's output stage writes; any other
// pairing stops it on an assertion (the packed depths are RGB packings, one
// bit is grey only, RGBE has 8-bit mantissas, subsampled chroma is written
// at 8 and 16 bits alone, CMYK at 8 and 16 bits, signed or not).
constexpr unsigned kCommonFormats = Bit(kGrey) | Bit(kYuv444) | Bit(kNComponent) | Bit(kRgb);
// clang-format off
constexpr unsigned kWritableFormats[] = {
    Bit(kGrey),                                                                             // 1 bit
    kCommonFormats | Bit(kYuv420) | Bit(kYuv422) | Bit(kCmyk) | Bit(kRgbe),                // 8
    kCommonFormats | Bit(kYuv420) | Bit(kYuv422) | Bit(kCmyk),                             // 16
    kCommonFormats | Bit(kCmyk),                                                            // 16 signed
    kCommonFormats, kCommonFormats, kCommonFormats, kCommonFormats,                         // 16f, 32, 32s, 32f
    Bit(kRgb), Bit(kRgb), Bit(kRgb),                                                        // 555, 101010, 565
};
// clang-format on
constexpr unsigned kBitDepthOneBlack = 15;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

// One byte of an entry's data: inside the value field for up to 4 bytes,
// otherwise at the offset the value gives. False when it cannot be read.
bool DataByte(ContainerBytes& bytes, const Entry& e, std::uint32_t index, std::uint8_t* out) {
    if (e.count <= 4) {
        *out = static_cast<std::uint8_t>(e.value >> (8 * index));
        return true;
    }
    return bytes.ReadAt(static_cast<std::uint64_t>(e.value) + index, out, 1) == 1;
}

bool MetadataAllowed(ContainerBytes& bytes, const Entry& e, MetadataKind kind) {
    if (kind == MetadataKind::OneShort) return e.type == kTypeShort && e.count == 1;
    if (kind == MetadataKind::TwoShorts) return e.type == kTypeShort && e.count == 2;
    // Text: its data must lie within a 32-bit file (the decoder allocates the
    // count plus 2 bytes, which wraps for the last two counts).
    if (e.count > 4 && static_cast<std::uint64_t>(e.value) + e.count > 0xFFFFFFFFull) return false;
    if (e.count > 0xFFFFFFFDu) return false;
    std::uint8_t last = 0;
    if (kind == MetadataKind::Text) {
        // ASCII ends with its NUL; the count includes it. Text the decoder
        // cannot read it leaves alone.
        if (e.type != kTypeAscii || e.count == 0) return false;
        return !DataByte(bytes, e, e.count - 1, &last) || last == 0;
    }
    // A caption: bytes holding UTF-16 text that ends with a 0 character, and
    // all of them readable.
    if ((e.type != kTypeByte && e.type != kTypeUndefined) || e.count < 2) return false;
    const std::uint32_t end = (e.count / 2) * 2;
    std::uint8_t low = 1, high = 1;
    return DataByte(bytes, e, e.count - 1, &last) && DataByte(bytes, e, end - 2, &low) &&
           DataByte(bytes, e, end - 1, &high) && low == 0 && high == 0;
}

bool EntryAllowed(ContainerBytes& bytes, const Entry& e) {
    // The decoder takes the 32-bit value field of a one-value orientation as
    // it is, whatever the type says.
    if (e.tag == kTagTransformation) return e.count != 1 || e.value < kOrientations;
    for (const MetadataTag& m : kMetadataTags) {
        if (m.tag == e.tag) return MetadataAllowed(bytes, e, m.kind);
    }
    return true;
}

// Reads bit fields, most significant bit first, from a byte buffer.
class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Read(unsigned count, std::uint32_t* value) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < count; ++i, ++position_) {
            if (position_ / 8 >= size_) return false;
            v = v << 1 | ((data_[position_ / 8] >> (7 - position_ % 8)) & 1u);
        }
        *value = v;
        return true;
    }
    std::uint64_t Position() const { return position_; }
    void Skip(std::uint64_t count) { position_ += count; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t position_ = 0;
};

// The output colour format the decoder settles on, from the image header's,
// the image plane's internal one, and the one it starts from (the header's
// for the image, grey for a planar alpha image).
unsigned SettledOutputFormat(unsigned start, unsigned header, unsigned internal) {
    unsigned format = start;
    if (internal == kNComponent) format = kNComponent;
    if (internal == kCmyk && format != kGrey && format != kRgb) format = kCmyk;
    if (internal == kYuv422 && format == kYuv420) format = kYuv422;
    if (internal == kYuv444 && (format == kYuv422 || format == kYuv420)) format = kYuv444;
    if (header == kRgb && format != kGrey && format != kNComponent) format = kRgb;
    if (header == kRgbe) format = kRgbe;
    return format;
}

// The image header after "WMPHOTO\0" at the given offset: the colour format
// and bit depth it declares, and the first image plane's colour format (in
// the byte after the variable-length fields: size, tiling, windowing).
bool ImageHeaderAllowed(ContainerBytes& bytes, std::uint32_t offset, bool alphaPlane) {
    std::uint8_t head[32] = {};
    const std::size_t got = bytes.ReadAt(offset, head, sizeof head);
    if (got < 12 || std::memcmp(head, "WMPHOTO", 7) != 0 || head[8] >> 4 != 1) return true;  // the decoder's to refuse

    const unsigned format = head[11] >> 4;
    const unsigned depth = head[11] & 0x0Fu;
    if (format >= kColorFormats) return false;
    if (depth >= std::size(kWritableFormats) && depth != kBitDepthOneBlack) return false;

    Bits bits(head, got);
    bits.Skip(72);
    std::uint32_t tiling = 0, shortHeader = 0, windowing = 0, tileStretch = 0;
    bits.Read(1, &tiling);
    bits.Skip(7);
    bits.Read(1, &shortHeader);
    bits.Skip(1);
    bits.Read(1, &windowing);
    bits.Skip(1);
    bits.Read(1, &tileStretch);
    bits.Skip(3 + 8 + (shortHeader ? 32 : 64));
    std::uint64_t tiles = 1;
    if (tiling) {
        std::uint32_t across = 0, down = 0;
        if (!bits.Read(12, &across) || !bits.Read(12, &down)) return true;
        bits.Skip(static_cast<std::uint64_t>(across + down) * (shortHeader ? 8 : 16));
        tiles = static_cast<std::uint64_t>(across + 1) * (down + 1);
    }
    if (tileStretch) bits.Skip(tiles * 8);
    if (windowing) bits.Skip(24);

    std::uint8_t plane = 0;
    if (bytes.ReadAt(static_cast<std::uint64_t>(offset) + (bits.Position() + 7) / 8, &plane, 1) != 1) return true;
    const unsigned internal = plane >> 5;
    if (internal == 5 || internal == 7) return false;  // reserved as internal formats

    const unsigned settled = SettledOutputFormat(alphaPlane ? kGrey : format, format, internal);
    if (depth == 0 || depth == kBitDepthOneBlack) return settled == kGrey && internal == kGrey;
    return (kWritableFormats[depth] & Bit(settled)) != 0;
}

}  // namespace

PluginResult CheckContainerValues(ContainerBytes& bytes) noexcept {
    std::uint8_t head[8] = {};
    if (bytes.ReadAt(0, head, sizeof head) != sizeof head) return PluginResult::Success;
    if (head[0] != 'I' || head[1] != 'I' || head[2] != 0xBC || head[3] > 1) return PluginResult::Success;

    const std::uint64_t directory = Le32(head + 4);
    std::uint8_t countBytes[2] = {};
    if (bytes.ReadAt(directory, countBytes, 2) != 2) return PluginResult::Success;
    const std::uint32_t entries = Le16(countBytes);
    if (entries == 0 || entries == 0xFFFF) return PluginResult::Success;  // refused by the decoder

    // The decoder reads the entries in order and stops at the first one that
    // is not all there; the last image and alpha offsets count.
    std::uint32_t imageOffset = 0, alphaOffset = 0, alphaBytes = 0;
    bool haveImage = false;
    constexpr std::uint32_t kBlock = 64;
    std::uint8_t block[kBlock * 12];
    for (std::uint32_t first = 0; first < entries; first += kBlock) {
        const std::uint32_t wanted = std::min(kBlock, entries - first);
        const std::size_t got = bytes.ReadAt(directory + 2 + 12ull * first, block, wanted * 12);
        const std::size_t whole = got / 12;
        for (std::size_t i = 0; i < whole; ++i) {
            const std::uint8_t* p = block + 12 * i;
            const Entry e{Le16(p), Le16(p + 2), Le32(p + 4), Le32(p + 8)};
            if (!EntryAllowed(bytes, e)) return PluginResult::UnknownFormat;
            if (e.count != 1) continue;
            if (e.tag == kTagImageOffset) imageOffset = e.value, haveImage = true;
            if (e.tag == kTagAlphaOffset) alphaOffset = e.value;
            if (e.tag == kTagAlphaByteCount) alphaBytes = e.value;
        }
        if (whole < wanted) break;
    }

    if (haveImage && !ImageHeaderAllowed(bytes, imageOffset, false)) return PluginResult::UnknownFormat;
    if (alphaOffset != 0 && alphaBytes != 0 && !ImageHeaderAllowed(bytes, alphaOffset, true)) {
        return PluginResult::UnknownFormat;
    }
    return PluginResult::Success;
}

}  // namespace rorurera
