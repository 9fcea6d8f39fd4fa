#pragma once

// Colour management: a frame's stored samples through the ICC profile it
// carries to sRGB (perceptual intent), with Little CMS 2. Applies to 8- and
// 16-bit integer grey, RGB, BGR and CMYK samples (alpha passed through) and
// to the colour table of pictures of 8 bits or less, when the profile's
// colour space is the picture's and the profile is not sRGB itself.

#include <cstdint>
#include <span>
#include <vector>

#include "decode/pixel_format_table.h"

namespace rorurera {

// The module's colour-management context, made when the module is attached
// and deleted when it is detached (programs that link the parts without the
// module use the library's default context).
void ColorManagementAttach() noexcept;
void ColorManagementDetach() noexcept;

// What a profile is, for those who look into a picture.
struct ProfileFacts {
    bool readable = false;
    bool srgb = false;   // an RGB matrix/TRC profile whose colorants and curves are sRGB's
    char space[5] = {};  // the ICC colour space signature: "RGB ", "GRAY", "CMYK", ...
    wchar_t description[64] = {};
};
ProfileFacts DescribeProfile(std::span<const std::uint8_t> profile) noexcept;

// A transform from one stored format through a profile to 8-bit sRGB rows
// (B, G, R, and A for formats with alpha) or colour-table entries.
class ProfileTransform {
public:
    ProfileTransform() = default;
    ~ProfileTransform();
    ProfileTransform(const ProfileTransform&) = delete;
    ProfileTransform& operator=(const ProfileTransform&) = delete;

    // Makes the transform for frames stored as `stored` carrying `profile`;
    // false, and nothing made, when it does not apply: no profile, one that
    // cannot be read or that the library refuses, of another colour space
    // than the samples, an sRGB profile, or a format it does not take.
    bool Prepare(const PixelFormatEntry& stored, std::span<const std::uint8_t> profile) noexcept;
    // The same for the colour table of a picture of 8 bits or less stored as
    // `stored` (WICColor entries): an RGB profile for an indexed picture, a
    // grey one for a grey picture.
    bool PreparePalette(const PixelFormatEntry& stored, std::span<const std::uint8_t> profile) noexcept;

    explicit operator bool() const noexcept { return transform_ != nullptr; }

    // `width` stored pixels to tight 8-bit rows; safe on several threads.
    void ConvertRow(const std::uint8_t* stored, std::uint8_t* out, std::uint32_t width) const noexcept;
    // Colour-table entries in place. May throw std::bad_alloc.
    void ConvertPalette(std::vector<std::uint32_t>& palette) const;

private:
    void* transform_ = nullptr;
};

// The colour management a picture takes: a transform of its stored samples
// or of its colour table (at most one of them made), or none.
struct ColourTransforms {
    ProfileTransform samples;
    ProfileTransform table;
    bool Applied() const noexcept { return samples || table; }
};
void PrepareColourTransforms(const PixelFormatEntry& stored, std::span<const std::uint8_t> profile,
                             ColourTransforms& transforms) noexcept;

}  // namespace rorurera
