// Keyframed values as the render context serves them: the module asks with a frame's time and gets
// the value between the keyframes around it.

#include <gtest/gtest.h>

#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/ParamText.h"

namespace {

using qorfx::ParamAnnouncement;
using qorfx::ParamWidget;

ParamAnnouncement param(ParamWidget widget, double min, double max) {
    ParamAnnouncement announced{widget, -1, 0, "amp", "amp", {min, max, 0.0}};
    return announced;
}

// The value the module reads (as a float) for `setting` at `milliseconds`.
float servedAt(const ParamAnnouncement& announced, const std::string& setting, int64_t milliseconds) {
    std::string error;
    const auto parsed = qorfx::parseParamSetting(announced, setting, 25.0, error);
    EXPECT_TRUE(parsed) << setting << ": " << error;
    qorfx::FrameContext context;
    context.values["amp"] = parsed ? parsed->value : qorfx::HostValue{};
    QORParamValue value{};
    value.kind = 5;
    EXPECT_EQ(context.GetParamValue("amp", milliseconds, &value), 0);
    return value.payload.f;
}

TEST(Keyframes, InterpolateLinearlyAndHoldOutsideTheirTimes) {
    const auto amp = param(ParamWidget::Float, 0.0, 500.0);
    struct Case {
        const char* setting;
        int64_t milliseconds;
        float expected;
    };
    const Case cases[] = {
        {"10@1,30@2", 0, 10.0f},       // before the first: held
        {"10@1,30@2", 1000, 10.0f},    // on a keyframe
        {"10@1,30@2", 1250, 15.0f},    // a quarter of the way
        {"10@1,30@2", 2000, 30.0f},    // on the last
        {"10@1,30@2", 9000, 30.0f},    // after the last: held
        {"0@0,40@2f", 40, 20.0f},      // frame times at 25 fps: frame 1 of 2
        {"0@0,100@1,0@3", 2000, 50.0f},  // falling between the second and third
        {"7", 123456, 7.0f},           // a plain value at any time
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(servedAt(amp, c.setting, c.milliseconds), c.expected) << c.setting << " at " << c.milliseconds;
    }
}

TEST(Keyframes, BadKeyframesAreRefusedWithAReason) {
    const auto amp = param(ParamWidget::Float, 0.0, 500.0);
    struct Case {
        const char* setting;
        const char* reason;
    };
    const Case cases[] = {
        {"10@1,30@1", "out of order"},
        {"10@one,30@2", "cannot read the keyframe \"10@one\""},
        {"ten@1,30@2", "cannot read the keyframe \"ten@1\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(qorfx::parseParamSetting(amp, c.setting, 25.0, error)) << c.setting;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.setting << ": " << error;
    }
}

}  // namespace
