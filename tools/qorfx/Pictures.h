#pragma once
// Reading and writing pictures as 8-bit BGRA.

#include <string>

#include <opencv2/core.hpp>

namespace qorfx {

// Reads a picture as CV_8UC4. Pictures without alpha get 255; 16-bit pictures are scaled to 8 bits.
// Empty on failure, with the reason in `error`.
cv::Mat readPicture(const std::string& path, std::string& error);

// True when the file name's extension is one this tool writes (PNG, JPEG, TIFF, WebP, BMP).
bool canWritePicture(const std::string& path);

// Writes a CV_8UC4 picture; formats without alpha (JPEG, BMP) drop it. The file appears under its
// name only when complete; nothing is left behind on failure.
bool writePicture(const std::string& path, const cv::Mat& picture, std::string& error);

}  // namespace qorfx
