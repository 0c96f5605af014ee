// qorfx as a user meets it: the real program, its messages and its exit codes.

#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"
#include "tools/QorfxRun.h"
#include "tools/qorfx/ModuleHost.h"

using namespace qorfxtest;

TEST(QorfxList, ShowsEveryEffectOfTheBundledPack) {
    const CommandResult run = runQorfx("list");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    int lines = 0;
    for (char c : run.output) lines += c == '\n';
    EXPECT_EQ(lines, 27) << "a heading and 26 effects:\n" << run.output;
    EXPECT_TRUE(contains(run.output, "BED49B76-3BBB-46E6-8030-F00EAC42BF71"));
    EXPECT_TRUE(contains(run.output, "0x1022"));
    EXPECT_TRUE(contains(run.output, "Reserved Effect 88               56A91214-616D-4C81-B857-EDC89D770CC2   0x1022     "
                                     "0      none"))
        << "effects without a class are marked";
}

TEST(QorfxCommandLine, UsageErrorsExitOneWithAQorfxMessage) {
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"lsit", "unknown command \"lsit\"; the commands are list, describe"},
        {"", "no command given"},
        {"--bogus list", "qorfx: The following argument was not expected: --bogus"},
        {"describe", "qorfx: EFFECT is required (`qorfx describe --help`"},
        {"apply Sharpen in.png", "apply needs EFFECT INPUT OUTPUT"},
        {"apply in.png out.png -p amount=3 -e Sharpen", "comes before any -e EFFECT"},
        {"apply --fps 0 Sharpen in.png out.png", "qorfx: --fps"},
    };
    for (const auto& c : cases) {
        const CommandResult run = runQorfx(c.arguments, "2>&1 >/dev/null");
        EXPECT_EQ(run.exitCode, 1) << c.arguments << "\n" << run.output;
        EXPECT_TRUE(contains(run.output, c.message)) << c.arguments << "\n" << run.output;
    }
    const CommandResult version = runQorfx("--version", "2>/dev/null");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(contains(version.output, "qorfx ")) << version.output;
    EXPECT_EQ(runQorfx("list -v").exitCode, 0) << "-v is accepted after the command";
}

TEST(QorfxDescribe, FindsEffectsByGuidNameOrFolderInAnyCase) {
    for (const char* query : {"BED49B76-3BBB-46E6-8030-F00EAC42BF71", "bed49b76-3bbb-46e6-8030-f00eac42bf71",
                              "\"green channel matte\"", "GREENCHANNELCONTROL"}) {
        const CommandResult run = runQorfx(std::string("describe ") + query);
        EXPECT_EQ(run.exitCode, 0) << query << "\n" << run.output;
        EXPECT_TRUE(contains(run.output, "Green Channel Matte")) << run.output;
    }
    const CommandResult sharpen = runQorfx("describe Sharpen");
    EXPECT_TRUE(contains(sharpen.output, "amount")) << sharpen.output;
}

TEST(QorfxApply, RendersTheGreenChannelMatteWithAlphaKept) {
    qortest::TempFolder temp;
    const std::string output = temp.path() + "/matte.png";
    const CommandResult run = runQorfx("apply GreenChannelControl " + example("astronaut.png") + " " + output + " --second " +
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
        {"apply Sharpen " + input + " " + output + " -p amount=10@2,0@1", "out of order"},
        {"apply RGBCurves " + input + " " + output + " -p rKnots=1@0,2@1", "animate number parameters only"},
        {"apply Sharpen " + input + " " + output + " --params " + temp.write("p.json", R"({"radius": 3})"),
         "has no parameter \"radius\""},
        {"apply Sharpen " + input + " " + output + " --params " + temp.write("q.json", "[1]"), "not a JSON object"},
        {"apply Sharpen " + temp.path() + "/f_%04d.png " + temp.path() + "/o_%04d.png", "no file matches"},
        {"apply Sharpen " + temp.write("broken.png", "not a picture") + " " + output, "broken.png"},
        {"apply Sharpen " + input + " " + temp.path() + "/out_%04d.png", "needs a numbered input"},
        {"--module " + temp.path() + "/nothing.qor list", "cannot find the effect module"},
    };
    for (const auto& c : cases) {
        const CommandResult run = runQorfx(c.arguments);
        EXPECT_NE(run.exitCode, 0) << c.arguments;
        EXPECT_TRUE(contains(run.output, c.message)) << c.arguments << "\n" << run.output;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.arguments;
    }
}

TEST(QorfxApply, SecondInputIsFittedToTheInputAndOutputsTakeTheirOwnSize) {
    qortest::TempFolder temp;
    const std::string output = temp.path() + "/window.png";
    const CommandResult run = runQorfx("apply Motion " + example("astronaut.png") + " " + output + " --second " +
                                    example("rocket.jpg") + " -p curScaleX=0.5 -p curScaleY=0.5 --size 256x256");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const cv::Mat picture = cv::imread(output, cv::IMREAD_UNCHANGED);
    EXPECT_EQ(picture.size(), cv::Size(256, 256));
    EXPECT_GT(cv::countNonZero(picture.reshape(1)), 0);
    EXPECT_FALSE(contains(run.output, "fully transparent"));

    const CommandResult blank = runQorfx("apply Motion " + example("astronaut.png") + " " + output + " --second " +
                                      example("rocket.jpg") + " -p curScaleX=0.5 -p curScaleY=0.5");
    EXPECT_EQ(blank.exitCode, 0);
    EXPECT_TRUE(contains(blank.output, "fully transparent black")) << blank.output;
}

TEST(QorfxDetectSkin, WritesAGreyMaskWhiteOnTheFace) {
    qortest::TempFolder temp;
    const std::string mask = temp.path() + "/mask.png";
    const CommandResult run = runQorfx("detect-skin " + example("astronaut.png") + " " + mask);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const cv::Mat picture = cv::imread(mask, cv::IMREAD_GRAYSCALE);
    ASSERT_EQ(picture.size(), cv::Size(512, 512));
    EXPECT_GT(cv::mean(picture(cv::Rect(195, 105, 50, 50)))[0], 200);
    EXPECT_LT(cv::mean(picture(cv::Rect(50, 330, 70, 70)))[0], 40);

    const CommandResult missing = runQorfx("--ai-dir " + temp.path() + " detect-skin " + example("astronaut.png") + " " +
                                        temp.path() + "/none.png");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.output, "--ai-dir")) << missing.output;
    EXPECT_FALSE(std::filesystem::exists(temp.path() + "/none.png"));
}

TEST(QorfxApply, AnUnreadableAiResultIsAUsageError) {
    qortest::TempFolder temp;
    const CommandResult run = runQorfx("apply Sharpen " + example("chelsea.png") + " " + temp.path() +
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
        const CommandResult first = runQorfx(std::string("apply ") + effect + " " + input + " " + plain + blue);
        ASSERT_EQ(first.exitCode, 0) << first.output;
        ASSERT_EQ(runQorfx(std::string("apply ") + effect + " " + input + " " + kept + blue + " -p skinProtect=100").exitCode, 0);
        const cv::Rect face(195, 105, 50, 50);
        const cv::Mat original = cv::imread(input)(face);
        EXPECT_LT(cv::norm(cv::imread(kept)(face), original, cv::NORM_L1) * 3,
                  cv::norm(cv::imread(plain)(face), original, cv::NORM_L1)) << effect;

        const std::string white = temp.path() + "/white.png", restored = temp.path() + "/restored.png";
        cv::imwrite(white, cv::Mat(8, 8, CV_8UC1, cv::Scalar(255)));
        ASSERT_EQ(runQorfx(std::string("apply ") + effect + " " + input + " " + restored + blue +
                        " -p skinProtect=100 --ai-result " + white).exitCode, 0);
        EXPECT_EQ(cv::norm(cv::imread(restored), cv::imread(input), cv::NORM_INF), 0) << effect;
    }
}
TEST(QorfxDescribe, JsonIsTheRegistrarsRecord) {
    qorfx::ModuleHost host({std::string(QOR_SOURCE_DIR) + "/effects", ""});
    std::string error;
    ASSERT_TRUE(host.load(QOR_MODULE_PATH, error)) << error;
    host.startup();
    host.registerAll();
    for (const auto& effect : host.registrar().effects) {
        const CommandResult run = runQorfx("describe --json " + effect.guid, "2>/dev/null");
        ASSERT_EQ(run.exitCode, 0) << effect.name;
        const auto record = nlohmann::json::parse(run.output);
        EXPECT_EQ(record["name"], effect.name);
        EXPECT_EQ(record["flags"], effect.flags);
        EXPECT_EQ(record["dependentEffects"], effect.dependentEffects);
        ASSERT_EQ(record["params"].size(), effect.params.size()) << effect.name;
        for (std::size_t i = 0; i < effect.params.size(); ++i) {
            const auto& announced = effect.params[i];
            const auto& param = record["params"][i];
            EXPECT_EQ(param["name"], announced.name);
            EXPECT_EQ(param["alias"], announced.name2);
            EXPECT_EQ(param["operation"], qorfx::widgetName(announced.widget));
            if (announced.isNumeric()) {
                EXPECT_EQ(param["min"], announced.minimum()) << announced.name;
                EXPECT_EQ(param["max"], announced.maximum()) << announced.name;
                EXPECT_EQ(param["default"], announced.defaultValue()) << announced.name;
            }
            EXPECT_TRUE(record["preset"].contains(announced.name));
        }
    }
}

TEST(QorfxValidate, ReportsEachFaultOnceWithItsFile) {
    qortest::TempFolder temp;
    const std::string pack = "qor_effect/plugin/CommonFx/";
    struct Case {
        std::string folder;
        std::string description;
        std::string message;
    };
    const std::string sharpen = R"({"GUID": "616D7BAC-39DB-415A-9EEA-798678A43617", "PARAMS": [{"NAME": "amount", )";
    const Case cases[] = {
        {"Json", R"({"GUID": )", "not valid JSON"},
        {"Guid", R"({"GUID": "616d7bac-39db-415a-9eea-798678a43617"})", "is not one of the module's effects"},
        {"Types", R"({"GUID": "BED49B76-3BBB-46E6-8030-F00EAC42BF71", "DYNAMIC": 0})", "\"DYNAMIC\" must be a JSON string"},
        {"Limits", sharpen + R"("TYPE": "float", "MIN": 0}]})", "lacks MIN, MAX or DEFAULT"},
        {"Range", sharpen + R"("TYPE": "float", "MIN": 0, "MAX": 1, "DEFAULT": 2}]})", "DEFAULT lies outside MIN..MAX"},
        {"Word", sharpen + R"("TYPE": "Float"}]})", "the module drops the parameter"},
        {"Kind", sharpen + R"("TYPE": "int", "MIN": 0, "MAX": 1, "DEFAULT": 0}]})", "the effect reads it as float"},
        {"Missing", R"({"GUID": "616D7BAC-39DB-415A-9EEA-798678A43617"})", "reads the float parameter \"amount\""},
    };
    for (const auto& c : cases) temp.write(pack + c.folder + "/description.json", c.description);
    const CommandResult run = runQorfx("validate " + temp.path(), "2>&1");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    for (const auto& c : cases) {
        const std::string line = temp.path() + "/" + pack + c.folder + "/description.json: ";
        const auto first = run.output.find(line);
        EXPECT_NE(first, std::string::npos) << c.folder << "\n" << run.output;
        EXPECT_EQ(run.output.find(line, first + 1), std::string::npos) << c.folder << " reported twice";
        EXPECT_TRUE(contains(run.output.substr(first, run.output.find('\n', first) - first), c.message))
            << c.folder << "\n" << run.output;
    }
    EXPECT_TRUE(contains(run.output, "8 problems found"));
}

TEST(QorfxValidate, TheBundledPackIsClean) {
    const CommandResult run = runQorfx("validate " + std::string(QOR_SOURCE_DIR) + "/effects");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}
