// The row steps of the banded box blur: every wider path against the SSE2 one, on rows whose
// lengths end between vector steps and sums up to the largest a box can reach.

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"

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

}  // namespace
