#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"

#include <cmath>

#include <gtest/gtest.h>

#include "support/EffectChecks.h"

namespace {

using Points = NLERGBCurveEffect::CurvePoints;
using qortest::setText;

const std::string kIdentity = R"([{"_time": 0, "_value": 0}, {"_time": 0.5, "_value": 0.5}, {"_time": 1, "_value": 1}])";
const std::string kRaise = R"([{"_time": 0, "_value": 0}, {"_time": 0.5, "_value": 0.7}, {"_time": 1, "_value": 1}])";

std::unique_ptr<NLERGBCurveEffect> curvesWith(const std::string& r, const std::string& g, const std::string& b,
                                              const std::string& y) {
    auto effect = qortest::makeEffect<NLERGBCurveEffect>();
    setText(*effect, "rKnots", r);
    setText(*effect, "gKnots", g);
    setText(*effect, "bKnots", b);
    setText(*effect, "yKnots", y);
    return effect;
}

std::string pointList(const std::vector<std::pair<double, double>>& points) {
    std::string text = "[";
    for (const auto& [x, y] : points) {
        text += (text.size() > 1 ? "," : "") + std::string("{\"_time\":") + std::to_string(x) + ",\"_value\":" +
                std::to_string(y) + "}";
    }
    return text + "]";
}

// Per pixel, in plain arithmetic: channels through their tables, then one shift that gives the
// curved colour the luminance curve's value at the input's luminance.
cv::Mat referenceCurves(const NLERGBCurveEffect& effect, const cv::Mat& in) {
    const auto curve = [&](int c, int v) { return effect.curveTable(c).at<float>(v); };
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            const int r = cv::saturate_cast<uint8_t>(curve(0, p[2]) * 255.0f);
            const int g = cv::saturate_cast<uint8_t>(curve(1, p[1]) * 255.0f);
            const int b = cv::saturate_cast<uint8_t>(curve(2, p[0]) * 255.0f);
            const int luma = (7152 * p[1] + 2126 * p[2] + 722 * p[0]) / 10000;
            const auto curvedLuma = static_cast<float>(0.2126 * r + 0.7152 * g + 0.0722 * b);
            const auto d = static_cast<int>(curve(3, luma) * 255.0f - curvedLuma);
            out.at<cv::Vec4b>(y, x) = {cv::saturate_cast<uint8_t>(b + d), cv::saturate_cast<uint8_t>(g + d),
                                       cv::saturate_cast<uint8_t>(r + d), p[3]};
        }
    }
    return out;
}

TEST(RgbCurves, ParsesPointListsAndSkipsWhatIsNotAPoint) {
    struct Case {
        std::string text;
        Points expected;
    };
    for (const Case& c : std::vector<Case>{
             {"", {}},
             {"[{\"_time\": 0, \"_value\": 0}", {}},  // not JSON
             {R"([{"_time": 0, "_value": 1}, {"_time": 0.25, "_value": 0.5}])", {{0, 1}, {0.25, 0.5}}},
             {R"([{"_time": "0.5", "_value": 1}, 7, {"_value": 1}, {"_time": 1, "_value": [1]}, {"_time": 1, "_value": 2}])",
              {{1, 2}}},
             {R"({"a": {"_time": 0.5, "_value": 0.25}, "b": 3})", {{0.5, 0.25}}},
             {R"({"_time": 0.5, "_value": 0.25})", {}},  // an object's member values are the items
         }) {
        const Points got = NLERGBCurveEffect::parseCurvePoints(c.text);
        ASSERT_EQ(got.size(), c.expected.size()) << c.text;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.expected[i].x);
            EXPECT_EQ(got[i].y, c.expected[i].y);
        }
    }
}

// Straight curves leave every pixel as it was; a raised red curve or luminance curve lifts red,
// with the luminance shift of the plain reference.
TEST(RgbCurves, ChannelCurvesAndTheLuminanceShift) {
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 170);
    cv::Mat greys(1, 256, CV_8UC4);
    for (int v = 0; v < 256; ++v) greys.at<cv::Vec4b>(0, v) = {uint8_t(v), uint8_t(v), uint8_t(v), 255};
    // Straight curves: greys come back exactly; a colour whose luminance lies just below the next
    // level can lose one level, as the table's Bezier search stops within 5e-5 of its input.
    auto identity = curvesWith(kIdentity, kIdentity, kIdentity, kIdentity);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*identity, greys), greys), 0);
    for (const cv::Mat& picture : {photo, qortest::noisePicture(256, 256, 4)}) {
        const cv::Mat out = qortest::rendered(*identity, picture);
        EXPECT_LE(cv::norm(out, picture, cv::NORM_INF), 1);
        EXPECT_LT(qortest::differingBytes(out, picture), static_cast<int>(picture.total() * 4 / 100));
    }
    for (const bool luminance : {false, true}) {
        auto effect = luminance ? curvesWith(kIdentity, kIdentity, kIdentity, kRaise)
                                : curvesWith(kRaise, kIdentity, kIdentity, kIdentity);
        const cv::Mat out = qortest::rendered(*effect, photo);
        EXPECT_EQ(qortest::differingBytes(out, referenceCurves(*effect, photo)), 0);
        EXPECT_GT(cv::mean(out)[2], cv::mean(photo)[2] + 10);
    }
}

// Knot lists outside 2..25 points, or text that is not JSON, copy the frame; enormous lists cost
// their length only.
TEST(RgbCurves, UnusableKnotListsCopyTheFrame) {
    std::vector<std::pair<double, double>> many;
    for (int i = 0; i < 26; ++i) many.emplace_back(i / 25.0, i / 25.0);
    std::string enormous = "[";
    for (int i = 0; i < 200000; ++i) enormous += "{\"_time\":0.5,\"_value\":0.5},";
    enormous += "{\"_time\":1,\"_value\":1}]";
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const cv::Mat photo = qortest::samplePicture("chelsea.png", 200);
    for (const std::string& broken : {pointList({{0.5, 0.5}}), pointList(many), std::string("{not json"), enormous, deep}) {
        auto effect = curvesWith(kRaise, broken, kRaise, kRaise);
        EXPECT_EQ(qortest::differingBytes(qortest::rendered(*effect, photo), photo), 0) << broken.substr(0, 40);
    }
}

TEST(RgbCurves, TablesFollowKnotsOnly) {
    auto effect = curvesWith(kRaise, kIdentity, kIdentity, kIdentity);
    const cv::Mat frame = qortest::noisePicture(16, 8, 2);
    qortest::rendered(*effect, frame);
    const cv::Mat built = effect->curveTable(0).clone();
    EXPECT_NEAR(built.at<float>(0, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(built.at<float>(0, 255), 1.0f, 1e-6f);
    setText(*effect, "rKnot_First_Controls", pointList({{0.1, 0.9}, {0.6, 0.95}}));
    qortest::rendered(*effect, frame);
    EXPECT_EQ(cv::norm(effect->curveTable(0), built, cv::NORM_INF), 0);
    setText(*effect, "rKnots", pointList({{0, 0}, {0.5, 0.3}, {1, 1}}));
    qortest::rendered(*effect, frame);
    EXPECT_LT(effect->curveTable(0).at<float>(0, 128), 0.4f);
}

// Beyond the end knots the curve runs straight along its end tangents; at a knot's x it takes the
// knot's y; controls that do not match the knot count are computed.
TEST(RgbCurves, CurveShapeAtKnotsAndBeyond) {
    auto effect = curvesWith(pointList({{0.2, 0.1}, {0.8, 0.9}}), kIdentity, kIdentity, kIdentity);
    setText(*effect, "rKnot_First_Controls", pointList({{0.4, 0.1 + 0.2 * 4 / 3.0}}));
    setText(*effect, "rKnot_Second_Controls", pointList({{0.6, 0.9 - 0.2 * 4 / 3.0}}));
    setText(*effect, "gKnots", pointList({{0, 0}, {0.4, 0.7}, {1, 1}}));
    setText(*effect, "gKnot_First_Controls", pointList({{0.1, 0.1}}));
    qortest::rendered(*effect, qortest::noisePicture(4, 4));
    const cv::Mat& red = effect->curveTable(0);
    for (const int i : {0, 20, 40, 220, 240, 255}) EXPECT_NEAR(red.at<float>(0, i), 0.1 + (i / 255.0 - 0.2) * 4 / 3, 1e-6) << i;
    EXPECT_NEAR(effect->curveTable(1).at<float>(0, 102), 0.7f, 1e-6f);

    auto computed = curvesWith(kIdentity, pointList({{0, 0}, {0.4, 0.7}, {1, 1}}), kIdentity, kIdentity);
    qortest::rendered(*computed, qortest::noisePicture(4, 4));
    EXPECT_EQ(cv::norm(computed->curveTable(1), effect->curveTable(1), cv::NORM_INF), 0);
}

// 25 knots on y = x^2: 73 polygon points, each segment with its own four.
TEST(RgbCurves, TwentyFiveKnotsFollowTheirCurve) {
    std::vector<std::pair<double, double>> knots;
    for (int i = 0; i < 25; ++i) knots.emplace_back(i / 24.0, (i / 24.0) * (i / 24.0));
    auto effect = curvesWith(pointList(knots), kIdentity, kIdentity, kIdentity);
    const cv::Mat photo = qortest::samplePicture("chelsea.png", 255);  // 451 wide: rows end off the four-pixel steps
    const cv::Mat out = qortest::rendered(*effect, photo);
    EXPECT_EQ(qortest::differingBytes(out, referenceCurves(*effect, photo)), 0);
    for (int i = 0; i < 256; ++i) EXPECT_NEAR(effect->curveTable(0).at<float>(0, i), (i / 255.0) * (i / 255.0), 5e-4) << i;
}

TEST(RgbCurves, RefusesUnusableFrames) {
    qortest::expectRefusals(*curvesWith(kRaise, kIdentity, kRaise, kIdentity), 1);
}

}  // namespace
