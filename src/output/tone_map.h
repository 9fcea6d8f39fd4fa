#pragma once

// Tone mapping of linear-light pictures whose values go above 1.0 (scRGB,
// where 1.0 is 80 nits). Windows shows SDR content (desktop, windows, text,
// a game's HUD) at the SDR white level of the user's display setting, so an
// HDR screenshot holds what the user saw as white at that level W, not at
// 1.0. The picture is taken relative to W (x = v / W): what lies at or
// below W stays as it was, only highlights above it are compressed. W and
// the peak come from one histogram of the picture's luminance; then a curve
// that is the identity below a knee and a smooth shoulder above it. Pure
// functions on rows of float R, G, B, A; no Windows calls.

#include <array>
#include <cstdint>
#include <vector>

#include "settings/settings_store.h"

namespace rorurera {

// Rec. 709 luminance of linear R, G, B (the primaries of scRGB); a negative
// or non-finite channel counts as 0.
float Luminance(float red, float green, float blue) noexcept;

// The range in which an SDR white is looked for, in scRGB (1.0 to 6.0).
inline constexpr float kLowestSdrWhite = static_cast<float>(kLowestSdrWhiteNits) / kNitsOfScRgbOne;
inline constexpr float kHighestSdrWhite = static_cast<float>(kHighestSdrWhiteNits) / kNitsOfScRgbOne;

// Counts of pixel luminance in log-spaced bins: 64 bins per octave (each bin
// about 1.1 % wide) taken straight from the bits of the float, plus the exact
// largest value, so the peak is never reported above the largest luminance.
// Near-neutral pixels between 0.5 and 8.0 are counted once more, with the
// sum of their luminance per bin, for the SDR white (SdrWhite).
class LuminanceHistogram {
public:
    LuminanceHistogram();

    // Adds `width` pixels of R, G, B, A floats.
    void AddRow(const float* rgba, std::uint32_t width) noexcept;

    // The top of the lowest bin at or below which at least `fraction` of the
    // pixels lie (at most 1.1 % above the exact percentile), capped at the
    // largest luminance seen; 0 for no pixels.
    float Percentile(double fraction) const noexcept;

    // The SDR white level of the picture, or 0 when none stands out (see
    // tone_map.cpp for the rule).
    float SdrWhite() const noexcept;

    std::uint64_t Count() const noexcept { return count_; }
    // The largest R, G or B seen (non-finite ones counting as 0).
    float LargestChannel() const noexcept { return largestChannel_; }

    // Near-neutral bins: from 0.5 to 8.0, 64 a octave.
    static constexpr std::size_t kNeutralBins = 4 * 64;

private:
    std::vector<std::uint32_t> bins_;
    std::array<std::uint32_t, kNeutralBins> neutralCounts_{};
    std::array<double, kNeutralBins> neutralSums_{};
    std::uint64_t count_ = 0;
    float largest_ = 0.0f;
    float largestChannel_ = 0.0f;
};

// The share of pixels the peak leaves above it: the peak is the 99.9th
// percentile of luminance.
inline constexpr double kPeakPercentile = 0.999;

// The luminance below which nothing changes, relative to SDR white.
inline constexpr float kToneKnee = 0.85f;

// How one picture's rows are mapped: divided by the SDR white W, then, when
// the peak lies above W, compressed above the knee so that the peak becomes
// 1.0. Made by MakeToneCurve.
struct ToneCurve {
    float inverseWhite = 1.0f;  // 1 / W
    bool compress = false;      // the peak lies above W
    float peak = 1.0f;          // the peak relative to W
    float shoulder = 0.0f;      // b of the shoulder ln(1 + b t) / b; 0: t itself
    float inverseShoulder = 0.0f;
    // The mapped luminance at the lower edge of each luminance bin (64 an
    // octave, as the histogram's) from the knee's bin up, interpolated
    // linearly within a bin: the shoulder without a logarithm per pixel.
    static constexpr std::size_t kTableBins = 1024;  // 16 octaves above the knee
    std::uint32_t firstBin = 0;
    std::uint32_t tableBins = 0;  // bins covered, at most kTableBins
    std::array<float, kTableBins + 1> table{};
};

// The curve for a picture with this peak (99.9th percentile of luminance)
// and SDR white `white` (>= 1), both as stored.
ToneCurve MakeToneCurve(float peak, float white) noexcept;

// Maps one row in place, leaving alpha as it is. Every colour is divided by
// W. Without compression that is all (the sRGB encoder clamps each
// channel). With it, luminance Y (non-finite channels counting as 0) is kept
// below the knee and above it follows a shoulder of slope 1 at the knee that
// reaches 1.0 at the peak, the colour scaled by Y' / Y; colours outside the
// gamut are brought into it keeping their hue (tone_map.cpp says how).
// Channels end up in 0..1.
void ToneMapRow(float* rgba, std::uint32_t width, const ToneCurve& curve) noexcept;

}  // namespace rorurera
