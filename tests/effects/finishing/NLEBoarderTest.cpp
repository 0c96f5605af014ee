#include "plugins/qorCommonFxPlugin/finishing/NLEBoarder.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/EffectChecks.h"

namespace {

constexpr auto mul = qortest::multiplyRounded;

struct Border {
    float opacity, amp, red, green, blue;
};

// Renders `picture` with `b` into an output of `outSize` (the picture's by default) and returns the
// picture's area of it; a larger output keeps the rest.
cv::Mat bordered(const cv::Mat& picture, const Border& b, cv::Size outSize = {}) {
    auto effect = qortest::makeEffect<NLEBoarder>();
    qortest::setFloats(*effect, {{"opacity", b.opacity}, {"amp", b.amp}, {"R", b.red}, {"G", b.green}, {"B", b.blue}});
    const cv::Mat result = qortest::rendered(*effect, picture, outSize);
    const cv::Rect area(cv::Point(0, 0), picture.size());
    EXPECT_TRUE(qortest::untouchedOutside(result, area));
    return result(area).clone();
}

// Reference: a pixel is in the band unless amp <= x <= W - amp and amp <= y <= H - amp, with the
// far bounds truncated to whole pixels; band pixels are mixed with the colour by the opacity.
cv::Mat referenceBorder(const cv::Mat& in, const Border& b) {
    const int o = static_cast<int>(b.opacity * 255.0);
    const int colour[3] = {static_cast<int>(b.blue * 255.0), static_cast<int>(b.green * 255.0),
                           static_cast<int>(b.red * 255.0)};
    const double right = std::trunc(in.cols - static_cast<double>(b.amp));
    const double bottom = std::trunc(in.rows - static_cast<double>(b.amp));
    cv::Mat out = in.clone();
    out.forEach<cv::Vec4b>([&](cv::Vec4b& p, const int* at) {
        const int y = at[0], x = at[1];
        if (x >= b.amp && y >= b.amp && x <= right && y <= bottom) return;
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(mul(p[c], 255 - o) + mul(colour[c], o));
    });
    return out;
}

TEST(NLEBoarderTest, InsideSpanRunsFromAmpToTheTruncatedFarBound) {
    const auto span = [](double amp) {
        const cv::Range r = NLEBoarder::insideSpan(100, amp);
        return r.empty() ? std::pair{0, 0} : std::pair{r.start, r.end};
    };
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(span(1.0), (std::pair{1, 100}));   // band: first pixel only
    EXPECT_EQ(span(10.0), (std::pair{10, 91}));  // ten pixels before, nine after
    EXPECT_EQ(span(0.0), (std::pair{0, 100}));
    EXPECT_EQ(span(1.5), (std::pair{2, 99}));
    EXPECT_EQ(span(-5.0), (std::pair{0, 100}));
    EXPECT_EQ(span(-inf), (std::pair{0, 100}));
    for (const double amp : {50.5, 1e30, inf, std::nan("")}) EXPECT_EQ(span(amp), (std::pair{0, 0})) << amp;
}

// The defaults draw translucent red over the first row and column only.
TEST(NLEBoarderTest, DefaultsFollowTheReference) {
    const cv::Mat picture = qortest::noisePicture(100, 100, 6);
    const cv::Mat result = qortest::rendered(*qortest::makeEffect<NLEBoarder>(), picture);
    EXPECT_EQ(qortest::differingBytes(result, referenceBorder(picture, {0.5f, 1.0f, 1.0f, 0.0f, 0.0f})), 0);
}

// Photos, zero amp or opacity (copies), a band wider than half the frame, values outside the unit
// range (held to it) and a larger output (only the input's area written).
TEST(NLEBoarderTest, FollowsTheReference) {
    const cv::Mat noise = qortest::noisePicture(33, 21, 2);
    struct Case {
        cv::Mat picture;
        Border given, used;
        cv::Size outSize;
    };
    std::vector<Case> cases = {
        {noise, {0.8f, 0, 1, 0, 0}, {0.8f, 0, 1, 0, 0}, {}},
        {noise, {0, 5, 1, 0, 0}, {0, 5, 1, 0, 0}, {}},
        {noise, {1, 11, 0, 0, 1}, {1, 11, 0, 0, 1}, {}},
        {noise, {3, 4, 7, -2, std::nanf("")}, {1, 4, 1, 0, 0}, {}},
        {noise, {0.5f, 2, 1, 0, 0}, {0.5f, 2, 1, 0, 0}, {38, 23}},
    };
    for (const char* name : {"astronaut.png", "coffee.png"}) {
        const cv::Mat photo = qortest::samplePicture(name, 210);
        for (const Border& b : {Border{0.5f, 1, 1, 0, 0}, Border{0.3f, 10, 0.2f, 0.9f, 0.4f},
                                Border{0.77f, 37.5f, 0, 0.5f, 1}, Border{0, 20, 1, 1, 1}}) {
            cases.push_back({photo, b, b, {}});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE("amp " + std::to_string(c.given.amp) + " opacity " + std::to_string(c.given.opacity));
        const cv::Mat result = bordered(c.picture, c.given, c.outSize);
        EXPECT_EQ(qortest::differingBytes(result, referenceBorder(c.picture, c.used)), 0);
    }
}

TEST(NLEBoarderTest, RefusesBuffersThatDoNotFit) { qortest::expectRefusals(*qortest::makeEffect<NLEBoarder>(), 1); }

}  // namespace
