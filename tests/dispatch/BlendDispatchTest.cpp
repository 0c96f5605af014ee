// The wide compositing and shading row kernels against their SSE2 versions (themselves held to per-pixel
// references in tests/compositing), byte for byte: every rule and blend table, in place and over a
// separate base, strengths at both ends and between, widths that leave every possible remainder, padded rows whose padding must
// stay untouched, alpha over 0..255 with many exact 0s and 255s, and a real picture.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "compositing/BlendKernels.h"
#include "compositing/BlendTables.h"
#include "dispatch/DispatchPaths.h"
#include "support/TestSupport.h"

namespace {

using imageC::BlendRowKind;
using qortest::PaddedFrame;

// Noise with alpha forced to 0 on every fifth pixel and 255 on every seventh, where the rules
// branch.
cv::Mat testPicture(int width, int height, uint32_t seed) {
    cv::Mat picture = qortest::noisePicture(width, height, seed);
    for (int i = 0; i < width * height; ++i) {
        uint8_t& alpha = picture.at<cv::Vec4b>(i / width, i % width)[3];
        if (i % 5 == 0) alpha = 0;
        if (i % 7 == 0) alpha = 255;
    }
    return picture;
}

// The destination after running `blendRow` over every row of `src` onto `dst`, in place or (when
// `apart`) over a separate copy of `dst` into a frame of other pixels.
PaddedFrame blended(imageC::BlendRowFn blendRow, const cv::Mat& src, const cv::Mat& dst,
                    const imageC::BlendRowParams& params, bool apart = false) {
    PaddedFrame source = PaddedFrame::from(src, 20), base = PaddedFrame::from(dst, 16);
    PaddedFrame target = PaddedFrame::from(apart ? cv::Mat(dst.size(), CV_8UC4, cv::Scalar::all(77)) : dst, 28);
    for (int y = 0; y < src.rows; ++y) {
        const uint8_t* under = apart ? base.mat().ptr(y) : target.mat().ptr(y);
        blendRow(source.mat().ptr(y), under, target.mat().ptr(y), src.cols, params);
    }
    EXPECT_TRUE(source.paddingIntact() && base.paddingIntact());
    return target;
}

void expectSameAsSse2(BlendRowKind kind, const cv::Mat& src, const cv::Mat& dst, const imageC::BlendRowParams& params) {
    const auto& kernels = imageC::blendRowKernels(kind);
    const PaddedFrame expected = blended(kernels.sse2, src, dst, params);
    dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
        for (bool apart : {false, true}) {
            const PaddedFrame actual = blended(kernels.at(path), src, dst, params, apart);
            ASSERT_EQ(actual.bytes(), expected.bytes()) << "rule " << static_cast<int>(kind) << ", strength "
                                                        << int{params.strength} << ", " << src.cols << "x" << src.rows
                                                        << (apart ? ", over a separate base" : "");
        }
    });
}

bool usesTable(BlendRowKind kind) { return kind == BlendRowKind::ModeTable || kind == BlendRowKind::ModeTableCoverage; }

TEST(BlendDispatch, EveryRuleAndTableMatchesSse2OnOddSizes) {
    const cv::Size sizes[] = {{1, 9}, {9, 1}, {13, 3}, {33, 4}, {67, 3}, {130, 2}};
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    uint32_t seed = 1;
    for (const cv::Size size : sizes) {
        const cv::Mat src = testPicture(size.width, size.height, seed++);
        const cv::Mat dst = testPicture(size.width, size.height, seed++);
        for (BlendRowKind kind : imageC::kBlendRowKinds) {
            const int tableCount = usesTable(kind) ? imageC::BlendTables::TableCount : 1;
            for (int table = 0; table < tableCount; ++table) {
                for (int strength : {0, 1, 128, 254, 255}) {
                    expectSameAsSse2(kind, src, dst, {tables.table(table), static_cast<uint8_t>(strength)});
                }
            }
        }
    }
}

// The wide rows compute most tables with arithmetic: every (destination, source) pair of every
// table, at full weight so that the table byte itself is written, and through a table that is
// not one of the shared ones (looked up as it is).
TEST(BlendDispatch, EveryTablePairMatchesSse2) {
    cv::Mat src(256, 256, CV_8UC4), dst(256, 256, CV_8UC4);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            dst.at<cv::Vec4b>(a, b) = cv::Vec4b(a, a, a, a);
            src.at<cv::Vec4b>(a, b) = cv::Vec4b(b, b, b, 255);
        }
    }
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    cv::Mat ownTable(256, 256, CV_8U);
    cv::RNG(7).fill(ownTable, cv::RNG::UNIFORM, 0, 256);
    for (BlendRowKind kind : {BlendRowKind::ModeTable, BlendRowKind::ModeTableCoverage}) {
        for (int table = 0; table < imageC::BlendTables::TableCount; ++table) {
            expectSameAsSse2(kind, src, dst, {tables.table(table), 255});
        }
        expectSameAsSse2(kind, src, dst, {ownTable.data, 255});
    }
}

TEST(BlendDispatch, RealPictureMatchesSse2) {
    cv::Mat picture = qortest::samplePicture("chelsea.png");
    cv::Mat layer;
    cv::flip(picture, layer, 1);
    cv::Mat ramp(picture.size(), CV_8U);
    for (int x = 0; x < ramp.cols; ++x) ramp.col(x).setTo(x * 256 / ramp.cols);
    cv::mixChannels(&ramp, 1, &layer, 1, std::vector<int>{0, 3}.data(), 1);
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    for (BlendRowKind kind : imageC::kBlendRowKinds) {
        expectSameAsSse2(kind, layer, picture, {tables.table(imageC::BlendTables::SoftLight), 180});
    }
}

// The render region's outside fill, with tints whose sums pass 255 as well.
TEST(BlendDispatch, ShadeRowsMatchSse2) {
    const auto& kernels = imageC::shadeRowKernels();
    const imageC::ShadeParams settings[] = {
        {255, {0, 0, 0}}, {100, {155, 0, 77}}, {0, {255, 255, 255}}, {200, {255, 1, 128}}};
    for (const cv::Size size : {cv::Size(1, 5), cv::Size(37, 3), cv::Size(70, 2)}) {
        const cv::Mat picture = testPicture(size.width, size.height, size.width);
        for (const imageC::ShadeParams& params : settings) {
            PaddedFrame expected = PaddedFrame::from(picture, 20);
            for (int y = 0; y < size.height; ++y) kernels.sse2(expected.mat().ptr(y), size.width, params);
            dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
                PaddedFrame actual = PaddedFrame::from(picture, 20);
                for (int y = 0; y < size.height; ++y) kernels.at(path)(actual.mat().ptr(y), size.width, params);
                ASSERT_EQ(actual.bytes(), expected.bytes()) << "inverse alpha " << int{params.inverseAlpha};
            });
        }
    }
}

}  // namespace
