// qorfx detect-skin: the skin mask the AI module finds in a picture, so a user sees what skin
// protection will keep.

#include <iostream>

#include <opencv2/imgproc.hpp>

#include "tools/qorfx/Commands.h"
#include "tools/qorfx/Pictures.h"
#include "tools/qorfx/SkinMask.h"

namespace qorfx {

namespace {

struct DetectSkinOptions {
    std::string input, output;
};

// Writes the skin mask of the input as a grey picture: white where the detector finds skin.
int writeSkinMask(const Options& global, const DetectSkinOptions& options) {
    if (!canWritePicture(options.output)) {
        return fail("cannot write " + options.output + ": use a .png, .jpg, .tif, .webp or .bmp file name");
    }
    std::string error;
    const cv::Mat picture = readPicture(options.input, error);
    if (picture.empty()) return fail(error);
    const cv::Mat mask = detectSkinMask(global.aiFolder, picture, error);
    if (mask.empty()) return fail(error);
    cv::Mat grey;
    cv::cvtColor(mask, grey, cv::COLOR_GRAY2BGRA);
    if (!writePicture(options.output, grey, error)) return fail(error);
    std::cout << "wrote " << options.output << "\n";
    return kExitOk;
}

}  // namespace

Command addDetectSkinCommand(CLI::App& app) {
    auto options = std::make_shared<DetectSkinOptions>();
    auto* cli = app.add_subcommand("detect-skin", "write the skin mask the AI module finds (white is skin)");
    cli->add_option("INPUT", options->input, "the picture to look at")->required();
    cli->add_option("MASK", options->output, "where to write the mask (.png, .jpg, .tif, .webp)")->required();
    return {cli, [options](const Options& global) { return writeSkinMask(global, *options); }};
}

}  // namespace qorfx
