// Parameter values as a host hands them over. A raw host record is converted on its own; then an
// effect of the bundled pack, chosen by the input, asks the host for every parameter at two frames
// and renders small frames with whatever values, kinds and times the host answers with.

#include <cstdlib>
#include <deque>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/ParamValue.h"
#include "fuzz/FuzzBytes.h"
#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "plugins/qorCommonFxPlugin/QORCommonEffect.h"
#include "tools/qorfx/FrameContext.h"

using tessel::qorCommonFxPlugin::EffectRegistry;
using tessel::qorCommonFxPlugin::QORCommonEffect;

namespace {

constexpr std::size_t kMaxText = 96;

// The descriptions of the bundled effects that have an effect class.
const std::vector<tessel::NLEFilterInfoPtr>& packEffects() {
    static const std::vector<tessel::NLEFilterInfoPtr> effects = [] {
        EffectRegistry registry;
        tessel::walkEffectDescriptions(QOR_EFFECT_PACK, [&](tessel::_EffectFileType kind, std::string file,
                                                            std::string folder) {
            registry.onDescriptionFound(kind, std::move(file), std::move(folder));
        });
        std::vector<tessel::NLEFilterInfoPtr> creatable;
        for (std::size_t i = 0; i < registry.count(); ++i) {
            if (EffectRegistry::createFilter(registry.at(i))) creatable.push_back(registry.at(i));
        }
        if (creatable.empty()) std::abort();  // the pack is missing: nothing would be fuzzed
        return creatable;
    }();
    return effects;
}

// A host whose answers come from the fuzz input: some parameters unanswered, some in a kind other
// than the one asked for, texts of any bytes.
class FuzzedHost : public qorfx::FrameContext {
public:
    explicit FuzzedHost(fuzz::Bytes& bytes) : bytes_(bytes) {}

    int32_t GetParamValue(const char* name, int64_t, QORParamValue* value) override {
        const uint8_t mode = bytes_.take<uint8_t>();
        if (mode % 4 == 0) return 1;
        if (mode % 4 == 3) value->kind = bytes_.take<uint8_t>() % 16;
        fill(*value);
        return 0;
    }

    void fill(QORParamValue& value) {
        bytes_.copy(value.payload.bytes, 8);
        if (value.kind == 8) {
            texts_.push_back(bytes_.text(kMaxText));
            value.payload.text = texts_.back().c_str();
        }
    }

private:
    fuzz::Bytes& bytes_;
    std::deque<std::string> texts_;
};

// A raw host record: a successful conversion sets the kind of its row, a failed one leaves the
// value as it was.
void convertOnce(FuzzedHost& host, fuzz::Bytes& bytes) {
    QORParamValue record{};
    record.kind = bytes.take<int32_t>();
    host.fill(record);
    tessel::ParamValue value = tessel::ParamValue::ofInt(0x5eed);
    const int result = tessel::paramValueFromHost(record, value);
    static const int kTypeOfKind[13] = {0, 0, 0, 5, 0, 3, 2, 1, 6, 7, 0, 0, 8};
    const int expected = record.kind >= 0 && record.kind <= 12 ? kTypeOfKind[record.kind] : 0;
    if (expected == 0 ? result != 1 || value.asInt() != 0x5eed : result != 0 || value.kind != uint32_t(expected)) {
        std::abort();
    }
}

cv::Mat picture(int width, int height, uint32_t seed) {
    cv::Mat padded(height, width + 3, CV_8UC4);
    cv::RNG(seed).fill(padded, cv::RNG::UNIFORM, 0, 256);
    return padded(cv::Rect(0, 0, width, height));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cv::setNumThreads(1);
    packEffects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    FuzzedHost host(bytes);
    convertOnce(host, bytes);

    const auto& effects = packEffects();
    const auto& info = effects[bytes.take<uint8_t>() % effects.size()];
    QORCommonEffect effect(info, EffectRegistry::createFilter(info));
    const int width = 1 + bytes.take<uint8_t>() % 24, height = 1 + bytes.take<uint8_t>() % 16;
    const uint8_t layout = bytes.take<uint8_t>();
    cv::Mat input = picture(width, height, bytes.take<uint32_t>());
    cv::Mat second = picture(width, height, bytes.take<uint32_t>());
    cv::Mat output = picture(width, height, 0);
    qorfx::MatImageBuffer inputBuffer(input), secondBuffer(second), outputBuffer(output);
    host.inputs = {&inputBuffer};
    if (layout & 1) host.inputs.push_back(&secondBuffer);
    host.output = (layout & 2) ? &inputBuffer : &outputBuffer;  // in place, or into a buffer of its own
    for (int frame = 0; frame < 2; ++frame) {
        host.currentTime = bytes.take<int64_t>();
        host.totalTime = bytes.take<int32_t>();
        effect.UpdateParameters(&host);
        effect.Render(&host);
    }
    return 0;
}
