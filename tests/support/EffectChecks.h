#pragma once
// Checks shared by the effect tests: outputs pre-filled with a marker value so that any write
// shows, the refusals every frame effect owes its caller, and the rounded 8-bit multiply as an
// independent reference.

#include <array>
#include <optional>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace qortest {

constexpr uint8_t kUntouched = 77;

// An output frame whose pixels hold kUntouched and whose row padding holds the guard pattern.
inline PaddedFrame untouchedFrame(int width, int height, int padding = 20) {
    PaddedFrame frame(width, height, padding);
    frame.mat().setTo(cv::Scalar::all(kUntouched));
    return frame;
}

// True when every byte of `pixels` outside `written` (by default everywhere) still holds kUntouched.
inline bool untouchedOutside(const cv::Mat& pixels, cv::Rect written = {}) {
    cv::Mat copy = pixels.clone();
    copy(written).setTo(cv::Scalar::all(kUntouched));
    return cv::countNonZero(copy.reshape(1) != kUntouched) == 0;
}

// True while no pixel of a frame made by untouchedFrame outside `written` and no padding byte was
// written.
inline bool leftUntouched(PaddedFrame& frame, cv::Rect written = {}) {
    return untouchedOutside(frame.mat(), written) && frame.paddingIntact();
}

// Renders `picture` (rows padded by `inPadding` bytes) into an untouchedFrame of `outSize` (the
// picture's by default), expecting success and intact padding on both; returns the output's pixels.
inline cv::Mat rendered(tessel::NLEEffectFilter& effect, const cv::Mat& picture, cv::Size outSize = {},
                        int inPadding = 12, int outPadding = 4) {
    if (outSize.empty()) outSize = picture.size();
    PaddedFrame in = PaddedFrame::from(picture, inPadding);
    PaddedFrame out = untouchedFrame(outSize.width, outSize.height, outPadding);
    EXPECT_EQ(render(effect, out.frame(), in.frame()), 0);
    EXPECT_TRUE(out.paddingIntact() && in.paddingIntact());
    return out.pixels();
}

// a * b / 255 rounded to nearest; a * b never lies halfway between two multiples of 255.
inline int multiplyRounded(int a, int b) { return (a * b + 127) / 255; }

// Every frame effect answers 1 without writing for a missing output, main input or (`withSecond`)
// second input, and for rows shorter than the width on any of them. Sizes themselves are judged
// by Frame::isValid, tested on its own. An output narrower or shorter than the 40 x 30 input
// gives `mismatchResult`, where the effect does not fit its picture to any output size.
inline void expectRefusals(tessel::NLEEffectFilter& effect, std::optional<int> mismatchResult,
                           bool withSecond = false) {
    PaddedFrame in = PaddedFrame::from(noisePicture(40, 30, 5)), second = PaddedFrame::from(noisePicture(40, 30, 6));
    PaddedFrame out = untouchedFrame(40, 30), narrower = untouchedFrame(39, 30), shorter = untouchedFrame(40, 29);
    const tessel::Frame i = in.frame(), o = out.frame(), s = withSecond ? second.frame() : tessel::Frame{};
    const auto broken = [](const tessel::Frame& f) {
        return std::array<tessel::Frame, 2>{{{nullptr, f.width, f.height, f.stride},
                                             {f.data, f.width, f.height, 4 * f.width - 1}}};
    };
    for (const tessel::Frame& b : broken(o)) EXPECT_EQ(render(effect, b, s, i), 1);
    for (const tessel::Frame& b : broken(i)) EXPECT_EQ(render(effect, o, s, b), 1);
    if (withSecond) {
        for (const tessel::Frame& b : broken(s)) EXPECT_EQ(render(effect, o, b, i), 1);
    }
    if (mismatchResult) {
        EXPECT_EQ(render(effect, narrower.frame(), s, i), *mismatchResult);
        EXPECT_EQ(render(effect, shorter.frame(), s, i), *mismatchResult);
    }
    EXPECT_TRUE(leftUntouched(out) && leftUntouched(narrower) && leftUntouched(shorter));
}

}  // namespace qortest
