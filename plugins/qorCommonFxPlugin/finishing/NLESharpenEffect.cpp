#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"

using tessel::Frame;

namespace {

constexpr double kIdentityAmount = 1e-7;
// The declared minimum of "amount". Stronger softening would cost time out of all proportion (boxes
// as wide as the frame) for a picture already blurred beyond recognition.
constexpr double kStrongestSoften = -100;
constexpr int kSmallFrameSide = 10;  // frames no larger than this on both sides are copied
constexpr double kPixelStripeHint = 16;
constexpr int kBoxCount = 3;

// Calls span(y, x, n) for each run of pixels of the linear index range that lies on one row.
template <typename Span>
void forEachRowRun(const cv::Range& range, int cols, Span span) {
    for (int i = range.start; i < range.end;) {
        const int y = i / cols;
        const int x = i % cols;
        const int n = std::min(cols - x, range.end - i);
        span(y, x, n);
        i += n;
    }
}

// Integer parts of the studio-range luma terms: 16 + T0[byte 0] + T1[byte 1] + T2[byte 2].
struct LumaTables {
    uint8_t t0[256], t1[256], t2[256];
    LumaTables() {
        for (int v = 0; v < 256; ++v) {
            t0[v] = static_cast<uint8_t>(std::floor(0.257 * v));
            t1[v] = static_cast<uint8_t>(std::floor(0.504 * v));
            t2[v] = static_cast<uint8_t>(std::floor(0.098 * v));
        }
    }
};

const LumaTables& lumaTables() {
    static const LumaTables tables;
    return tables;
}

void computeLuma(const cv::Mat& in, cv::Mat& luma) {
    const LumaTables& t = lumaTables();
    cv::parallel_for_(cv::Range(0, in.rows), [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* pixel = in.ptr<uint8_t>(y);
            uint8_t* target = luma.ptr<uint8_t>(y);
            for (int x = 0; x < in.cols; ++x, pixel += 4) {
                target[x] = static_cast<uint8_t>(16 + t.t0[pixel[0]] + t.t1[pixel[1]] + t.t2[pixel[2]]);
            }
        }
    });
}

// Unsharp mask with a contrast lift about mid-grey, on the luma plane, through the prepared
// table of every (luma, blurred luma) pair.
class parallel_for_ImageEnhance : public cv::ParallelLoopBody {
public:
    parallel_for_ImageEnhance(const cv::Mat& luma, const cv::Mat& blurred, cv::Mat& enhanced, const uint8_t* table)
        : luma_(luma), blurred_(blurred), enhanced_(enhanced), table_(table) {}

    void operator()(const cv::Range& range) const override {
        forEachRowRun(range, luma_.cols, [&](int y, int x0, int n) {
            const uint8_t* luma = luma_.ptr<uint8_t>(y) + x0;
            const uint8_t* blurred = blurred_.ptr<uint8_t>(y) + x0;
            uint8_t* enhanced = enhanced_.ptr<uint8_t>(y) + x0;
            for (int x = 0; x < n; ++x) enhanced[x] = table_[luma[x] << 8 | blurred[x]];
        });
    }

private:
    const cv::Mat& luma_;
    const cv::Mat& blurred_;
    cv::Mat& enhanced_;
    const uint8_t* table_;
};

// The luma change int((enhanced - luma) * 1.164), indexed by the difference plus 255.
struct LumaChangeTable {
    int16_t change[511];
    LumaChangeTable() {
        for (int d = -255; d <= 255; ++d) change[d + 255] = static_cast<int16_t>(static_cast<float>(d) * 1.164f);
    }
};

const LumaChangeTable& lumaChangeTable() {
    static const LumaChangeTable table;
    return table;
}

uint8_t addClamped(uint8_t value, int change) { return static_cast<uint8_t>(std::clamp(value + change, 0, 255)); }

// Adds each pixel's luma change to its three colour bytes, clamped; alpha is kept.
void addLumaChange(const uint8_t* pixel, const uint8_t* luma, const uint8_t* enhanced, uint8_t* target, int count) {
    const int16_t* changeOf = lumaChangeTable().change + 255;
    int x = 0;
#if CV_SIMD128
    // Four pixels at a time in 16-bit lanes; the alpha lanes get no change and the pack clamps.
    for (; x + 4 <= count; x += 4) {
        const int16_t c0 = changeOf[enhanced[x] - luma[x]], c1 = changeOf[enhanced[x + 1] - luma[x + 1]];
        const int16_t c2 = changeOf[enhanced[x + 2] - luma[x + 2]], c3 = changeOf[enhanced[x + 3] - luma[x + 3]];
        cv::v_uint16x8 low, high;
        cv::v_expand(cv::v_load(pixel + 4 * x), low, high);
        const cv::v_int16x8 changedLow = cv::v_reinterpret_as_s16(low) + cv::v_int16x8(c0, c0, c0, 0, c1, c1, c1, 0);
        const cv::v_int16x8 changedHigh = cv::v_reinterpret_as_s16(high) + cv::v_int16x8(c2, c2, c2, 0, c3, c3, c3, 0);
        cv::v_store(target + 4 * x, cv::v_pack_u(changedLow, changedHigh));
    }
#endif
    for (; x < count; ++x) {
        const int change = changeOf[enhanced[x] - luma[x]];
        const uint8_t* p = pixel + 4 * x;
        uint8_t* t = target + 4 * x;
        t[0] = addClamped(p[0], change);
        t[1] = addClamped(p[1], change);
        t[2] = addClamped(p[2], change);
        t[3] = p[3];
    }
}

// Adds the luma change, scaled to full range, to the three colour bytes; alpha is kept.
class parallel_for_yuv2rgb : public cv::ParallelLoopBody {
public:
    parallel_for_yuv2rgb(const cv::Mat& in, const cv::Mat& luma, const cv::Mat& enhanced, cv::Mat& out)
        : in_(in), luma_(luma), enhanced_(enhanced), out_(out) {}

    void operator()(const cv::Range& range) const override {
        forEachRowRun(range, in_.cols, [&](int y, int x0, int n) {
            addLumaChange(in_.ptr<uint8_t>(y) + 4 * x0, luma_.ptr<uint8_t>(y) + x0, enhanced_.ptr<uint8_t>(y) + x0,
                          out_.ptr<uint8_t>(y) + 4 * x0, n);
        });
    }

private:
    const cv::Mat& in_;
    const cv::Mat& luma_;
    const cv::Mat& enhanced_;
    cv::Mat& out_;
};

}  // namespace

const tessel::ParamTable<NLESharpenEffect> NLESharpenEffect::kParams{{"amount", &NLESharpenEffect::amount, 50.0}};

int NLESharpenEffect::softenKernelSize(double amount, int width, int height) {
    const int longerSide = std::max(width, height);
    // The resolution factor is the longer side in units of 640 pixels, fractions included, so
    // that previews and proxies below 640 pixels soften too.
    const double size = std::abs(std::max(amount, kStrongestSoften) / 20) * (longerSide / 640.0) + 0.5;
    // A box wider than the frame blurs no further; the bound keeps the conversion defined.
    return size < longerSide ? static_cast<int>(size) : longerSide;
}

std::array<int, 3> NLESharpenEffect::softenBoxSizes(int kernelSize) {
    if (kernelSize == 0) return {1, 1, 1};
    const float sigma = ((kernelSize - 1) * 0.5f - 1.0f) * 0.3f + 0.8f;
    const double variance12 = 12.0 * static_cast<double>(sigma) * static_cast<double>(sigma);
    const double n = kBoxCount;
    const double ideal = std::sqrt(variance12 / n + 1.0);
    int lower = static_cast<int>(ideal);  // ideal >= 1, so truncation is the floor
    if (lower % 2 == 0) --lower;
    const double wl = lower;
    const int lowerCount = static_cast<int>((variance12 - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0));
    std::array<int, 3> sizes{};
    for (int i = 0; i < kBoxCount; ++i) sizes[i] = i < lowerCount ? lower : lower + 2;
    return sizes;
}

void NLESharpenEffect::SharpenState::prepareEnhanceTable() {
    enhanceTable.resize(256 * 256);
    for (int luma = 0; luma < 256; ++luma) {
        for (int blurred = 0; blurred < 256; ++blurred) {
            const float v = static_cast<float>(luma - blurred) * strength + static_cast<float>(luma) - 128.0f;
            uint8_t lifted = 0;
            if (v > 116.0f) lifted = 255;
            else if (v >= -116.0f) lifted = static_cast<uint8_t>(static_cast<int>(v * contrast + 128.0f));
            enhanceTable[luma << 8 | blurred] = lifted;
        }
    }
}

void NLESharpenEffect::soften(const cv::Mat& in, cv::Mat& out) {
    boxSizes = softenBoxSizes(softenKernelSize(amount, out.cols, out.rows));
    finishing::chainedBoxBlur(in, out, {boxSizes.begin(), boxSizes.end()});
}

void NLESharpenEffect::sharpen(const cv::Mat& in, cv::Mat& out) {
    SharpenState& state = sharpenState;
    const auto strength = static_cast<float>(static_cast<double>(amount) / 50);
    if (state.enhanceTable.empty() || strength != state.strength) {
        state.strength = strength;
        state.prepareEnhanceTable();
    }
    state.luma.create(in.size(), CV_8UC1);
    state.enhanced.create(in.size(), CV_8UC1);

    computeLuma(in, state.luma);
    cv::GaussianBlur(state.luma, state.blurred, cv::Size(0, 0), state.blurSigma, state.blurSigma,
                     cv::BORDER_REFLECT_101);
    const cv::Range pixels(0, in.rows * in.cols);
    cv::parallel_for_(pixels,
                      parallel_for_ImageEnhance(state.luma, state.blurred, state.enhanced, state.enhanceTable.data()),
                      kPixelStripeHint);
    cv::parallel_for_(pixels, parallel_for_yuv2rgb(in, state.luma, state.enhanced, out), kPixelStripeHint);
}

int32_t NLESharpenEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                    uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                    uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!in.sameSize(out)) return 3;
    if (!in.isValid() || !out.isValid() || !std::isfinite(amount)) return 1;

    const double level = amount;
    if (std::abs(level) < kIdentityAmount || (in.width <= kSmallFrameSide && in.height <= kSmallFrameSide)) {
        return tessel::copyPlane(in.data, out.data, in.width, in.height, in.stride, out.stride) ? 0 : 1;
    }
    try {
        cv::Mat output = out.mat();
        if (level > 0) {
            sharpen(in.mat(), output);
        } else {
            // Bands of the soften path read rows that a neighbouring band may already have written
            // when the output is the input.
            soften(tessel::readableApart(in, out, inputCopy_).mat(), output);
        }
    } catch (const cv::Exception&) {
        return 1;
    }
    return 0;
}
