// The peak of the tone map: the histogram's percentile on luminances whose
// result is known (the curve itself is checked through the module, on the
// HDR screenshot fixture).

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
    // A ramp of 10,000 luminances 0.01 .. 100, counted in two halves: within
    // one bin (1.1 %) above the 9,990th value.
    LuminanceHistogram even, odd;
    for (int i = 1; i <= 10000; ++i) {
        const float rgba[4] = {0.01f * i, 0.01f * i, 0.01f * i, 1.0f};
        (i % 2 ? odd : even).AddRow(rgba, 1);
    }
    even.Merge(odd);
    EXPECT_GE(even.Percentile(0.999), 99.9f);
    EXPECT_LE(even.Percentile(0.999), 99.9f * 1.011f);
}

}  // namespace
