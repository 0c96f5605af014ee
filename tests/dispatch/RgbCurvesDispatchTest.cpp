// RGB curves' sixteen-pixel path against the SSE2 path on every colour, and the two float shortcuts
// that path takes for the luminances, checked over every input they can meet.

#include <gtest/gtest.h>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace {

// Whole luminances 2126 R + 7152 G + 722 B of the byte triples.
constexpr int kWholeWeightSum = 10000;
constexpr int kWholeMax = 255 * kWholeWeightSum;

// The input luminance's table index, the whole sum over 10000 truncated, comes from a float
// multiplication by the reciprocal instead of a division.
TEST(RgbCurvesDispatch, ReciprocalGivesTheWholeQuotientOfEveryLuminance) {
    const float reciprocal = 1.0f / kWholeWeightSum;
    for (int whole = 0; whole <= kWholeMax; ++whole) {
        ASSERT_EQ(static_cast<int>(static_cast<float>(whole) * reciprocal), whole / kWholeWeightSum) << whole;
    }
}

// The curved luminance, the weighted sum in double precision converted to float, comes from the
// float quotient of the whole sum.
TEST(RgbCurvesDispatch, FloatQuotientGivesTheDoubleLuminanceOfEveryColour) {
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g) {
            for (int b = 0; b < 256; ++b) {
                const auto luminance = static_cast<float>(0.2126 * r + 0.7152 * g + 0.0722 * b);
                const float quotient = static_cast<float>(2126 * r + 7152 * g + 722 * b) / kWholeWeightSum;
                ASSERT_EQ(luminance, quotient) << r << " " << g << " " << b;
            }
        }
    }
}

// Straight colour curves leave every colour its own curved colour, so the frames below, one per
// red level with every green and blue (alpha from the blue level, padded rows), meet every curved
// triple and every luminance index; the luminance curve moves them by varying amounts.
TEST(RgbCurvesDispatch, EveryColourGivesTheSameBytesOnEveryPath) {
    auto effect = qortest::makeEffect<NLERGBCurveEffect>();
    const auto setText = [&](const char* name, const char* text) {
        tessel::ParamValue value;
        value.text = text;
        effect->SetParameter(name, tessel::toCode(tessel::ParamType::String), value);
    };
    const char* straight = R"([{"_time":0,"_value":0},{"_time":1,"_value":1}])";
    for (const char* name : {"rKnots", "gKnots", "bKnots"}) setText(name, straight);
    setText("yKnots", R"([{"_time":0,"_value":0.1},{"_time":0.3,"_value":0.45},)"
                      R"({"_time":0.7,"_value":0.6},{"_time":1,"_value":0.97}])");
    cv::Mat colours(256, 256, CV_8UC4);
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g) {
            for (int b = 0; b < 256; ++b) colours.at<cv::Vec4b>(g, b) = cv::Vec4b(b, g, r, 255 - b);
        }
        qortest::PaddedFrame in = qortest::PaddedFrame::from(colours);
        const auto renderOn = [&](tessel::SimdPath path) {
            effect->useSimdPath(path);
            qortest::PaddedFrame out(colours.cols, colours.rows);
            EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
            return out.pixels();
        };
        const cv::Mat baseline = renderOn(tessel::SimdPath::sse2);
        dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
            ASSERT_EQ(qortest::differingBytes(renderOn(path), baseline), 0) << "red " << r;
        });
    }
}

}  // namespace
