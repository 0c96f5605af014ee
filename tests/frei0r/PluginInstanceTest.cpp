// Instances as hosts drive them: in place or not, failing frames, many instances of several
// plug-ins on several threads, and the module's life across all of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
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

const uint32_t* pixels(const cv::Mat& frame) { return reinterpret_cast<const uint32_t*>(frame.data); }
uint32_t* pixels(cv::Mat& frame) { return reinterpret_cast<uint32_t*>(frame.data); }

// One plug-in opened and initialised for the length of a test.
struct OpenPlugin {
    explicit OpenPlugin(const std::string& folder) : file(folder) { initialised = file.isOpen() && file.init() >= 0; }
    ~OpenPlugin() {
        if (initialised) file.deinit();
    }
    PluginFile file;
    bool initialised = false;
};

// Renders `frames` frames of one instance; the second input, when given, goes to f0r_update2.
cv::Mat render(PluginFile& plugin, double value, const cv::Mat& input, const cv::Mat& second = {}, int frames = 1) {
    f0r_instance_t instance = plugin.construct(kWidth, kHeight);
    if (!instance) return {};
    plugin.setParam(instance, &value, 0);
    cv::Mat output(kHeight, kWidth, CV_8UC4, cv::Scalar::all(7));
    for (int i = 0; i < frames; ++i) {
        if (second.empty()) plugin.update(instance, i / 25.0, pixels(input), pixels(output));
        else plugin.update2(instance, i / 25.0, pixels(input), pixels(second), nullptr, pixels(output));
    }
    plugin.destruct(instance);
    return output;
}

}  // namespace

TEST(Frei0rInstances, RenderInPlaceLikeIntoASeparateFrame) {
    OpenPlugin sharpen("Sharpen");
    ASSERT_TRUE(sharpen.initialised);
    const cv::Mat input = picture();
    const cv::Mat separate = render(sharpen.file, 1.0, input);
    EXPECT_GT(differingBytes(separate, input), 0) << "full sharpening changes the picture";

    cv::Mat shared = input.clone();
    f0r_instance_t instance = sharpen.file.construct(kWidth, kHeight);
    double amount = 1.0;
    sharpen.file.setParam(instance, &amount, 0);
    sharpen.file.update(instance, 0.0, pixels(shared), pixels(shared));
    sharpen.file.destruct(instance);
    EXPECT_EQ(differingBytes(shared, separate), 0);
}

TEST(Frei0rInstances, AFrameTheEffectCannotRenderPassesThroughAndIsReportedOnce) {
    OpenPlugin compare("CompareView");
    ASSERT_TRUE(compare.initialised);
    const cv::Mat input = picture();
    StderrCapture capture;
    // A mixer without its second frame: the effect refuses every frame.
    const cv::Mat output = render(compare.file, 0.25, input, cv::Mat(), 3);
    EXPECT_EQ(differingBytes(output, input), 0);
    const std::string said = capture.text();
    EXPECT_NE(said.find("qor_compareview"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(Frei0rInstances, ParameterValuesStayInsideTheUnitRange) {
    OpenPlugin sharpen("Sharpen");
    ASSERT_TRUE(sharpen.initialised);
    f0r_instance_t instance = sharpen.file.construct(kWidth, kHeight);
    double value = 0.0;
    sharpen.file.getParam(instance, &value, 0);
    EXPECT_DOUBLE_EQ(value, 0.75) << "amount's default 50 of -100..100";
    for (auto [given, kept] : {std::pair{1.7, 1.0}, {-3.0, 0.0}, {std::nan(""), 0.0}, {0.25, 0.25}}) {
        sharpen.file.setParam(instance, &given, 0);
        sharpen.file.getParam(instance, &value, 0);
        EXPECT_DOUBLE_EQ(value, kept) << given;
    }
    sharpen.file.destruct(instance);
}

TEST(Frei0rInstances, ManyInstancesOfSeveralPluginsOnThreadsShareOneModule) {
    const cv::Mat input = picture();
    const cv::Mat second = noisePicture(kWidth, kHeight, 5);
    struct Job {
        const char* folder;
        double value;
        bool mixer;
    };
    const std::vector<Job> jobs = {{"Sharpen", 1.0, false}, {"PixelRotate", 0.75, false}, {"CompareView", 0.75, true}};
    std::vector<cv::Mat> expected;
    {
        for (const Job& job : jobs) {
            OpenPlugin plugin(job.folder);
            ASSERT_TRUE(plugin.initialised) << job.folder;
            expected.push_back(render(plugin.file, job.value, input, job.mixer ? second : cv::Mat(), 2));
        }
    }
    ASSERT_FALSE(moduleLoaded());

    for (int round = 0; round < 2; ++round) {  // the second round starts the module again
        std::vector<std::unique_ptr<OpenPlugin>> plugins;
        for (const Job& job : jobs) plugins.push_back(std::make_unique<OpenPlugin>(job.folder));
        std::vector<std::thread> threads;
        std::vector<int> mismatches(12, 0);
        for (int t = 0; t < 12; ++t) {
            threads.emplace_back([&, t] {
                const std::size_t j = static_cast<std::size_t>(t) % jobs.size();
                const cv::Mat out = render(plugins[j]->file, jobs[j].value, input, jobs[j].mixer ? second : cv::Mat(), 2);
                mismatches[static_cast<std::size_t>(t)] = out.empty() ? -1 : differingBytes(out, expected[j]);
            });
        }
        for (auto& thread : threads) thread.join();
        for (int t = 0; t < 12; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;

        std::shuffle(plugins.begin(), plugins.end(), std::mt19937(round));
        plugins.pop_back();
        EXPECT_TRUE(moduleLoaded()) << "plug-ins still hold the module";
        plugins.clear();
        EXPECT_FALSE(moduleLoaded()) << "the last plug-in to go shuts the module down";
    }
}

}  // namespace qortest

namespace qortest {

TEST(Frei0rInstances, AnInstanceOutlivesItsPluginsDeinit) {
    PluginFile sharpen("Sharpen");
    ASSERT_TRUE(sharpen.isOpen() && sharpen.init() >= 0);
    f0r_instance_t instance = sharpen.construct(kWidth, kHeight);
    sharpen.deinit();
    ASSERT_TRUE(moduleLoaded()) << "the instance keeps the module";
    const cv::Mat input = picture();
    cv::Mat output = input.clone();
    sharpen.update(instance, 0.0, pixels(input), pixels(output));
    sharpen.destruct(instance);
    EXPECT_FALSE(moduleLoaded());
}

}  // namespace qortest
