#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"
#include "support/EffectChecks.h"

using qortest::PaddedFrame;

// Colours are copied as they are (never premultiplied); alpha is the matte's green.
TEST(GreenChannelMatte, TakesAlphaFromTheMattesGreenOnEachBuffersOwnStride) {
    const cv::Mat photo = qortest::samplePicture("coffee.png", 180);
    const cv::Mat matteSource = qortest::samplePicture("rocket.jpg")(cv::Rect(0, 0, photo.cols, photo.rows));
    PaddedFrame in = PaddedFrame::from(photo, 4), matte = PaddedFrame::from(matteSource, 20);
    PaddedFrame out(photo.cols, photo.rows, 36);
    auto effect = qortest::makeEffect<NLEGreenChannelControl>();
    ASSERT_EQ(qortest::render(*effect, out.frame(), matte.frame(), in.frame()), 0);
    cv::Mat expected = photo.clone();
    cv::mixChannels(matteSource, expected, std::vector<int>{1, 3});
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

// A matte smaller than the input is refused; an input without rows or columns is nothing to do.
TEST(GreenChannelMatte, RefusesMissingOrTooSmallBuffersWithoutWriting) {
    auto effect = qortest::makeEffect<NLEGreenChannelControl>();
    qortest::expectRefusals(*effect, 1, true);
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(16, 9));
    PaddedFrame smallMatte = PaddedFrame::from(qortest::noisePicture(15, 9, 3));
    PaddedFrame out = qortest::untouchedFrame(16, 9);
    EXPECT_EQ(qortest::render(*effect, out.frame(), smallMatte.frame(), in.frame()), 1);
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame(), {in.data(), 16, 0, in.stride()}), 0);
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame(), {in.data(), 0, 9, in.stride()}), 0);
    EXPECT_TRUE(qortest::leftUntouched(out));
}
