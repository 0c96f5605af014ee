// qorfx rendering: chains against their stages run one by one, sequences against single pictures at
// the same times, presets against -p, refused frames, and the gallery.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/TestSupport.h"
#include "tools/QorfxRun.h"

using namespace qorfxtest;
namespace fs = std::filesystem;

namespace {

// A picture with an odd width and alpha below 255, stored losslessly.
std::string translucentPicture(const qortest::TempFolder& temp, const std::string& name) {
    cv::Mat picture = qortest::samplePicture("chelsea.png", 180);
    picture = picture(cv::Rect(0, 0, 301, 200)).clone();
    const std::string path = temp.path() + "/" + name;
    cv::imwrite(path, picture);
    return path;
}

void expectSamePicture(const std::string& a, const std::string& b) {
    const cv::Mat first = readBack(a), second = readBack(b);
    ASSERT_FALSE(first.empty()) << a;
    ASSERT_FALSE(second.empty()) << b;
    ASSERT_EQ(first.size(), second.size()) << a << " " << b;
    EXPECT_EQ(qortest::differingBytes(first, second), 0) << a << " against " << b;
}

}  // namespace

TEST(QorfxApply, ChainEqualsItsEffectsAppliedOneAfterTheOther) {
    qortest::TempFolder temp;
    const std::string input = translucentPicture(temp, "in.png");
    const std::string chained = temp.path() + "/chained.png", first = temp.path() + "/first.png",
                      second = temp.path() + "/second.png";
    ASSERT_EQ(runQorfx("apply -e Sharpen -p amount=80 -e Border -p amp=20 " + input + " " + chained).exitCode, 0);
    ASSERT_EQ(runQorfx("apply Sharpen " + input + " " + first + " -p amount=80").exitCode, 0);
    ASSERT_EQ(runQorfx("apply Border " + first + " " + second + " -p amp=20").exitCode, 0);
    expectSamePicture(chained, second);
}

TEST(QorfxApply, PresetsSetWhatParamsSet) {
    qortest::TempFolder temp;
    const std::string input = translucentPicture(temp, "in.png");
    const std::string skeleton = temp.path() + "/skeleton.json";
    ASSERT_EQ(runQorfx("describe --json Border > " + skeleton, "2>/dev/null").exitCode, 0);
    const std::string preset = temp.write("border.json", R"({"amp": 25, "R": 0.5, "opacity": "0@0,1@1"})");
    ASSERT_EQ(runQorfx("apply Border " + input + " " + temp.path() + "/a.png --params " + preset + " --time 500").exitCode, 0);
    ASSERT_EQ(runQorfx("apply Border " + input + " " + temp.path() + "/b.png -p amp=25 -p R=0.5 -p opacity=0.5").exitCode, 0);
    expectSamePicture(temp.path() + "/a.png", temp.path() + "/b.png");
    ASSERT_EQ(runQorfx("apply Border " + input + " " + temp.path() + "/c.png --params " + skeleton).exitCode, 0);
    ASSERT_EQ(runQorfx("apply Border " + input + " " + temp.path() + "/d.png").exitCode, 0);
    expectSamePicture(temp.path() + "/c.png", temp.path() + "/d.png");
}

// Frame i of a keyframed sequence equals one picture rendered with the value at i / 25 s.
TEST(QorfxSequence, FramesGetTheirTimesBothWays) {
    qortest::TempFolder temp;
    const std::string frames = temp.folder("frames");
    for (int i = 1; i <= 4; ++i) translucentPicture(temp, "frames/f_000" + std::to_string(i) + ".png");
    const std::string keyframes = " -p amp=0@0,40@2f --quiet";
    const CommandResult patterned =
        runQorfx("apply Border " + frames + "/f_%04d.png " + temp.path() + "/out/o_%03d.png" + keyframes);
    ASSERT_EQ(patterned.exitCode, 0) << patterned.output;
    EXPECT_TRUE(contains(patterned.output, "4 frames written")) << patterned.output;
    ASSERT_EQ(runQorfx("apply Border " + frames + " " + temp.path() + "/folder" + keyframes).exitCode, 0);
    const int amps[] = {0, 20, 40, 40};
    for (int i = 0; i < 4; ++i) {
        const std::string single = temp.path() + "/single" + std::to_string(i) + ".png";
        ASSERT_EQ(runQorfx("apply Border " + frames + "/f_0001.png " + single + " -p amp=" + std::to_string(amps[i]))
                      .exitCode,
                  0);
        expectSamePicture(temp.path() + "/out/o_00" + std::to_string(i + 1) + ".png", single);
        expectSamePicture(temp.path() + "/folder/f_000" + std::to_string(i + 1) + ".png", single);
    }
}

TEST(QorfxSequence, RefusedFramesPassThroughUnlessStrict) {
    qortest::TempFolder temp;
    temp.folder("in");
    for (int i = 0; i < 2; ++i) translucentPicture(temp, "in/" + std::to_string(i) + ".png");
    const CommandResult run = runQorfx("apply GreenChannelControl " + temp.path() + "/in " + temp.path() + "/out");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "2 passed through unchanged")) << run.output;
    expectSamePicture(temp.path() + "/out/0.png", temp.path() + "/in/0.png");

    const CommandResult strict = runQorfx("apply GreenChannelControl " + temp.path() + "/in " + temp.path() + "/strict --strict");
    EXPECT_EQ(strict.exitCode, 4) << strict.output;
    EXPECT_TRUE(contains(strict.output, "Green Channel Matte refused frame")) << strict.output;
}

// Every creatable effect's gallery setting visibly changes the portrait (at least 1 % of the bytes by
// more than 8 levels: the beauty effects are gentle by design); the sheet holds them all.
TEST(QorfxGallery, EveryCreatableEffectShowsItsEffect) {
    qortest::TempFolder temp;
    const std::string portrait = example("astronaut.png");
    const CommandResult folder = runQorfx("gallery " + portrait + " " + temp.path() + "/tiles", "2>&1");
    ASSERT_EQ(folder.exitCode, 0) << folder.output;
    const cv::Mat original = qortest::samplePicture("astronaut.png");
    int tiles = 0;
    for (const auto& entry : fs::directory_iterator(temp.path() + "/tiles")) {
        const cv::Mat result = readBack(entry.path().string());
        ASSERT_EQ(result.size(), original.size()) << entry.path();
        cv::Mat difference, changed;
        cv::absdiff(result, original, difference);
        cv::threshold(difference.reshape(1), changed, 8, 255, cv::THRESH_BINARY);
        EXPECT_GT(cv::countNonZero(changed), static_cast<int>(difference.total()) / 100)
            << entry.path() << " barely differs from the portrait";
        ++tiles;
    }
    const CommandResult list = runQorfx("list", "2>/dev/null");
    int creatable = 0;
    for (std::size_t at = 0; (at = list.output.find(" yes\n", at)) != std::string::npos; ++at) ++creatable;
    EXPECT_EQ(tiles, creatable);

    const CommandResult sheet = runQorfx("gallery " + portrait + " " + temp.path() + "/sheet.png");
    ASSERT_EQ(sheet.exitCode, 0) << sheet.output;
    EXPECT_FALSE(readBack(temp.path() + "/sheet.png").empty());
}
