#include "plugins/qorCommonFxPlugin/QORCommonEffect.h"

#include "framework/ConfDescription.h"
#include "plugins/qorCommonFxPlugin/SkinProtection.h"

namespace tessel::qorCommonFxPlugin {

namespace {

constexpr int32_t kRenderFailed = 4;

Frame frameOf(QORImageBuffer* buffer) {
    if (!buffer) return {};
    return {buffer->GetData(), buffer->GetWidth(), buffer->GetHeight(), buffer->GetStride()};
}

}  // namespace

QORCommonEffect::QORCommonEffect(NLEFilterInfoPtr description, std::shared_ptr<NLEEffectFilter> filter)
    : description_(std::move(description)), filter_(std::move(filter)) {}

int32_t QORCommonEffect::UpdateParameters(QORRenderContext* context) {
    if (!context || !description_) return 0;
    const int64_t time = context->GetCurrentTime();
    transferParameters(*context, time);
    readSkinProtect(*context, time);
    setUpSkinDetection(*context);
    return 0;
}

void QORCommonEffect::transferParameters(QORRenderContext& context, int64_t time) {
    if (!filter_) return;
    for (int32_t i = 0; i < description_->GetParamCount(); ++i) {
        const auto param = description_->GetParamAt(i);
        if (!param) continue;
        char name[NLEEffectFilter::kMaxParamNameLength + 1];
        param->GetName(name, sizeof name);
        QORParamValue hostValue{};
        hostValue.kind = hostKindForType(param->GetType());
        if (context.GetParamValue(name, time, &hostValue) != 0) continue;
        ParamValue value;
        if (paramValueFromHost(hostValue, value) != 0) continue;
        filter_->SetParameter(name, param->GetType(), std::move(value));
    }
}

void QORCommonEffect::readSkinProtect(QORRenderContext& context, int64_t time) {
    QORParamValue hostValue{};
    hostValue.kind = hostKindForType(toCode(ParamType::Int));
    if (context.GetParamValue(kSkinProtectName, time, &hostValue) == 0) skinProtect_ = hostValue.payload.i;
}

void QORCommonEffect::setUpSkinDetection(QORRenderContext& context) {
    if (skinProtect_ == 0 || aiCache_) return;
    aiCache_ = std::make_shared<AiEffectCache>(kSkinDetectionGuid, aiDispatch().createFilter(kSkinDetectionGuid, 0),
                                               &context);
}

bool QORCommonEffect::protectsSkinNow() const {
    return skinProtect_ != 0 && aiCache_ && protectsSkin(filter_->GetGUID());
}

void QORCommonEffect::applySkinProtection(QORRenderContext& context, const Frame& input, const Frame& output) {
    aiCache_->setContext(&context);
    const SkinMask skin = detectSkin(*aiCache_, input);
    if (skin.status == 0) protectSkin(input, skin.mask, output, skinProtectionLevel(skinProtect_));
}

int32_t QORCommonEffect::Render(QORRenderContext* context) {
    if (!context || !filter_) return kRenderFailed;
    const Frame in = frameOf(context->GetInput(0));
    const Frame second = context->GetInputCount() > 1 ? frameOf(context->GetInput(1)) : Frame{};
    const Frame out = frameOf(context->GetOutput());
    // An effect rendering in place overwrites its input, which protection pulls the output back to.
    cv::Mat unprocessed;
    Frame original = in;
    if (protectsSkinNow() && in.isValid() && in.data == out.data) {
        unprocessed = in.mat().clone();
        original.data = unprocessed.data;
        original.stride = static_cast<int32_t>(unprocessed.step[0]);
    }

    filter_->SetCurrentTime(static_cast<uint32_t>(context->GetCurrentTime()));
    filter_->SetTotalTime(static_cast<uint32_t>(context->GetTotalTime()));
    int32_t result = kRenderFailed;
    try {
        result = filter_->Transform(out.data, out.width, out.height, out.stride, second.data, second.width,
                                    second.height, second.stride, in.data, in.width, in.height, in.stride);
        if (result == 0 && protectsSkinNow()) applySkinProtection(*context, original, out);
    } catch (...) {
        // An effect error must reach the host as a failed frame, never as an exception.
    }
    return result == 0 ? 0 : kRenderFailed;
}

}  // namespace tessel::qorCommonFxPlugin
