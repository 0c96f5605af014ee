// The bridge to the AI module: which libraries it accepts, how the AI module's messages reach the
// host, and the AI transform that prefers the host's ready result.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdarg>
#include <mutex>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "module/AiTestSupport.h"
#include "module/LoadedModule.h"
#include "plugins/qorCommonFxPlugin/AiBridge.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;
using namespace tessel::qorCommonFxPlugin;

namespace {

void logThroughForwarder(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    forwardAiLog(level, format, args);
    va_end(args);
}

bool isLoaded(const std::string& library) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

}  // namespace

TEST(AiModuleLoading, AcceptsLibrariesWithTheFourRequiredEntriesOnly) {
    struct Case {
        const char* variant;
        bool loads, deleteResolved;
    } cases[] = {{"full", true, true}, {"no_delete", true, false}, {"no_ai_res_data", false, false},
                 {"nowhere", false, false}};
    for (const Case& c : cases) {
        AiModuleEntryPoints entries;
        const std::string folder = fakeAiFolder(c.variant);
        EXPECT_EQ(loadAiModule(folder, forwardAiLog, entries), c.loads) << c.variant;
        EXPECT_EQ(entries.DeleteNLEAIEffectFilter != nullptr, c.deleteResolved) << c.variant;
        EXPECT_EQ(entries.CreateNLEAIEffectFilterFromGUID != nullptr, c.loads) << c.variant;
        EXPECT_EQ(isLoaded(folder + "/qorAiFilterPlugin.qor"), c.loads) << c.variant << ": a refused library is unloaded";
        if (c.loads) {
            EXPECT_EQ(fakeCounters(folder + "/qorAiFilterPlugin.qor")->log, &forwardAiLog) << c.variant;
        }
    }
}

TEST(AiModuleLoading, ALoadedTableIsKeptWithoutLoadingAgain) {
    AiModuleEntryPoints entries;
    ASSERT_TRUE(loadAiModule(fakeAiFolder("full"), forwardAiLog, entries));
    const auto create = entries.CreateNLEAIEffectFilterFromGUID;
    EXPECT_TRUE(loadAiModule("/no/such/folder", forwardAiLog, entries));
    EXPECT_EQ(entries.CreateNLEAIEffectFilterFromGUID, create);
}

TEST(AiLog, ReachesTheHostAsLiteralTextCutTo4095Bytes) {
    RecordingHostUtil host;
    logThroughForwarder(2, "created %s at %d%% (%s)", "X", 100, "keep %s %n literal");
    logThroughForwarder(4, "%s", std::string(5000, 'a').c_str());
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], (LoggedMessage{2, "created X at 100% (keep %s %n literal)"}));
    EXPECT_EQ(host.messages[1], (LoggedMessage{4, std::string(4095, 'a')}));
}

TEST(AiLog, MessagesFromManyThreadsArriveWhole) {
    RecordingHostUtil host;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 300; ++i) logThroughForwarder(2, "thread %d says %s", t, std::string(200, 'a' + t).c_str());
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(host.messages.size(), 1200u);
    for (const auto& message : host.messages) {
        const int t = message.text[7] - '0';
        EXPECT_EQ(message.text, "thread " + std::to_string(t) + " says " + std::string(200, 'a' + t));
    }
}

class AiTransform : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useFakeAiModule(); }
    AiTransform() { host.messages.clear(); }  // drops the fake's greeting on creation

    int32_t transform(PaddedFrame& dst, int32_t channels, uint8_t* src = nullptr, int srcWidth = 0, int srcHeight = 0,
                      int srcStride = 0) {
        return NLEEffectFilterTransformChannelsCache(&cache, dst.data(), dst.width(), dst.height(), dst.stride(),
                                                     nullptr, 0, 0, 0, src, srcWidth, srcHeight, srcStride, channels, 4,
                                                     4);
    }

    RecordingHostUtil host;
    qorfx::FrameContext context;
    AiEffectCache cache{kSkinGuid, aiDispatch().createFilter(kSkinGuid, 0), &context};
};

TEST_F(AiTransform, ScalesTheHostsReadyResultIntoFourEqualChannels) {
    const cv::Mat ready = noisePicture(320, 180, 7).reshape(1, 180).colRange(0, 320);  // one channel, padded rows
    qorfx::MatImageBuffer result(ready);
    context.aiResult = &result;
    PaddedFrame mask(1280, 720);
    ASSERT_EQ(transform(mask, 4), 0);
    cv::Mat expected;
    cv::resize(ready, expected, cv::Size(1280, 720), 0, 0, cv::INTER_LINEAR);
    std::vector<cv::Mat> channels;
    cv::split(mask.mat(), channels);
    for (const cv::Mat& channel : channels) EXPECT_EQ(differingBytes(channel, expected), 0);
    EXPECT_TRUE(mask.paddingIntact());
}

TEST_F(AiTransform, RefusesChannelCountsOtherThanOneAndFour) {
    qorfx::MatImageBuffer result(cv::Mat(18, 32, CV_8UC1, cv::Scalar(9)));
    context.aiResult = &result;
    PaddedFrame mask(64, 36);
    const cv::Mat before = mask.pixels();
    EXPECT_EQ(transform(mask, 3), 1);
    EXPECT_EQ(differingBytes(mask.mat(), before), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], (LoggedMessage{4, "NLEEffectFilterTransformChannelsCache nOutChannels 3 is not supported!"}));
    EXPECT_EQ(transform(mask, 1), 0) << "one channel, into the first 64 bytes of each row";
    EXPECT_EQ(cv::countNonZero(mask.mat().reshape(1).colRange(0, 64) != 9), 0);
}

TEST_F(AiTransform, AReadyResultWithoutPixelsWritesNothing) {
    qorfx::MatImageBuffer empty{cv::Mat()};
    context.aiResult = &empty;
    PaddedFrame mask(40, 30);
    const int before = fakeCounters(fakeAiModulePath("full"))->transforms;
    EXPECT_EQ(transform(mask, 4), 0);
    EXPECT_EQ(cv::countNonZero(mask.mat().reshape(1)), 0);
    EXPECT_EQ(fakeCounters(fakeAiModulePath("full"))->transforms, before);
}

TEST_F(AiTransform, WithoutAReadyResultRunsTheAiFilterOnTheHostsSourceFrame) {
    const int before = fakeCounters(fakeAiModulePath("full"))->transforms;
    PaddedFrame mask(50, 20);
    EXPECT_EQ(transform(mask, 4), 1) << "no source anywhere";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], (LoggedMessage{4, "input is nullptr! file[AiBridge.cpp] line[81]"}));

    qorfx::MatImageBuffer input(noisePicture(100, 40));
    context.inputs.push_back(&input);
    EXPECT_EQ(transform(mask, 4), 0);
    EXPECT_EQ(fakeCounters(fakeAiModulePath("full"))->transforms, before + 1);
    EXPECT_EQ(cv::countNonZero(mask.mat().reshape(1).colRange(0, 100)), 25 * 4 * 20) << "the fake's left-half mask";
}

TEST(AiBringUp, LoadsTheAiModuleFromTheHostsFolderAndFallsBackWithoutIt) {
    struct Case {
        const char* variant;
        bool loads;
        int deletesAfterRelease;  // -1: the library has no delete entry to count with
    } cases[] = {{"full", true, 1}, {"no_delete", true, -1}, {"no_ai_res_data", false, 0}, {"none", false, 0}};
    const cv::Mat picture = samplePicture("chelsea.png", 220);
    for (const Case& c : cases) {
        const bool hasLibrary = std::string(c.variant) != "none";
        LoadedModule module(bundledEffectRoot(), hasLibrary ? fakeAiModulePath(c.variant) : "");
        module.startAndRegister();
        const auto& kinds = module.host().util().pathKindsAsked;
        EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 2), 1) << c.variant;
        FakeAiCounters* counters = fakeCounters(module.aiModulePath());
        ASSERT_EQ(counters != nullptr, c.loads) << c.variant << ": a refused library is unloaded";

        // skinProtect on an effect that is not colour matching: a cache, no detection, the same frame.
        cv::Mat plain, guarded;
        for (int skinProtect : {0, 40}) {
            qorfx::EffectHandle sharpen = module.host().create("616D7BAC-39DB-415A-9EEA-798678A43617", 0);
            ASSERT_TRUE(sharpen);
            qorfx::MatImageBuffer input(picture.clone()), output(cv::Mat::zeros(picture.size(), CV_8UC4));
            qorfx::FrameContext context;
            context.inputs = {&input};
            context.output = &output;
            context.values = {{"amount", qorfx::HostValue::ofNumber(60)},
                              {"skinProtect", qorfx::HostValue::ofNumber(skinProtect)}};
            sharpen->UpdateParameters(&context);
            ASSERT_EQ(sharpen->Render(&context), 0) << c.variant;
            (skinProtect ? guarded : plain) = output.picture();
            if (skinProtect && c.loads) {
                EXPECT_EQ(counters->creates, 1) << c.variant;
                sharpen->ReleaseAiResources();
                if (c.deletesAfterRelease >= 0) {
                    EXPECT_EQ(counters->deletes, c.deletesAfterRelease) << c.variant;
                }
                sharpen->UpdateParameters(&context);
                EXPECT_EQ(counters->creates, 2) << c.variant << ": a new cache after the release";
            }
        }
        EXPECT_EQ(differingBytes(plain, guarded), 0) << c.variant;
        if (c.loads) {
            EXPECT_EQ(counters->transforms, 0) << c.variant;
            const auto& messages = module.host().util().messages;
            EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const qorfx::LogMessage& m) {
                return m.level == 2 && m.text == std::string("created ") + kSkinGuid + " at 100% (keep %s %n literal)";
            })) << c.variant << ": the AI module's messages reach the host";
        }
    }
}
