// The plug-ins in the real clients: ffmpeg's frei0r filter and melt (the engine of Shotcut and
// Kdenlive), on small generated clips with sound.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <opencv2/imgcodecs.hpp>

#include <sys/wait.h>

#include "PluginFiles.h"
#include "support/TestSupport.h"

namespace qortest {

namespace {

struct CommandRun {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Runs a shell command with FREI0R_PATH set to `pluginFolder` (the built plug-ins by default), and
// in a sanitized build with the sanitizer's runtime.
CommandRun run(const std::string& command, const std::string& pluginFolder = QOR_FREI0R_DIR) {
    const TempFolder folder;
    const std::string log = folder.path() + "/output.txt";
    const std::string environment = std::string(QOR_CLIENT_ENVIRONMENT) + " FREI0R_PATH='" + pluginFolder + "' ";
    const int status = std::system((environment + command + " >'" + log + "' 2>&1").c_str());
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

// melt itself now and then hangs before its consumer starts when the machine is busy (with or
// without our plug-ins), so a run that times out is tried again.
CommandRun melt(const std::string& arguments) {
    constexpr int kTimedOut = 124;
    CommandRun result{kTimedOut, {}};
    for (int attempt = 0; attempt < 3 && result.exitCode == kTimedOut; ++attempt) {
        result = run("timeout 60 melt " + arguments);
    }
    return result;
}

// "video,25/1,10" and "audio,0/0,18": stream kind, frame rate and frames counted by decoding.
std::string streams(const std::string& file) {
    return run("ffprobe -v error -count_frames -show_entries stream=codec_type,r_frame_rate,nb_read_frames "
               "-of csv=p=0 '" + file + "'").output;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Ten frames at 25 fps of a moving test picture with a tone, losslessly stored.
class Frei0rClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [file, source] : {std::pair{&clip, "testsrc2"}, {&second, "smptebars"}}) {
            *file = folder.path() + "/" + source + ".mkv";
            const CommandRun made = run(std::string("ffmpeg -v error -f lavfi -i ") + source +
                                 "=size=160x120:rate=25:duration=0.4 -f lavfi -i sine=frequency=440:duration=0.4 "
                                 "-c:v ffv1 -c:a pcm_s16le '" + *file + "'");
            ASSERT_EQ(made.exitCode, 0) << made.output;
        }
    }

    TempFolder folder;
    std::string clip;
    std::string second;
};

}  // namespace

TEST_F(Frei0rClipTest, FfmpegChainsTwoPluginsAndKeepsFramesRateAndSound) {
    const std::string out = folder.path() + "/chain.mkv";
    const CommandRun chain = run("ffmpeg -v error -i '" + clip +
                          "' -vf frei0r=qor_sharpen:0.9,frei0r=qor_pixelrotate:0.75 -c:v ffv1 -c:a copy '" + out + "'");
    ASSERT_EQ(chain.exitCode, 0) << chain.output;
    EXPECT_EQ(streams(out), streams(clip));
    EXPECT_TRUE(contains(streams(out), "audio"));
}

TEST_F(Frei0rClipTest, MeltAnimatesAFilterParameterAndMixesTwoTracks) {
    const std::string filtered = folder.path() + "/keyframed.mkv";
    const CommandRun keyframed = melt("'" + clip + "' -filter frei0r.qor_sharpen 0='0=0.2;9=1.0' -consumer avformat:" +
                              filtered + " vcodec=ffv1 acodec=pcm_s16le");
    ASSERT_EQ(keyframed.exitCode, 0) << keyframed.output;
    EXPECT_TRUE(contains(streams(filtered), "video,25/1,10")) << streams(filtered);

    const std::string mixed = folder.path() + "/mixed.mkv";
    const CommandRun transition = melt("'" + clip + "' -track '" + second +
                               "' -transition frei0r.qor_compareview 0=0.75 a_track=0 b_track=1 -consumer avformat:" +
                               mixed + " vcodec=ffv1 an=1");
    ASSERT_EQ(transition.exitCode, 0) << transition.output;
    EXPECT_TRUE(contains(streams(mixed), "video,25/1,10")) << streams(mixed);
}

TEST(Frei0rClients, AFrameThroughFfmpegEqualsTheSameFrameFromQorfx) {
    const TempFolder folder;
    // ffmpeg pads rows to 64 bytes and hands frei0r its padded frames as they are, so the width
    // is kept to a multiple of 16 pixels.
    const std::string input = folder.path() + "/coffee.png";
    ASSERT_TRUE(cv::imwrite(input, samplePicture("coffee.png", 200)(cv::Rect(0, 0, 592, 400))));
    const std::string viaFfmpeg = folder.path() + "/ffmpeg.png";
    const std::string viaQorfx = folder.path() + "/qorfx.png";
    // amount 0.9 of -100..100 is 80
    const CommandRun ffmpeg = run("ffmpeg -v error -i '" + input + "' -vf frei0r=qor_sharpen:0.9 '" + viaFfmpeg + "'");
    ASSERT_EQ(ffmpeg.exitCode, 0) << ffmpeg.output;
    const CommandRun qorfx = run(std::string(QORFX_PATH) + " apply Sharpen '" + input + "' '" + viaQorfx + "' -p amount=80");
    ASSERT_EQ(qorfx.exitCode, 0) << qorfx.output;
    const cv::Mat a = cv::imread(viaFfmpeg, cv::IMREAD_UNCHANGED), b = cv::imread(viaQorfx, cv::IMREAD_UNCHANGED);
    ASSERT_EQ(a.type(), CV_8UC4);
    EXPECT_EQ(differingBytes(a, b), 0);
}

TEST(Frei0rClients, AMissingModuleOrEffectPackIsNamedWhenThePluginStarts) {
    const TempFolder layout;
    const std::string plugins = layout.folder("frei0r-1");
    const std::string modules = layout.folder("modules");
    std::filesystem::copy_file(pluginPath("Sharpen"), plugins + "/qor_sharpen.so");
    std::filesystem::copy_file(std::string(QOR_FREI0R_DIR) + "/../modules/libqorfrei0r.so", modules + "/libqorfrei0r.so");
    const std::string command = "ffmpeg -v error -f lavfi -i testsrc2=size=64x48:duration=0.04 -vf frei0r=qor_sharpen -f null -";

    const CommandRun noModule = run(command, plugins);
    EXPECT_NE(noModule.exitCode, 0);
    EXPECT_TRUE(contains(noModule.output, modules + "/qorCommonFxPlugin.qor")) << noModule.output;

    std::filesystem::copy_file(QOR_MODULE_PATH, modules + "/qorCommonFxPlugin.qor");
    const CommandRun noPack = run(command, plugins);
    EXPECT_NE(noPack.exitCode, 0);
    EXPECT_TRUE(contains(noPack.output, layout.path() + "/effects/qor_effect/plugin/CommonFx")) << noPack.output;
}

}  // namespace qortest
