#include "plugins/qorCommonFxPlugin/NLEMotion.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"
#include "tests/compositing/BlendReference.h"

namespace {

using qortest::PaddedFrame;

constexpr uint8_t kUntouched = 77;

PaddedFrame blankFrame(int width, int height) {
    PaddedFrame frame(width, height, 20);
    frame.mat().setTo(cv::Scalar::all(kUntouched));
    return frame;
}

bool untouched(PaddedFrame& frame) {
    return cv::countNonZero(frame.mat().reshape(1) != kUntouched) == 0 && frame.paddingIntact();
}

// A photo as the clip (alpha below 255) and another as the opaque canvas, both the same size.
struct Scene {
    PaddedFrame clip;
    PaddedFrame canvas;
};

Scene photoScene(int clipAlpha = 180) {
    cv::Mat clip = qortest::samplePicture("astronaut.png", clipAlpha);
    cv::Mat canvas = qortest::samplePicture("chelsea.png", 255);
    cv::resize(canvas, canvas, clip.size());
    return {PaddedFrame::from(clip, 8), PaddedFrame::from(canvas, 16)};
}

int32_t render(NLEMotion& effect, PaddedFrame& out, PaddedFrame& canvas, PaddedFrame& clip) {
    return qortest::render(effect, out.frame(), canvas.frame(), clip.frame());
}

TEST(NLEMotionTest, FactoryBuildsItForAlgorithmType20) {
    auto info = std::make_shared<tessel::NLEFilterInfo>();
    info->SetAlgorithmType(20);
    auto filter = tessel::qorCommonFxPlugin::EffectRegistry::createFilter(info);
    EXPECT_NE(dynamic_cast<NLEMotion*>(filter.get()), nullptr);
}

TEST(NLEMotionTest, DefaultsCompositeTheClipOverTheWholeCanvasInNormalMode) {
    Scene scene = photoScene();
    PaddedFrame out = blankFrame(scene.clip.width(), scene.clip.height());
    auto effect = qortest::makeEffect<NLEMotion>();
    ASSERT_EQ(render(*effect, out, scene.canvas, scene.clip), 0);
    const cv::Mat expected = blendref::blendImage(scene.clip.mat(), scene.canvas.mat(), 0, 255, false);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEMotionTest, ModesAndOpacity) {
    Scene scene = photoScene(140);
    auto effect = qortest::makeEffect<NLEMotion>();
    struct Case {
        int mode;
        float alphaPercent;
        int strength;  // int(alpha / 100 * 255), held to 0..255
    };
    for (const Case c : {Case{22, 100, 255}, Case{2, 50, 127}, Case{9, 100, 255}, Case{0, 37, 94}, Case{8, 150, 255},
                         Case{0, -20, 0}, Case{5, 1000, 255}}) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " alpha " + std::to_string(c.alphaPercent));
        qortest::setInt(*effect, "mode", c.mode);
        qortest::setFloat(*effect, "alpha", c.alphaPercent);
        PaddedFrame out = blankFrame(scene.clip.width(), scene.clip.height());
        ASSERT_EQ(render(*effect, out, scene.canvas, scene.clip), 0);
        const cv::Mat expected = blendref::blendImage(scene.clip.mat(), scene.canvas.mat(), c.mode, c.strength, false);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST(NLEMotionTest, ReplaceGivesTheClipItself) {
    Scene scene = photoScene(90);
    PaddedFrame out = blankFrame(scene.clip.width(), scene.clip.height());
    auto effect = qortest::makeEffect<NLEMotion>();
    qortest::setInt(*effect, "mode", 22);
    qortest::setFloat(*effect, "alpha", 0);
    ASSERT_EQ(render(*effect, out, scene.canvas, scene.clip), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), scene.clip.mat()), 0);
}

TEST(NLEMotionTest, SmallerWindowGetsTheResizedClipOverItsPartOfTheCanvas) {
    PaddedFrame canvas = PaddedFrame::from(qortest::noisePicture(64, 48, 1), 12);
    PaddedFrame clip = PaddedFrame::from(qortest::noisePicture(41, 29, 2), 4);
    PaddedFrame out = blankFrame(32, 24);
    auto effect = qortest::makeEffect<NLEMotion>();
    qortest::setFloat(*effect, "curScaleX", 0.5f);
    qortest::setFloat(*effect, "curScaleY", 0.5f);
    qortest::setFloat(*effect, "curPosX", 0.625f);  // window from x = 64 * 0.375 = 24
    qortest::setFloat(*effect, "curPosY", 0.25f);   // window from y = 0
    ASSERT_EQ(render(*effect, out, canvas, clip), 0);
    cv::Mat layer;
    cv::resize(clip.mat(), layer, cv::Size(32, 24), 0, 0, cv::INTER_LINEAR);
    const cv::Mat expected = blendref::blendImage(layer, canvas.mat()(cv::Rect(24, 0, 32, 24)), 0, 255, false);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEMotionTest, QuarterTurnRotatesTheClipClockwiseAboutTheWindowCentre) {
    constexpr int kSize = 40;
    const cv::Mat clipPicture = qortest::noisePicture(kSize, kSize, 3);
    PaddedFrame clip = PaddedFrame::from(clipPicture);
    PaddedFrame canvas = PaddedFrame::from(qortest::noisePicture(kSize, kSize, 4));
    PaddedFrame out = blankFrame(kSize, kSize);
    auto effect = qortest::makeEffect<NLEMotion>();
    qortest::setFloat(*effect, "curRotate", 90);
    qortest::setInt(*effect, "mode", 22);
    ASSERT_EQ(render(*effect, out, canvas, clip), 0);
    // The turn is about the point (20, 20) of pixel indices, half a pixel right of and below the
    // middle of the 40 x 40 grid, so the turned clip lands one column right of cv::rotate's: output
    // (x, y) shows clip (y, 40 - x). Column 0 and row 39 fall outside the clip and, in Replace
    // mode, give the layer's transparent black. Column 1 samples the clip's last row exactly on its
    // edge, where rounding in the warp decides; it is not checked.
    const cv::Mat result = out.mat();
    int mismatches = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            if (x == 1) continue;
            const bool covered = x >= 2 && y <= kSize - 2;
            const cv::Vec4b expected = covered ? clipPicture.at<cv::Vec4b>(kSize - x, y) : cv::Vec4b(0, 0, 0, 0);
            mismatches += result.at<cv::Vec4b>(y, x) != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEMotionTest, TiltedClipLeavesTheCanvasInTheCorners) {
    Scene scene = photoScene(255);
    const int w = scene.clip.width(), h = scene.clip.height();
    PaddedFrame out = blankFrame(w, h);
    auto effect = qortest::makeEffect<NLEMotion>();
    qortest::setFloat(*effect, "curRotate", 30);
    ASSERT_EQ(render(*effect, out, scene.canvas, scene.clip), 0);
    const cv::Mat result = out.mat(), canvas = scene.canvas.mat(), clip = scene.clip.mat();
    for (const cv::Point corner : {cv::Point(0, 0), cv::Point(w - 1, 0), cv::Point(0, h - 1), cv::Point(w - 1, h - 1)}) {
        EXPECT_EQ(result.at<cv::Vec4b>(corner), canvas.at<cv::Vec4b>(corner)) << corner;
    }
    // The centre stays where it is: there the opaque clip covers the canvas.
    EXPECT_EQ(result.at<cv::Vec4b>(h / 2, w / 2), clip.at<cv::Vec4b>(h / 2, w / 2));
    // Turned clockwise as displayed, the clip's left edge leans right at its top and its top edge
    // rises at its left: near the top-left corner the left border shows canvas while the top border
    // is still covered. Turned the other way it would be the reverse.
    EXPECT_EQ(result.at<cv::Vec4b>(h / 4, 0), canvas.at<cv::Vec4b>(h / 4, 0));
    EXPECT_NE(result.at<cv::Vec4b>(0, w / 4), canvas.at<cv::Vec4b>(0, w / 4));
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEMotionTest, WindowOfAnotherSizeLeavesTheOutputAsItWas) {
    Scene scene = photoScene();
    const int w = scene.clip.width(), h = scene.clip.height();
    PaddedFrame narrower = blankFrame(w - 1, h);
    auto effect = qortest::makeEffect<NLEMotion>();
    EXPECT_EQ(render(*effect, narrower, scene.canvas, scene.clip), 0);
    EXPECT_TRUE(untouched(narrower));
    // A canvas one row short makes the full-size window one row short too.
    PaddedFrame out = blankFrame(w, h);
    const tessel::Frame canvas = scene.canvas.frame();
    EXPECT_EQ(qortest::render(*effect, out.frame(), tessel::Frame{canvas.data, w, h - 1, canvas.stride}, scene.clip.frame()), 0);
    EXPECT_TRUE(untouched(out));
}

TEST(NLEMotionTest, MissingCanvasLeavesTheOutputAsItWas) {
    Scene scene = photoScene();
    PaddedFrame out = blankFrame(scene.clip.width(), scene.clip.height());
    auto effect = qortest::makeEffect<NLEMotion>();
    EXPECT_EQ(qortest::render(*effect, out.frame(), scene.clip.frame()), 0);
    EXPECT_TRUE(untouched(out));
}

TEST(NLEMotionTest, RefusesBuffersItWouldOverrunWithoutWriting) {
    Scene scene = photoScene();
    const int w = scene.clip.width(), h = scene.clip.height();
    PaddedFrame out = blankFrame(w, h);
    auto effect = qortest::makeEffect<NLEMotion>();
    const tessel::Frame canvas = scene.canvas.frame(), clip = scene.clip.frame(), target = out.frame();

    EXPECT_EQ(qortest::render(*effect, tessel::Frame{nullptr, w, h, target.stride}, canvas, clip), 1);
    EXPECT_EQ(qortest::render(*effect, target, canvas, tessel::Frame{nullptr, w, h, clip.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, tessel::Frame{target.data, w, h, 4 * w - 1}, canvas, clip), 1);
    EXPECT_EQ(qortest::render(*effect, tessel::Frame{target.data, -w, h, target.stride}, canvas, clip), 1);
    EXPECT_EQ(qortest::render(*effect, tessel::Frame{target.data, w, 0, target.stride}, canvas, clip), 1);
    EXPECT_EQ(qortest::render(*effect, target, tessel::Frame{canvas.data, w, h, 4 * w - 4}, clip), 1);
    EXPECT_EQ(qortest::render(*effect, target, tessel::Frame{canvas.data, w, -h, canvas.stride}, clip), 1);
    EXPECT_EQ(qortest::render(*effect, target, canvas, tessel::Frame{clip.data, w, h, 2 * w}), 1);
    EXPECT_TRUE(untouched(out));
}

TEST(NLEMotionTest, WindowReachingOutsideTheCanvasIsRefused) {
    Scene scene = photoScene();
    PaddedFrame out = blankFrame(scene.clip.width(), scene.clip.height());
    auto effect = qortest::makeEffect<NLEMotion>();
    for (const float position : {0.9f, -0.2f, 1e30f}) {
        qortest::setFloat(*effect, "curPosX", position);
        EXPECT_EQ(render(*effect, out, scene.canvas, scene.clip), 1) << position;
        EXPECT_TRUE(untouched(out));
    }
    // Even turned, the window must lie on the canvas.
    qortest::setFloat(*effect, "curPosX", 0.9f);
    qortest::setFloat(*effect, "curRotate", 45);
    EXPECT_EQ(render(*effect, out, scene.canvas, scene.clip), 1);
    EXPECT_TRUE(untouched(out));
}

TEST(NLEMotionTest, LayerWarpCutsTheClipRectangleAndCanKeepTheOutput) {
    const cv::Mat clip(10, 10, CV_8UC4, cv::Scalar(10, 20, 30, 255));
    const cv::Mat canvas(10, 10, CV_8UC4, cv::Scalar(1, 2, 3, 255));
    const cv::Mat before(10, 10, CV_8UC4, cv::Scalar(100, 100, 100, 255));
    cv::Mat output = before.clone();
    LayerPlacement placement{{-0.5, 0.25, 1.0, 1.0}, {0, 0, 1, 1}};
    // HollowIn under an opaque layer keeps the destination: here the output, not the canvas.
    warpLayerToWindow(clip, canvas, output, placement, 0, 19, 1.0f, cv::INTER_LINEAR, false, true);
    EXPECT_EQ(placement.clip, cv::Rect2d(0, 0.25, 0.5, 0.75));
    EXPECT_EQ(qortest::differingBytes(output, before), 0);
}

}  // namespace
