#include "dispatch/DispatchPaths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace dispatch_testing {
namespace {

std::set<tessel::SimdPath>& exercised() {
    static std::set<tessel::SimdPath> paths{tessel::SimdPath::sse2};
    return paths;
}

class ReportExercisedPaths : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("SIMD paths exercised against the sse2 baseline:");
        for (tessel::SimdPath path : exercised()) std::printf(" %s", tessel::simdPathName(path));
        std::printf("\n");
    }
};

const auto* const kReport = ::testing::AddGlobalTestEnvironment(new ReportExercisedPaths);

}  // namespace

void forEachWiderPath(const std::function<void(tessel::SimdPath)>& check) {
    for (tessel::SimdPath path : tessel::kSimdPaths) {
        if (path == tessel::SimdPath::sse2 || !tessel::machineRuns(path)) continue;
        SCOPED_TRACE(tessel::simdPathName(path));
        exercised().insert(path);
        check(path);
    }
}

}  // namespace dispatch_testing
