#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <immintrin.h>

#include <nlohmann/json.hpp>
#include <opencv2/core/hal/intrin.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/SimdDispatch.h"
#include "framework/copyPlane.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/colour/ColourFrames.h"

using tessel::Frame;
using CurvePoint = NLERGBCurveEffect::CurvePoint;
using CurvePoints = NLERGBCurveEffect::CurvePoints;

namespace {

constexpr double kSameKnot = 1e-9;
constexpr double kBezierTolerance = 5e-5;
constexpr int kBezierSteps = 20;
constexpr int kLuminance = 3;
// Luminance weights of red, green and blue.
constexpr double kWeights[3] = {0.2126, 0.7152, 0.0722};
// The same weights in ten-thousandths. The input's luminance picks its table entry by whole
// levels, computed exactly: in floating point a grey of level v can come out just below v and
// pick the entry below, which would darken greys by one level under straight curves.
constexpr int kWholeWeights[3] = {2126, 7152, 722};
constexpr int kWholeWeightSum = 10000;
constexpr float kWholeReciprocal = 1.0f / kWholeWeightSum;
// A luminance target this far outside 0..255 saturates every channel already; the bound keeps the
// conversion of the shift to an integer defined for curves that run off to huge values.
constexpr float kTargetBound = 1024.0f;

bool sameKnots(const CurvePoints& a, const CurvePoints& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(std::abs(a[i].x - b[i].x) < kSameKnot && std::abs(a[i].y - b[i].y) < kSameKnot)) return false;
    }
    return true;
}

// de Casteljau's construction of the point at s on the cubic Bezier curve p0..p3.
double bezier(double p0, double p1, double p2, double p3, double s) {
    const double u = 1 - s;
    const double a = u * p0 + s * p1, b = u * p1 + s * p2, c = u * p2 + s * p3;
    return u * (u * a + s * b) + s * (u * b + s * c);
}

// One coordinate of the smooth controls: the tridiagonal system for the first controls solved
// by forward elimination and back substitution, then the second controls from the first.
void solveControls(const std::vector<double>& k, std::vector<double>& first, std::vector<double>& second) {
    const std::size_t m = k.size() - 1;
    first.assign(m, 0);
    second.assign(m, 0);
    if (m == 1) {
        first[0] = (2 * k[0] + k[1]) / 3;
        second[0] = 2 * first[0] - k[0];
        return;
    }
    std::vector<double> rhs(m), t(m);
    rhs[0] = k[0] + 2 * k[1];
    for (std::size_t i = 1; i + 1 < m; ++i) rhs[i] = 4 * k[i] + 2 * k[i + 1];
    rhs[m - 1] = (8 * k[m - 1] + k[m]) / 2;
    double b = 2;
    first[0] = rhs[0] / b;
    for (std::size_t i = 1; i < m; ++i) {
        t[i] = 1 / b;
        b = (i < m - 1 ? 4.0 : 3.5) - t[i];
        first[i] = (rhs[i] - first[i - 1]) / b;
    }
    for (std::size_t i = m - 1; i-- > 0;) first[i] -= t[i + 1] * first[i + 1];
    for (std::size_t i = 0; i + 1 < m; ++i) second[i] = 2 * k[i + 1] - first[i + 1];
    second[m - 1] = (k[m] + first[m - 1]) / 2;
}

// What the pixel loop looks up, by input byte: each channel's curve as bytes and that byte's
// luminance term, the input's luminance terms in whole ten-thousandths; and the luminance curve
// scaled to 0..255.
struct CurveLookups {
    uint8_t curved[3][256];  // red, green, blue
    double curvedTerm[3][256];
    int inputTerm[3][256];
    float luminanceTarget[256];
    // Byte j of every luminance target, for looking the targets up as bytes.
    uint8_t luminanceTargetBytes[4][256];
};

CurveLookups prepareLookups(const std::array<cv::Mat, 4>& tables) {
    CurveLookups l{};
    for (int v = 0; v < 256; ++v) {
        for (int c = 0; c < 3; ++c) {
            l.curved[c][v] = cv::saturate_cast<uint8_t>(tables[c].at<float>(v) * 255.0f);
            l.curvedTerm[c][v] = kWeights[c] * l.curved[c][v];
            l.inputTerm[c][v] = kWholeWeights[c] * v;
        }
        const float target = tables[kLuminance].at<float>(v) * 255.0f;
        l.luminanceTarget[v] = std::isnan(target) ? 0.0f : std::clamp(target, -kTargetBound, kTargetBound);
        uint8_t bytes[4];
        std::memcpy(bytes, &l.luminanceTarget[v], sizeof bytes);
        for (int j = 0; j < 4; ++j) l.luminanceTargetBytes[j][v] = bytes[j];
    }
    return l;
}

uint8_t shifted(uint8_t value, int shift) { return static_cast<uint8_t>(std::clamp(value + shift, 0, 255)); }

#if CV_SIMD128
// curveRow's steps for four pixels at once.
void curveFour(const CurveLookups& l, const uint8_t* pixel, uint8_t* target) {
    const cv::v_uint32x4 input = cv::v_load(reinterpret_cast<const unsigned*>(pixel));
    const uint8_t* p = pixel;
    // Channel c (0 red, 1 green, 2 blue) of pixel i sits at byte 4i + 2 - c.
    const auto at = [p](int i, int c) { return p[4 * i + 2 - c]; };
    int index[4];
    for (int i = 0; i < 4; ++i) {
        index[i] = (l.inputTerm[1][at(i, 1)] + l.inputTerm[0][at(i, 0)] + l.inputTerm[2][at(i, 2)]) / kWholeWeightSum;
    }
    const auto curvedTerms = [&](int c, int i) { return cv::v_float64x2(l.curvedTerm[c][at(i, c)], l.curvedTerm[c][at(i + 1, c)]); };
    const cv::v_float64x2 low = curvedTerms(0, 0) + curvedTerms(1, 0) + curvedTerms(2, 0);
    const cv::v_float64x2 high = curvedTerms(0, 2) + curvedTerms(1, 2) + curvedTerms(2, 2);
    const cv::v_float32x4 targets(l.luminanceTarget[index[0]], l.luminanceTarget[index[1]],
                                  l.luminanceTarget[index[2]], l.luminanceTarget[index[3]]);
    const cv::v_int32x4 shift = cv::v_trunc(targets - cv::v_cvt_f32(low, high));
    const auto channel = [&](int c) {
        const cv::v_int32x4 curved(l.curved[c][at(0, c)], l.curved[c][at(1, c)], l.curved[c][at(2, c)],
                                   l.curved[c][at(3, c)]);
        const cv::v_int32x4 moved = cv::v_min(cv::v_max(curved + shift, cv::v_setzero_s32()), cv::v_setall_s32(255));
        return cv::v_reinterpret_as_u32(moved);
    };
    const cv::v_uint32x4 result = channel(2) | cv::v_shl<8>(channel(1)) | cv::v_shl<16>(channel(0)) |
                                  (input & cv::v_setall_u32(0xFF000000u));
    cv::v_store(reinterpret_cast<unsigned*>(target), result);
}
#endif

// The sixteen-pixel path looks the curves up with vpermb (AVX-512 VBMI). GCC 12's AVX-512 intrinsics start from a deliberately undefined
// register, which the uninitialised-value warnings report once inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// A 256-byte table in four registers, looked up for all 64 bytes of a register at once.
struct ByteTable {
    __m512i quarter[4];
};

QOR_TARGET_AVX512_VBMI inline ByteTable byteTable(const uint8_t (&entries)[256]) {
    return {{_mm512_loadu_si512(entries), _mm512_loadu_si512(entries + 64), _mm512_loadu_si512(entries + 128),
             _mm512_loadu_si512(entries + 192)}};
}

QOR_TARGET_AVX512_VBMI inline __m512i lookUp(const ByteTable& t, __m512i bytes) {
    const __m512i low = _mm512_permutex2var_epi8(t.quarter[0], bytes, t.quarter[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.quarter[2], bytes, t.quarter[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
}

// The luminance targets of sixteen table indices (0..255, one per 32-bit lane): byte j of each
// lane looked up in the table of the targets' bytes j. Byte permutes outrun a sixteen-lane gather.
QOR_TARGET_AVX512_VBMI inline __m512 lookUpTargets(const ByteTable (&targetBytes)[4], __m512i index) {
    const __m512i spread =
        _mm512_shuffle_epi8(index, _mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12)));
    __m512i targets = lookUp(targetBytes[0], spread);
    targets = _mm512_mask_blend_epi8(0x2222222222222222ull, targets, lookUp(targetBytes[1], spread));
    targets = _mm512_mask_blend_epi8(0x4444444444444444ull, targets, lookUp(targetBytes[2], spread));
    targets = _mm512_mask_blend_epi8(0x8888888888888888ull, targets, lookUp(targetBytes[3], spread));
    return _mm512_castsi512_ps(targets);
}

// Luminance in whole ten-thousandths, kWholeWeights · (R, G, B), of sixteen BGRA pixels: blue and
// red, then green, as 16-bit pairs (alpha weighs 0). The sum stays below 2^24, so it converts to
// float exactly.
QOR_TARGET_AVX512_VBMI inline __m512 wholeLuminance(__m512i pixels) {
    const __m512i wordMask = _mm512_set1_epi32(0x00FF00FF);
    const __m512i blueRed = _mm512_and_si512(pixels, wordMask);
    const __m512i greenAlpha = _mm512_and_si512(_mm512_srli_epi32(pixels, 8), wordMask);
    const __m512i whole = _mm512_add_epi32(
        _mm512_madd_epi16(blueRed, _mm512_set1_epi32(kWholeWeights[2] | kWholeWeights[0] << 16)),
        _mm512_madd_epi16(greenAlpha, _mm512_set1_epi32(kWholeWeights[1])));
    return _mm512_cvtepi32_ps(whole);
}

// The colour bytes of sixteen pixels each moved by its pixel's `shift` and limited to 0..255, alpha
// bytes kept: the shift's positive part (at most 255) is added and its negative part subtracted,
// both with byte saturation, which is the clamped sum since one of the parts is 0.
QOR_TARGET_AVX512_VBMI inline __m512i shiftedColours(__m512i pixels, __m512i shift) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i full = _mm512_set1_epi32(255);
    const __m512i up = _mm512_min_epi32(_mm512_max_epi32(shift, zero), full);
    const __m512i down = _mm512_min_epi32(_mm512_max_epi32(_mm512_sub_epi32(zero, shift), zero), full);
    // Each lane's low byte in its three colour bytes, 0 in its alpha byte.
    const __m512i spread =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1));
    return _mm512_subs_epu8(_mm512_adds_epu8(pixels, _mm512_shuffle_epi8(up, spread)),
                            _mm512_shuffle_epi8(down, spread));
}

// curveRow's steps for sixteen pixels at once; `tables` hold the red, green and blue curves.
QOR_TARGET_AVX512_VBMI void curveSixteen(const ByteTable (&tables)[3], const ByteTable (&targetBytes)[4],
                                         const uint8_t* pixel, uint8_t* target) {
    const __m512i input = _mm512_loadu_si512(pixel);
    // Byte 0 of every pixel is blue, 1 green, 2 red.
    __m512i curved = _mm512_mask_blend_epi8(0x1111111111111111ull, input, lookUp(tables[2], input));
    curved = _mm512_mask_blend_epi8(0x2222222222222222ull, curved, lookUp(tables[1], input));
    curved = _mm512_mask_blend_epi8(0x4444444444444444ull, curved, lookUp(tables[0], input));
    // The table index: the whole input luminance over kWholeWeightSum, truncated. Multiplying by
    // the float nearest 1/10000 truncates to the integer quotient for every sum up to 255 *
    // kWholeWeightSum (checked exhaustively by the tests).
    const __m512i index = _mm512_cvttps_epi32(_mm512_mul_ps(wholeLuminance(input), _mm512_set1_ps(kWholeReciprocal)));
    const __m512 targets = lookUpTargets(targetBytes, index);
    // The curved luminance: the double-precision weighted sum of the other paths, converted to
    // float, is the correctly rounded quotient of the whole sum for every byte triple (checked
    // exhaustively by the tests), which one float division gives.
    const __m512 curvedLuminance =
        _mm512_div_ps(wholeLuminance(curved), _mm512_set1_ps(static_cast<float>(kWholeWeightSum)));
    const __m512i shift = _mm512_cvttps_epi32(_mm512_sub_ps(targets, curvedLuminance));
    _mm512_storeu_si512(target, shiftedColours(curved, shift));
}

// The leading pixels of a row that the path's wide lanes take; each returns how many it did.
int noWidePixels(const CurveLookups&, const uint8_t*, uint8_t*, int) { return 0; }

QOR_TARGET_AVX512_VBMI int sixteenPixelsAtATime(const CurveLookups& l, const uint8_t* pixel, uint8_t* target,
                                                int count) {
    const ByteTable tables[3] = {byteTable(l.curved[0]), byteTable(l.curved[1]), byteTable(l.curved[2])};
    const ByteTable targetBytes[4] = {byteTable(l.luminanceTargetBytes[0]), byteTable(l.luminanceTargetBytes[1]),
                                      byteTable(l.luminanceTargetBytes[2]), byteTable(l.luminanceTargetBytes[3])};
    int x = 0;
    for (; x + 16 <= count; x += 16) curveSixteen(tables, targetBytes, pixel + 4 * x, target + 4 * x);
    return x;
}

using WidePixels = int (*)(const CurveLookups&, const uint8_t*, uint8_t*, int);
const tessel::SimdKernels<WidePixels> kWidePixels{
    noWidePixels, nullptr, tessel::machineRunsVbmi() ? WidePixels(sixteenPixelsAtATime) : nullptr};

void curveRow(const CurveLookups& l, const uint8_t* pixel, uint8_t* target, int count, tessel::SimdPath path) {
    int x = kWidePixels.at(path)(l, pixel, target, count);
    pixel += 4 * x;
    target += 4 * x;
#if CV_SIMD128
    for (; x + 4 <= count; x += 4, pixel += 16, target += 16) curveFour(l, pixel, target);
#endif
    for (; x < count; ++x, pixel += 4, target += 4) {
        const uint8_t b = pixel[0], g = pixel[1], r = pixel[2], a = pixel[3];
        const uint8_t r8 = l.curved[0][r], g8 = l.curved[1][g], b8 = l.curved[2][b];
        const int index = (l.inputTerm[1][g] + l.inputTerm[0][r] + l.inputTerm[2][b]) / kWholeWeightSum;
        const auto curvedLuminance = static_cast<float>(l.curvedTerm[0][r] + l.curvedTerm[1][g] + l.curvedTerm[2][b]);
        const int shift = static_cast<int>(l.luminanceTarget[index] - curvedLuminance);
        target[0] = shifted(b8, shift);
        target[1] = shifted(g8, shift);
        target[2] = shifted(r8, shift);
        target[3] = a;
    }
}

}  // namespace

NLERGBCurveEffect::NLERGBCurveEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
    kParams.setDefaults(*this);
    for (cv::Mat& table : tables_) table = cv::Mat(1, 256, CV_32FC1, cv::Scalar(0));
}

const tessel::ParamTable<NLERGBCurveEffect> NLERGBCurveEffect::kParams{
    {"rKnots", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[0].knots; }},
    {"rKnot_First_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[0].first; }},
    {"rKnot_Second_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[0].second; }},
    {"gKnots", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[1].knots; }},
    {"gKnot_First_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[1].first; }},
    {"gKnot_Second_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[1].second; }},
    {"bKnots", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[2].knots; }},
    {"bKnot_First_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[2].first; }},
    {"bKnot_Second_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[2].second; }},
    {"yKnots", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[3].knots; }},
    {"yKnot_First_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[3].first; }},
    {"yKnot_Second_Controls", +[](NLERGBCurveEffect& e) -> std::string& { return e.texts_[3].second; }}};

CurvePoints NLERGBCurveEffect::parseCurvePoints(const std::string& text) {
    CurvePoints points;
    if (text.empty()) return points;
    // No exceptions: text that is not JSON is an empty list.
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded()) return points;
    const auto addPoint = [&points](const nlohmann::json& item) {
        if (!item.is_object()) return;
        const auto time = item.find("_time"), value = item.find("_value");
        if (time == item.end() || value == item.end() || !time->is_number() || !value->is_number()) return;
        points.push_back({time->get<double>(), value->get<double>()});
    };
    if (parsed.is_structured()) {
        for (const auto& item : parsed) addPoint(item);
    } else {
        addPoint(parsed);
    }
    return points;
}

void NLERGBCurveEffect::computeControlPoints(const CurvePoints& knots, CurvePoints& first, CurvePoints& second) {
    const std::size_t n = knots.size();
    std::vector<double> kx(n), ky(n), fx, fy, sx, sy;
    for (std::size_t i = 0; i < n; ++i) {
        kx[i] = knots[i].x;
        ky[i] = knots[i].y;
    }
    solveControls(kx, fx, sx);
    solveControls(ky, fy, sy);
    first.resize(n - 1);
    second.resize(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        first[i] = {fx[i], fy[i]};
        second[i] = {sx[i], sy[i]};
    }
}

double NLERGBCurveEffect::findBezierParameter(double x0, double x1, double x2, double x3, double x) {
    if (std::abs(x0 - x) < kBezierTolerance) return 0;
    if (std::abs(x3 - x) < kBezierTolerance) return 1;
    double lo = 0, hi = 1, s = 0.5;
    double b = bezier(x0, x1, x2, x3, s);
    for (int step = 0; step < kBezierSteps && !(std::abs(b - x) < kBezierTolerance); ++step) {
        if (x > b) lo = s;
        else hi = s;
        s = (lo + hi) / 2;
        b = bezier(x0, x1, x2, x3, s);
    }
    return s;
}

double NLERGBCurveEffect::evaluateCurve(const CurvePoint* p, int knotCount, double x) {
    const CurvePoint& start = p[0];
    const CurvePoint& end = p[3 * (knotCount - 1)];
    if (x < start.x) {
        const CurvePoint& q = p[1];
        if (q.x > start.x) return (q.y - start.y) * (x - start.x) / (q.x - start.x) + start.y;
        return x > q.x ? q.y : start.y;
    }
    if (x > end.x) {
        const CurvePoint& q = p[3 * knotCount - 4];
        if (q.x < end.x) return (end.y - q.y) * (x - q.x) / (end.x - q.x) + q.y;
        return x > end.x ? end.y : q.y;
    }
    int j = 1;
    while (j < knotCount - 1 && !(p[3 * j].x > x)) ++j;
    const CurvePoint* s = p + 3 * (j - 1);
    const double t = findBezierParameter(s[0].x, s[1].x, s[2].x, s[3].x, x);
    return bezier(s[0].y, s[1].y, s[2].y, s[3].y, t);
}

void NLERGBCurveEffect::buildCurveLut(const CurvePoints& knots, CurvePoints first, CurvePoints second,
                                      int knotCount, CurvePoints& remembered, cv::Mat& table) {
    if (sameKnots(remembered, knots)) return;
    remembered = knots;
    const auto segments = static_cast<std::size_t>(knotCount - 1);
    // Controls the host did not send, or sent for another number of segments, are computed.
    if (first.size() != segments || second.size() != segments) computeControlPoints(knots, first, second);
    for (std::size_t i = 0; i < segments; ++i) {
        polygon_[3 * i] = knots[i];
        polygon_[3 * i + 1] = first[i];
        polygon_[3 * i + 2] = second[i];
    }
    polygon_[3 * segments] = knots[segments];
    float* entries = table.ptr<float>();
    for (int i = 0; i < 256; ++i) entries[i] = static_cast<float>(evaluateCurve(polygon_.data(), knotCount, i / 255.0));
}

int32_t NLERGBCurveEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                     uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                     int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                     int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!colour::canRender(in, out)) return 1;

    std::array<CurvePoints, 4> knots, firsts, seconds;
    for (int c = 0; c < 4; ++c) {
        knots[c] = parseCurvePoints(texts_[c].knots);
        firsts[c] = parseCurvePoints(texts_[c].first);
        seconds[c] = parseCurvePoints(texts_[c].second);
    }
    const bool usable = std::all_of(knots.begin(), knots.end(), [](const CurvePoints& k) {
        return k.size() >= kMinKnots && k.size() <= kMaxKnots;
    });
    if (!usable) {
        tessel::copyFrame(in, out);
        return 0;
    }
    for (int c = 0; c < 4; ++c) {
        buildCurveLut(knots[c], firsts[c], seconds[c], static_cast<int>(knots[c].size()), rememberedKnots_[c],
                      tables_[c]);
    }
    const CurveLookups lookups = prepareLookups(tables_);
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) curveRow(lookups, in.row(y), out.row(y), in.width, simdPath_);
    });
    return 0;
}
