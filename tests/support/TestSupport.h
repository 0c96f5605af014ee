#pragma once
// Helpers shared by the test programs: BGRA frames with padded rows, sample pictures, and checks
// that nothing was written outside a frame.

#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/Frame.h"

namespace qortest {

// An owned BGRA buffer with `padding` extra bytes at the end of every row, filled with a guard
// pattern, so that writes past a row's pixels can be detected.
class PaddedFrame {
public:
    static constexpr uint8_t kGuard = 0xA5;

    PaddedFrame(int width, int height, int padding = 12);
    // Copies `picture` (CV_8UC4) into a new padded frame.
    static PaddedFrame from(const cv::Mat& picture, int padding = 12);

    tessel::Frame frame() { return {bytes_.data(), width_, height_, stride_}; }
    uint8_t* data() { return bytes_.data(); }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    cv::Mat mat() { return frame().mat(); }
    // A deep copy of the pixels (without padding).
    cv::Mat pixels() { return mat().clone(); }
    // True while every padding byte still holds the guard pattern.
    bool paddingIntact() const;
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    int width_, height_, stride_;
    std::vector<uint8_t> bytes_;
};

// A sample picture of the project (examples/), as BGRA; `alpha` replaces the alpha channel when
// not negative.
cv::Mat samplePicture(const std::string& name, int alpha = -1);

// A deterministic pseudo-random BGRA picture, alpha included.
cv::Mat noisePicture(int width, int height, uint32_t seed = 1);

// Number of bytes in which two pictures of equal size and type differ.
int differingBytes(const cv::Mat& a, const cv::Mat& b);

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // Writes `text` to `relative` (creating its folders) and returns the full path.
    std::string write(const std::string& relative, const std::string& text) const;
    // Creates the folder `relative` and returns its full path.
    std::string folder(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace qortest
