#pragma once
// Running the real qorfx program from the tests.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include <opencv2/imgcodecs.hpp>

namespace qorfxtest {

struct CommandResult {
    int exitCode;
    std::string output;  // stdout, and stderr unless separated
};

inline CommandResult runQorfx(const std::string& arguments, const std::string& redirect = "2>&1") {
    const std::string command = std::string(QORFX_PATH) + " " + arguments + " " + redirect;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, "cannot start qorfx"};
    std::string output;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

inline std::string example(const std::string& name) { return std::string(QOR_SOURCE_DIR) + "/examples/" + name; }

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline cv::Mat readBack(const std::string& path) { return cv::imread(path, cv::IMREAD_UNCHANGED); }

}  // namespace qorfxtest
