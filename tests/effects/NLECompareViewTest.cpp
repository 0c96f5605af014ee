#include "plugins/qorCommonFxPlugin/NLECompareView.h"

#include <gtest/gtest.h>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

bool allBytesAre(const cv::Mat& area, uint8_t value) {
    return cv::countNonZero(area.clone().reshape(1) != value) == 0;
}

// Halving with bilinear sampling lands every sample between four pixels: their rounded mean.
cv::Mat halved(const cv::Mat& picture) {
    cv::Mat result(picture.rows / 2, picture.cols / 2, CV_8UC4);
    for (int y = 0; y < result.rows; ++y)
        for (int x = 0; x < result.cols; ++x)
            for (int c = 0; c < 4; ++c) {
                const int sum = picture.at<cv::Vec4b>(2 * y, 2 * x)[c] + picture.at<cv::Vec4b>(2 * y, 2 * x + 1)[c] +
                                picture.at<cv::Vec4b>(2 * y + 1, 2 * x)[c] +
                                picture.at<cv::Vec4b>(2 * y + 1, 2 * x + 1)[c];
                result.at<cv::Vec4b>(y, x)[c] = static_cast<uint8_t>((sum + 2) / 4);
            }
    return result;
}

class NLECompareViewTest : public ::testing::Test {
protected:
    // The main input ("before") is a photo with partial alpha, the second input ("after") noise.
    NLECompareViewTest(int width = 512, int height = 512)
        : before(PaddedFrame::from(qortest::samplePicture("astronaut.png", 190)(cv::Rect(0, 0, width, height)), 8)),
          after(PaddedFrame::from(qortest::noisePicture(width, height, 4), 16)),
          out(qortest::untouchedFrame(width, height)),
          effect(qortest::makeEffect<NLECompareView>()) {}

    int32_t renderMode(int mode) {
        qortest::setInt(*effect, "mode", mode);
        return qortest::render(*effect, out.frame(), after.frame(), before.frame());
    }

    PaddedFrame before, after, out;
    std::unique_ptr<NLECompareView> effect;
};

class NLECompareViewOddTest : public NLECompareViewTest {
protected:
    NLECompareViewOddTest() : NLECompareViewTest(31, 17) {}
};

TEST_F(NLECompareViewTest, FactoryBuildsItForAlgorithmType96) {
    EXPECT_TRUE(qortest::factoryBuilds<NLECompareView>(96));
}

TEST_F(NLECompareViewTest, ModesZeroAndOneShowOneInputAlone) {
    ASSERT_EQ(renderMode(0), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), after.mat()), 0);
    ASSERT_EQ(renderMode(1), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), before.mat()), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECompareViewTest, SideBySideHalvesBothInputsOnTransparentBlack) {
    ASSERT_EQ(renderMode(2), 0);
    const cv::Mat result = out.mat();
    EXPECT_EQ(qortest::differingBytes(result(cv::Rect(0, 128, 256, 256)), halved(before.mat())), 0);
    EXPECT_EQ(qortest::differingBytes(result(cv::Rect(256, 128, 256, 256)), halved(after.mat())), 0);
    EXPECT_TRUE(allBytesAre(result.rowRange(0, 128), 0));
    EXPECT_TRUE(allBytesAre(result.rowRange(384, 512), 0));
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECompareViewTest, SplitsKeepEveryPixelInItsPlace) {
    ASSERT_EQ(renderMode(3), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().colRange(0, 256), before.mat().colRange(0, 256)), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().colRange(256, 512), after.mat().colRange(256, 512)), 0);
    ASSERT_EQ(renderMode(4), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(0, 256), before.mat().rowRange(0, 256)), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(256, 512), after.mat().rowRange(256, 512)), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECompareViewTest, UnknownModesLeaveTheOutputAloneAndSucceed) {
    for (int mode : {-1, 5, 1000}) {
        EXPECT_EQ(renderMode(mode), 0);
        EXPECT_TRUE(qortest::leftUntouched(out));
    }
}

TEST_F(NLECompareViewOddTest, TheSecondInputTakesTheOddColumnOrRow) {
    ASSERT_EQ(renderMode(3), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().colRange(0, 15), before.mat().colRange(0, 15)), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().colRange(15, 31), after.mat().colRange(15, 31)), 0);
    ASSERT_EQ(renderMode(4), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(0, 8), before.mat().rowRange(0, 8)), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(8, 17), after.mat().rowRange(8, 17)), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECompareViewOddTest, SideBySideLeavesTheOddColumnBlack) {
    ASSERT_EQ(renderMode(2), 0);
    EXPECT_TRUE(allBytesAre(out.mat().col(30), 0));
    EXPECT_FALSE(allBytesAre(out.mat()(cv::Rect(0, 4, 30, 8)), 0));
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLECompareViewTinyTest, OneRowAndOneColumnFramesAreFilledWithoutFailing) {
    PaddedFrame before = PaddedFrame::from(qortest::noisePicture(1, 1, 1));
    PaddedFrame after = PaddedFrame::from(qortest::noisePicture(1, 1, 2));
    PaddedFrame out = qortest::untouchedFrame(1, 1);
    auto effect = qortest::makeEffect<NLECompareView>();
    for (int mode : {2, 3, 4}) {
        qortest::setInt(*effect, "mode", mode);
        ASSERT_EQ(qortest::render(*effect, out.frame(), after.frame(), before.frame()), 0);
    }
    EXPECT_EQ(qortest::differingBytes(out.mat(), after.mat()), 0);  // mode 4: the one row is the second input's
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECompareViewOddTest, RefusedCallsLeaveTheOutputAndItsPaddingAlone) {
    qortest::setInt(*effect, "mode", 1);
    const std::vector<uint8_t> unchanged = out.bytes();
    const tessel::Frame o = out.frame(), s = after.frame(), i = before.frame();
    const tessel::Frame smallerSecond{s.data, s.width, s.height - 1, s.stride};
    PaddedFrame bigSecond = PaddedFrame::from(qortest::noisePicture(32, 17, 7));
    PaddedFrame bigBefore = PaddedFrame::from(qortest::noisePicture(40, 20, 8));

    EXPECT_EQ(qortest::render(*effect, {nullptr, o.width, o.height, o.stride}, s, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {nullptr, s.width, s.height, s.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, s, {nullptr, i.width, i.height, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, o, bigSecond.frame(), bigBefore.frame()), 1);  // output smaller than the view
    EXPECT_EQ(qortest::render(*effect, o, s, {i.data, i.width, i.height - 1, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, o, s, {i.data, i.width, i.height, i.width * 4 - 4}), 1);
    EXPECT_EQ(qortest::render(*effect, {o.data, o.width, o.height, 3}, s, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {s.data, s.width, 0, s.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {s.data, -s.width, s.height, s.stride}, i), 1);
    EXPECT_EQ(out.bytes(), unchanged);

    // A larger output is written only where the view lies.
    ASSERT_EQ(qortest::render(*effect, o, smallerSecond, bigBefore.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat().rowRange(0, 16), bigBefore.mat()(cv::Rect(0, 0, 31, 16))), 0);
    EXPECT_TRUE(allBytesAre(out.mat().row(16), qortest::kUntouched));
    EXPECT_TRUE(out.paddingIntact());
}

}  // namespace
