#include "plugins/qorCommonFxPlugin/SkinProtection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace tessel::qorCommonFxPlugin {

namespace {

constexpr uint32_t kDetectionsPerTimingReport = 1500;
constexpr double kSlowDetectionMs = 40.0;

// x / 255 for x in 0..65025, exactly, in 16-bit arithmetic the compiler vectorises.
inline uint16_t divideBy255(uint16_t x) { return static_cast<uint16_t>(x + 1 + (x >> 8)) >> 8; }

// a * b / 255 rounded to nearest, as the multiply table holds it (a * b / 255 never ends in .5).
inline uint16_t multiplyBytes(uint16_t a, uint16_t b) {
    const uint16_t t = static_cast<uint16_t>(a * b + 128);
    return static_cast<uint16_t>(t + (t >> 8)) >> 8;
}

// lerp(s, d, w) of every byte of `pixels` pixels, w = mul(level, mask alpha) per pixel:
// (s * w + d * (255 - w)) / 255, truncated. A weight of 0 keeps d.
void blendPixelsTowardsInput(const uint8_t* input, const uint8_t* mask, uint8_t* output, int pixels, uint16_t level) {
    for (int x = 0; x < pixels; ++x) {
        const uint16_t w = multiplyBytes(level, mask[x * 4 + 3]);
        for (int c = 0; c < Frame::kChannels; ++c) {
            const int k = x * Frame::kChannels + c;
            output[k] = static_cast<uint8_t>(divideBy255(static_cast<uint16_t>(input[k] * w + output[k] * (255 - w))));
        }
    }
}

}  // namespace

bool protectsSkin(const char* effectGuid) {
    return effectGuid && (std::strcmp(effectGuid, kMatchColorGuid) == 0 || std::strcmp(effectGuid, kMatchColorV2Guid) == 0);
}

int32_t skinProtectionLevel(int32_t skinProtect) {
    const int32_t percent = std::clamp(skinProtect, 0, 100);
    return static_cast<int32_t>(percent * 255.0 / 100.0);
}

SkinMask detectSkin(AiEffectCache& cache, const Frame& input) {
    static std::atomic<uint32_t> detections{0};
    SkinMask result;
    const int32_t width = std::max(input.width, 0), height = std::max(input.height, 0);
    // Cleared first: a transform that succeeds without writing (no AI module) then protects nothing.
    result.mask = cv::Mat(height, width, CV_8UC4, cv::Scalar::all(0));
    const auto start = std::chrono::steady_clock::now();
    result.status = aiDispatch().transformWithCache(&cache, result.mask.data, width, height,
                                                    static_cast<int32_t>(result.mask.step[0]), nullptr, 0, 0, 0,
                                                    nullptr, 0, 0, 0);
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    reportDetectionTime(++detections, width, height, static_cast<double>(elapsed.count()) / 1000000.0);
    return result;
}

void reportDetectionTime(uint32_t detection, int32_t width, int32_t height, double milliseconds) {
    if (detection % kDetectionsPerTimingReport != 0 || !(milliseconds > kSlowDetectionMs)) return;
    hostLog(LogLevel::Diagnostic, "skin detection [%dx%d] cost: [%.2f]ms (frame %d)", width, height, milliseconds,
            static_cast<int32_t>(detection));
}

void protectSkin(const Frame& input, const cv::Mat& mask, const Frame& output, int32_t level) {
    if (!input.isValid() || !output.isValid() || !output.covers(input)) return;
    if (mask.type() != CV_8UC4 || mask.cols < input.width || mask.rows < input.height) return;
    const auto clampedLevel = static_cast<uint16_t>(std::clamp(level, 0, 255));
    const int width = input.width;
    parallelRange(input.width * input.height, -1, [&](const cv::Range& pixels) {
        for (int i = pixels.start; i < pixels.end;) {
            const int row = i / width, column = i % width;
            const int count = std::min(pixels.end - i, width - column);
            const int offset = column * Frame::kChannels;
            blendPixelsTowardsInput(input.row(row) + offset, mask.ptr(row) + offset, output.row(row) + offset, count,
                                    clampedLevel);
            i += count;
        }
    });
}

}  // namespace tessel::qorCommonFxPlugin
