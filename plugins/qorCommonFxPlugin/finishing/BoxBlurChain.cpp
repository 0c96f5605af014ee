#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

#include <opencv2/imgproc.hpp>

#include "framework/Stripes.h"

namespace finishing {
namespace {

constexpr int kChannels = 4;
// Adding and subtracting 1.5 * 2^23 rounds a float below 2^22 to the nearest integer, ties to
// even, with plain vectorisable arithmetic.
constexpr float kRoundingMagic = 12582912.0f;
// Bands are tall enough that the rows recomputed at their seams stay a small share of the work,
// and numerous enough to keep both a busy and an idle pool evenly loaded.
constexpr int kRowsPerBand = 256;
constexpr int kMaxBands = 16;

#define QOR_INLINE [[gnu::always_inline]] inline

// 64-byte vectors: the compiler splits them into the registers of the instruction set the calling
// kernel is built for, so one loop serves all three versions.
using U16x32 = uint16_t __attribute__((vector_size(64)));
using I32x16 = int32_t __attribute__((vector_size(64)));
using F32x16 = float __attribute__((vector_size(64)));
using U8x16 = uint8_t __attribute__((vector_size(16)));
using U16x16 = uint16_t __attribute__((vector_size(32)));

// Unaligned loads and stores; the vector is passed by reference, never by value, so no function
// boundary depends on the vector registers of one instruction set.
template <class Vector, class T>
QOR_INLINE void load(Vector& v, const T* p) {
    std::memcpy(&v, p, sizeof v);
}

template <class Vector, class T>
QOR_INLINE void store(T* p, const Vector& v) {
    std::memcpy(p, &v, sizeof v);
}

QOR_INLINE void windowSumsLoop(const uint16_t* padded, uint16_t* sums, int count, int size) {
    constexpr int kLanes = 32;
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        U16x32 sum, tap;
        load(sum, padded + i);
        for (int t = 1; t < size; ++t) {
            load(tap, padded + i + kChannels * t);
            sum += tap;
        }
        store(sums + i, sum);
    }
    for (; i < count; ++i) {
        uint16_t sum = padded[i];
        for (int t = 1; t < size; ++t) sum = static_cast<uint16_t>(sum + padded[i + kChannels * t]);
        sums[i] = sum;
    }
}

// The mean of a window sum rounded to the nearest byte.
QOR_INLINE uint8_t roundedMean(int32_t sum, float scale) {
    const float mean = static_cast<float>(sum) * scale;
    return static_cast<uint8_t>(static_cast<int32_t>((mean + kRoundingMagic) - kRoundingMagic));
}

QOR_INLINE void columnStepLoop(int32_t* columnSums, const uint16_t* entering, const uint16_t* leaving, uint8_t* out,
                               int count, float scale) {
    constexpr int kLanes = 16;
    const F32x16 magic = F32x16{} + kRoundingMagic;
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        I32x16 sum;
        U16x16 entered, left;
        load(sum, columnSums + i);
        load(entered, entering + i);
        load(left, leaving + i);
        sum += __builtin_convertvector(entered, I32x16);
        const F32x16 mean = __builtin_convertvector(sum, F32x16) * scale;
        const I32x16 rounded = __builtin_convertvector((mean + magic) - magic, I32x16);
        store(out + i, __builtin_convertvector(rounded, U8x16));
        store(columnSums + i, sum - __builtin_convertvector(left, I32x16));
    }
    for (; i < count; ++i) {
        const int32_t sum = columnSums[i] + entering[i];
        out[i] = roundedMean(sum, scale);
        columnSums[i] = sum - leaving[i];
    }
}

void windowSumsSse2(const uint16_t* padded, uint16_t* sums, int count, int size) {
    windowSumsLoop(padded, sums, count, size);
}
QOR_TARGET_AVX2 void windowSumsAvx2(const uint16_t* padded, uint16_t* sums, int count, int size) {
    windowSumsLoop(padded, sums, count, size);
}
QOR_TARGET_AVX512 void windowSumsAvx512(const uint16_t* padded, uint16_t* sums, int count, int size) {
    windowSumsLoop(padded, sums, count, size);
}

void columnStepSse2(int32_t* columnSums, const uint16_t* entering, const uint16_t* leaving, uint8_t* out, int count,
                    float scale) {
    columnStepLoop(columnSums, entering, leaving, out, count, scale);
}
QOR_TARGET_AVX2 void columnStepAvx2(int32_t* columnSums, const uint16_t* entering, const uint16_t* leaving,
                                    uint8_t* out, int count, float scale) {
    columnStepLoop(columnSums, entering, leaving, out, count, scale);
}
QOR_TARGET_AVX512 void columnStepAvx512(int32_t* columnSums, const uint16_t* entering, const uint16_t* leaving,
                                        uint8_t* out, int count, float scale) {
    columnStepLoop(columnSums, entering, leaving, out, count, scale);
}

const tessel::SimdKernels<BoxRowKernels::WindowSums> kWindowSums{windowSumsSse2, windowSumsAvx2, windowSumsAvx512};
const tessel::SimdKernels<BoxRowKernels::ColumnStep> kColumnSteps{columnStepSse2, columnStepAvx2, columnStepAvx512};

int reflect101(int i, int length) { return cv::borderInterpolate(i, length, cv::BORDER_REFLECT_101); }

// One box of the chain over one band: its output rows [begin, end) from the input rows
// [begin - radius, end + radius) clipped to the frame, which the previous box (or the frame) hands
// over in order. The last `size` horizontal window sums wait in a ring.
class BoxStage {
public:
    BoxStage(int size, int width, int height, int begin, int end)
        : size_(size), radius_(size / 2), width_(width), height_(height), begin_(begin), end_(end),
          scale_(static_cast<float>(1.0 / (static_cast<double>(size) * size))),
          ring_(static_cast<size_t>(size) * width * kChannels),
          padded_(static_cast<size_t>(width + 2 * radius_) * kChannels),
          columnSums_(static_cast<size_t>(width) * kChannels), output_(static_cast<size_t>(width) * kChannels) {}

    int inputBegin() const { return std::max(0, begin_ - radius_); }
    int inputEnd() const { return std::min(height_, end_ + radius_); }
    void setOutputRange(int begin, int end) {
        begin_ = begin;
        end_ = end;
        next_ = begin;
    }
    uint8_t* outputRow() { return output_.data(); }

    template <class Pull>
    void produce(const BoxRowKernels& kernels, Pull pull, uint8_t* target) {
        const int y = next_;
        if (y == begin_) start(kernels, pull);
        takeRowsUntil(kernels, pull, std::min(y + radius_, height_ - 1));
        kernels.columnStep(columnSums_.data(), sumsOf(reflect101(y + radius_, height_)),
                           sumsOf(reflect101(y - radius_, height_)), target, width_ * kChannels, scale_);
        ++next_;
    }

private:
    template <class Pull>
    void start(const BoxRowKernels& kernels, Pull pull) {
        taken_ = inputBegin() - 1;
        takeRowsUntil(kernels, pull, std::min(begin_ + radius_, height_ - 1));
        std::fill(columnSums_.begin(), columnSums_.end(), 0);
        // The window of the first row but its newest row, which the first step adds.
        for (int j = -radius_; j < radius_; ++j) {
            const uint16_t* sums = sumsOf(reflect101(begin_ + j, height_));
            for (size_t i = 0; i < columnSums_.size(); ++i) columnSums_[i] += sums[i];
        }
    }

    template <class Pull>
    void takeRowsUntil(const BoxRowKernels& kernels, Pull pull, int last) {
        while (taken_ < last) {
            ++taken_;
            padRow(pull());
            kernels.windowSums(padded_.data(), slot(taken_), width_ * kChannels, size_);
        }
    }

    // Widens a row to 16 bits with `radius_` reflected pixels on each side.
    void padRow(const uint8_t* row) {
        uint16_t* inside = padded_.data() + kChannels * radius_;
        for (int i = 0; i < width_ * kChannels; ++i) inside[i] = row[i];
        for (int x = 1; x <= radius_; ++x) {
            for (int c = 0; c < kChannels; ++c) {
                inside[kChannels * -x + c] = row[kChannels * reflect101(-x, width_) + c];
                inside[kChannels * (width_ - 1 + x) + c] = row[kChannels * reflect101(width_ - 1 + x, width_) + c];
            }
        }
    }

    uint16_t* slot(int row) { return ring_.data() + static_cast<size_t>(row % size_) * width_ * kChannels; }
    const uint16_t* sumsOf(int row) { return slot(row); }

    int size_, radius_, width_, height_, begin_, end_;
    float scale_;
    int next_ = 0;
    int taken_ = -1;  // last input row whose window sums are in the ring
    std::vector<uint16_t> ring_, padded_;
    std::vector<int32_t> columnSums_;
    std::vector<uint8_t> output_;
};

// Runs the chain over the output rows `rows`, each box pulling the rows it needs from the one
// before it.
void runBand(const cv::Mat& in, cv::Mat& out, const std::vector<int>& sizes, const cv::Range& rows) {
    const BoxRowKernels kernels = boxRowKernels(tessel::chosenSimdPath());
    std::vector<BoxStage> stages;
    stages.reserve(sizes.size());
    for (int size : sizes) stages.emplace_back(size, in.cols, in.rows, 0, 0);
    // Each box's output range is the input range of the box after it.
    int begin = rows.start, end = rows.end;
    for (size_t p = stages.size(); p-- > 0;) {
        stages[p].setOutputRange(begin, end);
        begin = stages[p].inputBegin();
        end = stages[p].inputEnd();
    }
    int frameRow = begin;
    std::function<void(size_t, uint8_t*)> produce = [&](size_t p, uint8_t* target) {
        auto pull = [&]() -> const uint8_t* {
            if (p == 0) return in.ptr<uint8_t>(frameRow++);
            produce(p - 1, stages[p - 1].outputRow());
            return stages[p - 1].outputRow();
        };
        stages[p].produce(kernels, pull, target);
    };
    for (int y = rows.start; y < rows.end; ++y) produce(stages.size() - 1, out.ptr<uint8_t>(y));
}

bool chainable(const cv::Mat& in, const std::vector<int>& sizes) {
    return std::all_of(sizes.begin(), sizes.end(), [&](int size) {
        return size % 2 == 1 && size <= kWidestChainedBox && size / 2 < std::min(in.rows, in.cols);
    });
}

}  // namespace

BoxRowKernels boxRowKernels(tessel::SimdPath path) { return {kWindowSums.at(path), kColumnSteps.at(path)}; }

void chainedBoxBlur(const cv::Mat& in, cv::Mat& out, const std::vector<int>& sizes) {
    std::vector<int> boxes;
    std::copy_if(sizes.begin(), sizes.end(), std::back_inserter(boxes), [](int size) { return size != 1; });
    if (boxes.empty()) {
        in.copyTo(out);
        return;
    }
    if (!chainable(in, boxes)) {
        cv::Mat from = in;
        for (size_t p = 0; p < boxes.size(); ++p) {
            cv::Mat to = p + 1 == boxes.size() ? out : cv::Mat();
            cv::boxFilter(from, to, -1, cv::Size(boxes[p], boxes[p]), cv::Point(-1, -1), true, cv::BORDER_REFLECT_101);
            from = to;
        }
        return;
    }
    const int bands = std::clamp(in.rows / kRowsPerBand, 1, kMaxBands);
    tessel::parallelStripes(in.rows, bands, [&](const cv::Range& rows) { runBand(in, out, boxes, rows); });
}

}  // namespace finishing
