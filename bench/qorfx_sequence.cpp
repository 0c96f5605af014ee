// qorfx on a numbered sequence: the whole program rendering border over PNG frames, beside
// reading and writing the same frames without an effect on as many threads, and a frame copy.

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "bench/BenchSupport.h"
#include "tools/qorfx/Pictures.h"

namespace {

using namespace qorbench;

constexpr int kFrames = 100;

// kFrames PNG frames of the portrait scaled to the benchmark's size, written once per size.
std::string sequenceFolder(int width, int height) {
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("qorfx-bench-" + std::to_string(width) + "x" + std::to_string(height))).string();
    if (std::filesystem::exists(folder + "/in_0100.png")) return folder;
    std::filesystem::create_directories(folder);
    std::string error;
    cv::Mat frame;
    cv::resize(qorfx::readPicture(std::string(QOR_SOURCE_DIR) + "/examples/astronaut.png", error), frame,
               {width, height}, 0, 0, cv::INTER_CUBIC);
    for (int i = 1; i <= kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/in_%04d.png", i);
        qorfx::writePicture(folder + name, frame, error);
    }
    return folder;
}

void PngReadWrite(benchmark::State& state) {
    const std::string folder = sequenceFolder(benchWidth(state), benchHeight(state));
    for (auto _ : state) {
        std::atomic<int> next{1};
        auto work = [&] {
            std::string error;
            char in[32], out[32];
            for (int i = next++; i <= kFrames; i = next++) {
                std::snprintf(in, sizeof in, "/in_%04d.png", i);
                std::snprintf(out, sizeof out, "/copy_%04d.png", i);
                qorfx::writePicture(folder + out, qorfx::readPicture(folder + in, error), error);
            }
        };
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < std::thread::hardware_concurrency(); ++t) workers.emplace_back(work);
        work();
        for (auto& worker : workers) worker.join();
    }
}

void QorfxBorder(benchmark::State& state) {
    const std::string folder = sequenceFolder(benchWidth(state), benchHeight(state));
    const std::string command = std::string(QORFX_PATH) + " apply Border " + folder + "/in_%04d.png " + folder +
                                "/border_%04d.png -p amp=20 --quiet > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("qorfx failed");
    }
}

// 100 frames per run, one run each: whole seconds of work on a shared machine.
void sequenceSizes(benchmark::internal::Benchmark* benchmark) {
    frameSizes(benchmark);
    benchmark->Iterations(3);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(PngReadWrite)->Apply(sequenceSizes);
BENCHMARK(QorfxBorder)->Apply(sequenceSizes);

}  // namespace
