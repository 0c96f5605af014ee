#include "plugins/qorCommonFxPlugin/layer/NLECompareView.h"

#include <gtest/gtest.h>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

bool allBytesAre(const cv::Mat& area, uint8_t value) { return cv::countNonZero(area.clone().reshape(1) != value) == 0; }

// Halving with bilinear sampling lands every sample between four pixels: their rounded mean.
cv::Mat halved(const cv::Mat& picture) {
    cv::Mat result(picture.rows / 2, picture.cols / 2, CV_8UC4);
    result.forEach<cv::Vec4b>([&](cv::Vec4b& p, const int* at) {
        const int y = 2 * at[0], x = 2 * at[1];
        for (int c = 0; c < 4; ++c) {
            const int sum = picture.at<cv::Vec4b>(y, x)[c] + picture.at<cv::Vec4b>(y, x + 1)[c] +
                            picture.at<cv::Vec4b>(y + 1, x)[c] + picture.at<cv::Vec4b>(y + 1, x + 1)[c];
            p[c] = static_cast<uint8_t>((sum + 2) / 4);
        }
    });
    return result;
}

// The main input ("before") is a photo with partial alpha, the second input ("after") noise.
class NLECompareViewTest : public ::testing::TestWithParam<cv::Size> {
protected:
    cv::Size size = GetParam();
    PaddedFrame before = PaddedFrame::from(qortest::samplePicture("astronaut.png", 190)(cv::Rect({0, 0}, size)), 8);
    PaddedFrame after = PaddedFrame::from(qortest::noisePicture(size.width, size.height, 4), 16);
    PaddedFrame out = qortest::untouchedFrame(size.width, size.height);
    std::unique_ptr<NLECompareView> effect = qortest::makeEffect<NLECompareView>();

    cv::Mat renderMode(int mode) {
        qortest::setInt(*effect, "mode", mode);
        EXPECT_EQ(qortest::render(*effect, out.frame(), after.frame(), before.frame()), 0);
        EXPECT_TRUE(out.paddingIntact());
        return out.pixels();
    }
};

INSTANTIATE_TEST_SUITE_P(EvenAndOdd, NLECompareViewTest, ::testing::Values(cv::Size(512, 512), cv::Size(31, 17)));

// Modes 0 and 1 show one input alone; 3 and 4 split the frame, the second input taking the odd
// column or row, every pixel in its place.
TEST_P(NLECompareViewTest, WholeAndSplitViewsKeepEveryPixelInItsPlace) {
    const int w = size.width, h = size.height;
    EXPECT_EQ(qortest::differingBytes(renderMode(0), after.mat()), 0);
    EXPECT_EQ(qortest::differingBytes(renderMode(1), before.mat()), 0);
    cv::Mat leftRight = after.pixels(), topBottom = after.pixels();
    before.mat().colRange(0, w / 2).copyTo(leftRight.colRange(0, w / 2));
    before.mat().rowRange(0, h / 2).copyTo(topBottom.rowRange(0, h / 2));
    EXPECT_EQ(qortest::differingBytes(renderMode(3), leftRight), 0);
    EXPECT_EQ(qortest::differingBytes(renderMode(4), topBottom), 0);
}

// Both inputs halved side by side on transparent black; an odd last column stays black.
TEST_P(NLECompareViewTest, SideBySideHalvesBothInputsOnTransparentBlack) {
    const int w = size.width, h = size.height;
    const cv::Mat result = renderMode(2);
    if (w % 2 == 0) {
        cv::Mat expected(h, w, CV_8UC4, cv::Scalar::all(0));
        halved(before.mat()).copyTo(expected(cv::Rect(0, h / 4, w / 2, h / 2)));
        halved(after.mat()).copyTo(expected(cv::Rect(w / 2, h / 4, w / 2, h / 2)));
        EXPECT_EQ(qortest::differingBytes(result, expected), 0);
    } else {
        EXPECT_TRUE(allBytesAre(result.col(w - 1), 0));
        EXPECT_FALSE(allBytesAre(result(cv::Rect(0, h / 4, w - 1, h / 2)), 0));
    }
    EXPECT_TRUE(allBytesAre(result.rowRange(0, h / 4), 0));
    EXPECT_TRUE(allBytesAre(result.rowRange(h / 4 + h / 2, h), 0));
}

TEST_P(NLECompareViewTest, UnknownModesLeaveTheOutputAloneAndSucceed) {
    for (const int mode : {-1, 5, 1000}) renderMode(mode);
    EXPECT_TRUE(qortest::leftUntouched(out));
}

TEST(NLECompareViewTinyTest, OneRowAndOneColumnFramesAreFilledWithoutFailing) {
    PaddedFrame before = PaddedFrame::from(qortest::noisePicture(1, 1, 1));
    PaddedFrame after = PaddedFrame::from(qortest::noisePicture(1, 1, 2));
    PaddedFrame out = qortest::untouchedFrame(1, 1);
    auto effect = qortest::makeEffect<NLECompareView>();
    for (const int mode : {2, 3, 4}) {
        qortest::setInt(*effect, "mode", mode);
        ASSERT_EQ(qortest::render(*effect, out.frame(), after.frame(), before.frame()), 0);
    }
    EXPECT_EQ(qortest::differingBytes(out.mat(), after.mat()), 0);  // mode 4: the one row is the second input's
    EXPECT_TRUE(out.paddingIntact());
}

// The view has the second input's size: the output and the main input must hold all of it, and a
// larger output is written only where the view lies.
TEST(NLECompareViewRefusalTest, TheViewMustFitTheOutputAndTheMainInput) {
    auto effect = qortest::makeEffect<NLECompareView>();
    qortest::setInt(*effect, "mode", 1);
    qortest::expectRefusals(*effect, 1, true);
    PaddedFrame after = PaddedFrame::from(qortest::noisePicture(31, 16, 7));
    PaddedFrame before = PaddedFrame::from(qortest::noisePicture(40, 20, 8));
    PaddedFrame out = qortest::untouchedFrame(31, 17);
    const tessel::Frame shortBefore{before.data(), 40, 15, before.stride()};
    EXPECT_EQ(qortest::render(*effect, out.frame(), after.frame(), shortBefore), 1);
    EXPECT_TRUE(qortest::leftUntouched(out));
    ASSERT_EQ(qortest::render(*effect, out.frame(), after.frame(), before.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(0, 16), before.mat()(cv::Rect(0, 0, 31, 16))), 0);
    EXPECT_TRUE(qortest::leftUntouched(out, cv::Rect(0, 0, 31, 16)));
}

}  // namespace
