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

inline float Finite(float value) noexcept { return std::isfinite(value) ? value : 0.0f; }
inline float Usable(float value) noexcept { return std::isfinite(value) && value > 0.0f ? value : 0.0f; }

constexpr std::size_t BinOf(float luminance) noexcept {
    return static_cast<std::size_t>(std::bit_cast<std::uint32_t>(luminance) >> kBinShift);
}

// The smallest float above every value of the bin.
inline float BinTop(std::size_t bin) noexcept {
    return std::bit_cast<float>(static_cast<std::uint32_t>((bin + 1) << kBinShift));
}

// Near-neutral pixels are counted from 0.5 to 8.0 (four octaves).
constexpr float kNeutralLow = 0.5f;
constexpr float kNeutralHigh = 8.0f;
constexpr std::size_t kNeutralBase = BinOf(kNeutralLow);
static_assert(BinOf(kNeutralHigh) - kNeutralBase == LuminanceHistogram::kNeutralBins);
// Channels within 1/32 of the largest: grey as far as the eye can tell
// (exactly equal for what the compositor showed as sRGB grey or white).
constexpr float kNeutralSpread = 1.0f / 32.0f;

// The SDR white rule, measured on synthetic screenshots (desktops at 1.0,
// 2.5 and 3.75 with windows, text, dark themes, small and large white
// areas; games with and without a HUD; photos):
//  - UI, text windows and flat desktop areas are large areas of one
//    near-neutral value, so the white they were shown at stands as a spike
//    in the histogram of near-neutral luminance; natural content (photos,
//    game scenes, sky, the smoothed edges of text) spreads over many bins.
//  - A spike is a bin between 1.0 and 6.0 (80 to 480 nits) that is a local
//    maximum, whose count together with its larger neighbour (a value on a
//    bin edge) holds at least kSpikeShare of all pixels (and at least
//    kSpikeLeast pixels) and at least kSpikeContrast times the mean count
//    of two bins 2 to 9 bins away.
//  - Of the spikes, the brightest whose count is at least a quarter of the
//    largest spike's wins: a light-grey panel below a white window is passed
//    over, while a small flat patch above a whole desktop at its own level
//    is not taken for white.
//  - W is the mean luminance of the winning pair of bins; with no spike
//    there is no SDR white to keep (the caller takes 1.0).
constexpr double kSpikeShare = 0.002;
constexpr double kSpikeLeast = 16.0;
constexpr double kSpikeContrast = 8.0;
constexpr int kSpikeNear = 2;
constexpr int kSpikeFar = 9;

// Where in the shoulder (0 at the knee, 1 at the peak) colours that do not
// fit begin to be drawn towards white.
constexpr float kDesaturationStart = 0.75f;

}  // namespace

float Luminance(float red, float green, float blue) noexcept {
    // Capped so that huge channels cannot add up to infinity.
    return std::min(0.2126f * Usable(red) + 0.7152f * Usable(green) + 0.0722f * Usable(blue), FLT_MAX);
}

LuminanceHistogram::LuminanceHistogram() : bins_(kBinCount, 0) {}

void LuminanceHistogram::AddRow(const float* rgba, std::uint32_t width) noexcept {
    float largest = largest_;
    float largestChannel = largestChannel_;
    // Screenshots are mostly runs of one colour: a pixel like the one before
    // it is counted where that one was.
    float previous[3] = {-1.0f, -1.0f, -1.0f};
    std::size_t bin = 0;
    std::size_t neutral = kNeutralBins;  // none
    float y = 0.0f;
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        if (rgba[0] != previous[0] || rgba[1] != previous[1] || rgba[2] != previous[2]) {
            previous[0] = rgba[0];
            previous[1] = rgba[1];
            previous[2] = rgba[2];
            y = Luminance(rgba[0], rgba[1], rgba[2]);
            bin = BinOf(y);
            largest = std::max(largest, y);
            const float r = Finite(rgba[0]), g = Finite(rgba[1]), b = Finite(rgba[2]);
            const float top = std::max({r, g, b});
            largestChannel = std::max(largestChannel, top);
            neutral = y >= kNeutralLow && y < kNeutralHigh && top - std::min({r, g, b}) <= kNeutralSpread * top
                          ? bin - kNeutralBase
                          : kNeutralBins;
        }
        ++bins_[bin];
        if (neutral < kNeutralBins) {
            ++neutralCounts_[neutral];
            neutralSums_[neutral] += y;
        }
    }
    largest_ = largest;
    largestChannel_ = largestChannel;
    count_ += width;
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

float LuminanceHistogram::SdrWhite() const noexcept {
    const auto first = static_cast<int>(BinOf(kLowestSdrWhite) - kNeutralBase) - 1;
    const auto last = static_cast<int>(BinOf(kHighestSdrWhite) - kNeutralBase) + 1;
    const double least = std::max(kSpikeLeast, kSpikeShare * static_cast<double>(count_));
    struct Spike {
        double count, sum;
    };
    Spike spikes[kNeutralBins];
    int found = 0;
    double most = 0.0;
    const auto at = [this](int bin) { return static_cast<double>(neutralCounts_[static_cast<std::size_t>(bin)]); };
    for (int bin = first; bin <= last; ++bin) {
        const double here = at(bin);
        if (here == 0.0 || here < at(bin - 1) || here <= at(bin + 1)) continue;
        const int pair = at(bin - 1) >= at(bin + 1) ? bin - 1 : bin + 1;
        const double count = here + at(pair);
        double around = 0.0;
        for (int d = kSpikeNear; d <= kSpikeFar; ++d) around += at(bin - d) + at(bin + d);
        const double perPair = 2.0 * around / (2.0 * (kSpikeFar - kSpikeNear + 1));
        if (count < least || count < kSpikeContrast * perPair) continue;
        spikes[found++] = {count,
                           neutralSums_[static_cast<std::size_t>(bin)] + neutralSums_[static_cast<std::size_t>(pair)]};
        most = std::max(most, count);
    }
    // The brightest spike of at least a quarter of the largest one's count.
    for (int i = found - 1; i >= 0; --i) {
        if (spikes[i].count * 4.0 >= most) {
            const auto white = static_cast<float>(spikes[i].sum / spikes[i].count);
            return std::clamp(white, kLowestSdrWhite, kHighestSdrWhite);
        }
    }
    return 0.0f;
}

ToneCurve MakeToneCurve(float peak, float white) noexcept {
    ToneCurve curve;
    const double w = std::isfinite(white) && white >= 1.0f ? white : 1.0;
    curve.inverseWhite = static_cast<float>(1.0 / w);
    const double p = std::isfinite(peak) ? peak / w : double{FLT_MAX};
    curve.peak = static_cast<float>(p);
    curve.compress = p > 1.0;
    if (!curve.compress) return curve;
    // The shoulder above the knee, t = (x - knee) / (1 - knee):
    // g(t) = ln(1 + b t) / b, of slope 1 at t = 0, reaching 1 at the peak's
    // t = T, which asks ln(1 + b T) = b. For T barely above 1 b is tiny and
    // g(t) = t.
    const double range = 1.0 - kToneKnee;
    const double t = (p - kToneKnee) / range;
    if (t < 1.0 + 1e-5) return curve;
    double low = 0.0, high = 2.0 * std::log(t) + 2.0;  // ln(1 + b T) - b > 0 below the root, < 0 above
    for (int i = 0; i < 80; ++i) {
        const double b = 0.5 * (low + high);
        (std::log1p(b * t) > b ? low : high) = b;
    }
    curve.shoulder = static_cast<float>(low);
    curve.inverseShoulder = static_cast<float>(1.0 / low);
    curve.firstBin = static_cast<std::uint32_t>(BinOf(kToneKnee));
    const std::size_t lastBin = BinOf(curve.peak);
    curve.tableBins = static_cast<std::uint32_t>(std::min(lastBin - curve.firstBin + 1, ToneCurve::kTableBins));
    for (std::uint32_t i = 0; i <= curve.tableBins; ++i) {
        // The lower edge of bin firstBin + i, the first bin's lower edge at
        // or below the knee.
        const double y = std::bit_cast<float>(static_cast<std::uint32_t>((curve.firstBin + i) << kBinShift));
        double mapped = y;
        if (y >= p) {
            mapped = 1.0;
        } else if (y > kToneKnee) {
            mapped = kToneKnee + range * std::min(std::log1p(low * (y - kToneKnee) / range) / low, 1.0);
        }
        curve.table[i] = static_cast<float>(mapped);
    }
    return curve;
}

namespace {

constexpr float kToneRange = 1.0f - kToneKnee;
constexpr float kInverseToneRange = 1.0f / kToneRange;

// A colour outside the gamut below: grey added until the smallest channel is
// 0, then scaled back to the luminance Y; hue kept.
inline void LiftIntoGamut(float& r, float& g, float& b, float y) noexcept {
    const float lowest = std::min({r, g, b});
    if (lowest >= 0.0f) return;
    r -= lowest;
    g -= lowest;
    b -= lowest;
    const float back = y / Luminance(r, g, b);
    r *= back;
    g *= back;
    b *= back;
}

// The luminance Y' that the curve gives a luminance Y above the knee.
inline float ShoulderLuminance(float y, const ToneCurve& curve) noexcept {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(y);
    const std::uint32_t bin = (bits >> kBinShift) - curve.firstBin;
    if (y >= curve.peak) return 1.0f;
    if (bin < curve.tableBins) {
        const float within = static_cast<float>(bits & ((1u << kBinShift) - 1)) * (1.0f / (1u << kBinShift));
        return curve.table[bin] + within * (curve.table[bin + 1] - curve.table[bin]);
    }
    const float t = (y - kToneKnee) * kInverseToneRange;
    const float shoulder = curve.shoulder > 0.0f ? std::log1p(curve.shoulder * t) * curve.inverseShoulder : t;
    return kToneKnee + kToneRange * std::min(shoulder, 1.0f);
}

// A colour too bright to fit, scaled down along its own ratios: hue and
// saturation kept. In the upper quarter of the shoulder it is drawn towards
// the colour of luminance Y' whose largest channel is 1.0 (towards white),
// all the way at the peak: a bright sky stays blue, the sun goes white.
inline void FitBelowWhite(float& r, float& g, float& b, float mapped) noexcept {
    const float top = std::max({r, g, b});
    if (top <= 1.0f) return;
    const float down = 1.0f / top;
    float sr = r * down, sg = g * down, sb = b * down;
    const float u = (mapped - kToneKnee) * kInverseToneRange;
    if (u > kDesaturationStart) {
        const float s = std::min((u - kDesaturationStart) * (1.0f / (1.0f - kDesaturationStart)), 1.0f);
        const float weight = s * s * (3.0f - 2.0f * s);
        const float keep = mapped >= 1.0f ? 0.0f : (1.0f - mapped) / (top - mapped);
        const float dr = mapped + keep * (r - mapped);
        const float dg = mapped + keep * (g - mapped);
        const float db = mapped + keep * (b - mapped);
        sr += weight * (dr - sr);
        sg += weight * (dg - sg);
        sb += weight * (db - sb);
    }
    r = sr;
    g = sg;
    b = sb;
}

// One colour through the curve, already divided by the SDR white.
inline void MapColour(float& r, float& g, float& b, const ToneCurve& curve) noexcept {
    const float y = Luminance(r, g, b);
    if (y <= 0.0f) {
        r = g = b = 0.0f;
        return;
    }
    LiftIntoGamut(r, g, b, y);
    float mapped = y;
    if (y > kToneKnee) {
        mapped = ShoulderLuminance(y, curve);
        const float factor = mapped / y;
        r *= factor;
        g *= factor;
        b *= factor;
    }
    FitBelowWhite(r, g, b, mapped);
    r = std::clamp(r, 0.0f, 1.0f);
    g = std::clamp(g, 0.0f, 1.0f);
    b = std::clamp(b, 0.0f, 1.0f);
}

}  // namespace

void ToneMapRow(float* rgba, std::uint32_t width, const ToneCurve& curve) noexcept {
    const float scale = curve.inverseWhite;
    if (!curve.compress) {
        for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
            rgba[0] *= scale;
            rgba[1] *= scale;
            rgba[2] *= scale;
        }
        return;
    }
    // Screenshots are mostly runs of one colour: a pixel like the one before
    // it gets what that one got.
    float before[3] = {-1.0f, -1.0f, -1.0f};
    float after[3] = {0.0f, 0.0f, 0.0f};
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        if (rgba[0] != before[0] || rgba[1] != before[1] || rgba[2] != before[2]) {
            before[0] = rgba[0];
            before[1] = rgba[1];
            before[2] = rgba[2];
            after[0] = Finite(rgba[0]) * scale;
            after[1] = Finite(rgba[1]) * scale;
            after[2] = Finite(rgba[2]) * scale;
            MapColour(after[0], after[1], after[2], curve);
        }
        rgba[0] = after[0];
        rgba[1] = after[1];
        rgba[2] = after[2];
    }
}

}  // namespace rorurera
