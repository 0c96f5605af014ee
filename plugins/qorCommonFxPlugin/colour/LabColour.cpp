#include "plugins/qorCommonFxPlugin/colour/LabColour.h"

#include <cstdlib>

namespace labColour {

int stripeCount(int64_t pixels) {
    const auto stripes = static_cast<int>((pixels + kPixelsPerStripe - 1) / kPixelsPerStripe);
    return stripes > 1 && stripes % 2 ? stripes + 1 : stripes;
}

void PlaneBlock::Free::operator()(uint8_t* block) const { std::free(block); }

bool PlaneBlock::allocate(int width, int height) {
    if (matches(width, height)) return true;
    block_.reset();
    width_ = height_ = stride_ = 0;
    if (width <= 0 || height <= 0) return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * sizeof(float) + 15) / 16 * 16;
    const std::size_t bytes = stride * static_cast<std::size_t>(height) * static_cast<std::size_t>(count_);
    if (stride > static_cast<std::size_t>(INT32_MAX)) return false;
    block_.reset(static_cast<uint8_t*>(std::aligned_alloc(16, bytes)));
    if (!block_) return false;
    width_ = width;
    height_ = height;
    stride_ = static_cast<int>(stride);
    return true;
}

bool wideLanesAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void bgrx2labf(const uint8_t* pixels, int32_t stride, float* l, float* alpha, float* beta, int32_t planeStride,
               int width, int rows, float floor, bool vectorised) {
    for (int y = 0; y < rows; ++y) {
        const uint8_t* pixel = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        forEachPixel(width, vectorised, [&](auto lanes, int x) __attribute__((always_inline)) {
            using F = decltype(lanes);
            const Lab<F> lab = labOf(loadPixels<F>(pixel + 4 * x).colour, floor);
            storeLanes(l + x, lab.l);
            storeLanes(alpha + x, lab.alpha);
            storeLanes(beta + x, lab.beta);
        });
        l = byteOffset(l, planeStride);
        alpha = byteOffset(alpha, planeStride);
        beta = byteOffset(beta, planeStride);
    }
}

void bgrx2labfParallelLoopBody::operator()(const cv::Range& rows) const {
    bgrx2labf(picture_.row(rows.start), picture_.stride, planes_.row(0, rows.start), planes_.row(1, rows.start),
              planes_.row(2, rows.start), planes_.stride(), picture_.width, rows.size(), floor_, vectorised_);
}

void convertToLab(const tessel::Frame& picture, const LabPlanes& planes, float floor, bool vectorised) {
    const int stripes = stripeCount(static_cast<int64_t>(picture.width) * picture.height);
    if (stripes < 2) {
        bgrx2labfParallelLoopBody(picture, planes, floor, vectorised)(cv::Range(0, picture.height));
    } else {
        cv::parallel_for_(cv::Range(0, picture.height), bgrx2labfParallelLoopBody(picture, planes, floor, vectorised),
                          stripes);
    }
}

}  // namespace labColour
