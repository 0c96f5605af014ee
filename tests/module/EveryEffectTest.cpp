// Every effect of the bundled pack, created through the entry points and rendered with all its
// parameters at their minimum, default and maximum, on odd sizes and padded rows. Whatever the
// settings, an effect either renders without touching bytes outside the output's pixels and
// without changing its inputs, or refuses (4) and leaves the output exactly as it was. On a real
// picture, every effect renders the same bytes in place, on one thread, and after an earlier frame
// of another size as a fresh object does on a separate output.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "module/LoadedModule.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;

namespace {

enum class Setting { Minimum, Default, Maximum, Middle };

qorfx::HostValue valueFor(const qorfx::ParamAnnouncement& param, Setting setting) {
    if (!param.isNumeric()) return qorfx::HostValue::ofText(param.text);
    switch (setting) {
    case Setting::Minimum: return qorfx::HostValue::ofNumber(param.minimum());
    case Setting::Maximum: return qorfx::HostValue::ofNumber(param.maximum());
    case Setting::Middle: return qorfx::HostValue::ofNumber(std::round((param.minimum() + param.maximum()) / 2));
    default: return qorfx::HostValue::ofNumber(param.defaultValue());
    }
}

using Values = std::map<std::string, qorfx::HostValue>;

Values valuesAt(const qorfx::EffectAnnouncement& announced, Setting setting) {
    Values values;
    for (const auto& param : announced.params) values[param.name] = valueFor(param, setting);
    return values;
}

// Settings that make an effect do real work where its extremes copy or clear the frame.
const std::map<std::string, Values> kWorkingSettings = {
    {"Resize Blur", {{"destImageWidth", qorfx::HostValue::ofNumber(40)},
                     {"destImageHeight", qorfx::HostValue::ofNumber(24)},
                     {"kernelMaxRadius", qorfx::HostValue::ofNumber(3)}}},
    {"Transform", {{"theta", qorfx::HostValue::ofNumber(30)}}},
    {"Scope", {{"Scale_x", qorfx::HostValue::ofNumber(0.6)}, {"Rotation", qorfx::HostValue::ofNumber(20)}}},
};

// The GUIDs the bundled pack registers without an effect class in this module.
const std::set<std::string> kNotCreatable = {
    "56A91214-616D-4C81-B857-EDC89D770CC2",  // ReservedEffect88
    "ACC775D5-4E8B-4503-84CE-BF589F499F59",  // ReservedEffect110
    "C10E027A-9E2A-414A-B344-B993A3E7D3DA",  // ReservedEffect111
};

// One frame through the host-facing object: `output` may be the very buffer of `input`.
int32_t renderFrame(QOREffect& effect, const Values& values, qorfx::MatImageBuffer& input,
                    qorfx::MatImageBuffer& second, qorfx::MatImageBuffer& output) {
    qorfx::FrameContext context;
    context.currentTime = 20;
    context.totalTime = 100;
    context.inputs = {&input, &second};
    context.output = &output;
    context.values = values;
    EXPECT_EQ(effect.UpdateParameters(&context), 0);
    return effect.Render(&context);
}

// A real picture with translucent alpha, its rows followed by five pixels of padding.
cv::Mat paddedPicture(const std::string& name, cv::Size size) {
    static std::map<std::string, cv::Mat> pictures;
    if (!pictures.count(name)) pictures[name] = samplePicture(name, 200);
    cv::Mat buffer(size.height, size.width + 5, CV_8UC4, cv::Scalar::all(0xA5));
    cv::Mat picture = buffer.colRange(0, size.width);
    pictures[name](cv::Rect(cv::Point(60, 40), size)).copyTo(picture);
    return picture;
}

struct Rendered {
    int32_t result;
    cv::Mat pixels;
};

// Renders on a separate output that starts as a copy of the input, as the in-place output does.
Rendered renderSeparately(QOREffect& effect, const Values& values, cv::Size size) {
    qorfx::MatImageBuffer input(paddedPicture("astronaut.png", size)), second(paddedPicture("chelsea.png", size));
    qorfx::MatImageBuffer output(paddedPicture("astronaut.png", size));
    const int32_t result = renderFrame(effect, values, input, second, output);
    return {result, output.picture().clone()};
}

struct Shape {
    const char* name;
    cv::Size input, second, output;
    bool withSecond;
};

void renderAndCheck(QOREffect& effect, const qorfx::EffectAnnouncement& announced, Setting setting,
                    const Shape& shape) {
    SCOPED_TRACE(announced.name + " / " + shape.name + " / setting " + std::to_string(static_cast<int>(setting)));
    PaddedFrame input = PaddedFrame::from(noisePicture(shape.input.width, shape.input.height, 11), 12);
    PaddedFrame second = PaddedFrame::from(samplePicture("chelsea.png", 150)(cv::Rect({40, 30}, shape.second)), 20);
    PaddedFrame output = PaddedFrame::from(noisePicture(shape.output.width, shape.output.height, 13), 28);
    const std::vector<uint8_t> inputBefore = input.bytes(), secondBefore = second.bytes();
    const std::vector<uint8_t> outputBefore = output.bytes();

    qorfx::MatImageBuffer inputBuffer(input.mat()), secondBuffer(second.mat()), outputBuffer(output.mat());
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
    EXPECT_TRUE(input.bytes() == inputBefore) << "the main input was written";
    EXPECT_TRUE(second.bytes() == secondBefore) << "the second input was written";
    EXPECT_TRUE(output.paddingIntact()) << "bytes past the output's rows were written";
    if (result == 4) {
        EXPECT_TRUE(output.bytes() == outputBefore) << "a refused frame changed the output";
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
    for (const auto& announced : module.registrar().effects) {
        qorfx::EffectHandle effect = module.host().create(announced.guid, 0);
        if (!effect) continue;
        for (const auto& shape : shapes) {
            for (const Setting setting : {Setting::Default, Setting::Minimum, Setting::Maximum}) {
                renderAndCheck(*effect.get(), announced, setting, shape);
            }
        }
    }
}

TEST(EveryEffect, ExactlyTheEffectsWithAClassAreCreatable) {
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    ASSERT_EQ(module.registrar().effects.size(), 26u);
    for (const auto& announced : module.registrar().effects) {
        EXPECT_EQ(static_cast<bool>(module.host().create(announced.guid, 0)), !kNotCreatable.count(announced.guid))
            << announced.name;
    }
}

// Against a fresh object rendering on a separate output: the same bytes in place (or a refusal that
// leaves the frame alone), on one worker thread, and after an earlier frame of another size with
// other settings (stale tables or scratch buffers would show).
TEST(EveryEffect, InPlaceSingleThreadedAndReusedRenderTheSameBytes) {
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    const cv::Size size(161, 97), earlierSize(64, 150);
    for (const auto& announced : module.registrar().effects) {
        if (kNotCreatable.count(announced.guid)) continue;
        std::vector<Values> settings = {valuesAt(announced, Setting::Default), valuesAt(announced, Setting::Middle),
                                        valuesAt(announced, Setting::Maximum)};
        if (kWorkingSettings.count(announced.name)) {
            settings.push_back(settings[0]);
            for (const auto& [name, value] : kWorkingSettings.at(announced.name)) settings.back()[name] = value;
        }
        for (std::size_t s = 0; s < settings.size(); ++s) {
            SCOPED_TRACE(announced.name + " / setting " + std::to_string(s));
            const Values& values = settings[s];
            const Rendered fresh = renderSeparately(*module.host().create(announced.guid, 0).get(), values, size);
            ASSERT_TRUE(fresh.result == 0 || fresh.result == 4);

            qorfx::EffectHandle reused = module.host().create(announced.guid, 0);
            renderSeparately(*reused.get(), settings[(s + 1) % settings.size()], earlierSize);
            const Rendered again = renderSeparately(*reused.get(), values, size);
            EXPECT_EQ(again.result, fresh.result);
            EXPECT_EQ(differingBytes(again.pixels, fresh.pixels), 0) << "a reused object differs from a fresh one";

            const int threads = cv::getNumThreads();
            cv::setNumThreads(1);
            const Rendered single = renderSeparately(*module.host().create(announced.guid, 0).get(), values, size);
            cv::setNumThreads(threads);
            EXPECT_EQ(differingBytes(single.pixels, fresh.pixels), 0) << "one thread differs from several";

            qorfx::MatImageBuffer frame(paddedPicture("astronaut.png", size)), second(paddedPicture("chelsea.png", size));
            const cv::Mat before = frame.picture().clone();
            const int32_t inPlace = renderFrame(*module.host().create(announced.guid, 0).get(), values, frame, second,
                                                frame);
            const cv::Mat& expected = inPlace == 0 ? fresh.pixels : before;
            EXPECT_EQ(differingBytes(frame.picture(), expected), 0) << "in place, result " << inPlace;
        }
    }
}
