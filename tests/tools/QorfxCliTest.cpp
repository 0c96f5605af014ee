// qorfx as a user meets it: the real program, its messages and its exit codes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "support/TestSupport.h"

namespace {

struct CommandResult {
    int exitCode;
    std::string output;  // stdout and stderr together
};

CommandResult qorfx(const std::string& arguments) {
    const std::string command = std::string(QORFX_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, "cannot start qorfx"};
    std::string output;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string example(const std::string& name) { return std::string(QOR_SOURCE_DIR) + "/examples/" + name; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(QorfxList, ShowsEveryEffectOfTheBundledPack) {
    const CommandResult run = qorfx("list");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    int lines = 0;
    for (char c : run.output) lines += c == '\n';
    EXPECT_EQ(lines, 27) << "a heading and 26 effects:\n" << run.output;
    EXPECT_TRUE(contains(run.output, "BED49B76-3BBB-46E6-8030-F00EAC42BF71"));
    EXPECT_TRUE(contains(run.output, "0x1022"));
}

TEST(QorfxDescribe, FindsEffectsByGuidNameOrFolderInAnyCase) {
    for (const char* query : {"BED49B76-3BBB-46E6-8030-F00EAC42BF71", "bed49b76-3bbb-46e6-8030-f00eac42bf71",
                              "\"green channel matte\"", "GREENCHANNELCONTROL"}) {
        const CommandResult run = qorfx(std::string("describe ") + query);
        EXPECT_EQ(run.exitCode, 0) << query << "\n" << run.output;
        EXPECT_TRUE(contains(run.output, "Green Channel Matte")) << run.output;
    }
    const CommandResult sharpen = qorfx("describe Sharpen");
    EXPECT_TRUE(contains(sharpen.output, "amount")) << sharpen.output;
}

TEST(QorfxApply, RendersTheGreenChannelMatteWithAlphaKept) {
    qortest::TempFolder temp;
    const std::string output = temp.path() + "/matte.png";
    const CommandResult run = qorfx("apply GreenChannelControl " + example("astronaut.png") + " " + output + " --second " +
                          example("rocket.jpg"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const cv::Mat picture = cv::imread(output, cv::IMREAD_UNCHANGED);
    ASSERT_EQ(picture.type(), CV_8UC4);
    EXPECT_EQ(picture.size(), cv::Size(512, 512));
}

TEST(QorfxApply, ErrorsSayWhatWasWrongAndLeaveNoFile) {
    qortest::TempFolder temp;
    const std::string output = temp.path() + "/out.png";
    const std::string input = example("astronaut.png");
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"apply GrenChannelControl " + input + " " + output, "did you mean GreenChannelControl"},
        {"apply Sharpen " + input + " " + output + " -p radius=3", "its parameters are: amount"},
        {"apply Sharpen " + input + " " + output + " -p amount=lots", "expected a number in -100..100"},
        {"apply Sharpen " + input + " " + output + " -p amount", "must be written NAME=VALUE"},
        {"apply Sharpen " + temp.path() + "/missing.png " + output, "missing.png: no such file"},
        {"apply Sharpen " + input + " " + temp.path() + "/out.xyz", "use a .png"},
        {"apply GreenChannelControl " + input + " " + output, "failed to render (Render returned 4)"},
        {"apply \"Reserved Effect 88\" " + input + " " + output, "no effect class"},
        {"--effects " + temp.path() + " list", "found no effects"},
        {"--module " + temp.path() + "/nothing.qor list", "cannot find the effect module"},
    };
    for (const auto& c : cases) {
        const CommandResult run = qorfx(c.arguments);
        EXPECT_NE(run.exitCode, 0) << c.arguments;
        EXPECT_TRUE(contains(run.output, c.message)) << c.arguments << "\n" << run.output;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.arguments;
    }
}

TEST(QorfxApply, SecondInputIsFittedToTheInputAndOutputsTakeTheirOwnSize) {
    qortest::TempFolder temp;
    const std::string output = temp.path() + "/window.png";
    const CommandResult run = qorfx("apply Motion " + example("astronaut.png") + " " + output + " --second " +
                                    example("rocket.jpg") + " -p curScaleX=0.5 -p curScaleY=0.5 --size 256x256");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const cv::Mat picture = cv::imread(output, cv::IMREAD_UNCHANGED);
    EXPECT_EQ(picture.size(), cv::Size(256, 256));
    EXPECT_GT(cv::countNonZero(picture.reshape(1)), 0);
    EXPECT_FALSE(contains(run.output, "fully transparent"));

    const CommandResult blank = qorfx("apply Motion " + example("astronaut.png") + " " + output + " --second " +
                                      example("rocket.jpg") + " -p curScaleX=0.5 -p curScaleY=0.5");
    EXPECT_EQ(blank.exitCode, 0);
    EXPECT_TRUE(contains(blank.output, "fully transparent black")) << blank.output;
}

TEST(QorfxDetectSkin, WritesAGreyMaskWhiteOnTheFace) {
    qortest::TempFolder temp;
    const std::string mask = temp.path() + "/mask.png";
    const CommandResult run = qorfx("detect-skin " + example("astronaut.png") + " " + mask);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const cv::Mat picture = cv::imread(mask, cv::IMREAD_GRAYSCALE);
    ASSERT_EQ(picture.size(), cv::Size(512, 512));
    EXPECT_GT(cv::mean(picture(cv::Rect(195, 105, 50, 50)))[0], 200);
    EXPECT_LT(cv::mean(picture(cv::Rect(50, 330, 70, 70)))[0], 40);

    const CommandResult missing = qorfx("--ai-dir " + temp.path() + " detect-skin " + example("astronaut.png") + " " +
                                        temp.path() + "/none.png");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.output, "--ai-dir")) << missing.output;
    EXPECT_FALSE(std::filesystem::exists(temp.path() + "/none.png"));
}

TEST(QorfxApply, AnUnreadableAiResultIsAUsageError) {
    qortest::TempFolder temp;
    const CommandResult run = qorfx("apply Sharpen " + example("chelsea.png") + " " + temp.path() +
                                    "/out.png --ai-result " + temp.path() + "/no-mask.png");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.output, "no-mask.png")) << run.output;
}

// Colour matching towards a cold blue keeps the face's colours only with "skinProtect" 100, and a
// host mask of white everywhere gives back the input.
TEST(QorfxApply, SkinProtectionKeepsTheFaceOutOfColourMatching) {
    qortest::TempFolder temp;
    const std::string input = example("astronaut.png"), reference = temp.path() + "/cold.png";
    cv::Mat cold(32, 32, CV_8UC3);
    cv::randu(cold, cv::Scalar(160, 90, 20), cv::Scalar(240, 150, 60));
    cv::imwrite(reference, cold);
    const std::string blue = " --reference " + reference;
    for (const char* effect : {"MatchColor", "MatchColorV2"}) {
        const std::string plain = temp.path() + "/plain.png", kept = temp.path() + "/kept.png";
        const CommandResult first = qorfx(std::string("apply ") + effect + " " + input + " " + plain + blue);
        ASSERT_EQ(first.exitCode, 0) << first.output;
        ASSERT_EQ(qorfx(std::string("apply ") + effect + " " + input + " " + kept + blue + " -p skinProtect=100").exitCode, 0);
        const cv::Rect face(195, 105, 50, 50);
        const cv::Mat original = cv::imread(input)(face);
        EXPECT_LT(cv::norm(cv::imread(kept)(face), original, cv::NORM_L1) * 3,
                  cv::norm(cv::imread(plain)(face), original, cv::NORM_L1)) << effect;

        const std::string white = temp.path() + "/white.png", restored = temp.path() + "/restored.png";
        cv::imwrite(white, cv::Mat(8, 8, CV_8UC1, cv::Scalar(255)));
        ASSERT_EQ(qorfx(std::string("apply ") + effect + " " + input + " " + restored + blue +
                        " -p skinProtect=100 --ai-result " + white).exitCode, 0);
        EXPECT_EQ(cv::norm(cv::imread(restored), cv::imread(input), cv::NORM_INF), 0) << effect;
    }
}
