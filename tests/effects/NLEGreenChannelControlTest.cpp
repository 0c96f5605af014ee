#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/NLEGreenChannelControl.h"
#include "support/EffectChecks.h"

using qortest::PaddedFrame;

namespace {

int32_t run(NLEGreenChannelControl& effect, PaddedFrame& out, PaddedFrame& matte, PaddedFrame& in) {
    return qortest::render(effect, out.frame(), matte.frame(), in.frame());
}

}  // namespace

TEST(GreenChannelMatte, IsTheFactorysTypeNine) { EXPECT_TRUE(qortest::factoryBuilds<NLEGreenChannelControl>(9)); }

TEST(GreenChannelMatte, TakesAlphaFromTheMattesGreenOnEachBuffersOwnStride) {
    const cv::Mat photo = qortest::samplePicture("coffee.png", 180);
    const cv::Mat matteSource = qortest::samplePicture("rocket.jpg")(cv::Rect(0, 0, photo.cols, photo.rows));
    PaddedFrame in = PaddedFrame::from(photo, 4);
    PaddedFrame matte = PaddedFrame::from(matteSource, 20);
    PaddedFrame out(photo.cols, photo.rows, 36);
    auto effect = qortest::makeEffect<NLEGreenChannelControl>();
    ASSERT_EQ(run(*effect, out, matte, in), 0);

    std::vector<cv::Mat> result, colour, green;
    cv::split(out.mat(), result);
    cv::split(photo, colour);
    cv::split(matteSource, green);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cv::countNonZero(result[c] != colour[c]), 0) << "channel " << c;
    EXPECT_EQ(cv::countNonZero(result[3] != green[1]), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(GreenChannelMatte, NoPremultiplicationAndFullGreenIsOpaque) {
    const cv::Mat photo = qortest::noisePicture(33, 17);
    PaddedFrame in = PaddedFrame::from(photo);
    PaddedFrame black = PaddedFrame::from(cv::Mat(17, 33, CV_8UC4, cv::Scalar(255, 0, 255, 255)));
    PaddedFrame green = PaddedFrame::from(cv::Mat(17, 33, CV_8UC4, cv::Scalar(0, 255, 0, 0)));
    PaddedFrame out(33, 17);
    auto effect = qortest::makeEffect<NLEGreenChannelControl>();

    ASSERT_EQ(run(*effect, out, black, in), 0);
    cv::Mat expected = photo.clone();
    expected.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) { p[3] = 0; });
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);

    ASSERT_EQ(run(*effect, out, green, in), 0);
    expected.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) { p[3] = 255; });
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
}

TEST(GreenChannelMatte, RefusesMissingOrTooSmallBuffersWithoutWriting) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(16, 9));
    PaddedFrame matte = PaddedFrame::from(qortest::noisePicture(16, 9, 2));
    PaddedFrame smallMatte = PaddedFrame::from(qortest::noisePicture(15, 9, 3));
    PaddedFrame out(16, 9);
    PaddedFrame smallOut(16, 8);
    const auto before = out.bytes();
    const auto smallBefore = smallOut.bytes();
    auto effect = qortest::makeEffect<NLEGreenChannelControl>();

    EXPECT_EQ(effect->Transform(out.data(), 16, 9, out.stride(), nullptr, 0, 0, 0, in.data(), 16, 9, in.stride()), 1);
    EXPECT_EQ(effect->Transform(nullptr, 16, 9, out.stride(), matte.data(), 16, 9, matte.stride(), in.data(), 16, 9,
                               in.stride()),
              1);
    EXPECT_EQ(run(*effect, out, smallMatte, in), 1);
    EXPECT_EQ(run(*effect, smallOut, matte, in), 1);
    EXPECT_EQ(effect->Transform(out.data(), 16, 9, out.stride(), matte.data(), 16, 9, matte.stride(), in.data(), 16, 9,
                               40),
              1)
        << "a stride shorter than a row";
    EXPECT_EQ(out.bytes(), before);
    EXPECT_EQ(smallOut.bytes(), smallBefore);

    EXPECT_EQ(effect->Transform(out.data(), 16, 9, out.stride(), matte.data(), 16, 9, matte.stride(), in.data(), 16, 0,
                               in.stride()),
              0)
        << "no rows: nothing to do";
    EXPECT_EQ(out.bytes(), before);
}
