// Instances as hosts drive them: in place, failing frames, many instances of several plug-ins on
// several threads, and the module's life across all of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "PluginFiles.h"
#include "StderrCapture.h"

namespace qortest {

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// A real picture at the instance size, alpha below 255.
cv::Mat picture() {
    cv::Mat scaled;
    cv::resize(samplePicture("coffee.png", 200), scaled, cv::Size(kWidth, kHeight), 0, 0, cv::INTER_AREA);
    return scaled;
}

uint32_t* pixels(const cv::Mat& frame) { return reinterpret_cast<uint32_t*>(frame.data); }

// One plug-in opened and initialised while the object lives.
struct OpenPlugin {
    explicit OpenPlugin(const std::string& folder) : file(folder), initialised(file.isOpen() && file.init() >= 0) {}
    ~OpenPlugin() {
        if (initialised) file.deinit();
    }
    PluginFile file;
    bool initialised;
};

// Renders `frames` frames of a new instance from `input` into `output` (which may be `input`); a
// second picture goes through f0r_update2, an empty one as a missing second frame.
void render(PluginFile& plugin, double value, const cv::Mat& input, const cv::Mat& output, const cv::Mat* second,
            int frames = 3) {
    f0r_instance_t instance = plugin.construct(kWidth, kHeight);
    ASSERT_NE(instance, nullptr);
    plugin.setParam(instance, &value, 0);
    for (int frame = 0; frame < frames; ++frame) {
        const double time = frame / 25.0;
        if (second) plugin.update2(instance, time, pixels(input), pixels(*second), nullptr, pixels(output));
        else plugin.update(instance, time, pixels(input), pixels(output));
    }
    plugin.destruct(instance);
}

cv::Mat rendered(PluginFile& plugin, double value, const cv::Mat& input, const cv::Mat* second = nullptr) {
    cv::Mat output(kHeight, kWidth, CV_8UC4, cv::Scalar::all(7));
    render(plugin, value, input, output, second);
    return output;
}

}  // namespace

TEST(Frei0rInstances, RenderInPlaceLikeIntoASeparateFrame) {
    OpenPlugin sharpen("Sharpen");
    ASSERT_TRUE(sharpen.initialised);
    const cv::Mat input = picture();
    const cv::Mat separate = rendered(sharpen.file, 1.0, input);
    EXPECT_GT(differingBytes(separate, input), 0) << "full sharpening changes the picture";
    const cv::Mat shared = input.clone();
    render(sharpen.file, 1.0, shared, shared, nullptr, 1);
    EXPECT_EQ(differingBytes(shared, separate), 0);
}

TEST(Frei0rInstances, AFrameTheEffectCannotRenderPassesThroughAndIsReportedOnce) {
    OpenPlugin compare("CompareView");
    ASSERT_TRUE(compare.initialised);
    const cv::Mat input = picture(), missing;
    StderrCapture capture;
    EXPECT_EQ(differingBytes(rendered(compare.file, 0.25, input, &missing), input), 0);
    const std::string said = capture.text();
    EXPECT_NE(said.find("qor_compareview"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(Frei0rInstances, ManyInstancesOfSeveralPluginsOnThreadsShareOneModule) {
    const cv::Mat input = picture(), second = noisePicture(kWidth, kHeight, 5);
    struct Job {
        const char* folder;
        double value;
        const cv::Mat* second;
    };
    const Job jobs[] = {{"Sharpen", 1.0, nullptr}, {"PixelRotate", 0.75, nullptr}, {"CompareView", 0.75, &second}};
    std::vector<cv::Mat> expected;
    for (const Job& job : jobs) {
        OpenPlugin plugin(job.folder);
        ASSERT_TRUE(plugin.initialised) << job.folder;
        expected.push_back(rendered(plugin.file, job.value, input, job.second));
    }
    ASSERT_FALSE(moduleLoaded());

    for (int round = 0; round < 2; ++round) {  // the second round loads and starts the module again
        std::vector<std::unique_ptr<OpenPlugin>> plugins;
        for (const Job& job : jobs) plugins.push_back(std::make_unique<OpenPlugin>(job.folder));
        std::vector<int> mismatches(12, -1);
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < mismatches.size(); ++t) {
            threads.emplace_back([&, t] {
                const std::size_t j = t % std::size(jobs);
                mismatches[t] = differingBytes(rendered(plugins[j]->file, jobs[j].value, input, jobs[j].second), expected[j]);
            });
        }
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(mismatches, std::vector<int>(12, 0));

        // An instance may outlive every f0r_deinit; the module goes with the last instance.
        PluginFile& rotate = plugins[1]->file;
        f0r_instance_t late = rotate.construct(kWidth, kHeight);
        std::rotate(plugins.begin(), plugins.begin() + round + 1, plugins.end());
        for (auto& plugin : plugins) {
            plugin->file.deinit();
            plugin->initialised = false;
        }
        EXPECT_TRUE(moduleLoaded());
        const cv::Mat output = input.clone();
        rotate.update(late, 0.0, pixels(input), pixels(output));
        rotate.destruct(late);
        EXPECT_FALSE(moduleLoaded());
    }
}

}  // namespace qortest
