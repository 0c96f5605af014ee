// qorfx validate: checks an effect tree before it ships, reporting per file what the module would
// drop or misread. Exit 0 only when nothing would be lost.

#include <cstdio>
#include <filesystem>

#include "tools/qorfx/Commands.h"
#include "tools/qorfx/DescriptionCheck.h"

namespace fs = std::filesystem;

namespace qorfx {

namespace {

constexpr int kExitFindings = 2;

int validateTree(const std::string& root) {
    std::error_code ignored;
    if (!fs::is_directory(root, ignored)) {
        return fail("cannot read the effect tree " + root + ": no such folder; give an effect root (the folder "
                    "holding " + std::string(kEffectSubfolder) + ") or an effect folder");
    }
    // An effect root is walked where the module walks it; any other folder as it is.
    const fs::path pack = fs::path(root) / kEffectSubfolder;
    const std::string folder = fs::is_directory(pack, ignored) ? pack.string() : root;
    const std::vector<Finding> findings = checkEffectTree(folder);
    for (const auto& finding : findings) std::printf("%s: %s\n", finding.file.c_str(), finding.message.c_str());
    if (findings.empty()) {
        std::printf("%s: every description is read as written\n", folder.c_str());
        return kExitOk;
    }
    std::printf("%zu problem%s found below %s\n", findings.size(), findings.size() == 1 ? "" : "s", folder.c_str());
    return kExitFindings;
}

}  // namespace

Command addValidateCommand(CLI::App& app) {
    auto root = std::make_shared<std::string>();
    auto* cli = app.add_subcommand("validate", "check an effect tree for descriptions the module would drop or "
                                               "misread (exit 0: clean, 2: problems found)");
    cli->add_option("DIR", *root, "effect root or effect folder (default: the bundled pack)");
    return {cli, [root](const Options& global) { return validateTree(root->empty() ? global.effects : *root); }};
}

}  // namespace qorfx
