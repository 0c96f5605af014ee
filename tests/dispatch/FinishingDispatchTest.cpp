// The row steps of the banded box blurs: every wider path against the SSE2 one, on rows whose
// lengths end between vector steps and sums up to the largest a box can reach.

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"
#include "plugins/qorCommonFxPlugin/finishing/GaussianBandBlur.h"

namespace {

std::vector<uint16_t> randomSums(size_t count, int maximum, uint64_t seed) {
    cv::Mat values(1, static_cast<int>(count), CV_32S);
    cv::RNG(seed).fill(values, cv::RNG::UNIFORM, 0, maximum + 1);
    return {values.begin<int>(), values.end<int>()};
}

TEST(FinishingDispatchTest, BoxRowStepsMatchTheBaseline) {
    const finishing::BoxRowKernels base = finishing::boxRowKernels(tessel::SimdPath::sse2);
    dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
        const finishing::BoxRowKernels wide = finishing::boxRowKernels(path);
        for (const int size : {3, 11, 41, finishing::kWidestChainedBox}) {
            for (const int count : {4, 60, 1001 * 4, 3 * 4 + 2}) {
                SCOPED_TRACE(std::to_string(size) + " / " + std::to_string(count));
                const std::vector<uint16_t> padded = randomSums(count + 4 * size, 255, size + count);
                std::vector<uint16_t> expected(count), actual(count);
                base.windowSums(padded.data(), expected.data(), count, size);
                wide.windowSums(padded.data(), actual.data(), count, size);
                EXPECT_EQ(actual, expected);

                const int windowMaximum = 255 * size;
                const std::vector<uint16_t> entering = randomSums(count, windowMaximum, 7 * count + size);
                const std::vector<uint16_t> leaving = randomSums(count, windowMaximum, 9 * count + size);
                std::vector<int32_t> baseSums(count), wideSums(count);
                for (int i = 0; i < count; ++i) baseSums[i] = wideSums[i] = (size - 1) * (entering[i] / 2 + i % 97);
                std::vector<uint8_t> baseOut(count), wideOut(count);
                const float scale = static_cast<float>(1.0 / (size * size));
                base.columnStep(baseSums.data(), entering.data(), leaving.data(), baseOut.data(), count, scale);
                wide.columnStep(wideSums.data(), entering.data(), leaving.data(), wideOut.data(), count, scale);
                EXPECT_EQ(wideOut, baseOut);
                EXPECT_EQ(wideSums, baseSums);
            }
        }
    });
}

TEST(FinishingDispatchTest, NarrowBoxRowStepsMatchTheBaseline) {
    const finishing::NarrowBoxKernels base = finishing::narrowBoxKernels(tessel::SimdPath::sse2);
    dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
        const finishing::NarrowBoxKernels wide = finishing::narrowBoxKernels(path);
        for (const int size : {3, 7, finishing::kWidestNarrowBox}) {
            for (const int count : {4, 60, 1001 * 4, 3 * 4 + 2}) {
                SCOPED_TRACE(std::to_string(size) + " / " + std::to_string(count));
                std::vector<std::vector<uint8_t>> rows;
                std::vector<const uint8_t*> window;
                for (int k = 0; k < size; ++k) {
                    const std::vector<uint16_t> values = randomSums(count, 255, 11 * k + size + count);
                    rows.emplace_back(values.begin(), values.end());
                    window.push_back(rows.back().data());
                }
                std::vector<uint16_t> expected(count), actual(count);
                base.columnSums(window.data(), size, expected.data(), count);
                wide.columnSums(window.data(), size, actual.data(), count);
                EXPECT_EQ(actual, expected);

                const std::vector<uint16_t> padded = randomSums(count + 4 * size, 255 * size, 3 * count + size);
                std::vector<uint8_t> baseOut(count), wideOut(count);
                const finishing::NarrowBoxDivisor divisor = finishing::narrowBoxDivisor(size);
                base.roundedMeans(padded.data(), baseOut.data(), count, size, divisor);
                wide.roundedMeans(padded.data(), wideOut.data(), count, size, divisor);
                EXPECT_EQ(wideOut, baseOut);
            }
        }
    });
}

}  // namespace

namespace {

// The baseline Gaussian band blur is OpenCV's own; the wider ones repeat its float arithmetic.
TEST(FinishingDispatchTest, GaussianBandBlurMatchesTheBaseline) {
    struct Case {
        cv::Size size;
        int kernelSize;
        cv::Range rows;
    };
    const Case cases[] = {{{203, 67}, 11, {8, 16}},    {{203, 67}, 11, {0, 9}},   {{131, 120}, 101, {60, 75}},
                          {{77, 90}, 41, {70, 90}},    {{51, 51}, 101, {0, 6}},   {{640, 130}, 23, {16, 32}},
                          {{60, 41}, 11, {0, 41}}};
    for (const Case& c : cases) {
        cv::Mat buffer(c.size.height, c.size.width + 5, CV_8UC4);
        cv::RNG(c.kernelSize).fill(buffer, cv::RNG::UNIFORM, 0, 256);
        // A header over padded rows, as effects wrap a host's frame: a region of a wider matrix
        // would let OpenCV read past the frame's right edge.
        const cv::Mat in(c.size, CV_8UC4, buffer.data, buffer.step);
        cv::Mat expected(c.size, CV_8UC4, cv::Scalar::all(0)), paddedOut(c.size.height, c.size.width + 3, CV_8UC4);
        finishing::gaussianBandBlur(tessel::SimdPath::sse2)(in, expected, c.kernelSize, c.rows);
        dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
            SCOPED_TRACE(std::to_string(c.size.width) + "x" + std::to_string(c.size.height) + " kernel " +
                         std::to_string(c.kernelSize));
            paddedOut.setTo(cv::Scalar::all(0));
            cv::Mat out = paddedOut(cv::Rect(cv::Point(0, 0), c.size));
            finishing::gaussianBandBlur(path)(in, out, c.kernelSize, c.rows);
            EXPECT_EQ(cv::norm(out, expected, cv::NORM_INF), 0);
        });
    }
}

}  // namespace

namespace {

// The integer band blur is ours in every version, the baseline included: each against OpenCV's
// band, on random pixels, which reach the ties its rounding sends to the even neighbour.
TEST(FinishingDispatchTest, IntegerGaussianBandBlurMatchesOpenCv) {
    const cv::Size size(203, 67);
    cv::Mat buffer(size.height, size.width + 5, CV_8UC4);
    cv::RNG(5).fill(buffer, cv::RNG::UNIFORM, 0, 256);
    const cv::Mat in(size, CV_8UC4, buffer.data, buffer.step);
    for (const int kernelSize : {3, 5}) {
        ASSERT_TRUE(finishing::gaussianBandFitsSixteenBits(kernelSize));
        for (const cv::Range rows : {cv::Range(0, 9), cv::Range(20, 47), cv::Range(60, 67)}) {
            cv::Mat expected(size, CV_8UC4, cv::Scalar::all(0)), actual(size, CV_8UC4, cv::Scalar::all(0));
            finishing::gaussianBandBlur(tessel::SimdPath::sse2)(in, expected, kernelSize, rows);
            const auto check = [&](tessel::SimdPath path) {
                SCOPED_TRACE("kernel " + std::to_string(kernelSize) + " from row " + std::to_string(rows.start));
                finishing::gaussianBandBlurInIntegers(path)(in, actual, kernelSize, rows);
                EXPECT_EQ(cv::norm(actual, expected, cv::NORM_INF), 0);
            };
            check(tessel::SimdPath::sse2);
            dispatch_testing::forEachWiderPath(check);
        }
    }
    EXPECT_FALSE(finishing::gaussianBandFitsSixteenBits(7));
}

}  // namespace
