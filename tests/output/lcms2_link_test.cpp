// Little CMS 2, as built from Debian's source package and linked into the
// plug-in's parts: one known conversion from an Adobe-RGB-like profile made
// in memory to sRGB, against the value of lcms2's own transicc tool.

#include <gtest/gtest.h>

#include <lcms2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace {

struct ContextDeleter {
    void operator()(cmsContext c) const noexcept { cmsDeleteContext(c); }
};
struct ProfileDeleter {
    void operator()(void* p) const noexcept { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const noexcept { cmsDeleteTransform(t); }
};
struct CurveDeleter {
    void operator()(cmsToneCurve* c) const noexcept { cmsFreeToneCurve(c); }
};
using Context = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;
using Profile = std::unique_ptr<void, ProfileDeleter>;
using Transform = std::unique_ptr<void, TransformDeleter>;
using Curve = std::unique_ptr<cmsToneCurve, CurveDeleter>;

// Adobe RGB (1998)'s primaries and D65 white with its gamma of 563/256,
// the same profile as the one given to transicc below.
Profile AdobeLikeProfile(cmsContext context) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    const Curve gamma(cmsBuildGamma(context, 563.0 / 256.0));
    if (!gamma) return nullptr;
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    return Profile(cmsCreateRGBProfileTHR(context, &white, &primaries, curves));
}

TEST(Lcms2LinkTest, AdobeLikeToSrgbGivesTransiccsValue) {
    const Context context(cmsCreateContext(nullptr, nullptr));
    ASSERT_TRUE(context);
    const Profile adobe = AdobeLikeProfile(context.get());
    const Profile srgb(cmsCreate_sRGBProfileTHR(context.get()));
    ASSERT_TRUE(adobe);
    ASSERT_TRUE(srgb);
    EXPECT_EQ(cmsGetColorSpace(adobe.get()), cmsSigRgbData);

    // transicc's float input (0..1) to 16-bit output, perceptual intent.
    const Transform transform(
        cmsCreateTransformTHR(context.get(), adobe.get(), TYPE_RGB_DBL, srgb.get(), TYPE_RGB_16, INTENT_PERCEPTUAL, 0));
    ASSERT_TRUE(transform);
    const std::array<double, 3> in{128.0 / 255, 64.0 / 255, 192.0 / 255};
    std::array<std::uint16_t, 3> out{};
    cmsDoTransform(transform.get(), in.data(), out.data(), 1);
    // Computed on the host by lcms2's transicc 2.14 (Debian's liblcms2-utils)
    // with the same profile saved to adobe-like.icc:
    //   echo '128 64 192' | transicc -n -e -w -t 0 -i adobe-like.icc -o '*sRGB'
    //   37560 15876 50563
    EXPECT_EQ(out[0], 37560);
    EXPECT_EQ(out[1], 15876);
    EXPECT_EQ(out[2], 50563);
}

}  // namespace
