// Arbitrary bytes as a .conf description, read and built as a host's registration from a folder
// does. A malformed description may only raise the builder's documented errors.

#include <cstdlib>

#include "framework/ConfDescription.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto file = fuzz::scratchFolder() / "effect.conf";
    fuzz::writeFile(file, data, size);
    fuzz::allowingDescriptionErrors([&] {
        const auto info = tessel::readConfDescription(file.string());
        if (!info) return;
        if (info->GetGUID().empty()) std::abort();
        for (int32_t i = 0; i < info->GetParamCount(); ++i) {
            if (!info->GetParamAt(i)) std::abort();
        }
    });
    return 0;
}
