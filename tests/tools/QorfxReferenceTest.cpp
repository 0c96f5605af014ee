// `qorfx apply ... --reference`: colour matching one picture to another in one command.

#include <gtest/gtest.h>

#include <filesystem>

#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"
#include "support/TestSupport.h"
#include "tools/QorfxRun.h"

using namespace qorfxtest;

namespace {

// Mean α and β of a picture file, as the first colour match measures them.
cv::Vec2f meanAlphaBeta(const std::string& path) {
    cv::Mat picture = cv::imread(path, cv::IMREAD_COLOR);
    cv::cvtColor(picture, picture, cv::COLOR_BGR2BGRA);
    std::array<float, 6> targets{};
    EXPECT_TRUE(labColour::firstVersionTargets(
        {picture.data, picture.cols, picture.rows, static_cast<int32_t>(picture.step)}, targets));
    return {targets[1], targets[2]};
}

}  // namespace

// The astronaut (warm suit, grey backdrop) matched to the rocket at dusk (deep blue): the result's
// mean α and β lie at least twice as close to the rocket's as the astronaut's do.
TEST(QorfxReference, MatchesOneBundledPictureToAnother) {
    qortest::TempFolder folder;
    const cv::Vec2f source = meanAlphaBeta(example("astronaut.png")), reference = meanAlphaBeta(example("rocket.jpg"));
    for (const char* effect : {"MatchColor", "MatchColorV2"}) {
        const std::string out = folder.path() + "/" + effect + ".png";
        const CommandResult run = runQorfx(std::string("apply ") + effect + " " + example("astronaut.png") + " " + out +
                                           " --reference " + example("rocket.jpg"));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const cv::Vec2f matched = meanAlphaBeta(out);
        EXPECT_LT(cv::norm(matched - reference), 0.5 * cv::norm(source - reference))
            << effect << ": " << matched << " from " << source << " towards " << reference;
    }
}

// Values given with -p win over the measured ones: switched off, the picture passes unchanged.
TEST(QorfxReference, ExplicitValuesWin) {
    qortest::TempFolder folder;
    const std::string out = folder.path() + "/off.png";
    const CommandResult run = runQorfx("apply MatchColor " + example("chelsea.png") + " " + out + " --reference " +
                                       example("rocket.jpg") + " -p Enabled=off");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(qortest::differingBytes(cv::imread(out, cv::IMREAD_UNCHANGED), qortest::samplePicture("chelsea.png")), 0);
}

TEST(QorfxReference, OtherEffectsAndUnreadablePicturesFailWithoutOutput) {
    qortest::TempFolder folder;
    const std::string out = folder.path() + "/out.png";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"apply Sharpen " + example("chelsea.png") + " " + out + " --reference " + example("rocket.jpg"),
         "Sharpen does not match colours"},
        {"apply MatchColorV2 " + example("chelsea.png") + " " + out + " --reference " + folder.path() + "/none.png",
         "none.png"},
    };
    for (const auto& c : cases) {
        const CommandResult run = runQorfx(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_TRUE(contains(run.output, c.message)) << run.output;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}
