#include "framework/EffectParams.h"

namespace tessel {

bool readParam(const NLEEffectFilter& filter, const char* name, ParamTarget target) {
    ParamValue value;
    if (!filter.GetParam(name, value)) return false;
    std::visit(
        [&value](auto* member) {
            using T = std::remove_pointer_t<decltype(member)>;
            if constexpr (std::is_same_v<T, int32_t>) *member = value.asInt();
            else if constexpr (std::is_same_v<T, float>) *member = value.asFloat();
            else if constexpr (std::is_same_v<T, double>) *member = value.asDouble();
            else *member = value.text;
        },
        target);
    return true;
}

void readParams(const NLEEffectFilter& filter, std::initializer_list<ParamField> fields) {
    for (const auto& field : fields) readParam(filter, field.name, field.target);
}

}  // namespace tessel
