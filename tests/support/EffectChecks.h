#pragma once
// Checks shared by the effect tests: the factory row of an effect, outputs pre-filled with a
// marker value so that any write shows, the refusals every frame effect owes its caller, and the
// rounded 8-bit multiply as an independent reference.

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace qortest {

constexpr uint8_t kUntouched = 77;

// True when the factory builds an `Effect` for `algorithmType`.
template <class Effect>
bool factoryBuilds(int32_t algorithmType) {
    auto info = std::make_shared<tessel::NLEFilterInfo>();
    info->SetAlgorithmType(algorithmType);
    auto filter = tessel::qorCommonFxPlugin::EffectRegistry::createFilter(info);
    return dynamic_cast<Effect*>(filter.get()) != nullptr;
}

// An output frame whose pixels hold kUntouched and whose row padding holds the guard pattern.
inline PaddedFrame untouchedFrame(int width, int height, int padding = 20) {
    PaddedFrame frame(width, height, padding);
    frame.mat().setTo(cv::Scalar::all(kUntouched));
    return frame;
}

// True while no pixel and no padding byte of a frame made by untouchedFrame was written.
inline bool leftUntouched(PaddedFrame& frame) {
    return cv::countNonZero(frame.mat().reshape(1) != kUntouched) == 0 && frame.paddingIntact();
}

// a * b / 255 rounded to nearest; a * b never lies halfway between two multiples of 255.
inline int multiplyRounded(int a, int b) { return (a * b + 127) / 255; }

// Missing buffers, an output narrower or shorter than the input (`mismatchResult`), and rows
// shorter than the width on either side are all refused without writing anything.
inline void expectRefusalsLeaveOutputUntouched(tessel::NLEEffectFilter& effect, int mismatchResult) {
    PaddedFrame in = PaddedFrame::from(noisePicture(40, 30, 5));
    PaddedFrame out = untouchedFrame(40, 30);
    PaddedFrame narrower = untouchedFrame(39, 30);
    PaddedFrame shorter = untouchedFrame(40, 29);
    EXPECT_EQ(render(effect, tessel::Frame{}, in.frame()), 1);
    EXPECT_EQ(render(effect, out.frame(), tessel::Frame{}), 1);
    EXPECT_EQ(render(effect, narrower.frame(), in.frame()), mismatchResult);
    EXPECT_EQ(render(effect, shorter.frame(), in.frame()), mismatchResult);
    tessel::Frame shortRows = out.frame();
    shortRows.stride = 40 * 4 - 4;
    EXPECT_EQ(render(effect, shortRows, in.frame()), 1);
    tessel::Frame shortInput = in.frame();
    shortInput.stride = 40 * 4 - 1;
    EXPECT_EQ(render(effect, out.frame(), shortInput), 1);
    EXPECT_TRUE(leftUntouched(out));
    EXPECT_TRUE(leftUntouched(narrower));
    EXPECT_TRUE(leftUntouched(shorter));
}

}  // namespace qortest
