#include "plugins/frei0r/EffectInstance.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace qorfrei0r {

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;

cv::Mat frameMat(const void* pixels, int width, int height) {
    return cv::Mat(height, width, CV_8UC4, const_cast<void*>(pixels));
}

}  // namespace

EffectInstance::EffectInstance(const EffectPlugin& plugin, SessionReference reference, qorfx::EffectHandle effect,
                               unsigned width, unsigned height)
    : reference_(std::move(reference)),
      effect_(std::move(effect)),
      plugin_(plugin),
      width_(static_cast<int>(width)),
      height_(static_cast<int>(height)) {
    for (const Frei0rParam& param : plugin_.params()) {
        values_.push_back(param.defaultValue());
        context_.values[param.name()] = param.toHost(values_.back());
    }
}

EffectInstance::~EffectInstance() = default;

void EffectInstance::setParam(const void* value, int index) {
    if (index < 0 || index >= static_cast<int>(values_.size())) return;
    const Frei0rParam& param = plugin_.params()[static_cast<std::size_t>(index)];
    Frei0rValue& stored = values_[static_cast<std::size_t>(index)];
    param.read(value, stored);
    context_.values[param.name()] = param.toHost(stored);
}

void EffectInstance::getParam(void* value, int index) const {
    if (index < 0 || index >= static_cast<int>(values_.size())) return;
    plugin_.params()[static_cast<std::size_t>(index)].write(values_[static_cast<std::size_t>(index)], value);
}

void EffectInstance::passThrough(const uint8_t* input, uint8_t* output) const {
    if (input != output) std::memcpy(output, input, static_cast<std::size_t>(width_) * height_ * 4);
}

void EffectInstance::update(double time, const uint32_t* input, const uint32_t* second, uint32_t* output) {
    if (!input || !output) return;
    const auto* source = reinterpret_cast<const uint8_t*>(input);
    auto* destination = reinterpret_cast<uint8_t*>(output);
    // A host may render in place: every effect is correct in place or refuses without writing,
    // so the input stays readable for the pass-through below.
    if (plugin_.identity().windowOutput) passThrough(source, destination);

    qorfx::MatImageBuffer main(frameMat(source, width_, height_));
    qorfx::MatImageBuffer other(second ? frameMat(second, width_, height_) : cv::Mat());
    qorfx::MatImageBuffer out(frameMat(destination, width_, height_));
    context_.inputs = {&main};
    if (second) context_.inputs.push_back(&other);
    context_.output = &out;
    context_.currentTime = std::isfinite(time) ? std::llround(time * kMillisecondsPerSecond) : 0;
    context_.queries.clear();

    effect_->UpdateParameters(&context_);
    const int32_t result = effect_->Render(&context_);
    if (result != 0) {
        passThrough(source, destination);
        reportFailure(result);
    }
}

void EffectInstance::reportFailure(int32_t result) {
    if (failureReported_) return;
    failureReported_ = true;
    std::fprintf(stderr,
                 "%s: the effect did not render a %dx%d frame (result %d); frames it cannot render pass through "
                 "unchanged. Check the frame size and the parameter values.\n",
                 plugin_.identity().fileName, width_, height_, result);
}

}  // namespace qorfrei0r
