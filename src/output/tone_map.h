#pragma once

// Tone mapping of linear-light pictures whose values go above 1.0 (scRGB,
// where 1.0 is SDR white): a per-picture peak from the luminance histogram,
// then the extended Reinhard curve on luminance, hue kept. Pure functions on
// rows of float R, G, B, A; no Windows calls.

#include <cstdint>
#include <vector>

namespace rorurera {

// Rec. 709 luminance of linear R, G, B (the primaries of scRGB); a negative
// or non-finite channel counts as 0.
float Luminance(float red, float green, float blue) noexcept;

// Counts of pixel luminance in log-spaced bins: 64 bins per octave (each bin
// about 1.1 % wide) taken straight from the bits of the float, plus the exact
// largest value, so the peak is never reported above the largest luminance.
class LuminanceHistogram {
public:
    LuminanceHistogram();

    // Adds `width` pixels of R, G, B, A floats.
    void AddRow(const float* rgba, std::uint32_t width) noexcept;
    // Adds the counts of another histogram (rows counted on another thread).
    void Merge(const LuminanceHistogram& other) noexcept;

    // The top of the lowest bin at or below which at least `fraction` of the
    // pixels lie (at most 1.1 % above the exact percentile), capped at the
    // largest luminance seen; 0 for no pixels.
    float Percentile(double fraction) const noexcept;

    std::uint64_t Count() const noexcept { return count_; }
    float Largest() const noexcept { return largest_; }

private:
    std::vector<std::uint32_t> bins_;
    std::uint64_t count_ = 0;
    float largest_ = 0.0f;
};

// The share of pixels the peak leaves above it: the peak is the 99.9th
// percentile of luminance.
inline constexpr double kPeakPercentile = 0.999;

// Whether a picture with this peak needs tone mapping: at 1.0 or below it
// fits SDR range and is converted exactly as without tone mapping.
constexpr bool NeedsToneMapping(float peak) noexcept { return peak > 1.0f; }

// Maps one row in place for a picture with peak `peak` (> 1): luminance Y by
// Y' = Y (1 + Y / peak^2) / (1 + Y), the colour scaled by Y' / Y, then a
// colour still above 1.0 moved towards the grey of luminance Y' until its
// largest channel is 1.0 (luminance kept); channels end up in 0..1, negative
// and non-finite ones as 0. Alpha is left as it is.
void ToneMapRow(float* rgba, std::uint32_t width, float peak) noexcept;

}  // namespace rorurera
