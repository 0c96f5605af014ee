#pragma once
// The AI side of qorfx: the skin mask of a picture made by the AI module, and masks given by the
// user as the host's ready AI result.

#include <string>

#include <opencv2/core.hpp>

namespace qorfx {

// Runs the skin detector of "<aiFolder>/qorAiFilterPlugin.qor" on `picture` (CV_8UC4); returns the
// skin weight as CV_8UC1 of the picture's size, or empty with the reason in `error`.
cv::Mat detectSkinMask(const std::string& aiFolder, const cv::Mat& picture, std::string& error);

// Reads a mask picture (as detect-skin writes it: white is skin) as its grey level, CV_8UC1. Empty
// with the reason in `error`.
cv::Mat readMask(const std::string& path, std::string& error);

}  // namespace qorfx
