#pragma once
// Skin protection: after a colour-matching effect has rendered, the output is pulled back towards
// the unprocessed input wherever the skin-detection AI filter finds skin, by the host parameter
// "skinProtect" (0 off, 100 full).

#include <cstdint>

#include <opencv2/core.hpp>

#include "framework/Frame.h"
#include "plugins/qorCommonFxPlugin/AiBridge.h"

namespace tessel::qorCommonFxPlugin {

// The protection strength is read by the host-facing object, not by the effect.
constexpr const char* kSkinProtectName = "skinProtect";

// True for the effects whose output skin protection changes: the two colour-matching effects.
bool protectsSkin(const char* effectGuid);

// The blend level 0..255 for a "skinProtect" percentage; values outside 0..100 are clamped first.
int32_t skinProtectionLevel(int32_t skinProtect);

struct SkinMask {
    int32_t status = 0;  // the AI transform's result; the mask is usable only when 0
    cv::Mat mask;        // input height x width, CV_8UC4, skin weight in alpha; zeros where nothing was written
};

// Runs the cache's AI filter for a frame of `input`'s size (the host supplies the pixels or a
// ready result), timing it.
SkinMask detectSkin(AiEffectCache& cache, const Frame& input);

// Logs how long a detection took, but only for every 1500th detection of the process and only when
// it took over 40 ms, so a slow machine is reported without flooding the log.
void reportDetectionTime(uint32_t detection, int32_t width, int32_t height, double milliseconds);

// Blends `output` towards `input` by mul(level, mask alpha) on every pixel of the input's area,
// alpha included. Does nothing when the output or the mask is smaller than the input.
void protectSkin(const Frame& input, const cv::Mat& mask, const Frame& output, int32_t level);

}  // namespace tessel::qorCommonFxPlugin
