// Skin protection: the blend towards the input, its level, the timing message, and the render path
// of the host-facing object around a stand-in colour-matching filter and the stand-in AI module
// (whose mask is 255 on the left half and 0 on the right).

#include <gtest/gtest.h>

#include "compositing/BlendTables.h"
#include "module/AiTestSupport.h"
#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/QORCommonEffect.h"
#include "plugins/qorCommonFxPlugin/SkinProtection.h"
#include "support/TestSupport.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;
using namespace tessel;
using namespace tessel::qorCommonFxPlugin;

namespace {

// The blend written plainly, pixel by pixel, through the shared tables.
cv::Mat protectedByTables(const cv::Mat& input, const cv::Mat& mask, cv::Mat output, int level) {
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    for (int y = 0; y < input.rows; ++y) {
        for (int x = 0; x < input.cols; ++x) {
            const auto& s = input.at<cv::Vec4b>(y, x);
            const uint8_t alpha = mask.at<cv::Vec4b>(y, x)[3];
            auto& d = output.at<cv::Vec4b>(y, x);
            if (alpha == 0) continue;
            const uint8_t w = tables.mul(static_cast<uint8_t>(level), alpha);
            for (int c = 0; c < 4; ++c) d[c] = tables.lerp(s[c], d[c], w);
        }
    }
    return output;
}

// Stands in for a colour-matching effect: inverts the colours of the input, or fails.
class InvertingFilter : public NLEEffectFilter {
public:
    InvertingFilter(NLEFilterInfoPtr info, int32_t result) : NLEEffectFilter(std::move(info)), result_(result) {}
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t*, int32_t, int32_t,
                      int32_t, uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) override {
        if (result_ != 0) return result_;
        const Frame in{src, srcWidth, srcHeight, srcStride}, out{dst, dstWidth, dstHeight, dstStride};
        cv::Mat inverted;
        cv::bitwise_not(in.mat(), inverted);
        inverted(cv::Rect(0, 0, std::min(srcWidth, dstWidth), std::min(srcHeight, dstHeight)))
            .copyTo(out.mat()(cv::Rect(0, 0, std::min(srcWidth, dstWidth), std::min(srcHeight, dstHeight))));
        return 0;
    }

private:
    int32_t result_;
};

class ProtectedRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useFakeAiModule(); }

    QORCommonEffect effect(const char* guid, int32_t transformResult = 0) {
        auto info = std::make_shared<NLEFilterInfo>();
        info->SetGUID(guid);
        return QORCommonEffect(info, std::make_shared<InvertingFilter>(info, transformResult));
    }

    // Updates and renders `input` into `output` with the given "skinProtect".
    int32_t render(QORCommonEffect& target, QORImageBuffer& input, QORImageBuffer& output, int skinProtect) {
        qorfx::FrameContext context;
        context.inputs = {&input};
        context.output = &output;
        context.values["skinProtect"] = qorfx::HostValue::ofNumber(skinProtect);
        target.UpdateParameters(&context);
        return target.Render(&context);
    }

    int transforms() const { return fakeCounters(fakeAiModulePath("full"))->transforms; }

    RecordingHostUtil host;
    const cv::Mat picture = samplePicture("astronaut.png", 200)(cv::Rect(101, 50, 301, 200)).clone();
};

qorfx::MatImageBuffer paddedCopy(const cv::Mat& picture) {
    cv::Mat wide(picture.rows, picture.cols + 3, CV_8UC4, cv::Scalar::all(0xA5));
    picture.copyTo(wide.colRange(0, picture.cols));
    return qorfx::MatImageBuffer(wide.colRange(0, picture.cols));
}

}  // namespace

TEST(SkinProtectionBlend, MatchesThePlainTableBlendAtEveryLevel) {
    const cv::Mat input = samplePicture("astronaut.png", 180)(cv::Rect(0, 0, 257, 131)).clone();
    const cv::Mat mask = noisePicture(257, 131, 5);
    const cv::Mat rendered = noisePicture(257, 131, 6);
    for (int level : {0, 2, 127, 200, 255}) {
        PaddedFrame in = PaddedFrame::from(input), out = PaddedFrame::from(rendered, 20);
        protectSkin(in.frame(), mask, out.frame(), level);
        EXPECT_EQ(differingBytes(out.mat(), protectedByTables(input, mask, rendered.clone(), level)), 0) << level;
        EXPECT_TRUE(out.paddingIntact()) << level;
    }
}

TEST(SkinProtectionLevel, ScalesPercentToByteAndClampsOutOfRange) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {1, 2}, {50, 127}, {100, 255}, {150, 255}, {-20, 0}};
    for (const auto& [percent, level] : cases) EXPECT_EQ(skinProtectionLevel(percent), level) << percent;
}

TEST(SkinDetectionTiming, ReportsOnlyEvery1500thDetectionOver40Ms) {
    RecordingHostUtil host;
    const std::tuple<uint32_t, double, bool> cases[] = {
        {1500, 41.0, true}, {1499, 41.0, false}, {1500, 39.0, false}, {1500, 40.0, false}, {3000, 40.01, true}};
    for (const auto& [detection, ms, logged] : cases) {
        host.messages.clear();
        reportDetectionTime(detection, 1920, 1080, ms);
        EXPECT_EQ(host.messages.size(), logged ? 1u : 0u) << detection << " " << ms;
    }
    reportDetectionTime(1500, 1920, 1080, 41.0);
    EXPECT_EQ(host.messages.back(), (LoggedMessage{2, "skin detection [1920x1080] cost: [41.00]ms (frame 1500)"}));
}

TEST_F(ProtectedRender, FullProtectionRestoresTheInputWhereTheMaskIsSkin) {
    for (const char* guid : {kMatchColorGuid, kMatchColorV2Guid}) {
        QORCommonEffect matcher = effect(guid);
        qorfx::MatImageBuffer input = paddedCopy(picture), output = paddedCopy(cv::Mat::zeros(picture.size(), CV_8UC4));
        ASSERT_EQ(render(matcher, input, output, 100), 0) << guid;
        const cv::Mat left = output.picture().colRange(0, 150), right = output.picture().colRange(150, 301);
        EXPECT_EQ(differingBytes(left, picture.colRange(0, 150)), 0) << guid;
        cv::Mat inverted;
        cv::bitwise_not(picture.colRange(150, 301), inverted);
        EXPECT_EQ(differingBytes(right, inverted), 0) << guid << ": a mask of 0 leaves the effect's output";
    }
}

TEST_F(ProtectedRender, InPlaceRenderStillRestoresTheOriginalInput) {
    QORCommonEffect matcher = effect(kMatchColorGuid);
    qorfx::MatImageBuffer frame = paddedCopy(picture);
    ASSERT_EQ(render(matcher, frame, frame, 100), 0);
    EXPECT_EQ(differingBytes(frame.picture().colRange(0, 150), picture.colRange(0, 150)), 0);
}

TEST_F(ProtectedRender, AFailedColourMatchReturns4WithoutDetection) {
    QORCommonEffect matcher = effect(kMatchColorGuid, 1);
    qorfx::MatImageBuffer input = paddedCopy(picture), output = paddedCopy(picture);
    const int before = transforms();
    EXPECT_EQ(render(matcher, input, output, 100), 4);
    EXPECT_EQ(transforms(), before);
}

TEST_F(ProtectedRender, UsesTheRenderCallsContextAndItsReadyResult) {
    QORCommonEffect matcher = effect(kMatchColorGuid);
    {
        qorfx::FrameContext update;  // gone before the render, as a host's context may be
        update.values["skinProtect"] = qorfx::HostValue::ofNumber(100);
        matcher.UpdateParameters(&update);
    }
    qorfx::MatImageBuffer input = paddedCopy(picture), output = paddedCopy(picture);
    qorfx::MatImageBuffer everywhere(cv::Mat(10, 10, CV_8UC1, cv::Scalar(255)));
    qorfx::FrameContext context;
    context.inputs = {&input};
    context.output = &output;
    context.aiResult = &everywhere;
    ASSERT_EQ(matcher.Render(&context), 0);
    EXPECT_EQ(differingBytes(output.picture(), picture), 0);
}

TEST_F(ProtectedRender, NothingIsProtectedWithoutAnAiModuleOrWithOutputTooSmall) {
    cv::Mat inverted;
    cv::bitwise_not(picture, inverted);
    {
        useAiModule(false);
        QORCommonEffect matcher = effect(kMatchColorGuid);
        qorfx::MatImageBuffer input = paddedCopy(picture), output = paddedCopy(picture);
        EXPECT_EQ(render(matcher, input, output, 100), 0);
        EXPECT_EQ(differingBytes(output.picture(), inverted), 0) << "the cleared mask protects nothing";
        useAiModule(true);
    }
    QORCommonEffect matcher = effect(kMatchColorGuid);
    qorfx::MatImageBuffer input = paddedCopy(picture), output = paddedCopy(picture.colRange(0, 300));
    EXPECT_EQ(render(matcher, input, output, 100), 0);
    EXPECT_EQ(differingBytes(output.picture(), inverted.colRange(0, 300)), 0);
}
