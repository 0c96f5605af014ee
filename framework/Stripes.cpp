#include "framework/Stripes.h"

namespace tessel {

cv::Range stripeRows(int index, int rows, int stripes) {
    const int band = rows / stripes;
    const int begin = index * band;
    const int end = index == stripes - 1 ? rows : begin + band;
    return {begin, end};
}

void parallelStripes(int rows, int stripes, const std::function<void(const cv::Range& rows)>& kernel) {
    if (rows <= 0 || stripes <= 0) return;
    cv::parallel_for_(
        cv::Range(0, stripes),
        [&](const cv::Range& bands) {
            for (int i = bands.start; i < bands.end; ++i) {
                const cv::Range band = stripeRows(i, rows, stripes);
                if (!band.empty()) kernel(band);
            }
        },
        cv::getNumThreads());
}

void parallelRange(int count, double stripeHint, const std::function<void(const cv::Range& range)>& kernel) {
    if (count <= 0) return;
    cv::parallel_for_(cv::Range(0, count), kernel, stripeHint);
}

}  // namespace tessel
