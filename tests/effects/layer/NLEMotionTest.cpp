#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"
#include "tests/compositing/BlendReference.h"

namespace {

using qortest::leftUntouched;
using qortest::PaddedFrame;
using qortest::untouchedFrame;

class NLEMotionTest : public ::testing::Test {
protected:
    // A photo as the clip (alpha below 255) and another as the opaque canvas, both the same size.
    void usePhotos(int clipAlpha) {
        const cv::Mat picture = qortest::samplePicture("astronaut.png", clipAlpha);
        cv::Mat background;
        cv::resize(qortest::samplePicture("chelsea.png", 255), background, picture.size());
        clip = PaddedFrame::from(picture, 8);
        canvas = PaddedFrame::from(background, 16);
    }
    int32_t render(PaddedFrame& out) { return qortest::render(*effect, out.frame(), canvas.frame(), clip.frame()); }

    PaddedFrame clip = PaddedFrame::from(qortest::noisePicture(40, 40, 3));
    PaddedFrame canvas = PaddedFrame::from(qortest::noisePicture(40, 40, 4));
    std::unique_ptr<NLEMotion> effect = qortest::makeEffect<NLEMotion>();
};

// The defaults place the clip over the whole canvas in Normal mode at full opacity; the opacity
// percentage becomes the strength int(alpha / 100 * 255), held to 0..255.
TEST_F(NLEMotionTest, ModesAndOpacityOverTheWholeCanvas) {
    usePhotos(140);
    struct Case {
        int mode;
        float alphaPercent;
        int strength;
    };
    bool defaults = true;
    for (const Case c : {Case{0, 100, 255}, Case{22, 0, 0}, Case{2, 50, 127}, Case{9, 100, 255}, Case{0, 37, 94},
                         Case{8, 150, 255}, Case{0, -20, 0}, Case{5, 1000, 255}}) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " alpha " + std::to_string(c.alphaPercent));
        if (!defaults) {
            qortest::setInt(*effect, "mode", c.mode);
            qortest::setFloat(*effect, "alpha", c.alphaPercent);
        }
        defaults = false;
        PaddedFrame out = untouchedFrame(clip.width(), clip.height());
        ASSERT_EQ(render(out), 0);
        const cv::Mat expected = blendref::blendImage(clip.mat(), canvas.mat(), c.mode, c.strength, false);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST_F(NLEMotionTest, SmallerWindowGetsTheResizedClipOverItsPartOfTheCanvas) {
    canvas = PaddedFrame::from(qortest::noisePicture(64, 48, 1), 12);
    clip = PaddedFrame::from(qortest::noisePicture(41, 29, 2), 4);
    PaddedFrame out = untouchedFrame(32, 24);
    // The window runs from x = 64 * 0.375 = 24 and y = 0.
    qortest::setFloats(*effect, {{"curScaleX", 0.5f}, {"curScaleY", 0.5f}, {"curPosX", 0.625f}, {"curPosY", 0.25f}});
    ASSERT_EQ(render(out), 0);
    cv::Mat layer;
    cv::resize(clip.mat(), layer, cv::Size(32, 24), 0, 0, cv::INTER_LINEAR);
    const cv::Mat expected = blendref::blendImage(layer, canvas.mat()(cv::Rect(24, 0, 32, 24)), 0, 255, false);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

// The turn is about the point (20, 20) of pixel indices, half a pixel right of and below the
// middle of the 40 x 40 grid, so the turned clip lands one column right of cv::rotate's: output
// (x, y) shows clip (y, 40 - x). Column 0 and row 39 fall outside the clip and, in Replace mode,
// give the layer's transparent black. Column 1 samples the clip's last row exactly on its edge,
// where rounding in the warp decides; it is not checked.
TEST_F(NLEMotionTest, QuarterTurnRotatesTheClipClockwiseAboutTheWindowCentre) {
    PaddedFrame out = untouchedFrame(40, 40);
    qortest::setFloat(*effect, "curRotate", 90);
    qortest::setInt(*effect, "mode", 22);
    ASSERT_EQ(render(out), 0);
    int mismatches = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (x == 1) continue;
            const bool covered = x >= 2 && y <= 38;
            const cv::Vec4b expected = covered ? clip.mat().at<cv::Vec4b>(40 - x, y) : cv::Vec4b(0, 0, 0, 0);
            mismatches += out.mat().at<cv::Vec4b>(y, x) != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(out.paddingIntact());
}

// A turned clip is drawn onto transparent black and blended over the canvas window band by band;
// the bytes are those of cv::warpAffine into a cleared layer and one blend of the whole window.
// The window here is the middle half of an odd-sized canvas, so the clip is scaled too.
TEST_F(NLEMotionTest, TurnedClipIsTheWarpedLayerBlendedOverTheWindow) {
    const cv::Mat picture = qortest::samplePicture("astronaut.png", 140)(cv::Rect(5, 9, 458, 391));
    cv::Mat background;
    cv::resize(qortest::samplePicture("chelsea.png", 255), background, picture.size());
    clip = PaddedFrame::from(picture.clone(), 8);
    canvas = PaddedFrame::from(background, 16);
    const cv::Size window(229, 195);
    const cv::Rect placed(115, 98, window.width, window.height);  // int(458 / 4 + 0.5), int(391 / 4 + 0.5)
    qortest::setFloats(*effect, {{"curScaleX", 0.5f}, {"curScaleY", 0.5f}});
    for (const float turn : {15.0f, -100.5f}) {
        for (const int mode : {0, 2, 22}) {
            SCOPED_TRACE("turn " + std::to_string(turn) + " mode " + std::to_string(mode));
            qortest::setFloat(*effect, "curRotate", turn);
            qortest::setInt(*effect, "mode", mode);
            PaddedFrame out = untouchedFrame(window.width, window.height);
            ASSERT_EQ(render(out), 0);
            const double angle = -turn * CV_PI / 180, c = std::cos(angle), s = std::sin(angle);
            const double kx = 0.5, ky = 0.5, w = clip.width() / 2.0, h = clip.height() / 2.0;
            const cv::Mat m = (cv::Mat_<double>(2, 3) << kx * c, ky * s, window.width / 2.0 - ky * h * s - kx * w * c,
                               -kx * s, ky * c, window.height / 2.0 + kx * w * s - ky * h * c);
            cv::Mat layer = cv::Mat::zeros(window, CV_8UC4);
            cv::warpAffine(clip.mat(), layer, m, window, cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
            const cv::Mat expected = blendref::blendImage(layer, canvas.mat()(placed), mode, 255, false);
            EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
            EXPECT_TRUE(out.paddingIntact());
        }
    }
}

// An output or canvas (and so the full-size window) of another size than the clip, or no canvas at
// all, leaves the output as it was.
TEST_F(NLEMotionTest, WindowOfAnotherSizeOrNoCanvasLeavesTheOutputAsItWas) {
    PaddedFrame narrower = untouchedFrame(39, 40), out = untouchedFrame(40, 40);
    EXPECT_EQ(render(narrower), 0);
    EXPECT_TRUE(leftUntouched(narrower));
    const tessel::Frame shortCanvas{canvas.data(), 40, 39, canvas.stride()};
    EXPECT_EQ(qortest::render(*effect, out.frame(), shortCanvas, clip.frame()), 0);
    EXPECT_EQ(qortest::render(*effect, out.frame(), clip.frame()), 0);
    EXPECT_TRUE(leftUntouched(out));
}

TEST_F(NLEMotionTest, RefusesBuffersItWouldOverrunAndWindowsOffTheCanvas) {
    qortest::expectRefusals(*effect, 0);
    PaddedFrame out = untouchedFrame(40, 40);
    EXPECT_EQ(qortest::render(*effect, out.frame(), {canvas.data(), 40, 40, 159}, clip.frame()), 1);
    for (const float position : {0.9f, -0.2f, 1e30f}) {
        qortest::setFloat(*effect, "curPosX", position);
        EXPECT_EQ(render(out), 1) << position;
    }
    qortest::setFloat(*effect, "curPosX", 0.9f);
    qortest::setFloat(*effect, "curRotate", 45);
    EXPECT_EQ(render(out), 1) << "even turned, the window must lie on the canvas";
    EXPECT_TRUE(leftUntouched(out));
}

}  // namespace
