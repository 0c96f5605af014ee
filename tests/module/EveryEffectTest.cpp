// Every effect of the bundled pack, created through the entry points and rendered with all its
// parameters at their minimum, default and maximum, on odd sizes and padded rows. Whatever the
// settings, an effect either renders without touching bytes outside the output's pixels and
// without changing its inputs, or refuses (4) and leaves the output exactly as it was.

#include <gtest/gtest.h>

#include "module/LoadedModule.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;

namespace {

// A picture inside a wider buffer, so its rows are followed by guard bytes.
struct GuardedPicture {
    cv::Mat buffer;
    cv::Mat picture;

    GuardedPicture(const cv::Mat& content, int padPixels) {
        buffer = cv::Mat(content.rows, content.cols + padPixels, CV_8UC4, cv::Scalar(0xA5, 0xA5, 0xA5, 0xA5));
        picture = buffer(cv::Rect(0, 0, content.cols, content.rows));
        content.copyTo(picture);
    }
};

enum class Setting { Minimum, Default, Maximum };

qorfx::HostValue valueFor(const qorfx::ParamAnnouncement& param, Setting setting) {
    if (!param.isNumeric()) return qorfx::HostValue::ofText(param.text);
    switch (setting) {
    case Setting::Minimum: return qorfx::HostValue::ofNumber(param.minimum());
    case Setting::Maximum: return qorfx::HostValue::ofNumber(param.maximum());
    default: return qorfx::HostValue::ofNumber(param.defaultValue());
    }
}

struct Shape {
    const char* name;
    cv::Size input, second, output;
    bool withSecond;
};

void renderAndCheck(QOREffect& effect, const qorfx::EffectAnnouncement& announced, Setting setting,
                    const Shape& shape) {
    SCOPED_TRACE(announced.name + " / " + shape.name + " / setting " + std::to_string(static_cast<int>(setting)));
    GuardedPicture input(noisePicture(shape.input.width, shape.input.height, 11), 3);
    GuardedPicture second(samplePicture("chelsea.png", 150)(cv::Rect(cv::Point(40, 30), shape.second)), 5);
    GuardedPicture output(noisePicture(shape.output.width, shape.output.height, 13), 7);
    const cv::Mat inputBefore = input.buffer.clone(), secondBefore = second.buffer.clone();
    const cv::Mat outputBefore = output.buffer.clone();

    qorfx::MatImageBuffer inputBuffer(input.picture), secondBuffer(second.picture), outputBuffer(output.picture);
    qorfx::FrameContext context;
    context.currentTime = 20;
    context.totalTime = 100;
    context.inputs = {&inputBuffer};
    if (shape.withSecond) context.inputs.push_back(&secondBuffer);
    context.output = &outputBuffer;
    for (const auto& param : announced.params) context.values[param.name] = valueFor(param, setting);

    ASSERT_EQ(effect.UpdateParameters(&context), 0);
    const int32_t result = effect.Render(&context);
    ASSERT_TRUE(result == 0 || result == 4) << result;
    EXPECT_EQ(differingBytes(input.buffer, inputBefore), 0) << "the main input was written";
    EXPECT_EQ(differingBytes(second.buffer, secondBefore), 0) << "the second input was written";
    const cv::Mat guardsNow = output.buffer(cv::Rect(shape.output.width, 0, 7, shape.output.height));
    const cv::Mat guardsBefore = outputBefore(cv::Rect(shape.output.width, 0, 7, shape.output.height));
    EXPECT_EQ(differingBytes(guardsNow, guardsBefore), 0) << "bytes past the output's rows were written";
    if (result == 4) {
        EXPECT_EQ(differingBytes(output.buffer, outputBefore), 0) << "a refused frame changed the output";
    }
}

}  // namespace

TEST(EveryEffect, RendersOrRefusesCleanlyAtEverySetting) {
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    const Shape shapes[] = {
        {"equal odd sizes", {37, 23}, {37, 23}, {37, 23}, true},
        {"one input", {37, 23}, {37, 23}, {37, 23}, false},
        {"smaller output", {37, 23}, {37, 23}, {20, 11}, true},
        {"larger output", {37, 23}, {37, 23}, {45, 30}, true},
        {"smaller second input", {37, 23}, {19, 13}, {37, 23}, true},
        {"portrait output", {37, 23}, {23, 37}, {23, 37}, true},
        {"single pixel", {1, 1}, {1, 1}, {1, 1}, true},
    };
    int created = 0;
    for (const auto& announced : module.registrar().effects) {
        qorfx::EffectHandle effect = module.host().create(announced.guid, 0);
        if (!effect) continue;
        ++created;
        for (const auto& shape : shapes) {
            for (const Setting setting : {Setting::Default, Setting::Minimum, Setting::Maximum}) {
                renderAndCheck(*effect.get(), announced, setting, shape);
            }
        }
    }
    EXPECT_GT(created, 0);
}
