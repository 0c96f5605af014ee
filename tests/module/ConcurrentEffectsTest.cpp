// A host drives each effect object from one thread at a time, but many objects at once: here four
// threads each create, update, render and release their own effect of every kind, in different
// orders, so that every kind meets every other mid-frame. That includes the first use of the blend
// tables (the module is freshly loaded) and skin detection on several colour-matching objects at
// once. Each result must equal what a lone object renders afterwards. Run under ThreadSanitizer
// (scripts/sanitize.sh thread), this is the race check of the module's shared state.

#include <gtest/gtest.h>

#include <thread>

#include "module/LoadedModule.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;

namespace {

constexpr int kThreads = 4;
constexpr int kFramesPerObject = 2;

using Values = std::map<std::string, qorfx::HostValue>;

Values defaultsWithSkinProtection(const qorfx::EffectAnnouncement& announced) {
    Values values;
    for (const auto& param : announced.params) {
        values[param.name] = param.isNumeric() ? qorfx::HostValue::ofNumber(param.defaultValue())
                                               : qorfx::HostValue::ofText(param.text);
    }
    if (values.count("skinProtect")) values["skinProtect"] = qorfx::HostValue::ofNumber(100);
    return values;
}

// Every thread renders its own frame size, so no two threads' objects share a frame shape.
cv::Size frameSizeOf(int thread) { return {96 + 13 * thread, 64 + 7 * thread}; }

struct Pictures {
    cv::Mat portrait = samplePicture("astronaut.png", 200);
    cv::Mat cat = samplePicture("chelsea.png", 180);
};

cv::Mat renderOnFreshObject(qorfx::ModuleHost& host, const qorfx::EffectAnnouncement& announced, cv::Size size,
                            const Pictures& pictures) {
    qorfx::EffectHandle effect = host.create(announced.guid, 0);
    if (!effect) return {};
    qorfx::MatImageBuffer input(pictures.portrait(cv::Rect({50, 30}, size)).clone());
    qorfx::MatImageBuffer second(pictures.cat(cv::Rect({20, 10}, size)).clone());
    qorfx::MatImageBuffer output(cv::Mat(size, CV_8UC4, cv::Scalar::all(0)));
    qorfx::FrameContext context;
    context.totalTime = 100;
    context.inputs = {&input, &second};
    context.output = &output;
    context.values = defaultsWithSkinProtection(announced);
    for (int frame = 0; frame < kFramesPerObject; ++frame) {
        context.currentTime = 20 + 30 * frame;
        if (effect->UpdateParameters(&context) != 0) return {};
        effect->Render(&context);
    }
    return output.picture();
}

}  // namespace

TEST(Concurrency, EveryKindOfEffectOnSeveralThreadsRendersAsAloneWould) {
    LoadedModule module(bundledEffectRoot(), QOR_AI_MODULE_PATH);
    ASSERT_EQ(module.startAndRegister(), 0);
    const std::vector<qorfx::EffectAnnouncement>& kinds = module.registrar().effects;
    const Pictures pictures;

    std::vector<std::vector<cv::Mat>> rendered(kThreads, std::vector<cv::Mat>(kinds.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < kinds.size(); ++i) {
                const std::size_t kind = (i + t * kinds.size() / kThreads) % kinds.size();
                rendered[t][kind] = renderOnFreshObject(module.host(), kinds[kind], frameSizeOf(t), pictures);
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
            SCOPED_TRACE(kinds[kind].name + " on thread " + std::to_string(t));
            const cv::Mat alone = renderOnFreshObject(module.host(), kinds[kind], frameSizeOf(t), pictures);
            ASSERT_EQ(rendered[t][kind].empty(), alone.empty());
            if (!alone.empty()) {
                EXPECT_EQ(differingBytes(rendered[t][kind], alone), 0);
            }
        }
    }
}
