#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

// The plain chain: one cv::blur over the whole frame per box.
cv::Mat blurredOneBoxAtATime(const cv::Mat& picture, const std::vector<int>& sizes) {
    cv::Mat result = picture.clone();
    for (const int size : sizes) {
        cv::blur(result, result, cv::Size(size, size), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
    }
    return result;
}

// Padded rows on both sides, bands whose shared rows reach past the frame edges, frames barely
// taller than a box's radius, boxes wider than the frame, and the widest boxes the banded chain
// rounds itself.
TEST(BoxBlurChainTest, EqualsOneWholeFrameBlurPerBox) {
    struct Case {
        cv::Mat picture;
        std::vector<int> sizes;
    };
    cv::Mat photo;
    cv::resize(qortest::samplePicture("astronaut.png", 140), photo, cv::Size(517, 601), 0, 0, cv::INTER_AREA);
    const std::vector<Case> cases{
        {photo, {9, 11, 11}},
        {photo, {1, 1, 3}},
        {photo(cv::Rect(3, 0, 300, 280)), {17, 5, 31}},
        {qortest::noisePicture(37, 23, 2), {3, 5, 7}},
        {qortest::noisePicture(640, 11, 3), {21, 19, 3}},
        {qortest::noisePicture(30, 13, 4), {21, 25, 3}},
        {qortest::noisePicture(1, 1, 5), {3, 3, 5}},
        {qortest::noisePicture(400, 170, 6), {finishing::kWidestChainedBox, 3}},
        {qortest::noisePicture(400, 170, 6), {finishing::kWidestChainedBox + 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.picture.cols) + "x" + std::to_string(c.picture.rows) + " first box " +
                     std::to_string(c.sizes.front()));
        PaddedFrame in = PaddedFrame::from(c.picture, 20);
        PaddedFrame out = qortest::untouchedFrame(c.picture.cols, c.picture.rows, 36);
        cv::Mat target = out.mat();
        finishing::chainedBoxBlur(in.mat(), target, c.sizes);
        EXPECT_EQ(qortest::differingBytes(out.mat(), blurredOneBoxAtATime(c.picture, c.sizes)), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

// The narrow boxes divide by a multiply: it must round every window sum as the float mean does.
TEST(BoxBlurChainTest, NarrowBoxDivisorRoundsLikeTheFloatMean) {
    for (int size = 3; size <= finishing::kWidestNarrowBox; size += 2) {
        const finishing::NarrowBoxDivisor divisor = finishing::narrowBoxDivisor(size);
        const float scale = static_cast<float>(1.0 / (size * size));
        int wrong = 0;
        for (uint32_t sum = 0; sum <= 255u * size * size; ++sum) {
            const uint32_t quotient = (((sum + divisor.bias) * divisor.multiplier) >> 16) >> divisor.shift;
            wrong += quotient != static_cast<uint32_t>(std::nearbyint(static_cast<float>(sum) * scale));
        }
        EXPECT_EQ(wrong, 0) << "box " << size;
    }
}

}  // namespace
