#pragma once
// Compositing a source layer onto a destination with one of the blend modes, over whole images
// (row-parallel) or one pixel at a time.
//
// Mode numbers: 0 Normal, 1 Darken, 2 Multiply, 3 ColorBurn, 4 LinearBurn, 5 Screen, 6 ColorDodge,
// 7 LinearDodge, 8 Overlay, 9 SoftLight, 10 HardLight, 11 VividLight, 12 LinearLight, 13 PinLight,
// 14 HardMix, 15 Difference, 16 Exclusion, 17 Lighten, 18 Normal, 19 HollowIn, 20 HollowOut,
// 21 TextBgHollowIn, 22 Replace, 23 Add, 24 and above Normal.

#include <cstdint>

#include <opencv2/core.hpp>

namespace imageC {

// Modes 0 to kBlendModeCount - 1 have kernels of their own; higher numbers blend as Normal.
constexpr uint32_t kBlendModeCount = 24;

// Composites `src` onto `dst` in place. Both must be non-empty CV_8UC4 matrices of one size;
// otherwise nothing is written and the result is false. Only the low 8 bits of `strength` are
// used (255 = full source alpha); `premultiplied` chooses the Normal kernel's variant; the work is
// cut into `stripes` horizontal bands (at least one; the hollow kernels always use 8).
bool blendImage(const cv::Mat& src, cv::Mat& dst, uint32_t mode, int strength, bool premultiplied, int stripes);

// blendImage's result for `src` over `background`, written to `dst` on the calling thread: the bytes
// of copying `background` into `dst` and blending `src` onto that, in one pass over the pixels.
// `background` is either `dst` itself or shares no memory with it, and `src` shares none with `dst`;
// all three are CV_8UC4 of one size. Otherwise nothing is written and the result is false.
bool blendImageOver(const cv::Mat& src, const cv::Mat& background, cv::Mat& dst, uint32_t mode, int strength,
                    bool premultiplied);

// The two runners behind blendImage, for matrices it has accepted (CV_8UC4, equal size, separate
// memory); a band count below one counts as one.
// The table kernel with one 256x256 table of BlendTables.
void blendAdobe(const cv::Mat& src, cv::Mat& dst, const uint8_t* table, uint8_t strength, int stripes);

// The Normal kernel, premultiplied or straight source.
void blendNormal(const cv::Mat& src, cv::Mat& dst, uint8_t strength, bool premultiplied, int stripes);

// One pixel of `src` onto `dst` (4 bytes each, modified in place) with the same modes, except that
// mode 18 and modes above 23 leave `dst` unchanged, mode 0 at full strength does not premultiply
// the destination, and the table modes composite alpha as plain coverage. `strength` is clamped
// to 0..255.
void blendPixel(const uint8_t* src, uint8_t* dst, uint32_t mode, int32_t strength, bool premultiplied);

// blendPixel over `count` adjacent pixels of `src` and `dst` (4 * count bytes each, not
// overlapping), with the rule chosen once for the whole row.
void blendPixelRow(const uint8_t* src, uint8_t* dst, int count, uint32_t mode, int32_t strength, bool premultiplied);

}  // namespace imageC
