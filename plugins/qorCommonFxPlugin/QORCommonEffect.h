#pragma once
// The effect object the host holds: it moves the host's parameter values into the effect filter
// and hands the host's image buffers to the filter once per frame.

#include <cstdint>
#include <memory>

#include "framework/Frame.h"
#include "framework/NLEEffectFilter.h"
#include "framework/NLEFilterInfo.h"
#include "host/QOREffect.h"
#include "host/QORRenderContext.h"
#include "plugins/qorCommonFxPlugin/AiBridge.h"

namespace tessel::qorCommonFxPlugin {

class QORCommonEffect : public QOREffect {
public:
    QORCommonEffect(NLEFilterInfoPtr description, std::shared_ptr<NLEEffectFilter> filter);
    ~QORCommonEffect() override = default;

    int32_t Reserved1() override { return 0; }
    int32_t Reserved2() override { return 0; }
    // Asks the host for every described parameter at the current time and stores the answers in
    // the filter; parameters the host cannot supply keep their values. A non-zero "skinProtect"
    // also creates the skin-detection AI cache, once. Returns 0.
    int32_t UpdateParameters(QORRenderContext* context) override;
    // Renders the frame: 0, or 4 when the effect failed (a missing buffer, sizes it refuses, an error).
    // A colour-matching effect with "skinProtect" on then keeps detected skin close to the input.
    int32_t Render(QORRenderContext* context) override;
    int32_t Reserved5() override { return 0; }
    int32_t Reserved6() override { return 0; }
    void ReleaseAiResources() override { aiCache_.reset(); }
    int32_t Reserved8() override { return 0; }
    int32_t Reserved9() override { return 0; }

    int32_t skinProtect() const { return skinProtect_; }

private:
    void transferParameters(QORRenderContext& context, int64_t time);
    void readSkinProtect(QORRenderContext& context, int64_t time);
    void setUpSkinDetection(QORRenderContext& context);
    bool protectsSkinNow() const;
    void applySkinProtection(QORRenderContext& context, const Frame& input, const Frame& output);

    NLEFilterInfoPtr description_;
    std::shared_ptr<NLEEffectFilter> filter_;
    int32_t skinProtect_ = 0;
    std::shared_ptr<AiEffectCache> aiCache_;
};

}  // namespace tessel::qorCommonFxPlugin
