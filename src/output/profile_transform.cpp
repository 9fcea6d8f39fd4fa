#include "output/profile_transform.h"

#include <wincodec.h>

#include <lcms2.h>

#include <cmath>
#include <cstring>

namespace rorurera {
namespace {

using enum ChannelOrder;

cmsContext g_context = nullptr;

// How close a profile's colorants (XYZ) and curves must come to sRGB's to be
// taken for sRGB: the profiles in circulation differ in the fourth decimal.
constexpr double kColorantTolerance = 0.003;
constexpr float kCurveTolerance = 0.01f;

// A profile opened from bytes, closed on every path.
struct Profile {
    cmsHPROFILE handle = nullptr;
    explicit Profile(cmsHPROFILE opened) noexcept : handle(opened) {}
    ~Profile() {
        if (handle != nullptr) cmsCloseProfile(handle);
    }
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
};

Profile Open(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.size() < 132 || bytes.size() > 0xFFFFFFFFu) return Profile(nullptr);
    return Profile(cmsOpenProfileFromMemTHR(g_context, bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
}

bool SameColorants(cmsHPROFILE a, cmsHPROFILE b) noexcept {
    for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
        const auto* x = static_cast<const cmsCIEXYZ*>(cmsReadTag(a, tag));
        const auto* y = static_cast<const cmsCIEXYZ*>(cmsReadTag(b, tag));
        if (x == nullptr || y == nullptr) return false;
        if (std::fabs(x->X - y->X) > kColorantTolerance || std::fabs(x->Y - y->Y) > kColorantTolerance ||
            std::fabs(x->Z - y->Z) > kColorantTolerance) {
            return false;
        }
    }
    return true;
}

bool SameCurves(cmsHPROFILE a, cmsHPROFILE b) noexcept {
    for (const cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag}) {
        const auto* x = static_cast<const cmsToneCurve*>(cmsReadTag(a, tag));
        const auto* y = static_cast<const cmsToneCurve*>(cmsReadTag(b, tag));
        if (x == nullptr || y == nullptr) return false;
        for (int i = 0; i <= 32; ++i) {
            const float v = static_cast<float>(i) / 32.0f;
            if (std::fabs(cmsEvalToneCurveFloat(x, v) - cmsEvalToneCurveFloat(y, v)) > kCurveTolerance) return false;
        }
    }
    return true;
}

// An RGB matrix/TRC profile whose colorants and curves match sRGB's.
bool IsSrgb(cmsHPROFILE profile) noexcept {
    if (cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile)) return false;
    const Profile srgb(cmsCreate_sRGBProfileTHR(g_context));
    return srgb.handle != nullptr && SameColorants(profile, srgb.handle) && SameCurves(profile, srgb.handle);
}

// The library's description of the stored samples, or 0 for a format that
// colour management does not take.
cmsUInt32Number StoredLayout(const PixelFormatEntry& f) noexcept {
    if (f.premultiplied || (f.kind != NumericKind::Unsigned8 && f.kind != NumericKind::Unsigned16)) return 0;
    const cmsUInt32Number bytes = f.kind == NumericKind::Unsigned16 ? 2 : 1;
    const cmsUInt32Number colours = f.order == Gray ? 1 : f.order == Cmyk ? 4 : 3;
    const cmsUInt32Number samples = static_cast<cmsUInt32Number>(f.bitsPerPixel) / (8 * bytes);
    if (samples < colours) return 0;
    const cmsUInt32Number extra = samples - colours;  // alpha, or an unused sample
    cmsUInt32Number layout = CHANNELS_SH(colours) | BYTES_SH(bytes) | EXTRA_SH(extra);
    switch (f.order) {
    case Gray: return layout | COLORSPACE_SH(PT_GRAY);
    case Rgb: return layout | COLORSPACE_SH(PT_RGB);
    case Bgr: return layout | COLORSPACE_SH(PT_RGB) | DOSWAP_SH(1) | SWAPFIRST_SH(extra != 0 ? 1 : 0);
    case Cmyk: return layout | COLORSPACE_SH(PT_CMYK);
    default: return 0;
    }
}

bool IsIndexed(const PixelFormatEntry& f) noexcept {
    for (const GUID* indexed : {&GUID_WICPixelFormat1bppIndexed, &GUID_WICPixelFormat2bppIndexed,
                                &GUID_WICPixelFormat4bppIndexed, &GUID_WICPixelFormat8bppIndexed}) {
        if (std::memcmp(&f.source, indexed, sizeof(GUID)) == 0) return true;
    }
    return false;
}

cmsColorSpaceSignature SpaceOf(cmsUInt32Number layout) noexcept {
    switch (T_COLORSPACE(layout)) {
    case PT_GRAY: return cmsSigGrayData;
    case PT_RGB: return cmsSigRgbData;
    default: return cmsSigCmykData;
    }
}

}  // namespace

void ColorManagementAttach() noexcept {
    g_context = cmsCreateContext(nullptr, nullptr);
    if (g_context != nullptr) cmsSetLogErrorHandlerTHR(g_context, nullptr);
}

void ColorManagementDetach() noexcept {
    if (g_context != nullptr) cmsDeleteContext(g_context);
    g_context = nullptr;
}

ProfileFacts DescribeProfile(std::span<const std::uint8_t> bytes) noexcept {
    ProfileFacts facts;
    const Profile profile = Open(bytes);
    if (profile.handle == nullptr) return facts;
    facts.readable = true;
    facts.srgb = IsSrgb(profile.handle);
    const auto space = static_cast<std::uint32_t>(cmsGetColorSpace(profile.handle));
    for (int i = 0; i < 4; ++i) facts.space[i] = static_cast<char>(space >> (24 - 8 * i));
    cmsGetProfileInfo(profile.handle, cmsInfoDescription, "en", "US", facts.description, sizeof facts.description);
    return facts;
}

ProfileTransform::~ProfileTransform() {
    if (transform_ != nullptr) cmsDeleteTransform(transform_);
}

bool ProfileTransform::Prepare(const PixelFormatEntry& stored, std::span<const std::uint8_t> bytes) noexcept {
    const cmsUInt32Number layout = StoredLayout(stored);
    if (layout == 0) return false;
    const Profile profile = Open(bytes);
    if (profile.handle == nullptr || cmsGetColorSpace(profile.handle) != SpaceOf(layout) || IsSrgb(profile.handle)) {
        return false;
    }
    const Profile srgb(cmsCreate_sRGBProfileTHR(g_context));
    if (srgb.handle == nullptr) return false;
    // The one-pixel cache is off so that several threads may share the
    // transform; alpha is copied (and scaled to 8 bits) as it is.
    const cmsUInt32Number output = stored.hasAlpha ? TYPE_BGRA_8 : TYPE_BGR_8;
    const cmsUInt32Number flags = cmsFLAGS_NOCACHE | (stored.hasAlpha ? cmsFLAGS_COPY_ALPHA : 0);
    transform_ =
        cmsCreateTransformTHR(g_context, profile.handle, layout, srgb.handle, output, INTENT_PERCEPTUAL, flags);
    return transform_ != nullptr;
}

bool ProfileTransform::PreparePalette(const PixelFormatEntry& stored, std::span<const std::uint8_t> bytes) noexcept {
    const Profile profile = Open(bytes);
    if (profile.handle == nullptr || IsSrgb(profile.handle)) return false;
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.handle);
    if (space != (IsIndexed(stored) ? cmsSigRgbData : cmsSigGrayData)) return false;
    // Entries are B, G, R, A; a grey profile reads the first of the three equal
    // colour bytes of a grey entry.
    cmsUInt32Number layout = 0;
    if (space == cmsSigRgbData) layout = TYPE_BGRA_8;
    if (space == cmsSigGrayData) layout = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);
    const Profile srgb(cmsCreate_sRGBProfileTHR(g_context));
    if (layout == 0 || srgb.handle == nullptr) return false;
    transform_ = cmsCreateTransformTHR(g_context, profile.handle, layout, srgb.handle, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                       cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
    return transform_ != nullptr;
}

void ProfileTransform::ConvertRow(const std::uint8_t* stored, std::uint8_t* out, std::uint32_t width) const noexcept {
    cmsDoTransform(transform_, stored, out, width);
}

void ProfileTransform::ConvertPalette(std::vector<std::uint32_t>& palette) const {
    if (palette.empty()) return;
    std::vector<std::uint32_t> converted(palette.size());
    cmsDoTransform(transform_, palette.data(), converted.data(), static_cast<cmsUInt32Number>(palette.size()));
    palette = std::move(converted);
}

void PrepareColourTransforms(const PixelFormatEntry& stored, std::span<const std::uint8_t> profile,
                             ColourTransforms& transforms) noexcept {
    if (profile.empty() || IsScRgb(stored)) return;
    if (stored.bitsPerPixel > 0 && stored.bitsPerPixel <= 8) {
        transforms.table.PreparePalette(stored, profile);
    } else {
        transforms.samples.Prepare(stored, profile);
    }
}

}  // namespace rorurera
