#pragma once
// Collects what the code under test writes to stderr while the object lives.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

namespace qortest {

class StderrCapture {
public:
    StderrCapture() : path_(folder_.path() + "/stderr.txt") {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        std::FILE* file = std::fopen(path_.c_str(), "w");
        dup2(fileno(file), STDERR_FILENO);
        std::fclose(file);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far.
    std::string text() {
        std::fflush(stderr);
        std::ifstream file(path_);
        std::stringstream contents;
        contents << file.rdbuf();
        return contents.str();
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }

    TempFolder folder_;
    std::string path_;
    int saved_ = -1;
};

}  // namespace qortest
