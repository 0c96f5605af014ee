#pragma once

#include <array>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"
#include "framework/SimdDispatch.h"

// Red, green, blue and luminance tone curves. Each curve is a chain of cubic Bezier segments
// through 2 to 25 knots in the unit square, sent as JSON point lists. Every curve becomes a
// 256-entry table (rebuilt only when its knots change); each channel is mapped through its table,
// then all three are shifted by one amount so that the pixel's luminance follows the luminance
// curve.
class NLERGBCurveEffect : public tessel::NLEEffectFilter {
public:
    struct CurvePoint {
        double x = 0;
        double y = 0;
    };
    using CurvePoints = std::vector<CurvePoint>;

    static constexpr int kMinKnots = 2;
    static constexpr int kMaxKnots = 25;
    static constexpr int kPolygonSize = 75;  // 3 * (kMaxKnots - 1) + 1 = 73 points used at most

    explicit NLERGBCurveEffect(tessel::NLEFilterInfoPtr info);

    // The parameters the effect reads, each with where its value lands and its default.
    static const tessel::ParamTable<NLERGBCurveEffect> kParams;

    ~NLERGBCurveEffect() override = default;

    // 0 on success, including a knot list outside 2..25 points, which copies the input; 1 for a
    // missing or unusable buffer or an output of another size than the input (nothing written).
    // Works in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // The points of a JSON list of {"_time": x, "_value": y} objects, in list order. Elements
    // without both members, or whose members are not numbers, are skipped; text that is not JSON
    // gives no points.
    static CurvePoints parseCurvePoints(const std::string& text);
    // First and second control points of a smooth curve (continuous first and second derivatives
    // at the inner knots) through `knots` (at least two).
    static void computeControlPoints(const CurvePoints& knots, CurvePoints& first, CurvePoints& second);
    // The curve's y at `x` on the control polygon of `knotCount` knots: Bezier segments between the
    // knots, straight lines along the end tangents beyond them.
    static double evaluateCurve(const CurvePoint* polygon, int knotCount, double x);
    // The Bezier parameter in [0, 1] at which the segment with x coordinates x0..x3 reaches `x`.
    static double findBezierParameter(double x0, double x1, double x2, double x3, double x);

    // Rebuilds a curve's table from its knots and controls unless the knots equal the remembered
    // ones; controls that do not hold one point per segment are computed.
    void buildCurveLut(const CurvePoints& knots, CurvePoints first, CurvePoints second, int knotCount,
                       CurvePoints& remembered, cv::Mat& table);

    // Curve `index` (0 red, 1 green, 2 blue, 3 luminance): output 0..1 for input i / 255.
    const cv::Mat& curveTable(int index) const { return tables_[index]; }

    // Runs the per-pixel work on `path` instead of the widest one the processor offers; every path
    // gives the same bytes.
    void useSimdPath(tessel::SimdPath path) { simdPath_ = path; }

private:
    // The twelve JSON texts: knots, first controls, second controls of red, green, blue, luminance.
    struct CurveTexts {
        std::string knots, first, second;
    };

    std::array<CurvePoint, kPolygonSize> polygon_{};
    std::array<CurvePoints, 4> rememberedKnots_;
    std::array<cv::Mat, 4> tables_;
    std::array<CurveTexts, 4> texts_;
    tessel::SimdPath simdPath_ = tessel::chosenSimdPath();
};
