// qorfx apply: one picture, a numbered sequence or a folder of pictures through one effect or a
// chain of effects (-e EFFECT [-p NAME=VALUE]... per stage).

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "tools/qorfx/Commands.h"
#include "tools/qorfx/FramePlan.h"
#include "tools/qorfx/Pictures.h"
#include "tools/qorfx/Progress.h"
#include "tools/qorfx/ReferenceTargets.h"
#include "tools/qorfx/Renderer.h"
#include "tools/qorfx/SkinMask.h"

namespace qorfx {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted = true; }

struct ApplyOptions {
    std::vector<std::string> positionals;  // [EFFECT] INPUT OUTPUT
    std::vector<std::string> effects;
    std::vector<std::string> params;
    std::vector<std::string> presets;
    std::string second;
    std::string reference;
    std::string aiResult;
    std::string size;
    double fps = 25.0;
    int64_t time = 0;
    int32_t totalTime = 0;
    bool quiet = false;
    bool strict = false;
    // The command line's -e, -p and --params in the order given, to group them by stage.
    CLI::App* cli = nullptr;
    CLI::Option* effectOption = nullptr;
    CLI::Option* paramOption = nullptr;
    CLI::Option* presetOption = nullptr;
};

bool parseSize(const std::string& text, cv::Size& size) {
    int width = 0, height = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2 || width <= 0 || height <= 0) return false;
    size = {width, height};
    return true;
}

// The stages in command-line order: the positional EFFECT, or one stage per -e with the -p and
// --params that follow it.
bool buildStages(const Session& session, const ApplyOptions& options, std::vector<EffectStage>& stages) {
    const bool chain = !options.effects.empty();
    const std::size_t files = chain ? 2 : 3;
    if (options.positionals.size() != files) {
        fail(chain ? "with -e, give only INPUT and OUTPUT after the effects (found " +
                         std::to_string(options.positionals.size()) + " names)"
                   : "apply needs EFFECT INPUT OUTPUT, or -e EFFECT [-p NAME=VALUE]... INPUT OUTPUT");
        return false;
    }
    std::size_t nextEffect = 0, nextParam = 0, nextPreset = 0;
    auto addStage = [&](const std::string& query) {
        const CatalogEntry* entry = session.findEffect(query);
        if (entry) stages.push_back({entry, {}});
        return entry != nullptr;
    };
    if (!chain && !addStage(options.positionals[0])) return false;
    for (const CLI::Option* option : options.cli->parse_order()) {
        std::string error;
        if (option == options.effectOption) {
            if (!addStage(options.effects[nextEffect++])) return false;
            continue;
        }
        const bool param = option == options.paramOption;
        if (!param && option != options.presetOption) continue;
        const std::string& text = param ? options.params[nextParam++] : options.presets[nextPreset++];
        if (stages.empty()) {
            fail("\"" + text + "\" comes before any -e EFFECT; put each -p or --params after the effect it sets");
            return false;
        }
        const EffectAnnouncement& effect = *stages.back().entry->effect;
        const bool added = param ? addAssignment(effect, text, options.fps, stages.back().values, error)
                                 : addPreset(effect, text, options.fps, stages.back().values, error);
        if (!added) {
            fail(error);
            return false;
        }
    }
    return true;
}

// --reference: every colour-matching stage takes the reference picture's colour statistics as its
// targets (values given with -p stay). An error when no stage matches colours.
bool addReference(std::vector<EffectStage>& stages, const std::string& reference) {
    std::string error;
    bool matched = false;
    for (EffectStage& stage : stages) {
        std::string stageError;
        const EffectAnnouncement& effect = *stage.entry->effect;
        if (addReferenceTargets(effect.guid, effect.name, reference, stage.values, stageError)) matched = true;
        else if (error.empty()) error = stageError;
    }
    if (!matched) fail(error);
    return matched;
}

std::string chainName(const EffectChain& chain, int stage) { return chain.stages()[stage].entry->effect->name; }

int applyToPicture(EffectChain& chain, const FramePlan& plan, const cv::Mat& second, const ApplyOptions& options) {
    std::string error;
    const cv::Mat input = readPicture(plan.inputs[0], error);
    if (input.empty()) return fail(error);
    const ChainResult result = chain.render(input, second, {options.time, options.totalTime});
    if (!result.ok()) {
        std::cerr << "qorfx: " << chainName(chain, result.refusedStage) << " failed to render (Render returned "
                  << result.renderStatus << "): the effect refused the frame; check that the inputs it needs are "
                  << "given (--second) and that their sizes fit. Nothing was written.\n";
        return kExitRenderFailed;
    }
    if (interrupted) {
        fail("interrupted; nothing was written");
        return kExitInterrupted;
    }
    if (!writePicture(plan.outputs[0], result.output, error)) return fail(error);
    std::cout << "wrote " << plan.outputs[0] << "\n";
    if (cv::countNonZero(result.output.reshape(1)) == 0) {
        std::cerr << "qorfx: note: the result is fully transparent black; some effects draw only when the output has "
                     "the size they expect (Motion: the window's size, set with --size WIDTHxHEIGHT) or when a "
                     "parameter is in range (`qorfx describe EFFECT`)\n";
    }
    return kExitOk;
}

// Frames shared out to workers, each with its own effect objects, as a host renders a clip.
class SequenceRun {
public:
    SequenceRun(Session& session, const FramePlan& plan, const cv::Mat& second, const cv::Mat& aiResult,
                const ApplyOptions& options, const std::vector<EffectStage>& stages, cv::Size outputSize)
        : session_(session), plan_(plan), second_(second), aiResult_(aiResult), options_(options), stages_(stages),
          outputSize_(outputSize), progress_(static_cast<int>(plan.inputs.size()), !options.quiet) {}

    int run() {
        const int frames = static_cast<int>(plan_.inputs.size());
        const int workers = std::max(1, std::min<int>(std::thread::hardware_concurrency(), frames));
        // Frames already keep every core busy; splitting each frame as well only adds switching.
        if (workers > 1) cv::setNumThreads(1);
        std::vector<std::thread> threads;
        for (int i = 1; i < workers; ++i) threads.emplace_back([this] { work(); });
        work();
        for (auto& thread : threads) thread.join();
        const double seconds = progress_.finish();
        if (!error_.empty()) return fail(error_);
        if (interrupted) {
            fail("interrupted after " + std::to_string(written_) + " of " + std::to_string(frames) +
                 " frames; every file written is complete");
            return kExitInterrupted;
        }
        std::printf("%d frames written to %s in %.1f s (%.1f frames per second)", written_.load(),
                    options_.positionals.back().c_str(), seconds, seconds > 0 ? written_ / seconds : 0.0);
        if (refused_ > 0) std::printf("; %d passed through unchanged where an effect refused them", refused_.load());
        std::printf("\n");
        if (refused_ > 0 && options_.strict) {
            std::cerr << "qorfx: " << refusedMessage_ << " (--strict)\n";
            return kExitRenderFailed;
        }
        return kExitOk;
    }

private:
    void stop(const std::string& error) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_.empty()) error_ = error;
        stopped_ = true;
    }

    void work() {
        EffectChain chain(session_.host(), stages_, outputSize_);
        chain.setAiResult(aiResult_);
        std::string error;
        if (!chain.create(error)) return stop(error);
        const int frames = static_cast<int>(plan_.inputs.size());
        const int32_t total = static_cast<int32_t>(std::lround(frames * kTimeUnitsPerSecond / options_.fps));
        for (int i = next_++; i < frames && !stopped_ && !interrupted; i = next_++) {
            cv::Mat input = readPicture(plan_.inputs[i], error);
            if (input.empty()) return stop(error);
            const int64_t time = std::llround(i * kTimeUnitsPerSecond / options_.fps);
            const ChainResult result = chain.render(input, second_, {time, total});
            if (!result.ok()) noteRefusal(chain, i, result);
            if (options_.strict && !result.ok()) return stop({});
            if (!writePicture(plan_.outputs[i], result.output, error)) return stop(error);
            ++written_;
            progress_.frameDone();
        }
    }

    void noteRefusal(const EffectChain& chain, int frame, const ChainResult& result) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (refused_++ == 0) {
            refusedMessage_ = chainName(chain, result.refusedStage) + " refused frame " + plan_.inputs[frame] +
                              " (Render returned " + std::to_string(result.renderStatus) + ")";
        }
    }

    Session& session_;
    const FramePlan& plan_;
    const cv::Mat& second_;
    const cv::Mat& aiResult_;
    const ApplyOptions& options_;
    const std::vector<EffectStage>& stages_;
    cv::Size outputSize_;
    Progress progress_;
    std::atomic<int> next_{0}, written_{0}, refused_{0};
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;
    std::string error_, refusedMessage_;
};

int applyEffects(Session& session, const ApplyOptions& options) {
    std::vector<EffectStage> stages;
    if (!buildStages(session, options, stages)) return kExitError;
    if (!options.reference.empty() && !addReference(stages, options.reference)) return kExitError;
    cv::Size outputSize;
    if (!options.size.empty() && !parseSize(options.size, outputSize)) {
        return fail("--size \"" + options.size + "\" must be WIDTHxHEIGHT, for example 1080x1920");
    }
    std::string error;
    const auto plan = planFrames(options.positionals[options.positionals.size() - 2], options.positionals.back(), error);
    if (!plan) return fail(error);
    cv::Mat second;
    if (!options.second.empty()) {
        second = readPicture(options.second, error);
        if (second.empty()) return fail(error);
    }
    cv::Mat aiResult;
    if (!options.aiResult.empty()) {
        aiResult = readMask(options.aiResult, error);
        if (aiResult.empty()) return fail(error);
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    if (plan->sequence) return SequenceRun(session, *plan, second, aiResult, options, stages, outputSize).run();
    EffectChain chain(session.host(), stages, outputSize);
    chain.setAiResult(aiResult);
    if (!chain.create(error)) return fail(error);
    return applyToPicture(chain, *plan, second, options);
}

}  // namespace

Command addApplyCommand(CLI::App& app) {
    auto options = std::make_shared<ApplyOptions>();
    auto* cli = app.add_subcommand("apply", "render a picture, a sequence or a folder through an effect or a chain");
    options->cli = cli;
    cli->add_option("FILES", options->positionals,
                    "EFFECT INPUT OUTPUT, or INPUT OUTPUT after -e groups; INPUT and OUTPUT may be numbered patterns "
                    "(frames_%04d.png) or folders")
        ->required();
    options->effectOption = cli->add_option("-e,--effect", options->effects, "start a chain stage: GUID, name or folder")
                                ->allow_extra_args(false);
    options->paramOption =
        cli->add_option("-p,--param", options->params, "NAME=VALUE or NAME=V0@T0,V1@T1 (keyframes, seconds or Nf)")
            ->allow_extra_args(false);
    options->presetOption = cli->add_option("--params", options->presets, "a preset file (JSON object NAME: VALUE)")
                                ->allow_extra_args(false);
    cli->add_option("--second", options->second, "second input (background, layer or matte), fitted to the input");
    cli->add_option("--reference", options->reference,
                    "colour matching: take the colours of this picture (MatchColor, MatchColorV2)");
    cli->add_option("--ai-result", options->aiResult, "a skin mask (white is skin) the host hands the AI effects");
    cli->add_option("--size", options->size, "output size WIDTHxHEIGHT (default: the input's)");
    cli->add_option("--fps", options->fps, "frames per second of a sequence (default 25)")->check(CLI::PositiveNumber);
    cli->add_option("--time", options->time, "current time handed to the effects, in milliseconds (one picture)");
    cli->add_option("--total", options->totalTime, "total time handed to the effects, in milliseconds (one picture)");
    cli->add_flag("--quiet", options->quiet, "no progress bar");
    cli->add_flag("--strict", options->strict, "a frame an effect refuses is an error, not passed through");
    return {cli, [options](const Options& global) {
                return withSession(global, [&](Session& session) { return applyEffects(session, *options); });
            }};
}

}  // namespace qorfx
