#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

#include <opencv2/imgproc.hpp>

#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/finishing/WordLanes.h"

namespace finishing {
namespace {

using wordLanes::Avx2Lanes;
using wordLanes::Avx512Lanes;
using wordLanes::reflectRowEnds;
using wordLanes::Sse2Lanes;

constexpr int kChannels = 4;
// Adding and subtracting 1.5 * 2^23 rounds a float below 2^22 to the nearest integer, ties to
// even, with plain vectorisable arithmetic.
constexpr float kRoundingMagic = 12582912.0f;
// Bands are tall enough that the rows recomputed at their seams stay a small share of the work,
// and numerous enough to keep both a busy and an idle pool evenly loaded.
constexpr int kRowsPerBand = 256;
constexpr int kMaxBands = 16;

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

template <class L>
QOR_INLINE void columnSumsLoop(const uint8_t* const* rows, int size, uint16_t* sums, int count) {
    int i = 0;
    for (; i + L::kLanes <= count; i += L::kLanes) {
        typename L::V sum = L::widen(rows[0] + i);
        for (int k = 1; k < size; ++k) sum = L::add(sum, L::widen(rows[k] + i));
        L::store(sums + i, sum);
    }
    for (; i < count; ++i) {
        uint16_t sum = 0;
        for (int k = 0; k < size; ++k) sum = static_cast<uint16_t>(sum + rows[k][i]);
        sums[i] = sum;
    }
}

template <class L>
QOR_INLINE void roundedMeansLoop(const uint16_t* padded, uint8_t* out, int count, int size, NarrowBoxDivisor divisor) {
    const typename L::V bias = L::set(divisor.bias), multiplier = L::set(divisor.multiplier);
    int i = 0;
    for (; i + L::kLanes <= count; i += L::kLanes) {
        typename L::V sum = L::add(L::load(padded + i), bias);
        for (int t = 1; t < size; ++t) sum = L::add(sum, L::load(padded + i + kChannels * t));
        L::narrow(out + i, L::quotient(sum, multiplier, divisor.shift));
    }
    for (; i < count; ++i) {
        uint32_t sum = divisor.bias;
        for (int t = 0; t < size; ++t) sum += padded[i + kChannels * t];
        out[i] = static_cast<uint8_t>(((sum * divisor.multiplier) >> 16) >> divisor.shift);
    }
}

void columnSumsSse2(const uint8_t* const* rows, int size, uint16_t* sums, int count) {
    columnSumsLoop<Sse2Lanes>(rows, size, sums, count);
}
QOR_TARGET_AVX2 void columnSumsAvx2(const uint8_t* const* rows, int size, uint16_t* sums, int count) {
    columnSumsLoop<Avx2Lanes>(rows, size, sums, count);
}
QOR_TARGET_AVX512 void columnSumsAvx512(const uint8_t* const* rows, int size, uint16_t* sums, int count) {
    columnSumsLoop<Avx512Lanes>(rows, size, sums, count);
}

void roundedMeansSse2(const uint16_t* padded, uint8_t* out, int count, int size, NarrowBoxDivisor divisor) {
    roundedMeansLoop<Sse2Lanes>(padded, out, count, size, divisor);
}
QOR_TARGET_AVX2 void roundedMeansAvx2(const uint16_t* padded, uint8_t* out, int count, int size,
                                      NarrowBoxDivisor divisor) {
    roundedMeansLoop<Avx2Lanes>(padded, out, count, size, divisor);
}
QOR_TARGET_AVX512 void roundedMeansAvx512(const uint16_t* padded, uint8_t* out, int count, int size,
                                          NarrowBoxDivisor divisor) {
    roundedMeansLoop<Avx512Lanes>(padded, out, count, size, divisor);
}

const tessel::SimdKernels<NarrowBoxKernels::ColumnSums> kColumnSums{columnSumsSse2, columnSumsAvx2,
                                                                    columnSumsAvx512};
const tessel::SimdKernels<NarrowBoxKernels::RoundedMeans> kRoundedMeans{roundedMeansSse2, roundedMeansAvx2,
                                                                        roundedMeansAvx512};

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

// The smallest shift whose 16-bit multiplier divides every sum the box reaches exactly.
NarrowBoxDivisor searchDivisor(int size) {
    const uint32_t area = static_cast<uint32_t>(size) * size;
    const uint32_t bias = (area - 1) / 2, largest = 255 * area + bias;
    for (int shift = 0;; ++shift) {
        const uint32_t multiplier = ((1u << (16 + shift)) + area - 1) / area;
        if (multiplier > 0xFFFF) continue;
        bool exact = true;
        for (uint32_t sum = 0; sum <= largest && exact; ++sum) {
            exact = ((sum * multiplier) >> 16) >> shift == sum / area;
        }
        if (exact) return {static_cast<uint16_t>(bias), static_cast<uint16_t>(multiplier), shift};
    }
}

// One narrow box of the chain over one band. The rows it reads wait in a ring of `size` rows (the
// first box reads the frame's rows in place); each output row sums its window's columns, pads the
// column sums by reflection and sums them along the row.
class NarrowBoxStage {
public:
    NarrowBoxStage(int size, int width, int height)
        : size_(size), radius_(size / 2), width_(width), height_(height), divisor_(narrowBoxDivisor(size)),
          ring_(static_cast<size_t>(size) * width * kChannels),
          padded_(static_cast<size_t>(width + 2 * radius_) * kChannels), window_(size) {}

    int inputBegin() const { return std::max(0, begin_ - radius_); }
    int inputEnd() const { return std::min(height_, end_ + radius_); }
    void setOutputRange(int begin, int end) {
        begin_ = begin;
        end_ = end;
        next_ = begin;
        taken_ = inputBegin() - 1;
    }
    // The last input row the next output row reads, and the ring's slot for an input row.
    int lastRowNeeded() const { return std::min(next_ + radius_, height_ - 1); }
    int& taken() { return taken_; }
    uint8_t* slot(int row) { return ring_.data() + static_cast<size_t>(row % size_) * width_ * kChannels; }

    // Writes the next output row; inputRow(y) gives input row y.
    template <class InputRow>
    void produce(const NarrowBoxKernels& kernels, InputRow inputRow, uint8_t* target) {
        for (int j = -radius_; j <= radius_; ++j) window_[j + radius_] = inputRow(reflect101(next_ + j, height_));
        uint16_t* inside = padded_.data() + kChannels * radius_;
        kernels.columnSums(window_.data(), size_, inside, width_ * kChannels);
        reflectRowEnds(inside, width_, radius_);
        kernels.roundedMeans(padded_.data(), target, width_ * kChannels, size_, divisor_);
        ++next_;
    }

private:
    int size_, radius_, width_, height_;
    NarrowBoxDivisor divisor_;
    int begin_ = 0, end_ = 0, next_ = 0;
    int taken_ = -1;  // last input row in the ring
    std::vector<uint8_t> ring_;
    std::vector<uint16_t> padded_;
    std::vector<const uint8_t*> window_;
};

// The chain of narrow boxes over the output rows `rows`, each box pulling the rows it reads from
// the one before it straight into its ring.
class NarrowBoxBand {
public:
    NarrowBoxBand(const cv::Mat& in, const std::vector<int>& sizes, const cv::Range& rows)
        : in_(in), rows_(rows), kernels_(narrowBoxKernels(tessel::chosenSimdPath())) {
        stages_.reserve(sizes.size());
        for (int size : sizes) stages_.emplace_back(size, in.cols, in.rows);
        int begin = rows.start, end = rows.end;
        for (size_t p = stages_.size(); p-- > 0;) {
            stages_[p].setOutputRange(begin, end);
            begin = stages_[p].inputBegin();
            end = stages_[p].inputEnd();
        }
    }

    void run(cv::Mat& out) {
        for (int y = rows_.start; y < rows_.end; ++y) produce(stages_.size() - 1, out.ptr<uint8_t>(y));
    }

private:
    void produce(size_t p, uint8_t* target) {
        NarrowBoxStage& stage = stages_[p];
        if (p == 0) {
            stage.produce(kernels_, [&](int row) { return in_.ptr<uint8_t>(row); }, target);
            return;
        }
        while (stage.taken() < stage.lastRowNeeded()) {
            ++stage.taken();
            produce(p - 1, stage.slot(stage.taken()));
        }
        stage.produce(kernels_, [&](int row) { return stage.slot(row); }, target);
    }

    const cv::Mat& in_;
    cv::Range rows_;
    NarrowBoxKernels kernels_;
    std::vector<NarrowBoxStage> stages_;
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

NarrowBoxDivisor narrowBoxDivisor(int size) {
    static const std::vector<NarrowBoxDivisor> divisors = [] {
        std::vector<NarrowBoxDivisor> table(kWidestNarrowBox + 1);
        for (int size = 3; size <= kWidestNarrowBox; size += 2) table[size] = searchDivisor(size);
        return table;
    }();
    return divisors.at(size);
}

NarrowBoxKernels narrowBoxKernels(tessel::SimdPath path) { return {kColumnSums.at(path), kRoundedMeans.at(path)}; }

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
    const bool narrow = std::all_of(boxes.begin(), boxes.end(), [](int size) { return size <= kWidestNarrowBox; });
    tessel::parallelStripes(in.rows, bands, [&](const cv::Range& rows) {
        if (narrow) {
            NarrowBoxBand(in, boxes, rows).run(out);
        } else {
            runBand(in, out, boxes, rows);
        }
    });
}

}  // namespace finishing
