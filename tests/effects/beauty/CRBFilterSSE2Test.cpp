#include "framework/rbfilter/CRBFilterSSE2.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

struct Sigmas {
    float spatial, range;
};

constexpr Sigmas kBeautyDefault{0.25f, 0.025f};

// The filter's two passes written plainly, one channel and one pixel at a time, in the order the
// recursions are defined; the SSE2 filter must give the same bytes.
cv::Mat referenceFilter(const cv::Mat& in, Sigmas sigmas) {
    const double alpha = std::exp(std::sqrt(2.0) / (sigmas.spatial * -255.0));
    const auto gain = static_cast<float>(1.0 - alpha);
    const double inverse = 1.0 / static_cast<double>(sigmas.range * 255.0f);
    float table[256];
    for (int d = 0; d < 256; ++d) table[d] = static_cast<float>(alpha * std::exp(-d * inverse));
    const auto weight = [&](const cv::Vec4b& p, const cv::Vec4b& q) {
        int d = 0;
        for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(p[k] - q[k]));
        return table[d];
    };
    const auto byte = [](float v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0f, 255.0f)); };
    const int w = in.cols, h = in.rows;
    cv::Mat t(in.size(), CV_8UC4), v(in.size(), CV_8UC4);
    std::vector<float> anti(std::max(w, h));
    for (int y = 0; y < h; ++y) {
        const auto I = [&](int x) { return in.at<cv::Vec4b>(y, x); };
        for (int k = 0; k < 4; ++k) {
            float a = I(w - 1)[k], n = 1.0f;
            anti[w - 1] = a;
            for (int x = w - 2; x >= 0; --x) {
                const float wt = weight(I(x), I(x + 1));
                a = wt * a + gain * I(x)[k];
                n = wt * n + gain;
                anti[x] = a / n;
            }
            t.at<cv::Vec4b>(y, 0)[k] = byte(0.5f * (I(0)[k] + anti[0]));
            float c = anti[0];
            n = 1.0f;
            for (int x = 1; x < w; ++x) {
                const float wt = weight(I(x - 1), I(x));
                c = wt * c + gain * I(x)[k];
                n = wt * n + gain;
                t.at<cv::Vec4b>(y, x)[k] = byte(0.5f * (c / n + anti[x]));
            }
        }
    }
    for (int x = 0; x < w; ++x) {
        const auto T = [&](int y) { return t.at<cv::Vec4b>(y, x); };
        for (int k = 0; k < 4; ++k) {
            const auto V = [&](int y) -> uint8_t& { return v.at<cv::Vec4b>(y, x)[k]; };
            V(h - 1) = T(h - 1)[k];
            float a = T(h - 1)[k], n = 1.0f;
            for (int y = h - 2; y >= 0; --y) {
                const float wt = weight(T(y), T(y + 1));
                a = wt * a + gain * T(y)[k];
                n = wt * n + gain;
                V(y) = byte(a / n);
            }
            V(0) = static_cast<uint8_t>((V(0) + T(0)[k]) / 2);
            float c = T(0)[k];
            n = 1.0f;
            for (int y = 1; y < h; ++y) {
                const float wt = weight(T(y - 1), T(y));
                c = wt * c + gain * T(y)[k];
                n = wt * n + gain;
                V(y) = static_cast<uint8_t>((byte(c / n) + V(y) + 1) / 2);
            }
        }
    }
    return v;
}

// Runs `in` through a fresh filter (one call and a flush) into rows padded by `padding` bytes.
cv::Mat filtered(const cv::Mat& in, Sigmas sigmas, int tasks = 4, bool pipelined = true, int padding = 0) {
    CRBFilterSSE2 filter;
    EXPECT_TRUE(filter.init(in.cols, in.rows, tasks, pipelined));
    filter.setSigmas(sigmas.spatial, sigmas.range);
    // Input and output share the row stride.
    cv::Mat inBuffer(in.rows, in.cols + padding / 4, CV_8UC4), buffer(inBuffer.size(), CV_8UC4, cv::Scalar::all(0xA5));
    const cv::Rect area(0, 0, in.cols, in.rows);
    cv::Mat input = inBuffer(area), out = buffer(area);
    in.copyTo(input);
    EXPECT_TRUE(filter.filter(out.data, input.data, in.cols, in.rows, static_cast<int32_t>(out.step)));
    filter.flush();
    if (padding > 0) {
        EXPECT_EQ(cv::countNonZero(buffer.colRange(in.cols, buffer.cols).reshape(1) != 0xA5), 0);
    }
    return out.clone();
}

TEST(CRBFilterSSE2Test, SseFilterMatchesThePlainRecursionsByteForByte) {
    struct Case {
        cv::Mat picture;
        Sigmas sigmas;
        int tasks;
        bool pipelined;
        int padding;
    };
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 200);
    const Case cases[] = {
        {qortest::noisePicture(16, 16, 1), kBeautyDefault, 4, true, 0},
        {qortest::noisePicture(37, 23, 2), {0.5f, 0.05f}, 3, true, 12},
        {qortest::noisePicture(101, 40, 3), {0.005f, 0.0005f}, 8, false, 4},
        {qortest::noisePicture(66, 17, 4), {0.1f, 0.4f}, 1, true, 0},
        {photo(cv::Rect(100, 60, 203, 150)).clone(), kBeautyDefault, 4, true, 8},
        {photo, {0.4f, 0.04f}, 4, true, 0},
    };
    for (const Case& c : cases) {
        const cv::Mat result = filtered(c.picture, c.sigmas, c.tasks, c.pipelined, c.padding);
        EXPECT_EQ(qortest::differingBytes(result, referenceFilter(c.picture, c.sigmas)), 0)
            << c.picture.cols << "x" << c.picture.rows << " tasks " << c.tasks;
    }
}

TEST(CRBFilterSSE2Test, ConstantImageIsReturnedUnchanged) {
    const cv::Mat flat(24, 40, CV_8UC4, cv::Scalar(30, 140, 250, 90));
    for (const Sigmas sigmas : {kBeautyDefault, Sigmas{0.5f, 2.0f}}) {
        EXPECT_EQ(qortest::differingBytes(filtered(flat, sigmas), flat), 0);
    }
}

// Two flat halves: a tiny range sigma keeps the step, a large one smooths across it.
TEST(CRBFilterSSE2Test, StepEdgeStaysSharpOnlyWithASmallRangeSigma) {
    cv::Mat step(32, 64, CV_8UC4, cv::Scalar(40, 40, 40, 255));
    step.colRange(32, 64).setTo(cv::Scalar(200, 200, 200, 255));
    EXPECT_EQ(qortest::differingBytes(filtered(step, {0.5f, 0.0001f}), step), 0);
    const cv::Mat smoothed = filtered(step, {0.5f, 10.0f});
    EXPECT_GT(smoothed.at<cv::Vec4b>(16, 31)[0], 60);
    EXPECT_LT(smoothed.at<cv::Vec4b>(16, 32)[0], 180);
}

TEST(CRBFilterSSE2Test, InitAndFilterRefuseSizesOutsideTheirLimits) {
    CRBFilterSSE2 filter;
    EXPECT_FALSE(filter.init(16, 16, 9, true));
    EXPECT_FALSE(filter.init(16, 16, 0, true));
    EXPECT_FALSE(filter.init(10001, 16, 4, true));
    EXPECT_FALSE(filter.init(15, 16, 4, true));
    EXPECT_FALSE(filter.init(16, 1, 4, true));

    std::vector<uint8_t> in(64 * 64 * 4, 9), out(64 * 64 * 4, 77);
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 16, 64)) << "before init";
    ASSERT_TRUE(filter.init(64, 64, 4, true));
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 16, 64)) << "before setSigmas";
    filter.setSigmas(0.25f, 0.025f);
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 15, 16, 64));
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 15, 64));
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 16, 63));
    EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 65, 64 * 4));
    filter.flush();
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 77; }));
    EXPECT_TRUE(filter.filter(out.data(), in.data(), 16, 16, 64));
    filter.flush();
    EXPECT_EQ(out[0], 9);

    // Sigmas that are not positive would give growing or NaN weights: the filter refuses.
    for (const Sigmas bad : {Sigmas{-0.25f, -0.025f}, Sigmas{0.0f, 0.0f}, Sigmas{NAN, 0.1f}}) {
        filter.setSigmas(bad.spatial, bad.range);
        EXPECT_FALSE(filter.filter(out.data(), in.data(), 16, 16, 64));
    }
}

TEST(CRBFilterSSE2Test, VerticalBandsAreWholeGroupsOfFourButTheLast) {
    using Starts = std::array<int, CRBFilterSSE2::kMaxTasks + 1>;
    EXPECT_EQ(CRBFilterSSE2::verticalBandStarts(1936, 4), (Starts{0, 484, 968, 1452, 1936}));
    EXPECT_EQ(CRBFilterSSE2::verticalBandStarts(1930, 4), (Starts{0, 480, 960, 1440, 1930}));
    // The last band's two extra columns are filtered both ways like every other column.
    const cv::Mat picture = qortest::noisePicture(1930, 16, 7);
    EXPECT_EQ(qortest::differingBytes(filtered(picture, kBeautyDefault), referenceFilter(picture, kBeautyDefault)), 0);
}

// A second call completes the first output; pictures of different sizes may follow each other.
// Work still pending is waited for by a new init and by destruction (the sanitizer build catches
// tasks that outlive their buffers).
TEST(CRBFilterSSE2Test, PipelinedCallsCompleteTheirPredecessorAndPendingWorkIsWaitedFor) {
    const cv::Mat first = qortest::noisePicture(48, 40, 11), second = qortest::noisePicture(33, 20, 12);
    cv::Mat out1(first.size(), CV_8UC4, cv::Scalar::all(0)), out2(second.size(), CV_8UC4, cv::Scalar::all(0));
    auto filter = std::make_unique<CRBFilterSSE2>();
    ASSERT_TRUE(filter->init(48, 40, 4, true));
    filter->setSigmas(kBeautyDefault.spatial, kBeautyDefault.range);
    ASSERT_TRUE(filter->filter(out1.data, first.data, 48, 40, 48 * 4));
    ASSERT_TRUE(filter->filter(out2.data, second.data, 33, 20, 33 * 4));
    EXPECT_EQ(qortest::differingBytes(out1, referenceFilter(first, kBeautyDefault)), 0);
    filter->flush();
    EXPECT_EQ(qortest::differingBytes(out2, referenceFilter(second, kBeautyDefault)), 0);

    ASSERT_TRUE(filter->filter(out1.data, first.data, 48, 40, 48 * 4));
    ASSERT_TRUE(filter->init(64, 64, 2, false));
    ASSERT_TRUE(filter->init(48, 40, 4, true));
    ASSERT_TRUE(filter->filter(out1.data, first.data, 48, 40, 48 * 4));
    filter.reset();
}

}  // namespace
