#pragma once
// The work splits effects use around cv::parallel_for_. Effects supply the per-band kernel.

#include <functional>

#include <opencv2/core.hpp>

namespace tessel {

// Rows of band `index` when `rows` rows are cut into `stripes` bands of rows / stripes rows each;
// the last band also takes the remainder. With fewer rows than stripes every band but the last is
// empty and the last one covers all rows.
cv::Range stripeRows(int index, int rows, int stripes);

// Runs `kernel` once per non-empty band (see stripeRows) on OpenCV's worker pool, with
// cv::getNumThreads() as the stripe hint.
void parallelStripes(int rows, int stripes, const std::function<void(const cv::Range& rows)>& kernel);

// Runs `kernel` over [0, count) split by OpenCV into about `stripeHint` pieces (-1: OpenCV chooses).
void parallelRange(int count, double stripeHint, const std::function<void(const cv::Range& range)>& kernel);

}  // namespace tessel
