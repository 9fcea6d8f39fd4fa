// The levels of the tone map: the histogram's percentile and SDR white on
// luminances whose result is known (the curve itself is checked through the
// module, on the HDR fixtures).

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "output/tone_map.h"

namespace {

using rorurera::LuminanceHistogram;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ToneMapTest, PeakIsTheUpperPercentileWithinABinAndNeverAboveTheLargest) {
    const struct {
        const char* name;
        std::vector<std::pair<float, std::uint32_t>> greys;  // value, count
        float peak, tolerance;
    } kCases[] = {
        {"no pixels", {}, 0.0f, 0.0f},
        {"SDR white is exactly 1", {{1.0f, 500}, {0.25f, 500}}, 1.0f, 0.0f},
        {"one in a thousand above is left out", {{0.5f, 999}, {100.0f, 1}}, 0.5f, 0.5f / 64},
        {"two in a thousand are not", {{0.5f, 998}, {100.0f, 2}}, 100.0f, 0.0f},
        {"0.999 of 2000 is 1998", {{0.25f, 1998}, {12.0f, 2}}, 0.25f, 0.25f / 64},
        {"negative and NaN count as black", {{-3.0f, 10}, {kNaN, 10}}, 0.0f, 0.0f},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        LuminanceHistogram histogram;
        for (const auto& [value, count] : c.greys) {
            const std::vector<float> row(std::size_t{count} * 4, value);
            histogram.AddRow(row.data(), count);
        }
        const float peak = histogram.Percentile(rorurera::kPeakPercentile);
        EXPECT_GE(peak, c.peak);
        EXPECT_LE(peak, c.peak + c.tolerance);
    }
    // A ramp of 10,000 luminances 0.01 .. 100: within one bin (1.1 %) above
    // the 9,990th value.
    LuminanceHistogram ramp;
    for (int i = 1; i <= 10000; ++i) {
        const float rgba[4] = {0.01f * i, 0.01f * i, 0.01f * i, 1.0f};
        ramp.AddRow(rgba, 1);
    }
    EXPECT_GE(ramp.Percentile(0.999), 99.9f);
    EXPECT_LE(ramp.Percentile(0.999), 99.9f * 1.011f);
}

// The SDR white: the brightest strongly populated spike of near-neutral
// luminance between 1.0 and 6.0, found within 2 %; none in smooth content.
TEST(ToneMapTest, SdrWhiteIsTheBrightLargeFlatGreyOrNone) {
    const struct {
        const char* name;
        std::vector<std::pair<float, std::uint32_t>> greys;  // value, count; red 3.0 below 0
        float white;                                         // 0: none
    } kCases[] = {
        {"light-grey panel larger than the white", {{2.18f, 300}, {2.5f, 100}, {0.05f, 600}}, 2.5f},
        {"small flat patch above a white desktop", {{1.0f, 600}, {4.0f, 100}, {0.3f, 300}}, 1.0f},
        {"white text of a dark theme, 1 %", {{3.75f, 100}, {0.05f, 9900}}, 3.75f},
        {"too few white pixels", {{3.0f, 10}, {0.05f, 9990}}, 0.0f},
        {"a flat saturated colour", {{-1.0f, 500}, {0.05f, 500}}, 0.0f},
        {"above 480 nits", {{7.0f, 500}, {0.05f, 500}}, 0.0f},
        {"on a bin edge", {{2.0f, 200}, {1.9995f, 200}, {0.1f, 600}}, 2.0f},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        LuminanceHistogram histogram;
        for (const auto& [value, count] : c.greys) {
            const float rgba[4] = {value < 0 ? 3.0f : value, value < 0 ? 2.0f : value, value < 0 ? 2.0f : value, 1};
            for (std::uint32_t i = 0; i < count; ++i) histogram.AddRow(rgba, 1);
        }
        EXPECT_NEAR(histogram.SdrWhite(), c.white, c.white * 0.02f);
    }
    LuminanceHistogram ramp;  // clouds and sky: a smooth neutral ramp from 1 to 6
    for (float v = 1.0f; v < 6.0f; v += 0.00025f) {
        const float rgba[4] = {v, v, v, 1.0f};
        ramp.AddRow(rgba, 1);
    }
    EXPECT_EQ(ramp.SdrWhite(), 0.0f);
}

}  // namespace
