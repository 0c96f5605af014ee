#include "tools/qorfx/Pictures.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace qorfx {

namespace {

std::string extensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return extension;
}

bool keepsAlpha(const std::string& extension) {
    return extension == ".png" || extension == ".tif" || extension == ".tiff" || extension == ".webp";
}

}  // namespace

cv::Mat readPicture(const std::string& path, std::string& error) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        error = "cannot read " + path + ": no such file";
        return {};
    }
    cv::Mat picture;
    try {
        picture = cv::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception& failure) {
        error = "cannot read " + path + ": " + failure.what();
        return {};
    }
    if (picture.empty()) {
        error = "cannot read " + path + ": not a picture in a format this tool reads (PNG, JPEG, TIFF, WebP, BMP)";
        return {};
    }
    if (picture.depth() == CV_16U) picture.convertTo(picture, CV_8U, 1.0 / 257.0);
    if (picture.depth() != CV_8U) {
        error = "cannot read " + path + ": only 8- and 16-bit pictures are supported";
        return {};
    }
    switch (picture.channels()) {
    case 1: cv::cvtColor(picture, picture, cv::COLOR_GRAY2BGRA); break;
    case 3: cv::cvtColor(picture, picture, cv::COLOR_BGR2BGRA); break;
    case 4: break;
    default:
        error = "cannot read " + path + ": unsupported channel count " + std::to_string(picture.channels());
        return {};
    }
    return picture;
}

bool canWritePicture(const std::string& path) {
    const std::string extension = extensionOf(path);
    return keepsAlpha(extension) || extension == ".jpg" || extension == ".jpeg" || extension == ".bmp";
}

bool writePicture(const std::string& path, const cv::Mat& picture, std::string& error) {
    cv::Mat toWrite = picture;
    if (!keepsAlpha(extensionOf(path))) cv::cvtColor(picture, toWrite, cv::COLOR_BGRA2BGR);
    // Written under a hidden temporary name in the same folder and renamed when complete, so a
    // failure or an interruption never leaves a truncated file under the output's name.
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path target(path);
    const std::filesystem::path temporary =
        target.parent_path() / ("." + target.stem().string() + ".part" + std::to_string(getpid()) + "-" +
                                std::to_string(counter++) + target.extension().string());
    bool written = false;
    try {
        written = cv::imwrite(temporary.string(), toWrite);
    } catch (const cv::Exception& failure) {
        error = "cannot write " + path + ": " + failure.what();
    }
    std::error_code renameError;
    if (written) std::filesystem::rename(temporary, target, renameError);
    if (!written || renameError) {
        if (error.empty()) error = "cannot write " + path + ": check that the folder exists and is writable";
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace qorfx
