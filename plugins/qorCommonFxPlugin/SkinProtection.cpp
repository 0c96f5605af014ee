#include "plugins/qorCommonFxPlugin/SkinProtection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "compositing/BlendTables.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace tessel::qorCommonFxPlugin {

namespace {

constexpr uint32_t kDetectionsPerTimingReport = 1500;
constexpr double kSlowDetectionMs = 40.0;
constexpr int kBlendChunkPixels = 256;

// x / 255 for x in 0..65025, exactly, in 16-bit arithmetic the compiler vectorises.
inline uint8_t divideBy255(uint16_t x) { return static_cast<uint8_t>(static_cast<uint16_t>(x + 1 + (x >> 8)) >> 8); }

// The interpolation lerp(s, d, w) of every byte of `pixels` pixels, with the weight w of each pixel
// looked up from its mask alpha: (s * w + d * (255 - w)) / 255, truncated. A weight of 0 keeps d.
void blendPixelsTowardsInput(const uint8_t* input, const uint8_t* mask, uint8_t* output, int pixels,
                             const uint8_t* weightOfAlpha) {
    uint8_t weights[kBlendChunkPixels * Frame::kChannels];
    for (int start = 0; start < pixels; start += kBlendChunkPixels) {
        const int count = std::min(kBlendChunkPixels, pixels - start);
        const int bytes = count * Frame::kChannels;
        const uint8_t* m = mask + start * Frame::kChannels;
        uint32_t anyWeight = 0;
        for (int x = 0; x < count; ++x) {
            const uint32_t repeated = weightOfAlpha[m[x * 4 + 3]] * 0x01010101u;
            std::memcpy(weights + x * Frame::kChannels, &repeated, 4);
            anyWeight |= repeated;
        }
        if (anyWeight == 0) continue;  // no skin here: most of a frame, usually
        const uint8_t* s = input + start * Frame::kChannels;
        uint8_t* d = output + start * Frame::kChannels;
        for (int k = 0; k < bytes; ++k) {
            const uint16_t w = weights[k];
            d[k] = divideBy255(static_cast<uint16_t>(s[k] * w + d[k] * (255 - w)));
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
    result.mask = cv::Mat::zeros(height, width, CV_8UC4);
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
    const imageC::BlendTables* tables = imageC::getBlendTables();
    const uint8_t* weightOfAlpha = tables->table(imageC::BlendTables::Multiply) + std::clamp(level, 0, 255) * 256;
    const int width = input.width;
    parallelRange(input.width * input.height, -1, [&](const cv::Range& pixels) {
        for (int i = pixels.start; i < pixels.end;) {
            const int row = i / width, column = i % width;
            const int count = std::min(pixels.end - i, width - column);
            const int offset = column * Frame::kChannels;
            blendPixelsTowardsInput(input.row(row) + offset, mask.ptr(row) + offset, output.row(row) + offset, count,
                                    weightOfAlpha);
            i += count;
        }
    });
}

}  // namespace tessel::qorCommonFxPlugin
