#include "framework/SimdDispatch.h"

#include <cstdlib>
#include <cstring>

namespace tessel {

bool machineRuns(SimdPath path) {
    // Kernel tables may be set up by static initialisers, which can run before the runtime has
    // read the processor's features on its own.
    __builtin_cpu_init();
    switch (path) {
    case SimdPath::sse2:
        return true;
    case SimdPath::avx2:
        return __builtin_cpu_supports("avx2");
    case SimdPath::avx512:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("avx512dq");
    }
    return false;
}

bool machineRunsVbmi() { return machineRuns(SimdPath::avx512) && __builtin_cpu_supports("avx512vbmi"); }

const char* simdPathName(SimdPath path) {
    switch (path) {
    case SimdPath::sse2:
        return "sse2";
    case SimdPath::avx2:
        return "avx2";
    case SimdPath::avx512:
        return "avx512";
    }
    return "unknown";
}

namespace {

SimdPath capFromEnvironment() {
    const char* cap = std::getenv("QOR_SIMD");
    if (!cap) return SimdPath::avx512;
    for (SimdPath path : kSimdPaths)
        if (std::strcmp(cap, simdPathName(path)) == 0) return path;
    return SimdPath::avx512;
}

SimdPath widestRunnable(SimdPath cap) {
    SimdPath best = SimdPath::sse2;
    for (SimdPath path : kSimdPaths)
        if (path <= cap && machineRuns(path)) best = path;
    return best;
}

}  // namespace

SimdPath chosenSimdPath() {
    static const SimdPath chosen = widestRunnable(capFromEnvironment());
    return chosen;
}

}  // namespace tessel
