#include "tools/qorfx/FramePlan.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tools/qorfx/Pictures.h"

namespace fs = std::filesystem;

namespace qorfx {

namespace {

const std::regex kNumberField("%(0\\d+)?d");

std::string escapedForRegex(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

std::string numbered(const std::string& pattern, long number) {
    std::smatch field;
    std::regex_search(pattern, field, kNumberField);
    char digits[32];
    std::snprintf(digits, sizeof digits, field.str().c_str(), static_cast<int>(number));
    return field.prefix().str() + digits + field.suffix().str();
}

// The files matching a pattern, by frame number.
std::vector<std::pair<long, std::string>> matchingFrames(const std::string& pattern) {
    const fs::path path(pattern);
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const std::string name = path.filename().string();
    std::smatch field;
    std::regex_search(name, field, kNumberField);
    const std::string width = field[1].matched ? "{" + std::to_string(std::stoi(field[1].str())) + ",}" : "+";
    const std::regex wanted(escapedForRegex(field.prefix().str()) + "(\\d" + width + ")" +
                            escapedForRegex(field.suffix().str()));
    std::vector<std::pair<long, std::string>> frames;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string file = entry.path().filename().string();
        std::smatch number;
        if (std::regex_match(file, number, wanted)) frames.emplace_back(std::stol(number[1].str()), entry.path().string());
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::vector<std::string> picturesIn(const std::string& folder) {
    std::vector<std::string> pictures;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string file = entry.path().filename().string();
        if (entry.is_regular_file() && file[0] != '.' && canWritePicture(file)) pictures.push_back(entry.path().string());
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

// A sequence's output: a pattern, or a folder that is created when needed.
bool outputsFor(const std::vector<std::pair<long, std::string>>& frames, const std::string& output, FramePlan& plan,
                std::string& error) {
    const bool pattern = isFramePattern(output);
    if (!pattern && canWritePicture(output)) {
        error = "a sequence needs an output pattern such as out_%04d.png or a folder, not the single file " + output;
        return false;
    }
    if (pattern && !canWritePicture(output)) {
        error = "cannot write " + output + ": use a .png, .jpg, .tif, .webp or .bmp pattern";
        return false;
    }
    const fs::path folder = pattern ? fs::path(output).parent_path() : fs::path(output);
    std::error_code made;
    if (!folder.empty()) fs::create_directories(folder, made);
    if (made) {
        error = "cannot create the folder " + folder.string() + ": " + made.message();
        return false;
    }
    for (const auto& [number, input] : frames) {
        plan.inputs.push_back(input);
        plan.outputs.push_back(pattern ? numbered(output, number) : (folder / fs::path(input).filename()).string());
    }
    plan.sequence = true;
    return true;
}

}  // namespace

bool isFramePattern(const std::string& path) { return std::regex_search(path, kNumberField); }

std::optional<FramePlan> planFrames(const std::string& input, const std::string& output, std::string& error) {
    FramePlan plan;
    std::error_code ignored;
    if (isFramePattern(input)) {
        const auto frames = matchingFrames(input);
        if (frames.empty()) {
            error = "no file matches the pattern " + input + "; frames are numbered like " + numbered(input, 1) +
                    " (%04d: four digits, %d: any number of digits)";
            return std::nullopt;
        }
        if (!outputsFor(frames, output, plan, error)) return std::nullopt;
    } else if (fs::is_directory(input, ignored)) {
        const auto pictures = picturesIn(input);
        if (pictures.empty()) {
            error = "the folder " + input + " holds no pictures (.png, .jpg, .tif, .webp, .bmp)";
            return std::nullopt;
        }
        std::vector<std::pair<long, std::string>> frames;
        for (std::size_t i = 0; i < pictures.size(); ++i) frames.emplace_back(static_cast<long>(i), pictures[i]);
        if (!outputsFor(frames, output, plan, error)) return std::nullopt;
    } else {
        if (isFramePattern(output) || !canWritePicture(output)) {
            error = "cannot write " + output + ": use a .png, .jpg, .tif, .webp or .bmp file name" +
                    (isFramePattern(output) ? " (a numbered output needs a numbered input or a folder)" : "");
            return std::nullopt;
        }
        plan.inputs.push_back(input);
        plan.outputs.push_back(output);
    }
    return plan;
}

}  // namespace qorfx
