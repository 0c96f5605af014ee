// Arbitrary bytes as a "description.json", read from a file and built into a description record
// as the start-up walk does. A malformed description may only raise the builder's documented
// errors; the record it builds has every parameter and texture its counts promise.

#include <cstdlib>

#include "framework/DescriptionJson.h"
#include "framework/DescriptionParams.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto file = fuzz::scratchFolder() / "description.json";
    fuzz::writeFile(file, data, size);
    nlohmann::json root;
    if (!tessel::readJsonFile(file.string(), root)) return 0;
    fuzz::allowingDescriptionErrors([&] {
        const auto info = tessel::buildDescriptionJson(root, "fx/");
        if (!info) return;
        for (int32_t i = 0; i < info->GetParamCount(); ++i) {
            if (!info->GetParamAt(i)) std::abort();
        }
        for (int32_t i = 0; i < info->GetTextureCount(); ++i) {
            if (info->GetTextureAt(i).empty()) std::abort();
        }
    });
    return 0;
}
