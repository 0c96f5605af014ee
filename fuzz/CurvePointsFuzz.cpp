// Curve point lists as the host sends them. The input holds up to three texts separated by blank
// lines: knots, first controls, second controls. Each is parsed; then all four curves of an RGB
// curves effect get them and render a frame holding every byte value in every channel.

#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "framework/ParamValue.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"

namespace {

constexpr int kWidth = 37;  // odd, so the four-pixel loop leaves a remainder
constexpr int kHeight = 7;

cv::Mat everyByteFrame() {
    cv::Mat frame(kHeight, kWidth + 3, CV_8UC4);
    for (int i = 0; i < frame.rows * frame.cols; ++i) {
        frame.at<cv::Vec4b>(i / frame.cols, i % frame.cols) =
            cv::Vec4b(i & 255, (255 - i) & 255, (i * 7) & 255, (i * 3) & 255);
    }
    return frame(cv::Rect(0, 0, kWidth, kHeight));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string texts[3];
    std::size_t start = 0;
    for (int part = 0; part < 3 && start <= input.size(); ++part) {
        const std::size_t end = part < 2 ? input.find("\n\n", start) : std::string::npos;
        texts[part] = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos) break;
        start = end + 2;
    }
    const auto knots = NLERGBCurveEffect::parseCurvePoints(texts[0]);
    NLERGBCurveEffect::parseCurvePoints(texts[1]);
    NLERGBCurveEffect::parseCurvePoints(texts[2]);
    if (knots.size() < NLERGBCurveEffect::kMinKnots || knots.size() > NLERGBCurveEffect::kMaxKnots) return 0;

    auto info = std::make_shared<tessel::NLEFilterInfo>();
    info->SetGUID("0FDB786D-A9A9-4ED7-9964-AC6954FB441A");
    NLERGBCurveEffect effect(info);
    const auto text = [](const std::string& value) { return tessel::ParamValue::ofString(value); };
    for (const char* curve : {"r", "g", "b", "y"}) {
        const std::string prefix(curve);
        effect.SetParameter((prefix + "Knots").c_str(), 6, text(texts[0]));
        effect.SetParameter((prefix + "Knot_First_Controls").c_str(), 6, text(texts[1]));
        effect.SetParameter((prefix + "Knot_Second_Controls").c_str(), 6, text(texts[2]));
    }
    cv::Mat in = everyByteFrame();
    cv::Mat out(kHeight, kWidth, CV_8UC4);
    effect.Transform(out.data, out.cols, out.rows, static_cast<int32_t>(out.step[0]), nullptr, 0, 0, 0, in.data,
                     in.cols, in.rows, static_cast<int32_t>(in.step[0]));
    return 0;
}
