#include "output/tone_map.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

namespace rorurera {
namespace {

// A non-negative finite float's bits grow with its value: the top 14 bits
// (exponent and 6 mantissa bits) number 64 log-spaced bins per octave.
constexpr int kBinShift = 17;
constexpr std::size_t kBinCount = std::size_t{1} << (32 - 1 - kBinShift);

inline float Usable(float value) noexcept { return std::isfinite(value) && value > 0.0f ? value : 0.0f; }

inline std::size_t BinOf(float luminance) noexcept {
    return static_cast<std::size_t>(std::bit_cast<std::uint32_t>(luminance) >> kBinShift);
}

// The smallest float above every value of the bin.
inline float BinTop(std::size_t bin) noexcept {
    return std::bit_cast<float>(static_cast<std::uint32_t>((bin + 1) << kBinShift));
}

}  // namespace

float Luminance(float red, float green, float blue) noexcept {
    // Capped so that huge channels cannot add up to infinity.
    return std::min(0.2126f * Usable(red) + 0.7152f * Usable(green) + 0.0722f * Usable(blue), FLT_MAX);
}

LuminanceHistogram::LuminanceHistogram() : bins_(kBinCount, 0) {}

void LuminanceHistogram::AddRow(const float* rgba, std::uint32_t width) noexcept {
    float largest = largest_;
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        const float y = Luminance(rgba[0], rgba[1], rgba[2]);
        ++bins_[BinOf(y)];
        largest = std::max(largest, y);
    }
    largest_ = largest;
    count_ += width;
}

void LuminanceHistogram::Merge(const LuminanceHistogram& other) noexcept {
    for (std::size_t i = 0; i < kBinCount; ++i) bins_[i] += other.bins_[i];
    count_ += other.count_;
    largest_ = std::max(largest_, other.largest_);
}

float LuminanceHistogram::Percentile(double fraction) const noexcept {
    if (count_ == 0) return 0.0f;
    // At most (1 - fraction) of the pixels may lie above; the slack keeps
    // 0.999 of 2000 pixels at 1998 despite the rounding of 0.999.
    const auto above = static_cast<std::uint64_t>((1.0 - fraction) * static_cast<double>(count_) + 1e-6);
    const std::uint64_t wanted = count_ - std::min(above, count_);
    std::uint64_t seen = 0;
    for (std::size_t bin = 0; bin < kBinCount; ++bin) {
        seen += bins_[bin];
        if (seen >= wanted && seen != 0) {
            const float top = BinTop(bin);
            return top < largest_ ? top : largest_;
        }
    }
    return largest_;
}

void ToneMapRow(float* rgba, std::uint32_t width, float peak) noexcept {
    const double inversePeakSquared = 1.0 / (double{peak} * peak);
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        float r = Usable(rgba[0]);
        float g = Usable(rgba[1]);
        float b = Usable(rgba[2]);
        const float y = Luminance(r, g, b);
        if (y <= 0.0f) {
            rgba[0] = rgba[1] = rgba[2] = 0.0f;
            continue;
        }
        // In double: Y^2 of a huge luminance does not fit a float.
        const double yd = y;
        const auto mapped = static_cast<float>(yd * (1.0 + yd * inversePeakSquared) / (1.0 + yd));
        const float scale = mapped / y;
        r *= scale;
        g *= scale;
        b *= scale;
        const float largest = std::max({r, g, b});
        if (largest > 1.0f) {
            if (mapped >= 1.0f) {
                // Above the peak: as bright as white can be.
                r = g = b = 1.0f;
            } else {
                // Towards the grey of the same luminance until the largest
                // channel is 1.0; the smallest stays at or above 0.
                const float keep = (1.0f - mapped) / (largest - mapped);
                r = mapped + keep * (r - mapped);
                g = mapped + keep * (g - mapped);
                b = mapped + keep * (b - mapped);
            }
        }
        rgba[0] = std::min(r, 1.0f);
        rgba[1] = std::min(g, 1.0f);
        rgba[2] = std::min(b, 1.0f);
    }
}

}  // namespace rorurera
