// The AI module's skin detector: what it finds on real pictures, and its entry points as the
// effect module calls them, with frames of any size, stride and alpha.

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "plugins/qorAiFilterPlugin/SkinDetector.h"
#include "support/TestSupport.h"

using namespace qortest;

namespace {

cv::Mat maskOf(const cv::Mat& picture) {
    cv::Mat mask(picture.size(), CV_8UC4, cv::Scalar::all(7));
    qorai::SkinDetector().detect(picture, mask);
    return mask;
}

double meanWeight(const cv::Mat& mask, const cv::Rect& region) { return cv::mean(mask(region))[3]; }

using CreateFn = void* (*)(const char*, int32_t);
using DeleteFn = void (*)(void**);
using TransformFn = int32_t (*)(void*, uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, int32_t,
                                uint8_t*, int32_t, int32_t, int32_t);
using LogFn = void (*)(int32_t, const char*, va_list);

std::vector<std::string> logged;
void recordLog(int32_t, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    logged.emplace_back(text);
}

}  // namespace

TEST(SkinDetector, FindsTheFaceButNotTheBackgroundOrTheSuit) {
    const cv::Mat mask = maskOf(samplePicture("astronaut.png"));
    EXPECT_GT(meanWeight(mask, {195, 105, 50, 50}), 200) << "face";
    EXPECT_LT(meanWeight(mask, {300, 10, 60, 60}), 40) << "backdrop";
    EXPECT_LT(meanWeight(mask, {50, 330, 70, 70}), 40) << "orange suit";
    EXPECT_LT(meanWeight(mask, {300, 380, 120, 100}), 40) << "black helmet";
}

TEST(SkinDetector, FindsNoSkinInASkyWithoutPeople) {
    const cv::Mat mask = maskOf(samplePicture("rocket.jpg"));
    EXPECT_LT(meanWeight(mask, {0, 0, 640, 140}), 10);
}

TEST(SkinDetector, WritesFourEqualChannelsAtAnyMaskSizeWhateverTheAlpha) {
    const cv::Mat portrait = samplePicture("astronaut.png", 0);
    for (const cv::Size size : {cv::Size(512, 512), cv::Size(1001, 17), cv::Size(1, 1), cv::Size(3, 700)}) {
        PaddedFrame mask(size.width, size.height, 12);
        cv::Mat view = mask.mat();
        qorai::SkinDetector().detect(portrait, view);
        std::vector<cv::Mat> channels;
        cv::split(view, channels);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(differingBytes(channels[c], channels[3]), 0) << size;
        EXPECT_TRUE(mask.paddingIntact()) << size;
    }
    EXPECT_EQ(differingBytes(maskOf(portrait), maskOf(samplePicture("astronaut.png"))), 0) << "alpha is not read";
}

TEST(AiModuleEntryPoints, DetectOnFramesOfAnySizeAndRefuseBadOnes) {
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open(QOR_AI_MODULE_PATH)) << library.error();
    const auto create = reinterpret_cast<CreateFn>(library.symbol("CreateNLEAIEffectFilterFromGUID"));
    const auto remove = reinterpret_cast<DeleteFn>(library.symbol("DeleteNLEAIEffectFilter"));
    const auto transform = reinterpret_cast<TransformFn>(library.symbol("NLEEffectFilterTransform"));
    reinterpret_cast<void (*)(LogFn)>(library.symbol("SetNLEAIEffectFilterLogCallback"))(recordLog);
    ASSERT_TRUE(create && remove && transform);

    EXPECT_EQ(create("5C720A04-AC9C-4DF3-811D-EDB3C1B0D14A", 0), nullptr);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("5C720A04"), std::string::npos) << logged[0];

    void* detector = create(qorai::SkinDetector::kGuid, 0);
    ASSERT_NE(detector, nullptr);
    for (const cv::Size size : {cv::Size(1, 1), cv::Size(7, 3), cv::Size(641, 9)}) {
        // The source in a buffer of exactly its rows, so that a read past it is a read past the buffer.
        PaddedFrame source = PaddedFrame::from(noisePicture(size.width, size.height, 3), 4);
        PaddedFrame mask(size.height, size.width, 8);
        EXPECT_EQ(transform(detector, mask.data(), mask.width(), mask.height(), mask.stride(), nullptr, 0, 0, 0,
                            source.data(), size.width, size.height, source.stride()), 0) << size;
        EXPECT_TRUE(mask.paddingIntact()) << size;
    }
    PaddedFrame frame(16, 8);
    const struct {
        void* handle;
        uint8_t* dst;
        int32_t width, stride;
    } refused[] = {{nullptr, frame.data(), 16, frame.stride()}, {detector, nullptr, 16, frame.stride()},
                   {detector, frame.data(), 0, frame.stride()}, {detector, frame.data(), 16, 63}};
    for (const auto& bad : refused) {
        EXPECT_EQ(transform(bad.handle, bad.dst, bad.width, 8, bad.stride, nullptr, 0, 0, 0, frame.data(), 16, 8,
                            frame.stride()), 1);
    }
    remove(&detector);
    EXPECT_EQ(detector, nullptr);
    remove(&detector);
    EXPECT_EQ(reinterpret_cast<int32_t (*)()>(library.symbol("InitGlint"))(), 2) << "unimplemented entry points say so";
}
