#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace qortest {

PaddedFrame::PaddedFrame(int width, int height, int padding)
    : width_(width), height_(height), stride_(width * 4 + padding),
      bytes_(static_cast<std::size_t>(stride_) * height, kGuard) {
    for (int y = 0; y < height_; ++y) std::fill_n(bytes_.data() + y * stride_, width_ * 4, uint8_t{0});
}

PaddedFrame PaddedFrame::from(const cv::Mat& picture, int padding) {
    PaddedFrame result(picture.cols, picture.rows, padding);
    picture.copyTo(result.mat());
    return result;
}

bool PaddedFrame::paddingIntact() const {
    for (int y = 0; y < height_; ++y) {
        for (int x = width_ * 4; x < stride_; ++x) {
            if (bytes_[static_cast<std::size_t>(y) * stride_ + x] != kGuard) return false;
        }
    }
    return true;
}

cv::Mat samplePicture(const std::string& name, int alpha) {
    const std::string path = std::string(QOR_SOURCE_DIR) + "/examples/" + name;
    cv::Mat picture = cv::imread(path, cv::IMREAD_UNCHANGED);
    if (picture.empty()) throw std::runtime_error("cannot read sample picture " + path);
    if (picture.channels() == 3) cv::cvtColor(picture, picture, cv::COLOR_BGR2BGRA);
    if (alpha >= 0) {
        std::vector<cv::Mat> planes;
        cv::split(picture, planes);
        planes[3].setTo(alpha);
        cv::merge(planes, picture);
    }
    return picture;
}

cv::Mat noisePicture(int width, int height, uint32_t seed) {
    cv::Mat picture(height, width, CV_8UC4);
    cv::RNG rng(seed);
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

int differingBytes(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat difference;
    cv::compare(a.reshape(1), b.reshape(1), difference, cv::CMP_NE);
    return cv::countNonZero(difference);
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qortest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path file = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
}

std::string TempFolder::folder(const std::string& relative) const {
    const std::filesystem::path dir = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace qortest
