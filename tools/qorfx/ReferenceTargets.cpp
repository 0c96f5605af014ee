#include "tools/qorfx/ReferenceTargets.h"

#include <array>
#include <vector>

#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"
#include "tools/qorfx/Pictures.h"

namespace qorfx {

namespace {

using tessel::qorCommonFxPlugin::kMatchColorGuid;
using tessel::qorCommonFxPlugin::kMatchColorV2Guid;

template <std::size_t N>
void addTargets(const char* const (&names)[N], const std::array<float, N>& measured,
                std::map<std::string, HostValue>& values) {
    for (std::size_t i = 0; i < N; ++i) values.emplace(names[i], HostValue::ofNumber(measured[i]));
    values.emplace("Enabled", HostValue::ofNumber(1));
}

bool isColourMatch(const std::string& guid) { return guid == kMatchColorGuid || guid == kMatchColorV2Guid; }

}  // namespace

bool addReferenceTargets(const std::string& guid, const std::string& effectName, const std::string& referencePath,
                         std::map<std::string, HostValue>& values, std::string& error) {
    if (!isColourMatch(guid)) {
        error = effectName + " does not match colours: --reference works only with MatchColor and MatchColorV2";
        return false;
    }
    std::string reason;
    cv::Mat reference = readPicture(referencePath, reason);
    if (reference.empty()) {
        error = "cannot use the reference picture: " + reason;
        return false;
    }
    const tessel::Frame picture{reference.data, reference.cols, reference.rows, static_cast<int32_t>(reference.step)};
    bool measured = false;
    if (guid == kMatchColorGuid) {
        static const char* const names[] = {"mean_b", "mean_g", "mean_r", "stddb", "stddg", "stddr"};
        std::array<float, 6> targets{};
        measured = labColour::firstVersionTargets(picture, targets);
        if (measured) addTargets(names, targets, values);
    } else {
        static const char* const names[] = {"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8"};
        std::array<float, 9> targets{};
        measured = V2Utils::secondVersionTargets(picture, targets);
        if (measured) addTargets(names, targets, values);
    }
    if (!measured) error = "not enough memory to measure the reference picture " + referencePath;
    return measured;
}

}  // namespace qorfx
