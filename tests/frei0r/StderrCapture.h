#pragma once
// Collects what the code under test writes to stderr while the object lives.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace qortest {

class StderrCapture {
public:
    StderrCapture() : saved_(dup(STDERR_FILENO)) {
        std::fflush(stderr);
        std::freopen(path().c_str(), "w", stderr);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }

    std::string text() {
        std::fflush(stderr);
        std::stringstream contents;
        contents << std::ifstream(path()).rdbuf();
        return contents.str();
    }

private:
    std::string path() const { return folder_.path() + "/stderr.txt"; }

    TempFolder folder_;
    int saved_;
};

}  // namespace qortest
