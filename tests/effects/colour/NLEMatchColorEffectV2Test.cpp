#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/HostSuites.h"
#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"
#include "effects/colour/ColourMatchTesting.h"
#include "support/EffectChecks.h"
#include "support/GuardedFrame.h"

using qortest::maxDifference;
using qortest::PaddedFrame;
using Targets = std::array<float, 9>;

namespace {

// Collects the module's log messages while it exists.
class RecordedLog : public HostUtilSuite {
public:
    RecordedLog() : previous_(tessel::qorCommonFxPlugin::hostSuites().hostUtil) {
        tessel::qorCommonFxPlugin::hostSuites().hostUtil = this;
    }
    ~RecordedLog() { tessel::qorCommonFxPlugin::hostSuites().hostUtil = previous_; }

    int32_t GetPath(int32_t, char*, int32_t) override { return 1; }
    void Log(int32_t level, const char* format, ...) override {
        char text[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        messages.push_back(std::to_string(level) + " " + text);
    }

    std::vector<std::string> messages;

private:
    HostUtilSuite* previous_;
};

const Targets kWarm = {-0.35f, 0.12f, 0.06f, 0.25f, 0.08f, 0.05f, 0.3f, 0.5f, 0.001f};

std::unique_ptr<NLEMatchColorEffectV2> matchEffect(const Targets& targets, int strength = 100, int enabled = 1) {
    auto effect = qortest::makeEffect<NLEMatchColorEffectV2>();
    for (int i = 0; i < 9; ++i) qortest::setFloat(*effect, "f" + std::to_string(i), targets[i]);
    qortest::setInts(*effect, {{"Enabled", enabled}, {"strength", strength}});
    return effect;
}

// The chelsea picture at a width of a multiple of 4 (the four-pixel path), opaque.
cv::Mat testPicture() { return qortest::samplePicture("chelsea.png")(cv::Rect(0, 0, 240, 160)).clone(); }

}  // namespace

// Every unusable buffer gives 3 and a level-4 log line, and nothing is written.
TEST(MatchColourV2, RefusesUnusableBuffersWith3AndALogLine) {
    auto effect = matchEffect(kWarm);
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(40, 30, 5));
    PaddedFrame out = qortest::untouchedFrame(40, 30), narrower = qortest::untouchedFrame(39, 30);
    const tessel::Frame i = in.frame(), o = out.frame();
    const tessel::Frame unmapped{reinterpret_cast<uint8_t*>(64), 40, 30, i.stride};
    const struct {
        const char* what;
        tessel::Frame out, in;
    } cases[] = {
        {"null output", {nullptr, 40, 30, o.stride}, i},
        {"null input", o, {nullptr, 40, 30, i.stride}},
        {"unmapped input", o, unmapped},
        {"unmapped output", unmapped, i},
        {"short input rows", o, {i.data, 40, 30, 159}},
        {"short output rows", {o.data, 40, 30, 159}, i},
        {"narrower output", narrower.frame(), i},
    };
    for (const auto& c : cases) {
        RecordedLog log;
        EXPECT_EQ(qortest::render(*effect, c.out, c.in), 3) << c.what;
        EXPECT_EQ(log.messages, std::vector<std::string>{"4 file[NLEMatchColorEffectV2.cpp], line[645]"}) << c.what;
    }
    EXPECT_TRUE(qortest::leftUntouched(out) && qortest::leftUntouched(narrower));
}

// Padded rows whose last row ends right before an inaccessible page (the bottom of a larger
// picture) are usable: only the bytes of the rows are probed, not a full stride after the last.
TEST(MatchColourV2, RendersFramesWhoseLastRowEndsAtUnmappedMemory) {
    const cv::Mat picture = qortest::noisePicture(40, 30, 5);
    const qortest::Geometry geometry{40, 30, 40 * 4 + 12};
    qortest::GuardedFrame in(geometry, false), out(geometry, false);
    for (int y = 0; y < 30; ++y) std::memcpy(in.row(y), picture.ptr(y), 40 * 4);
    const auto frame = [&](qortest::GuardedFrame& f) { return tessel::Frame{f.GetData(), 40, 30, geometry.stride}; };
    EXPECT_EQ(qortest::render(*matchEffect(kWarm), frame(out), frame(in)), 0);
}

// Off, strength 0, no targets or a black frame: the input passes byte for byte.
TEST(MatchColourV2, PassesTheFrameUnchangedWhenThereIsNothingToDo) {
    const cv::Mat picture = qortest::samplePicture("coffee.png", 120);
    const cv::Mat black(50, 60, CV_8UC4, cv::Scalar(0, 0, 0, 200));
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kWarm, 100, 0), picture), picture), 0);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kWarm, 0), picture), picture), 0);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(Targets{}), picture), picture), 0);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kWarm), black), black), 0);
}

// Black bars are neither measured nor changed: the picture area comes out as the picture alone does.
TEST(MatchColourV2, LetterboxBarsStayAndDoNotEnterTheStatistics) {
    const cv::Mat picture = testPicture();
    cv::Mat boxed(picture.rows + 40, picture.cols, CV_8UC4, cv::Scalar(0, 0, 0, 255));
    picture.copyTo(boxed.rowRange(20, 20 + picture.rows));
    const cv::Mat alone = qortest::rendered(*matchEffect(kWarm), picture);
    const cv::Mat out = qortest::rendered(*matchEffect(kWarm), boxed);
    EXPECT_EQ(qortest::differingBytes(out.rowRange(20, 20 + picture.rows), alone), 0);
    EXPECT_EQ(qortest::differingBytes(out.rowRange(0, 20), boxed.rowRange(0, 20)), 0);
    EXPECT_EQ(qortest::differingBytes(out.rowRange(180, 200), boxed.rowRange(180, 200)), 0);
    EXPECT_GT(maxDifference(alone, picture), 20) << "the colours did change";
}

// Whatever the targets, a pixel keeps its grey level: the luminance of the output equals the
// input's grey within 3 levels (the pull of each grey level towards the mean grey by about 1 %,
// the rounding of grey and of the output bytes). Pixels with a clamped channel are skipped.
TEST(MatchColourV2, KeepsEachPixelsLuminance) {
    const cv::Mat picture = testPicture();
    cv::Mat gray;
    cv::cvtColor(picture, gray, cv::COLOR_BGRA2GRAY);
    for (const Targets& targets : {kWarm, Targets{-0.2f, -0.05f, 0.05f, 0.3f, 0.06f, 0.04f, -0.5f, 0.f, 0.f}}) {
        const cv::Mat out = qortest::rendered(*matchEffect(targets), picture);
        int checked = 0;
        for (int y = 0; y < out.rows; ++y) {
            for (int x = 0; x < out.cols; ++x) {
                const cv::Vec4b p = out.at<cv::Vec4b>(y, x);
                if (std::min({p[0], p[1], p[2]}) == 0 || std::max({p[0], p[1], p[2]}) == 255) continue;
                ++checked;
                EXPECT_NEAR(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0], gray.at<uint8_t>(y, x), 3.0) << x << "," << y;
            }
        }
        EXPECT_GT(checked, out.rows * out.cols / 2) << targets[0];
    }
}

// Matched to its own statistics (correlation included), a frame keeps its colours: the grey pull
// (up to 2 levels at the ends of the grey range) and rounding allow 4 levels, and on average the
// bytes move by less than one.
TEST(MatchColourV2, OwnStatisticsLeaveTheFrameAlmostAsItWas) {
    const cv::Mat picture = testPicture();
    Targets own{};
    ASSERT_TRUE(V2Utils::secondVersionTargets(qortest::frameOf(picture), own));
    const cv::Mat out = qortest::rendered(*matchEffect(own), picture);
    EXPECT_LE(maxDifference(out, picture), 4);
    cv::Mat difference;
    cv::absdiff(out, picture, difference);
    EXPECT_LT(cv::mean(difference.reshape(1))[0], 1.0);
}

TEST(MatchColourV2, CorrelationWeightsFollowTheWorkedExamples) {
    double a = 0, b = 0;
    V2Utils::correlationWeights(0.3, 0.3, a, b);
    EXPECT_DOUBLE_EQ(a, 1.0);
    EXPECT_DOUBLE_EQ(b, 0.0);
    // Target 1 from 0: a = b = √½, then b is limited to a / 2 and both are normalised.
    V2Utils::correlationWeights(0.0, 1.0, a, b);
    EXPECT_NEAR(a, 2 / std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(b, 1 / std::sqrt(5.0), 1e-12);
}

// Buffers on a 16-byte boundary take the four-pixel path, which rounds; others take the one-pixel
// path, which truncates (and is logged at level 2). Both compute the same values, so the bytes
// differ by at most one, the rounded ones never lower. Alpha 0 gives 0, 0, 0, 0 on both.
TEST(MatchColourV2, AlignedAndUnalignedPathsDifferOnlyInRounding) {
    cv::Mat picture = testPicture();
    picture.col(7).setTo(cv::Scalar(90, 140, 200, 0));
    cv::Mat input(picture.rows, picture.cols + 1, CV_8UC4), output(picture.rows, picture.cols + 1, CV_8UC4);
    auto effect = matchEffect(kWarm);
    cv::Mat results[2];
    for (const int offset : {0, 1}) {
        const cv::Mat in = input.colRange(offset, offset + picture.cols), out = output.colRange(offset, offset + picture.cols);
        picture.copyTo(in);
        RecordedLog log;
        ASSERT_EQ(qortest::render(*effect, qortest::frameOf(out), qortest::frameOf(in)), 0);
        EXPECT_EQ(log.messages.size(), static_cast<std::size_t>(offset));
        if (offset) {
            EXPECT_EQ(log.messages[0].rfind("2 ptr not aligned:src[", 0), 0u) << log.messages[0];
        }
        results[offset] = out.clone();
    }
    cv::Mat rounding;
    cv::subtract(results[0], results[1], rounding, cv::noArray(), CV_16SC4);
    double low = 0, high = 0;
    cv::minMaxLoc(rounding.reshape(1), &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 1);
    for (const cv::Mat& result : results) {
        for (int y = 0; y < result.rows; ++y) EXPECT_EQ(result.at<cv::Vec4b>(y, 7), cv::Vec4b(0, 0, 0, 0));
    }
}
