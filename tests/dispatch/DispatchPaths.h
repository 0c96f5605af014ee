#pragma once
// Support for the dispatch tests: every wider path of a kernel is compared byte for byte with
// its SSE2 baseline, on each path this machine runs. The paths actually exercised are printed
// when the program ends, so a run on a machine without AVX-512 says so.

#include <functional>

#include "framework/SimdDispatch.h"

namespace dispatch_testing {

// Calls check(path) for every path wider than SSE2 that this machine runs, and notes each one
// as exercised.
void forEachWiderPath(const std::function<void(tessel::SimdPath)>& check);

}  // namespace dispatch_testing
