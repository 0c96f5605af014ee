// Peak memory of every effect at 3840×2160: the module loaded as a host loads it, each effect
// created and rendered for a few frames. The counter "peak_MiB" is how far the process's peak
// resident memory rose above what it held with the frames already allocated, i.e. the effect's own
// working memory (tables, scratch planes, threads' stacks) at its worst moment.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <malloc.h>

#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/ModuleHost.h"

namespace {

constexpr int kWidth = 3840, kHeight = 2160;

// A field of /proc/self/status in KiB, e.g. "VmRSS" or "VmHWM".
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == field + ":") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// Lowers the recorded peak (VmHWM) to the present resident size.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

qorfx::ModuleHost& startedModule() {
    static qorfx::ModuleHost host(qorfx::HostPaths{QOR_EFFECT_ROOT, QOR_MODULE_DIR});
    static const bool started = [] {
        std::string error;
        if (!host.load(std::string(QOR_MODULE_DIR) + "/qorCommonFxPlugin.qor", error) || host.startup() != 0) {
            return false;
        }
        host.registerAll();
        return true;
    }();
    if (!started) throw std::runtime_error("the effect module did not load or start");
    return host;
}

void PeakMemory(benchmark::State& state, const qorfx::EffectAnnouncement* announced) {
    cv::Mat noise(kHeight, kWidth, CV_8UC4);
    cv::randu(noise, 0, 256);
    qorfx::MatImageBuffer input(noise), second(noise.clone()), output(cv::Mat(kHeight, kWidth, CV_8UC4, cv::Scalar(0)));
    qorfx::FrameContext context;
    context.totalTime = 1000;
    context.inputs = {&input, &second};
    context.output = &output;
    for (const auto& param : announced->params) {
        context.values[param.name] = param.isNumeric() ? qorfx::HostValue::ofNumber(param.defaultValue())
                                                       : qorfx::HostValue::ofText(param.text);
    }
    if (context.values.count("skinProtect")) context.values["skinProtect"] = qorfx::HostValue::ofNumber(100);

    long before = 0, peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        before = statusKiB("VmRSS");
        resetPeak();
        qorfx::EffectHandle effect = startedModule().create(announced->guid, 0);
        for (int frame = 0; frame < 3; ++frame) {
            context.currentTime = 40 * frame;
            effect->UpdateParameters(&context);
            effect->Render(&context);
        }
        peak = statusKiB("VmHWM");
    }
    state.counters["peak_MiB"] = static_cast<double>(peak - before) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    // Memory an effect frees goes back to the system at once, so that a later effect's peak is not
    // hidden by pages an earlier one left in the heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 0);
    for (const auto& announced : startedModule().registrar().effects) {
        if (!startedModule().create(announced.guid, 0)) continue;
        benchmark::RegisterBenchmark(("PeakMemory/" + announced.name).c_str(), PeakMemory, &announced)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
