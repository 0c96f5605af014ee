#include "plugins/qorCommonFxPlugin/beauty/NLEFaceBeautyEffect.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

struct Levels {
    float smooth, colour, white;
};

void setLevels(NLEFaceBeautyEffect& effect, const Levels& l) {
    qortest::setFloats(effect, {{"smooth_lev", l.smooth}, {"color_lev", l.colour}, {"white_lev", l.white}});
}

uint8_t roundedByte(double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

bool black(const cv::Vec4b& p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// The effect step by step on whole images, with the bilateral filter (tested on its own) as the
// smoother: edge repair, crop or pad to a multiple of 16, smoothing, copy back with the smear,
// colour lift, whitening and compositing by the input's alpha.
cv::Mat referenceBeauty(const cv::Mat& s, const Levels& l) {
    const int w = s.cols, h = s.rows, m = w % 16;
    cv::Mat b = s.clone();
    if (w >= 7) {
        cv::Mat a = s.clone();
        for (int r = 0; r < h; ++r) {
            for (const auto& [edge, inner] : {std::pair{w - 1, w - 2}, std::pair{0, 1}}) {
                cv::Vec4b& p = a.at<cv::Vec4b>(r, edge);
                if (black(p)) p = cv::Vec4b(s.at<cv::Vec4b>(r, inner)[0], s.at<cv::Vec4b>(r, inner)[1],
                                            s.at<cv::Vec4b>(r, inner)[2], p[3]);
            }
        }
        cv::Mat d = a;
        if (m >= 1 && m <= 6) d = a.colRange(0, w - m).clone();
        if (m >= 7) cv::copyMakeBorder(a, d, 0, 0, 0, 16 - m, cv::BORDER_REPLICATE);
        cv::Mat f = d.clone();
        CRBFilterSSE2 smoother;
        const float level = l.smooth == 0.0f ? 1.0f : l.smooth;
        if (smoother.init(d.cols, h, 4, true)) {
            smoother.setSigmas(level / 200.0f, level / 2000.0f);
            cv::Mat out(d.size(), CV_8UC4);
            if (smoother.filter(out.data, d.data, d.cols, h, d.cols * 4)) f = out;
            smoother.flush();
        }
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < w; ++c) {
                cv::Vec4b& p = b.at<cv::Vec4b>(r, c);
                for (int k = 0; k < 3; ++k) {
                    if (m == 0) p[k] = f.at<cv::Vec4b>(r, c == w - 1 ? w - 2 : c)[k];
                    else if (c < f.cols - 2 || m >= 7) p[k] = f.at<cv::Vec4b>(r, c)[k];
                    else p[k] = roundedByte(0.8 * b.at<cv::Vec4b>(r, c - 1)[k] + 0.2 * p[k]);
                }
            }
        }
    }
    cv::Mat o(s.size(), CV_8UC4);
    const double lift = std::abs(static_cast<double>(l.colour)) / 10.0;
    const int lifted = l.colour >= 0 ? 2 : 0;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const cv::Vec4b p = s.at<cv::Vec4b>(r, c), q = b.at<cv::Vec4b>(r, c);
            for (int k = 0; k < 3; ++k) {
                const int v = roundedByte((k == lifted ? roundedByte(q[k] + lift) : q[k]) + l.white * 0.25);
                o.at<cv::Vec4b>(r, c)[k] = static_cast<uint8_t>(qortest::multiplyRounded(v, p[3]) +
                                                                 qortest::multiplyRounded(p[k], 255 - p[3]));
            }
            o.at<cv::Vec4b>(r, c)[3] = p[3];
        }
    }
    return o;
}

// The astronaut at `size`, with black first and last columns in some rows (as scaled video
// has), transparent pixels in row 1 and translucent ones in row 2.
cv::Mat portrait(cv::Size size) {
    cv::Mat p;
    cv::resize(qortest::samplePicture("astronaut.png"), p, size, 0, 0, cv::INTER_AREA);
    for (int r = 3; r < size.height; r += 4) {
        p.at<cv::Vec4b>(r, 0) = cv::Vec4b(0, 0, 0, 255);
        p.at<cv::Vec4b>(r, size.width - 1) = cv::Vec4b(0, 0, 0, 255);
    }
    p.row(1).forEach<cv::Vec4b>([](cv::Vec4b& v, const int*) { v[3] = 0; });
    p.row(2).forEach<cv::Vec4b>([](cv::Vec4b& v, const int* at) { v[3] = static_cast<uint8_t>(at[1] * 7); });
    return p;
}

cv::Mat beautified(const cv::Mat& picture, const Levels& l) {
    auto effect = qortest::makeEffect<NLEFaceBeautyEffect>();
    setLevels(*effect, l);
    return qortest::rendered(*effect, picture);
}

TEST(NLEFaceBeautyEffectTest, RefusesMissingBuffersAndOutputsOfAnotherSize) {
    auto effect = qortest::makeEffect<NLEFaceBeautyEffect>();
    qortest::expectRefusals(*effect, 1);
}

TEST(NLEFaceBeautyEffectTest, AllLevelsZeroCopiesTheFrame) {
    const cv::Mat picture = qortest::noisePicture(45, 20, 3);
    EXPECT_EQ(qortest::differingBytes(beautified(picture, {0, 0, 0}), picture), 0);
}

// Widths with every alignment: a multiple of 16, cropped (1924, 17) and padded (1930, 23, 8)
// remainders, too narrow to align (5); and frames the smoother refuses (too short), which pass
// through unsmoothed with colour and whitening still applied.
TEST(NLEFaceBeautyEffectTest, EveryWidthAlignmentFollowsTheReference) {
    const struct {
        cv::Size size;
        Levels levels;
    } cases[] = {
        {{1920, 18}, {50, 0, 0}},  {{1924, 18}, {70, 15, 10}}, {{1930, 18}, {30, -20, 40}},
        {{17, 20}, {50, 10, 0}},   {{23, 19}, {100, 0, 8}},    {{8, 16}, {0, 10, 0}},
        {{5, 20}, {50, 30, 20}},   {{64, 15}, {50, 10, 40}},   {{160, 120}, {50, 0, 0}},
    };
    for (const auto& c : cases) {
        const cv::Mat picture = portrait(c.size), result = beautified(picture, c.levels);
        EXPECT_EQ(qortest::differingBytes(result, referenceBeauty(picture, c.levels)), 0) << c.size;
        // Transparent pixels keep the input; opaque ones change.
        EXPECT_EQ(qortest::differingBytes(result.row(1), picture.row(1)), 0) << c.size;
        EXPECT_GT(qortest::differingBytes(result.row(5), picture.row(5)), 0) << c.size;
    }
}

// A frame of whole 16-pixel blocks without black edge pixels is smoothed straight from the
// input; rendering in place must give the same bytes, also when the smoother refuses the level.
TEST(NLEFaceBeautyEffectTest, FramesNeedingNoRepairAlsoRenderInPlace) {
    cv::Mat picture;
    cv::resize(qortest::samplePicture("astronaut.png", 200), picture, {64, 40}, 0, 0, cv::INTER_AREA);
    picture.convertTo(picture, -1, 0.8, 10);  // no saturated or black pixels
    for (const Levels& levels : {Levels{60, 10, 8}, Levels{-30, 10, 0}}) {
        const cv::Mat expected = referenceBeauty(picture, levels);
        EXPECT_EQ(qortest::differingBytes(beautified(picture, levels), expected), 0);
        auto effect = qortest::makeEffect<NLEFaceBeautyEffect>();
        setLevels(*effect, levels);
        cv::Mat frame = picture.clone();
        const tessel::Frame inPlace{frame.data, frame.cols, frame.rows, static_cast<int32_t>(frame.step)};
        EXPECT_EQ(qortest::render(*effect, inPlace, inPlace), 0);
        EXPECT_EQ(qortest::differingBytes(frame, expected), 0) << levels.smooth;
    }
}

// The lite description names the levels "Smoothen", "Color" and "Whiten".
TEST(NLEFaceBeautyEffectTest, LiteNamesGiveTheSameResult) {
    const cv::Mat picture = portrait({48, 40});
    auto lite = qortest::makeEffect<NLEFaceBeautyEffect>();
    qortest::setFloats(*lite, {{"Smoothen", 70}, {"Color", -10}, {"Whiten", 12}});
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*lite, picture), beautified(picture, {70, -10, 12})), 0);
}

// Levels persist (the colour lift is not divided again), frames may change size, and objects on
// different threads do not disturb each other.
TEST(NLEFaceBeautyEffectTest, FramesInSequenceAndOnSeveralThreads) {
    const cv::Mat big = portrait({200, 120}), small = portrait({37, 30});
    const Levels levels{80, 30, 20};
    const cv::Mat expectedBig = referenceBeauty(big, levels), expectedSmall = referenceBeauty(small, levels);
    const auto run = [&](int& failures) {
        auto effect = qortest::makeEffect<NLEFaceBeautyEffect>();
        setLevels(*effect, levels);
        for (int i = 0; i < 3; ++i) {
            failures += qortest::differingBytes(qortest::rendered(*effect, big), expectedBig) != 0;
            failures += qortest::differingBytes(qortest::rendered(*effect, small), expectedSmall) != 0;
        }
    };
    int failures[3] = {};
    std::thread first(run, std::ref(failures[0])), second(run, std::ref(failures[1]));
    run(failures[2]);
    first.join();
    second.join();
    EXPECT_EQ(failures[0] + failures[1] + failures[2], 0);
}

}  // namespace
