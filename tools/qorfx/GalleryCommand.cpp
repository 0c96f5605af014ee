// qorfx gallery: every creatable effect on one picture with the setting its author chose
// ("gallery.json" beside the description), as one labelled contact sheet or one file per effect.

#include <cstdio>
#include <filesystem>

#include <opencv2/imgproc.hpp>

#include "tools/qorfx/Commands.h"
#include "tools/qorfx/Pictures.h"
#include "tools/qorfx/Renderer.h"

namespace fs = std::filesystem;

namespace qorfx {

namespace {

constexpr int kTileWidth = 240;
constexpr int kColumns = 4;
constexpr int kLabelHeight = 22;
constexpr int kChequer = 8;
constexpr const char* kGallerySettings = "gallery.json";

struct GalleryOptions {
    std::string input;
    std::string output;
    std::string second;
};

struct Tile {
    std::string name;
    cv::Mat picture;
};

// The effect's own showcase values; none when its folder has no gallery file.
bool gallerySettings(const CatalogEntry& entry, ParamValues& values, std::string& error) {
    const fs::path file = fs::path(entry.folderPath) / kGallerySettings;
    std::error_code ignored;
    if (entry.folderPath.empty() || !fs::exists(file, ignored)) return true;
    return addPreset(*entry.effect, file.string(), 25.0, values, error);
}

// The result over a chequerboard, so that transparency shows, scaled to the tile width.
cv::Mat tilePicture(const cv::Mat& result) {
    const int height = std::max(1, result.rows * kTileWidth / std::max(1, result.cols));
    cv::Mat scaled;
    cv::resize(result, scaled, {kTileWidth, height}, 0, 0, cv::INTER_AREA);
    cv::Mat tile(scaled.size(), CV_8UC3);
    for (int y = 0; y < tile.rows; ++y) {
        for (int x = 0; x < tile.cols; ++x) {
            const cv::Vec4b pixel = scaled.at<cv::Vec4b>(y, x);
            const int background = ((x / kChequer + y / kChequer) % 2) ? 200 : 140;
            cv::Vec3b& out = tile.at<cv::Vec3b>(y, x);
            for (int c = 0; c < 3; ++c) out[c] = cv::saturate_cast<uchar>((pixel[c] * pixel[3] + background * (255 - pixel[3])) / 255);
        }
    }
    return tile;
}

cv::Mat contactSheet(const std::vector<Tile>& tiles) {
    int tileHeight = 0;
    for (const auto& tile : tiles) tileHeight = std::max(tileHeight, tile.picture.rows);
    const int columns = std::min<int>(kColumns, static_cast<int>(tiles.size()));
    const int rows = (static_cast<int>(tiles.size()) + columns - 1) / columns;
    const int cellHeight = tileHeight + kLabelHeight;
    cv::Mat sheet(rows * cellHeight, columns * kTileWidth, CV_8UC3, cv::Scalar(32, 32, 32));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const cv::Point corner(static_cast<int>(i % columns) * kTileWidth, static_cast<int>(i / columns) * cellHeight);
        tiles[i].picture.copyTo(sheet(cv::Rect(corner, tiles[i].picture.size())));
        cv::putText(sheet, tiles[i].name, corner + cv::Point(6, tileHeight + 16), cv::FONT_HERSHEY_SIMPLEX, 0.45,
                    cv::Scalar(255, 255, 255), 1, cv::LINE_AA);
    }
    cv::Mat withAlpha;
    cv::cvtColor(sheet, withAlpha, cv::COLOR_BGR2BGRA);
    return withAlpha;
}

int renderGallery(Session& session, const GalleryOptions& options) {
    const bool sheet = canWritePicture(options.output);
    std::string error;
    const cv::Mat input = readPicture(options.input, error);
    if (input.empty()) return fail(error);
    // Two-input effects need a second picture; without one they get the input mirrored.
    cv::Mat second;
    if (options.second.empty()) cv::flip(input, second, 1);
    else second = readPicture(options.second, error);
    if (second.empty()) return fail(error);
    if (!sheet) {
        std::error_code made;
        fs::create_directories(options.output, made);
        if (made) return fail("cannot create the folder " + options.output + ": " + made.message());
    }
    std::vector<Tile> tiles;
    int rendered = 0, failed = 0;
    for (const auto& entry : session.catalog().entries()) {
        if (!entry.creatable) continue;
        EffectStage stage{&entry, {}};
        if (!gallerySettings(entry, stage.values, error)) return fail(error);
        EffectChain chain(session.host(), {stage}, {});
        if (!chain.create(error)) return fail(error);
        const ChainResult result = chain.render(input.clone(), second, {});
        const std::string& name = entry.effect->name;
        if (!result.ok()) {
            std::fprintf(stderr, "qorfx: %s refused the picture (Render returned %d)\n", name.c_str(), result.renderStatus);
            ++failed;
        } else if (sheet) {
            tiles.push_back({name, tilePicture(result.output)});
            ++rendered;
        } else {
            const std::string path = (fs::path(options.output) / (fileNameFor(entry) + ".png")).string();
            if (!writePicture(path, result.output, error)) return fail(error);
            std::printf("  %-32s %s\n", name.c_str(), path.c_str());
            ++rendered;
        }
    }
    if (sheet && !tiles.empty() && !writePicture(options.output, contactSheet(tiles), error)) return fail(error);
    std::printf("%d effects rendered into %s, %d refused the picture\n", rendered, options.output.c_str(), failed);
    return failed == 0 ? kExitOk : kExitRenderFailed;
}

}  // namespace

Command addGalleryCommand(CLI::App& app) {
    auto options = std::make_shared<GalleryOptions>();
    auto* cli = app.add_subcommand("gallery", "every effect on one picture with its gallery setting: a contact sheet "
                                              "(OUTPUT.png) or one PNG per effect (OUTPUT a folder)");
    cli->add_option("INPUT", options->input, "the picture to process")->required();
    cli->add_option("OUTPUT", options->output, "the contact sheet (.png, .jpg, ...) or a folder")->required();
    cli->add_option("--second", options->second, "second input for the two-input effects (default: INPUT mirrored)");
    return {cli, [options](const Options& global) {
                return withSession(global, [&](Session& session) { return renderGallery(session, *options); });
            }};
}

}  // namespace qorfx
