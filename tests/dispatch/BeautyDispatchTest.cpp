#include <gtest/gtest.h>

#include "dispatch/DispatchPaths.h"
#include "framework/rbfilter/CRBFilterSSE2.h"
#include "plugins/qorCommonFxPlugin/beauty/FaceBeautyBlend.h"
#include "support/TestSupport.h"

namespace {

using tessel::SimdPath;

struct FilterRun {
    cv::Mat picture;
    int tasks;
    bool pipelined;
    int paddingPixels;
    float sigmaSpatial, sigmaRange;
};

// The filter's output on `path`, in rows padded by `paddingPixels` whose padding must stay as it
// was.
cv::Mat filteredOn(SimdPath path, const FilterRun& run) {
    const cv::Mat& in = run.picture;
    CRBFilterSSE2 filter(path);
    EXPECT_TRUE(filter.init(in.cols, in.rows, run.tasks, run.pipelined));
    filter.setSigmas(run.sigmaSpatial, run.sigmaRange);
    cv::Mat inBuffer(in.rows, in.cols + run.paddingPixels, CV_8UC4, cv::Scalar::all(0x3C));
    cv::Mat outBuffer(inBuffer.size(), CV_8UC4, cv::Scalar::all(0xA5));
    const cv::Rect area(0, 0, in.cols, in.rows);
    in.copyTo(inBuffer(area));
    EXPECT_TRUE(filter.filter(outBuffer.data, inBuffer.data, in.cols, in.rows, static_cast<int32_t>(outBuffer.step)));
    filter.flush();
    if (run.paddingPixels > 0) {
        EXPECT_EQ(cv::countNonZero(outBuffer.colRange(in.cols, outBuffer.cols).reshape(1) != 0xA5), 0);
    }
    return outBuffer(area).clone();
}

TEST(BeautyDispatchTest, BilateralFilterGivesTheSse2BytesOnEveryPath) {
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 170);
    const FilterRun runs[] = {
        {qortest::noisePicture(16, 16, 1), 4, true, 0, 0.25f, 0.025f},
        {qortest::noisePicture(37, 23, 2), 3, true, 5, 0.5f, 0.05f},
        {qortest::noisePicture(101, 41, 3), 8, false, 1, 0.005f, 0.0005f},
        {qortest::noisePicture(66, 19, 4), 1, true, 0, 0.1f, 0.4f},
        {qortest::noisePicture(1930, 29, 5), 4, true, 3, 0.25f, 0.025f},
        {photo(cv::Rect(100, 60, 203, 151)).clone(), 4, true, 2, 0.25f, 0.025f},
        {photo, 2, true, 0, 0.4f, 0.04f},
    };
    for (const FilterRun& run : runs) {
        const cv::Mat baseline = filteredOn(SimdPath::sse2, run);
        dispatch_testing::forEachWiderPath([&](SimdPath path) {
            EXPECT_EQ(qortest::differingBytes(filteredOn(path, run), baseline), 0)
                << run.picture.cols << "x" << run.picture.rows << " tasks " << run.tasks;
        });
    }
}

// Face beauty's tables: red (or blue) raised by `raise`, every colour by `whiten`.
beauty::LiftTables liftTables(double raise, double whiten, int raisedChannel) {
    const beauty::ByteTable raised = beauty::offsetTable(raise), whitened = beauty::offsetTable(whiten);
    beauty::ColourTables tables;
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 256; ++v) tables[k][v] = whitened[k == raisedChannel ? raised[v] : v];
    }
    return beauty::LiftTables(tables);
}

// Shifts with ties to even (0.5, 2.5), negative and saturating ones, and tables that are no
// shift (a negative whitening after a raise that saturates; a raise past 255), over odd pixel
// counts and in place.
TEST(BeautyDispatchTest, LayingColoursOverTheInputGivesTheSse2BytesOnEveryPath) {
    const struct {
        double raise, whiten;
        int raisedChannel;
        bool shiftable;
    } cases[] = {{2.0, 5.0, 2, true},  {0.5, 2.5, 0, true},  {1.5, 0.0, 2, true},
                 {300.0, 0.0, 2, false}, {0.0, -7.25, 0, true}, {30.0, -40.0, 2, false}};
    const cv::Mat in = qortest::noisePicture(203, 3, 8), smoothed = qortest::noisePicture(203, 3, 9);
    for (const auto& c : cases) {
        const beauty::LiftTables lift = liftTables(c.raise, c.whiten, c.raisedChannel);
        EXPECT_EQ(lift.shiftable, c.shiftable) << c.raise << " " << c.whiten;
        for (int row = 0; row < in.rows; ++row) {
            const int count = in.cols - 2 * row;
            cv::Mat baseline = in.row(row).clone();
            beauty::kLayOver.sse2(in.ptr(row), smoothed.ptr(row), baseline.data, count, lift);
            dispatch_testing::forEachWiderPath([&](SimdPath path) {
                cv::Mat inPlace = in.row(row).clone();
                beauty::kLayOver.at(path)(inPlace.data, smoothed.ptr(row), inPlace.data, count, lift);
                EXPECT_EQ(qortest::differingBytes(inPlace, baseline), 0) << c.raise << " " << c.whiten << " " << count;
            });
        }
    }
}

}  // namespace
