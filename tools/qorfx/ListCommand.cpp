// qorfx list: every registered effect with its host index, identity, flags and parameter count.

#include <cstdio>

#include "tools/qorfx/Commands.h"

namespace qorfx {

namespace {

int listEffects(Session& session) {
    std::printf("%-5s %-32s %-38s %-10s %-6s %s\n", "index", "name", "GUID", "flags", "params", "class");
    for (const auto& entry : session.catalog().entries()) {
        const auto& effect = *entry.effect;
        std::printf("%-5d %-32s %-38s 0x%-8X %-6zu %s\n", entry.index, effect.name.c_str(), effect.guid.c_str(),
                    effect.flags, effect.params.size(), entry.creatable ? "yes" : "none (registered only)");
    }
    return kExitOk;
}

}  // namespace

Command addListCommand(CLI::App& app) {
    auto* cli = app.add_subcommand("list", "list the registered effects; \"class\" says whether one can be created");
    return {cli, [](const Options& options) { return withSession(options, listEffects); }};
}

}  // namespace qorfx
