// The tone map's pure functions: luminance, the histogram's peak and the
// curve with its desaturation, on values whose results are known.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "output/tone_map.h"

namespace {

using rorurera::Luminance;
using rorurera::LuminanceHistogram;
using rorurera::ToneMapRow;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The curve in double, as the reference.
double Reinhard(double y, double peak) { return y * (1.0 + y / (peak * peak)) / (1.0 + y); }

TEST(ToneMapTest, LuminanceCountsUnusableChannelsAsZero) {
    const struct {
        float r, g, b, y;
    } kCases[] = {
        {1.0f, 0.0f, 0.0f, 0.2126f}, {0.0f, 1.0f, 0.0f, 0.7152f}, {0.0f, 0.0f, 1.0f, 0.0722f},
        {2.5f, 2.5f, 2.5f, 2.5f},    {-4.0f, 1.0f, 1.0f, 0.7874f}, {kNaN, 0.0f, 2.0f, 0.1444f},
        {1.0f, kInf, 0.0f, 0.2126f}, {-kInf, -1.0f, -kNaN, 0.0f},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.r << ", " << c.g << ", " << c.b);
        EXPECT_NEAR(Luminance(c.r, c.g, c.b), c.y, 1e-6f);
    }
}

// Pixels of grey `value`, `count` times, added one row at a time.
void AddGrey(LuminanceHistogram& histogram, float value, std::uint32_t count) {
    const std::vector<float> row(std::size_t{count} * 4, value);
    histogram.AddRow(row.data(), count);
}

TEST(ToneMapTest, PeakIsTheUpperPercentileWithinABinAndNeverAboveTheLargest) {
    const struct {
        const char* name;
        std::vector<std::pair<float, std::uint32_t>> greys;  // value, count
        float peak;
        float tolerance;
    } kCases[] = {
        {"no pixels", {}, 0.0f, 0.0f},
        {"all at SDR white: exactly 1", {{1.0f, 500}, {0.25f, 500}}, 1.0f, 0.0f},
        {"one pixel in a thousand above is left out", {{0.5f, 999}, {100.0f, 1}}, 0.5f, 0.5f / 64},
        {"two in a thousand are not", {{0.5f, 998}, {100.0f, 2}}, 100.0f, 0.0f},
        {"0.999 of 2000 is 1998", {{0.25f, 1998}, {12.0f, 2}}, 0.25f, 0.25f / 64},
        {"three of 2000 above", {{0.25f, 1997}, {12.0f, 3}}, 12.0f, 0.0f},
        {"the largest caps the bin top", {{0.1f, 10}, {5.01f, 90000}}, 5.01f, 0.0f},
        {"black only", {{0.0f, 10}, {-3.0f, 10}}, 0.0f, 0.0f},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        LuminanceHistogram histogram;
        for (const auto& [value, count] : c.greys) AddGrey(histogram, value, count);
        const float peak = histogram.Percentile(rorurera::kPeakPercentile);
        EXPECT_GE(peak, c.peak);
        EXPECT_LE(peak, c.peak + c.tolerance);
    }
}

TEST(ToneMapTest, PeakOfARampIsWithinOnePercentOfTheSortedValue) {
    // 10,000 distinct luminances from 0.01 to 100: the exact 99.9th
    // percentile is the 9,990th value.
    std::vector<float> values(10000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.01f * static_cast<float>(i + 1);
    LuminanceHistogram whole;
    LuminanceHistogram first;
    LuminanceHistogram second;
    std::vector<float> row;
    for (std::size_t i = 0; i < values.size(); ++i) {
        row.assign(4, values[i]);
        whole.AddRow(row.data(), 1);
        (i % 2 == 0 ? first : second).AddRow(row.data(), 1);
    }
    first.Merge(second);
    const float exact = values[9989];
    EXPECT_GE(whole.Percentile(0.999), exact);
    EXPECT_LE(whole.Percentile(0.999), exact * 1.011f);
    EXPECT_EQ(first.Percentile(0.999), whole.Percentile(0.999));
    EXPECT_EQ(first.Count(), 10000u);
    EXPECT_EQ(first.Largest(), 100.0f);
}

TEST(ToneMapTest, GreysFollowTheCurveStrictlyRisingUpToWhiteAtThePeak) {
    constexpr float kPeak = 12.5f;
    std::vector<float> row;
    const std::vector<float> greys = {0.0f, 0.05f, 0.5f, 1.0f, 2.5f, 4.0f, 8.0f, 12.0f, 12.5f, 40.0f};
    for (const float g : greys) row.insert(row.end(), {g, g, g, 0.75f});
    ToneMapRow(row.data(), static_cast<std::uint32_t>(greys.size()), kPeak);
    float previous = -1.0f;
    for (std::size_t i = 0; i < greys.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "grey " << greys[i]);
        const float* p = &row[i * 4];
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
        EXPECT_EQ(p[3], 0.75f) << "alpha as stored";
        EXPECT_NEAR(p[0], std::min(Reinhard(greys[i], kPeak), 1.0), 1e-6);
        if (greys[i] <= kPeak) {
            EXPECT_GT(p[0], previous);
        }
        previous = p[0];
    }
    EXPECT_NEAR(row[8 * 4], 1.0f, 1e-6f) << "the peak is white";
}

TEST(ToneMapTest, BrightColoursKeepLuminanceAndHueAndStayInRange) {
    constexpr float kPeak = 12.5f;
    const std::array<std::array<float, 3>, 6> colours = {{
        {6.0f, 0.5f, 0.25f},  // saturated red, channel far above 1 after scaling
        {0.3f, 4.0f, 0.2f},   // green
        {0.5f, 0.5f, 9.0f},   // blue
        {0.6f, 0.3f, 0.1f},   // dim: scaling alone keeps it in range
        {-2.0f, 3.0f, kNaN},  // unusable channels as 0
        {20.0f, 20.0f, 0.0f}, // above the peak
    }};
    for (const auto& c : colours) {
        SCOPED_TRACE(testing::Message() << c[0] << ", " << c[1] << ", " << c[2]);
        float p[4] = {c[0], c[1], c[2], 1.0f};
        ToneMapRow(p, 1, kPeak);
        const double r = std::isfinite(c[0]) && c[0] > 0 ? c[0] : 0.0;
        const double g = std::isfinite(c[1]) && c[1] > 0 ? c[1] : 0.0;
        const double b = std::isfinite(c[2]) && c[2] > 0 ? c[2] : 0.0;
        const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        const double mapped = Reinhard(y, kPeak);
        for (int i = 0; i < 3; ++i) {
            EXPECT_GE(p[i], 0.0f);
            EXPECT_LE(p[i], 1.0f);
        }
        if (mapped >= 1.0) {
            EXPECT_EQ(p[0] + p[1] + p[2], 3.0f);
            continue;
        }
        EXPECT_NEAR(0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2], mapped, 1e-5);
        // The same hue: the distances from the grey axis keep their ratios.
        const double in[3] = {r - y, g - y, b - y};
        const double out[3] = {p[0] - mapped, p[1] - mapped, p[2] - mapped};
        for (int i = 0; i < 3; ++i) {
            for (int j = i + 1; j < 3; ++j) EXPECT_NEAR(in[i] * out[j], in[j] * out[i], 1e-4) << i << j;
        }
        EXPECT_NEAR(std::max({p[0], p[1], p[2]}), std::min(1.0, std::max({r, g, b}) * mapped / y), 1e-5);
    }
}

}  // namespace
