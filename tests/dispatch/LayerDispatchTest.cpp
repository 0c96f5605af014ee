#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/core.hpp>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/layer/AffineWarp.h"
#include "support/TestSupport.h"

namespace {

// Turns, scales and shifts that put the source partly off the output, a mirrored one, and one so
// large that positions leave the 16-bit range.
cv::Mat forwardMatrix(cv::RNG& rng, int round) {
    const double angle = rng.uniform(-180.0, 180.0) * CV_PI / 180, c = std::cos(angle), s = std::sin(angle);
    double kx = rng.uniform(0.3, 2.5), ky = rng.uniform(0.3, 2.5);
    if (round == 1) kx = -kx;
    if (round == 2) kx = ky = 1e-4;
    const double m[6] = {kx * c, ky * s, rng.uniform(-40.0, 120.0), -kx * s, ky * c, rng.uniform(-40.0, 120.0)};
    return cv::Mat(2, 3, CV_64F, const_cast<double*>(m)).clone();
}

// Every row kernel writes the baseline's bytes, touches no pixel the baseline leaves alone and no
// byte past the band's rows, on odd sizes, padded strides and sources down to 2 x 2.
TEST(LayerDispatchTest, AffineRowKernelsMatchTheBaseline) {
    const auto& kernels = affineRowKernels();
    dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
        cv::RNG rng(17);
        for (int round = 0; round < 24; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const int sourceWidth = round == 3 ? 2 : rng.uniform(2, 90), sourceHeight = round == 3 ? 2 : rng.uniform(2, 70);
            const cv::Mat source = qortest::noisePicture(sourceWidth + 5, sourceHeight, round)
                                       .colRange(0, sourceWidth);
            const int width = rng.uniform(1, 120), height = rng.uniform(1, 40);
            const cv::Mat padded = qortest::noisePicture(width + 3, height, 100 + round);
            cv::Mat baseline = padded.clone(), wider = padded.clone();
            const AffineSampling sampling(forwardMatrix(rng, round % 8), width);
            cv::Mat baselineBand = baseline.colRange(0, width), widerBand = wider.colRange(0, width);
            sampling.drawRows(source, baselineBand, 3, kernels.sse2);
            sampling.drawRows(source, widerBand, 3, kernels.at(path));
            EXPECT_EQ(qortest::differingBytes(wider, baseline), 0) << tessel::simdPathName(path);
        }
    });
}

}  // namespace
