#include "plugins/qorCommonFxPlugin/layer/NLEScopeEffect.h"

#include <climits>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "compositing/BlendImage.h"
#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

cv::Vec4b opaque(cv::Vec4b pixel) {
    pixel[3] = 255;
    return pixel;
}

// Checks every output pixel against the second input, except where `inside` says the main input
// was drawn (made opaque over the second input at full opacity in Normal mode).
template <class Inside>
void expectFootprint(const cv::Mat& out, const cv::Mat& in, const cv::Mat& second, Inside inside) {
    int drawn = 0;
    for (int y = 0; y < out.rows; ++y)
        for (int x = 0; x < out.cols; ++x) {
            const bool drawnHere = inside(x, y);
            drawn += drawnHere;
            const cv::Vec4b expected = drawnHere ? opaque(in.at<cv::Vec4b>(y, x)) : second.at<cv::Vec4b>(y, x);
            ASSERT_EQ(out.at<cv::Vec4b>(y, x), expected) << "at " << x << "," << y;
        }
    EXPECT_GT(drawn, 0);
}

struct ScopeParams {
    float positionX = 0.5f, positionY = 0.5f;
    float scaleX = 1.0f, scaleY = 1.0f;
    float rotation = 0.0f;
    int32_t blendMode = 0;
    float alpha = 1.0f;
};

void setScopeParams(NLEScopeEffect& effect, const ScopeParams& p) {
    qortest::setFloat(effect, "Position_x", p.positionX);
    qortest::setFloat(effect, "Position_y", p.positionY);
    qortest::setFloat(effect, "Scale_x", p.scaleX);
    qortest::setFloat(effect, "Scale_y", p.scaleY);
    qortest::setFloat(effect, "Rotation", p.rotation);
    qortest::setInt(effect, "BlendMode", p.blendMode);
    qortest::setFloat(effect, "Alpha", p.alpha);
}

std::string describe(const ScopeParams& p) {
    std::ostringstream text;
    text << "position " << p.positionX << "," << p.positionY << " scale " << p.scaleX << "," << p.scaleY
         << " rotation " << p.rotation << " mode " << p.blendMode << " alpha " << p.alpha;
    return text.str();
}

// The effect pixel by pixel: a pixel of the integer footprint rectangle (right and bottom edges
// included) that the inverse of the footprint matrix maps inside the frame gets the main input,
// made opaque, blended over the second input with the single-pixel blend; every other pixel is the
// second input. Opacities are taken to lie in 0..1.
cv::Mat referenceScope(const cv::Mat& in, const cv::Mat& second, const ScopeParams& p) {
    const ScopeFootprint footprint = scopeFootprint(in.cols, in.rows, in.cols, in.rows, 0.5f, 0.5f, p.positionX,
                                                    p.positionY, -p.rotation, p.scaleX, p.scaleY);
    const cv::Matx23d& m = footprint.matrix;
    const cv::Mat forward = (cv::Mat_<double>(3, 3) << m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), 0, 0, 1);
    cv::Mat inverse;
    cv::invert(forward, inverse, cv::DECOMP_LU);
    const auto back = [&](int row, double u, double v) {
        return inverse.at<double>(row, 0) * u + inverse.at<double>(row, 1) * v + inverse.at<double>(row, 2);
    };
    const int left = static_cast<int>(footprint.output.x + 0.5), top = static_cast<int>(footprint.output.y + 0.5);
    const int right = left + static_cast<int>(footprint.output.width);
    const int bottom = top + static_cast<int>(footprint.output.height);
    const int strength = static_cast<int>(p.alpha * 255.0f);

    cv::Mat out = second(cv::Rect(0, 0, in.cols, in.rows)).clone();
    for (int y = top; y <= std::min(bottom, in.rows - 1); ++y)
        for (int x = left; x <= std::min(right, in.cols - 1); ++x) {
            const double sx = back(0, x - left, y - top), sy = back(1, x - left, y - top);
            if (!(0 <= sx && sx < in.cols && 0 <= sy && sy < in.rows)) continue;
            const cv::Vec4b source = opaque(in.at<cv::Vec4b>(y, x));
            imageC::blendPixel(source.val, out.at<cv::Vec4b>(y, x).val, static_cast<uint32_t>(p.blendMode), strength,
                               true);
        }
    return out;
}

class NLEScopeEffectTest : public ::testing::Test {
protected:
    explicit NLEScopeEffectTest(const cv::Mat& picture = qortest::samplePicture("chelsea.png", 140))
        : in(PaddedFrame::from(picture, 8)),
          second(PaddedFrame::from(qortest::noisePicture(picture.cols, picture.rows, 6), 4)),
          out(qortest::untouchedFrame(picture.cols, picture.rows)), effect(qortest::makeEffect<NLEScopeEffect>()) {}

    int32_t renderScope() { return qortest::render(*effect, out.frame(), second.frame(), in.frame()); }

    PaddedFrame in, second, out;
    std::unique_ptr<NLEScopeEffect> effect;
};

class NLEScopeEffectSmallTest : public NLEScopeEffectTest {
protected:
    NLEScopeEffectSmallTest() : NLEScopeEffectTest(qortest::noisePicture(65, 49, 12)) {}
};

// Half size centred on the top-left corner: only the lower-right quarter of the footprint is in
// the frame, and the input's centre maps to the box centre (16, 12), which is the frame's corner.
TEST(NLEScopeFootprintTest, HalfScaleInTheCornerKeepsTheVisibleQuarter) {
    const ScopeFootprint footprint = scopeFootprint(64, 48, 64, 48, 0.5f, 0.5f, 0.0f, 0.0f, 0.0, 0.5, 0.5);
    EXPECT_EQ(footprint.output, cv::Rect2d(0, 0, 16, 12));
    EXPECT_EQ(footprint.box, cv::Rect2d(16, 12, 16, 12));
    EXPECT_EQ(footprint.bounds, cv::Size(32, 24));
    EXPECT_EQ(footprint.matrix * cv::Vec3d(32, 24, 1), cv::Vec2d(0, 0));
    EXPECT_EQ(footprint.matrix * cv::Vec3d(0, 0, 1), cv::Vec2d(-16, -12));
}

TEST(NLEScopeFootprintTest, AQuarterTurnSwapsTheBoundingBox) {
    const ScopeFootprint footprint = scopeFootprint(64, 48, 64, 48, 0.5f, 0.5f, 0.5f, 0.5f, 90.0, 1.0, 1.0);
    EXPECT_EQ(footprint.bounds, cv::Size(48, 64));
    EXPECT_NEAR(footprint.output.x, 8, 1e-9);
    EXPECT_NEAR(footprint.output.width, 48, 1e-9);
    EXPECT_EQ(footprint.output.y, 0);
    EXPECT_EQ(footprint.output.height, 48);
}

// Without "Alpha" the opacity stays at its default: opaque.
TEST_F(NLEScopeEffectTest, AMissingAlphaMeansOpaque) {
    ASSERT_EQ(renderScope(), 0);
    expectFootprint(out.mat(), in.mat(), second.mat(), [](int, int) { return true; });
}

// A turned, off-centre footprint against a direct geometric statement: a pixel is drawn when,
// turned back about the placed centre, it lies inside the scaled frame. Pixels within 1.5 of the
// footprint's edge are skipped: the rectangle is rounded to whole pixels.
TEST_F(NLEScopeEffectTest, RotationTurnsTheFootprintClockwise) {
    const float scale = 0.6f, rotation = 30.0f, positionX = 0.4f, positionY = 0.55f;
    qortest::setFloat(*effect, "Scale_x", scale);
    qortest::setFloat(*effect, "Scale_y", scale);
    qortest::setFloat(*effect, "Rotation", rotation);
    qortest::setFloat(*effect, "Position_x", positionX);
    qortest::setFloat(*effect, "Position_y", positionY);
    ASSERT_EQ(renderScope(), 0);

    const cv::Mat result = out.mat(), picture = in.mat(), under = second.mat();
    const double angle = rotation * M_PI / 180, c = std::cos(angle), s = std::sin(angle);
    const double halfWidth = scale * picture.cols / 2.0, halfHeight = scale * picture.rows / 2.0;
    const double cx = positionX * picture.cols, cy = positionY * picture.rows;
    int inside = 0, outside = 0;
    for (int y = 0; y < result.rows; ++y)
        for (int x = 0; x < result.cols; ++x) {
            // Clockwise as displayed (rows run down) is the usual rotation matrix; undo it.
            const double dx = x - cx, dy = y - cy;
            const double u = c * dx + s * dy, v = -s * dx + c * dy;
            const double margin = std::min(halfWidth - std::abs(u), halfHeight - std::abs(v));
            if (std::abs(margin) < 1.5) continue;
            const bool drawn = margin > 0;
            (drawn ? inside : outside)++;
            const cv::Vec4b expected = drawn ? opaque(picture.at<cv::Vec4b>(y, x)) : under.at<cv::Vec4b>(y, x);
            ASSERT_EQ(result.at<cv::Vec4b>(y, x), expected) << "at " << x << "," << y;
        }
    EXPECT_GT(inside, 10000);
    EXPECT_GT(outside, 10000);
}

TEST_F(NLEScopeEffectSmallTest, ALargerSecondInputIsReadOnlyWhereTheOutputLies) {
    PaddedFrame wide = PaddedFrame::from(qortest::noisePicture(80, 60, 13));
    qortest::setFloat(*effect, "Position_x", 2.0f);  // footprint entirely outside
    ASSERT_EQ(qortest::render(*effect, out.frame(), wide.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), wide.mat()(cv::Rect(0, 0, 65, 49))), 0);
    EXPECT_TRUE(out.paddingIntact());
}

// A scale or turn that is not a number leaves no footprint; a huge one draws a defined picture. No
// value may reach an int conversion it does not fit (the sanitizer build checks float casts).
TEST_F(NLEScopeEffectSmallTest, ScalesAndTurnsOutOfAnyRangeStayDefined) {
    const float inf = std::numeric_limits<float>::infinity();
    for (const char* name : {"Scale_x", "Scale_y", "Rotation"}) {
        for (const float value : {std::nanf(""), inf, -inf, 3.4e38f, -3.4e38f}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(value));
            auto scope = qortest::makeEffect<NLEScopeEffect>();
            qortest::setFloat(*scope, name, value);
            ASSERT_EQ(qortest::render(*scope, out.frame(), second.frame(), in.frame()), 0);
            EXPECT_TRUE(out.paddingIntact());
            if (std::isnan(value)) {
                EXPECT_EQ(qortest::differingBytes(out.mat(), second.mat()), 0);
            }
        }
    }
    const ScopeFootprint huge = scopeFootprint(64, 48, 64, 48, 0.5f, 0.5f, 0.5f, 0.5f, 0.0, 3.4e38, 3.4e38);
    EXPECT_EQ(huge.bounds, cv::Size(INT_MAX, INT_MAX));
}

// Beside the refusals every effect owes, a main input shorter than the output and a second input
// smaller than it.
TEST_F(NLEScopeEffectSmallTest, RefusedCallsLeaveTheOutputAndItsPaddingAlone) {
    qortest::expectRefusals(*effect, 1, true);
    const std::vector<uint8_t> unchanged = out.bytes();
    const tessel::Frame o = out.frame(), s = second.frame(), i = in.frame();
    EXPECT_EQ(qortest::render(*effect, o, s, {i.data, i.width, i.height - 1, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, o, {s.data, s.width, s.height - 1, s.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {s.data, s.width - 1, s.height, s.stride}, i), 1);
    EXPECT_EQ(out.bytes(), unchanged);
}

// Renders `p` over padded frames and compares every byte with the pixel-by-pixel reference.
::testing::AssertionResult matchesReference(const cv::Mat& picture, const cv::Mat& underPicture, const ScopeParams& p) {
    PaddedFrame in = PaddedFrame::from(picture, 8), under = PaddedFrame::from(underPicture, 4);
    PaddedFrame out = qortest::untouchedFrame(picture.cols, picture.rows);
    const auto effect = qortest::makeEffect<NLEScopeEffect>();
    setScopeParams(*effect, p);
    if (qortest::render(*effect, out.frame(), under.frame(), in.frame()) != 0)
        return ::testing::AssertionFailure() << "refused, " << describe(p);
    const int differing = qortest::differingBytes(out.mat(), referenceScope(in.mat(), under.mat(), p));
    if (differing != 0) return ::testing::AssertionFailure() << differing << " bytes differ, " << describe(p);
    if (!out.paddingIntact()) return ::testing::AssertionFailure() << "row padding written, " << describe(p);
    return ::testing::AssertionSuccess();
}

// Turned, mirrored, enlarged and shrunk footprints placed in the centre, on corners and off the
// frame, on an odd-sized frame.
TEST(NLEScopeEffectReferenceTest, FootprintGeometryMatchesThePixelByPixelReference) {
    const cv::Mat picture = qortest::noisePicture(47, 29, 21), under = qortest::noisePicture(47, 29, 22);
    const float rotations[] = {0.0f, 90.0f, 45.0f, -30.0f, 180.0f, 270.0f, 1.0f};
    const std::pair<float, float> scales[] = {{0.5f, 0.5f},  {1.0f, 1.0f},  {1.7f, 1.7f},
                                              {-0.8f, 0.6f}, {0.5f, -1.3f}, {1.0f, -1.0f}};
    const std::pair<float, float> positions[] = {{0.5f, 0.5f}, {0.0f, 0.0f},  {1.0f, 1.0f},
                                                 {1.0f, 0.0f}, {1.3f, -0.2f}, {0.37f, 0.61f}};
    for (const float rotation : rotations)
        for (const auto& [scaleX, scaleY] : scales)
            for (const auto& [positionX, positionY] : positions)
                for (const int32_t mode : {0, 8}) {
                    const ScopeParams p{positionX, positionY, scaleX, scaleY, rotation, mode, 0.7f};
                    ASSERT_TRUE(matchesReference(picture, under, p));
                }
}

TEST(NLEScopeEffectReferenceTest, EveryBlendModeAndOpacityMatchesThePixelByPixelReference) {
    const cv::Mat picture = qortest::noisePicture(33, 21, 31), under = qortest::noisePicture(33, 21, 32);
    for (int32_t mode = 0; mode <= 30; ++mode)
        for (const float alpha : {0.0f, 0.3f, 0.5f, 0.999f, 1.0f}) {
            ASSERT_TRUE(matchesReference(picture, under, {0.5f, 0.5f, 1.0f, 1.0f, 0.0f, mode, alpha}));
            ASSERT_TRUE(matchesReference(picture, under, {0.4f, 0.6f, 0.6f, 0.7f, 45.0f, mode, alpha}));
        }
}

// Frames large enough for the work to be split inside rows, a photo and noise under it.
TEST(NLEScopeEffectReferenceTest, LargeFramesMatchThePixelByPixelReference) {
    const cv::Mat photo = qortest::samplePicture("chelsea.png", 140);
    ASSERT_TRUE(matchesReference(photo, qortest::noisePicture(photo.cols, photo.rows, 41),
                                 {0.9f, 0.1f, 1.4f, 0.8f, -117.0f, 2, 0.5f}));
    ASSERT_TRUE(matchesReference(qortest::noisePicture(1283, 721, 42), qortest::noisePicture(1283, 721, 43),
                                 {0.45f, 0.5f, 0.9f, 0.9f, -30.0f, 9, 0.8f}));
}

// A footprint shrunk to a point (its matrix cannot be inverted), hair-thin or huge, and turns a
// hair away from the axes, where the mapped values sit on the frame's edges up to rounding.
TEST(NLEScopeEffectReferenceTest, DegenerateFootprintsMatchThePixelByPixelReference) {
    const cv::Mat picture = qortest::noisePicture(61, 37, 51), under = qortest::noisePicture(61, 37, 52);
    const ScopeParams cases[] = {
        {0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0, 0.6f},      {0.3f, 0.7f, 0.0f, 1.0f, 30.0f, 0, 0.6f},
        {0.5f, 0.5f, 1e-6f, 1.0f, 0.0f, 2, 1.0f},     {0.5f, 0.5f, 1e6f, 1e6f, 10.0f, 0, 0.5f},
        {0.5f, 0.5f, 1.0f, 1.0f, 89.99999f, 0, 0.5f}, {0.5f, 0.5f, 1.0f, 1.0f, 90.00001f, 8, 0.5f},
        {0.5f, 0.5f, 1.0f, 1.0f, 1e-6f, 0, 0.5f},     {0.5f, 0.5f, 1.0f, 1.0f, -180.0f, 0, 0.5f},
        {0.5f, 0.5f, 2.0f, 2.0f, 0.0f, 0, 0.5f},      {0.25f, 0.75f, 0.5f, 0.5f, 0.0f, 5, 0.5f}};
    for (const ScopeParams& p : cases) ASSERT_TRUE(matchesReference(picture, under, p));
}

}  // namespace
