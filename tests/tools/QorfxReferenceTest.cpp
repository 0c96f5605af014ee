// `qorfx apply ... --reference`: colour matching one picture to another in one command.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"
#include "support/TestSupport.h"

namespace {

struct QorfxRun {
    int exitCode;
    std::string messages;
};

QorfxRun runQorfx(const qortest::TempFolder& folder, const std::string& arguments) {
    const std::string log = folder.path() + "/qorfx.log";
    const int status = std::system((std::string(QORFX_PATH) + " " + arguments + " > " + log + " 2>&1").c_str());
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

std::string example(const std::string& name) { return std::string(QOR_SOURCE_DIR) + "/examples/" + name; }

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
        const QorfxRun run = runQorfx(folder, std::string("apply ") + effect + " " + example("astronaut.png") + " " + out +
                                             " --reference " + example("rocket.jpg"));
        ASSERT_EQ(run.exitCode, 0) << run.messages;
        const cv::Vec2f matched = meanAlphaBeta(out);
        EXPECT_LT(cv::norm(matched - reference), 0.5 * cv::norm(source - reference))
            << effect << ": " << matched << " from " << source << " towards " << reference;
    }
}

// Values given with -p win over the measured ones: switched off, the picture passes unchanged.
TEST(QorfxReference, ExplicitValuesWin) {
    qortest::TempFolder folder;
    const std::string out = folder.path() + "/off.png";
    const QorfxRun run = runQorfx(folder, "apply MatchColor " + example("chelsea.png") + " " + out + " --reference " +
                                         example("rocket.jpg") + " -p Enabled=off");
    ASSERT_EQ(run.exitCode, 0) << run.messages;
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
        const QorfxRun run = runQorfx(folder, c.arguments);
        EXPECT_EQ(run.exitCode, 1) << run.messages;
        EXPECT_NE(run.messages.find(c.message), std::string::npos) << run.messages;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}
