#include "output/native_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace rorurera {
namespace {

using enum NumericKind;
using enum ChannelOrder;

// --- the sRGB transfer curve, as a table built by the compiler -------------

// x^(2/5) for x > 0: Newton's method on y^5 = x^2, from above.
constexpr double TwoFifthsPower(double x) {
    double y = x > 1.0 ? x : 1.0;
    for (int i = 0; i < 200; ++i) {
        const double y4 = y * y * y * y;
        const double next = y - (y4 * y - x * x) / (5.0 * y4);
        if (next >= y) break;
        y = next;
    }
    return y;
}

// The linear value whose sRGB encoding is `encoded` (0..1).
constexpr double LinearFromSrgb(double encoded) {
    if (encoded <= 0.04045) return encoded / 12.92;
    const double base = (encoded + 0.055) / 1.055;
    return base * base * TwoFifthsPower(base);
}

// Entry i: the sRGB-encoded 8-bit value of the linear value i / 65535,
// rounded to nearest. An 8-bit step k + 1 begins where the linear value
// reaches the decoding of k + 0.5.
struct SrgbTable {
    std::uint8_t values[65536];
};

constexpr SrgbTable MakeSrgbTable() {
    SrgbTable table{};
    std::uint32_t level = 0;
    double nextStep = LinearFromSrgb(0.5 / 255.0);
    for (std::uint32_t i = 0; i < 65536; ++i) {
        const double linear = i / 65535.0;
        while (level < 255 && linear >= nextStep) {
            ++level;
            nextStep = level < 255 ? LinearFromSrgb((level + 0.5) / 255.0) : 2.0;
        }
        table.values[i] = static_cast<std::uint8_t>(level);
    }
    return table;
}

constexpr SrgbTable kSrgbFromLinear16 = MakeSrgbTable();
static_assert(kSrgbFromLinear16.values[0] == 0 && kSrgbFromLinear16.values[65535] == 255);
static_assert(kSrgbFromLinear16.values[32768] == 188);  // 0.5 encodes to 0.7354

// --- sample readers ---------------------------------------------------------

template <typename T>
inline T Load(const std::uint8_t* p) noexcept {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

inline float HalfToFloat(std::uint16_t half) noexcept {
    const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1Fu;
    const std::uint32_t mantissa = half & 0x3FFu;
    std::uint32_t bits;
    if (exponent == 0) {  // zero or subnormal: mantissa * 2^-24
        const float magnitude = static_cast<float>(mantissa) * (1.0f / 16777216.0f);
        return sign != 0 ? -magnitude : magnitude;
    }
    if (exponent == 31) {
        bits = sign | 0x7F800000u | (mantissa << 13);  // infinity or NaN
    } else {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    }
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// Sample n of a pixel of an scRGB format, as a float.
inline float ScRgbSample(NumericKind kind, const std::uint8_t* pixel, std::uint32_t n) noexcept {
    switch (kind) {
    case Fixed16: return static_cast<float>(Load<std::int16_t>(pixel + 2 * n)) * (1.0f / 8192.0f);
    case Fixed32: return static_cast<float>(Load<std::int32_t>(pixel + 4 * n)) * (1.0f / 16777216.0f);
    case Half: return HalfToFloat(Load<std::uint16_t>(pixel + 2 * n));
    case Float: return Load<float>(pixel + 4 * n);
    default: return 0.0f;
    }
}

// Where red, green and blue lie among the colour samples.
struct ColourIndex {
    std::uint32_t red;
    std::uint32_t green;
    std::uint32_t blue;
};

constexpr ColourIndex IndexOf(ChannelOrder order) noexcept {
    switch (order) {
    case Rgb: return {0, 1, 2};
    case Bgr: return {2, 1, 0};
    default: return {0, 0, 0};  // grey
    }
}

// The number of colour samples, which is also the index of alpha.
constexpr std::uint32_t ColourSamples(ChannelOrder order) noexcept { return order == Gray ? 1 : order == Cmyk ? 4 : 3; }

// --- 8-bit results ----------------------------------------------------------

// round(x * y / 255) for x, y in 0..255 (the exact half never occurs).
inline std::uint8_t MulDiv255(std::uint32_t x, std::uint32_t y) noexcept {
    return static_cast<std::uint8_t>((x * y + 127) / 255);
}

// A premultiplied 8-bit sample divided by its alpha, rounded, at most 255.
inline std::uint8_t Unpremultiply8(std::uint32_t colour, std::uint32_t alpha) noexcept {
    if (alpha == 0) return 0;
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (colour * 255 + alpha / 2) / alpha));
}

inline std::uint32_t Unpremultiply16(std::uint32_t colour, std::uint32_t alpha) noexcept {
    if (alpha == 0) return 0;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(65535, (std::uint64_t{colour} * 65535 + alpha / 2) / alpha));
}

// round(v * 255 / 65535).
inline std::uint8_t Scale16To8(std::uint32_t v) noexcept {
    return static_cast<std::uint8_t>((v * 255 + 32767) / 65535);
}

// round(255 (1 - c)(1 - k)) for 16-bit c and k.
inline std::uint8_t CmykChannel16(std::uint32_t c, std::uint32_t k) noexcept {
    constexpr std::uint64_t kFull = std::uint64_t{65535} * 65535;
    const std::uint64_t product = std::uint64_t{65535 - c} * (65535 - k);
    return static_cast<std::uint8_t>((product * 255 + kFull / 2) / kFull);
}

// An n-bit value scaled to 8 bits with rounding.
template <std::uint32_t kBits>
inline std::uint8_t Expand(std::uint32_t v) noexcept {
    constexpr std::uint32_t kMax = (1u << kBits) - 1;
    return static_cast<std::uint8_t>((v * 255 + kMax / 2) / kMax);
}

// An extended-range 10-bit sample, (v - 384) / 510, clamped to 0..1 and
// scaled to 8 bits with rounding: 255 (v - 384) / 510 is (v - 384) / 2.
inline std::uint8_t ExpandExtendedRange(std::uint32_t v) noexcept {
    if (v <= 384) return 0;
    if (v >= 894) return 255;
    return static_cast<std::uint8_t>((v - 384 + 1) / 2);
}

inline std::uint8_t EncodeSrgb(float linear) noexcept {
    if (!(linear > 0.0f)) return 0;  // NaN too
    if (linear >= 1.0f) return 255;
    return kSrgbFromLinear16.values[static_cast<std::uint32_t>(linear * 65535.0f + 0.5f)];
}

inline std::uint8_t EncodeAlpha(float alpha) noexcept {
    if (!(alpha > 0.0f)) return 0;
    if (alpha >= 1.0f) return 255;
    return static_cast<std::uint8_t>(alpha * 255.0f + 0.5f);
}

inline void Store(std::uint8_t* out, std::uint8_t red, std::uint8_t green, std::uint8_t blue) noexcept {
    out[0] = blue;
    out[1] = green;
    out[2] = red;
}

// --- rows by kind -----------------------------------------------------------

// What sets 8- and 16-bit integer samples apart: both are sRGB-encoded as
// stored; 16-bit ones are scaled to 8 bits.
struct Samples8 {
    using Type = std::uint8_t;
    static constexpr std::uint32_t kMax = 255;
    static std::uint8_t Cmyk(std::uint32_t c, std::uint32_t k) noexcept { return MulDiv255(255u - c, 255u - k); }
    static std::uint32_t Unpremultiply(std::uint32_t v, std::uint32_t a) noexcept { return Unpremultiply8(v, a); }
    static std::uint8_t Colour(std::uint32_t v) noexcept { return static_cast<std::uint8_t>(v); }
    static std::uint8_t Alpha(std::uint32_t v) noexcept { return static_cast<std::uint8_t>(v); }
};
struct Samples16 {
    using Type = std::uint16_t;
    static constexpr std::uint32_t kMax = 65535;
    static std::uint8_t Cmyk(std::uint32_t c, std::uint32_t k) noexcept { return CmykChannel16(c, k); }
    static std::uint32_t Unpremultiply(std::uint32_t v, std::uint32_t a) noexcept { return Unpremultiply16(v, a); }
    static std::uint8_t Colour(std::uint32_t v) noexcept { return Scale16To8(v); }
    static std::uint8_t Alpha(std::uint32_t v) noexcept { return Scale16To8(v); }
};

template <typename S>
void ConvertIntegerRow(const PixelFormatEntry& f, const std::uint8_t* in, std::uint8_t* out,
                       std::uint32_t width) noexcept {
    const std::uint32_t inBytes = f.bitsPerPixel / 8;
    const std::uint32_t outBytes = OutputBytesPerPixel(f.hasAlpha);
    const ColourIndex at = IndexOf(f.order);
    const std::uint32_t alphaAt = ColourSamples(f.order);
    for (std::uint32_t x = 0; x < width; ++x, in += inBytes, out += outBytes) {
        const auto sample = [in](std::uint32_t n) noexcept -> std::uint32_t {
            return Load<typename S::Type>(in + sizeof(typename S::Type) * n);
        };
        const std::uint32_t alpha = f.hasAlpha ? sample(alphaAt) : S::kMax;
        if (f.order == Cmyk) {
            const std::uint32_t black = sample(3);
            Store(out, S::Cmyk(sample(0), black), S::Cmyk(sample(1), black), S::Cmyk(sample(2), black));
        } else {
            std::uint32_t red = sample(at.red);
            std::uint32_t green = sample(at.green);
            std::uint32_t blue = sample(at.blue);
            if (f.premultiplied) {
                red = S::Unpremultiply(red, alpha);
                green = S::Unpremultiply(green, alpha);
                blue = S::Unpremultiply(blue, alpha);
            }
            Store(out, S::Colour(red), S::Colour(green), S::Colour(blue));
        }
        if (f.hasAlpha) out[3] = S::Alpha(alpha);
    }
}

void ConvertPackedRow(const PixelFormatEntry& f, const std::uint8_t* in, std::uint8_t* out,
                      std::uint32_t width) noexcept {
    const std::uint32_t inBytes = f.bitsPerPixel / 8;
    const std::uint32_t outBytes = OutputBytesPerPixel(f.hasAlpha);
    const bool redLow = f.order == Rgb;  // otherwise blue lies in the lowest bits
    for (std::uint32_t x = 0; x < width; ++x, in += inBytes, out += outBytes) {
        std::uint8_t low = 0;
        std::uint8_t middle = 0;
        std::uint8_t high = 0;
        std::uint8_t alpha = 255;
        if (f.kind == Packed101010 || f.kind == Packed101010XR) {
            const std::uint32_t word = Load<std::uint32_t>(in);
            const bool extended = f.kind == Packed101010XR;
            const auto ten = [extended](std::uint32_t v) noexcept {
                return extended ? ExpandExtendedRange(v) : Expand<10>(v);
            };
            low = ten(word & 0x3FF);
            middle = ten((word >> 10) & 0x3FF);
            high = ten((word >> 20) & 0x3FF);
            alpha = static_cast<std::uint8_t>((word >> 30) * 85);
        } else {
            const std::uint32_t word = Load<std::uint16_t>(in);
            low = Expand<5>(word & 0x1F);
            if (f.kind == Packed565) {
                middle = Expand<6>((word >> 5) & 0x3F);
                high = Expand<5>((word >> 11) & 0x1F);
            } else {
                middle = Expand<5>((word >> 5) & 0x1F);
                high = Expand<5>((word >> 10) & 0x1F);
                alpha = (word & 0x8000) != 0 ? 255 : 0;
            }
        }
        if (redLow) {
            Store(out, low, middle, high);
        } else {
            Store(out, high, middle, low);
        }
        if (f.hasAlpha) out[3] = alpha;
    }
}

}  // namespace

void DecodeLinearRow(const PixelFormatEntry& f, const std::uint8_t* in, float* rgba, std::uint32_t width) noexcept {
    if (!IsScRgb(f)) return;
    const std::uint32_t inBytes = f.bitsPerPixel / 8;
    for (std::uint32_t x = 0; x < width; ++x, in += inBytes, rgba += 4) {
        if (f.kind == SharedExponent) {
            // value = mantissa * 2^(exponent - 128 - 8); exponent 0 is black
            const float scale = in[3] == 0 ? 0.0f : std::ldexp(1.0f, static_cast<int>(in[3]) - 136);
            rgba[0] = in[0] * scale;
            rgba[1] = in[1] * scale;
            rgba[2] = in[2] * scale;
            rgba[3] = 1.0f;
            continue;
        }
        const ColourIndex at = IndexOf(f.order);
        float red = ScRgbSample(f.kind, in, at.red);
        float green = ScRgbSample(f.kind, in, at.green);
        float blue = ScRgbSample(f.kind, in, at.blue);
        const float alpha = f.hasAlpha ? ScRgbSample(f.kind, in, ColourSamples(f.order)) : 1.0f;
        if (f.premultiplied && alpha != 0.0f) {
            red /= alpha;
            green /= alpha;
            blue /= alpha;
        }
        rgba[0] = red;
        rgba[1] = green;
        rgba[2] = blue;
        rgba[3] = alpha;
    }
}

void EncodeLinearRowSrgb(const float* rgba, std::uint8_t* out, std::uint32_t width, bool withAlpha) noexcept {
    const std::uint32_t outBytes = OutputBytesPerPixel(withAlpha);
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4, out += outBytes) {
        Store(out, EncodeSrgb(rgba[0]), EncodeSrgb(rgba[1]), EncodeSrgb(rgba[2]));
        if (withAlpha) out[3] = EncodeAlpha(rgba[3]);
    }
}

void ConvertNativeRow(const PixelFormatEntry& f, const std::uint8_t* in, std::uint8_t* out,
                      std::uint32_t width) noexcept {
    switch (f.kind) {
    case Unsigned8: ConvertIntegerRow<Samples8>(f, in, out, width); return;
    case Unsigned16: ConvertIntegerRow<Samples16>(f, in, out, width); return;
    case Packed555:
    case Packed565:
    case Packed101010:
    case Packed101010XR: ConvertPackedRow(f, in, out, width); return;
    default: break;
    }
    // scRGB: through linear floats, a stretch of the row at a time.
    constexpr std::uint32_t kStretch = 256;
    float linear[kStretch * 4];
    const std::uint32_t inBytes = f.bitsPerPixel / 8;
    const std::uint32_t outBytes = OutputBytesPerPixel(f.hasAlpha);
    for (std::uint32_t x = 0; x < width; x += kStretch) {
        const std::uint32_t count = std::min(kStretch, width - x);
        DecodeLinearRow(f, in + std::size_t{x} * inBytes, linear, count);
        EncodeLinearRowSrgb(linear, out + std::size_t{x} * outBytes, count, f.hasAlpha);
    }
}

}  // namespace rorurera
