#pragma once
// Run-time choice between instruction-set paths of a per-pixel kernel.
//
// Every kernel has a baseline SSE2 version (all x86-64 processors have it) and may add AVX2 and
// AVX-512 versions, compiled function by function with QOR_TARGET_AVX2 / QOR_TARGET_AVX512 so the
// rest of the build stays portable. All versions of a kernel produce the same bytes: they apply
// the same operations in the same order, only more lanes at a time.
//
// The path is chosen once per process from what the processor offers. QOR_SIMD=sse2|avx2|avx512
// in the environment caps it, which helps when comparing paths or chasing a suspected difference.

#include <initializer_list>

#define QOR_TARGET_AVX2 [[gnu::target("avx2")]]
#define QOR_TARGET_AVX512 [[gnu::target("avx2,avx512f,avx512bw,avx512vl,avx512dq")]]
// The AVX-512 path plus the VBMI byte permutes, which not every AVX-512 processor has: kernels
// compiled for it check machineRunsVbmi() as well.
#define QOR_TARGET_AVX512_VBMI [[gnu::target("avx2,avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi")]]
// Loops shared by the paths: forced inline, so that each kernel compiles them for its own
// instruction set.
#define QOR_INLINE [[gnu::always_inline]] inline

namespace tessel {

enum class SimdPath : int { sse2 = 0, avx2 = 1, avx512 = 2 };

constexpr std::initializer_list<SimdPath> kSimdPaths = {SimdPath::sse2, SimdPath::avx2, SimdPath::avx512};

// Whether this processor (and operating system) can run the path.
bool machineRuns(SimdPath path);

// The widest path the machine runs, capped by QOR_SIMD; decided on first call.
SimdPath chosenSimdPath();

const char* simdPathName(SimdPath path);

// Whether the avx512 path may use the VBMI byte permutes too.
bool machineRunsVbmi();

// The versions of one kernel. Unset wider versions fall back to the next narrower one.
template <class Fn>
struct SimdKernels {
    Fn sse2;
    Fn avx2 = nullptr;
    Fn avx512 = nullptr;

    // The version that runs on `path`: the widest one provided at or below it.
    Fn at(SimdPath path) const {
        if (path >= SimdPath::avx512 && avx512) return avx512;
        if (path >= SimdPath::avx2 && avx2) return avx2;
        return sse2;
    }
    Fn chosen() const { return at(chosenSimdPath()); }
};

}  // namespace tessel
