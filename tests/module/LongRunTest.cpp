// Thousands of frames across every effect, creating and releasing objects as an editing session
// does: frame sizes change, some frames render in place, some objects live for many frames and
// some for one. Each frame renders or refuses with 4. Run under the leak checker
// (scripts/sanitize.sh address), this proves that nothing is left behind.

#include <gtest/gtest.h>

#include "module/LoadedModule.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;

TEST(LongRun, ThousandsOfFramesWhileCreatingAndReleasingEveryEffect) {
    LoadedModule module(bundledEffectRoot(), QOR_AI_MODULE_PATH);
    ASSERT_EQ(module.startAndRegister(), 0);
    const cv::Mat picture = samplePicture("astronaut.png", 210);
    const cv::Size sizes[] = {{48, 32}, {33, 17}, {64, 64}, {7, 90}, {90, 5}};
    int frames = 0;
    for (int round = 0; round < 15; ++round) {
        for (const auto& announced : module.registrar().effects) {
            qorfx::EffectHandle effect = module.host().create(announced.guid, 0);
            if (!effect) continue;
            qorfx::FrameContext context;
            context.totalTime = 1000;
            for (const auto& param : announced.params) {
                context.values[param.name] = param.isNumeric() ? qorfx::HostValue::ofNumber(param.defaultValue())
                                                               : qorfx::HostValue::ofText(param.text);
            }
            if (context.values.count("skinProtect")) context.values["skinProtect"] = qorfx::HostValue::ofNumber(60);
            const int lifetime = round % 3 == 0 ? 1 : 10;
            for (int f = 0; f < lifetime; ++f, ++frames) {
                const cv::Size size = sizes[(round + f) % std::size(sizes)];
                qorfx::MatImageBuffer input(picture(cv::Rect({f * 3, round * 5}, size)).clone());
                qorfx::MatImageBuffer second(picture(cv::Rect({100, 40}, size)).clone());
                qorfx::MatImageBuffer separate(cv::Mat(size, CV_8UC4, cv::Scalar::all(0)));
                context.currentTime = 40 * f;
                context.inputs = {&input, &second};
                context.output = f % 4 == 3 ? &input : &separate;
                ASSERT_EQ(effect->UpdateParameters(&context), 0) << announced.name;
                const int32_t result = effect->Render(&context);
                ASSERT_TRUE(result == 0 || result == 4) << announced.name << " returned " << result;
            }
        }
    }
    EXPECT_GT(frames, 2000);
}
