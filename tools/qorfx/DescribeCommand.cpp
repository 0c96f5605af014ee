// qorfx describe: what a host learns about one effect through the registrar, as a table or as JSON
// (which doubles as a preset skeleton for --params).

#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "tools/qorfx/Commands.h"
#include "tools/qorfx/ParamText.h"

namespace qorfx {

namespace {

struct DescribeOptions {
    std::string query;
    bool json = false;
};

// Operations without a visibility argument show "-".
const char* shownText(const ParamAnnouncement& param) {
    if (param.widget == ParamWidget::String || param.widget == ParamWidget::ListMask ||
        param.widget == ParamWidget::NinePalaces || param.widget == ParamWidget::ListMosaic) {
        return "-";
    }
    return param.visibility() == 1 ? "hidden" : "yes";
}

void printTable(const CatalogEntry& entry) {
    const auto& effect = *entry.effect;
    std::printf("%s\n  GUID    %s\n  folder  %s\n  flags   0x%X\n  class   %s\n", effect.name.c_str(),
                effect.guid.c_str(), entry.folder.empty() ? "(unknown)" : entry.folder.c_str(), effect.flags,
                entry.creatable ? "yes" : "none: registered only, it cannot be created");
    if (effect.params.empty()) std::printf("  no parameters\n");
    else std::printf("\n  %-5s %-28s %-12s %-24s %-14s %s\n", "index", "name", "widget", "range", "default", "shown");
    for (const auto& param : effect.params) {
        std::printf("  %-5d %-28s %-12s %-24s %-14s %s\n", param.index, param.name.c_str(), widgetName(param.widget),
                    rangeText(param).c_str(), defaultText(param).c_str(), shownText(param));
    }
    for (const auto& guid : effect.dependentEffects) std::printf("  needs   %s\n", guid.c_str());
}

nlohmann::json paramRecord(const ParamAnnouncement& param) {
    nlohmann::json record = {{"index", param.index},
                             {"name", param.name},
                             {"alias", param.name2},
                             {"operation", widgetName(param.widget)},
                             {"value", valueKindName(param)}};
    if (param.isNumeric()) {
        record["min"] = param.minimum();
        record["max"] = param.maximum();
        record["default"] = param.defaultValue();
    } else {
        record["default"] = param.hasText ? nlohmann::json(param.text) : nlohmann::json();
    }
    if (std::string(shownText(param)) != "-") record["visibility"] = param.visibility();
    return record;
}

void printJson(const CatalogEntry& entry) {
    const auto& effect = *entry.effect;
    nlohmann::json params = nlohmann::json::array();
    nlohmann::json preset = nlohmann::json::object();
    for (const auto& param : effect.params) {
        params.push_back(paramRecord(param));
        preset[param.name] = presetValue(param);
    }
    const nlohmann::json record = {{"index", entry.index},
                                   {"guid", effect.guid},
                                   {"name", effect.name},
                                   {"folder", entry.folder},
                                   {"flags", effect.flags},
                                   {"creatable", entry.creatable},
                                   {"dependentEffects", effect.dependentEffects},
                                   {"params", params},
                                   {"preset", preset}};
    std::cout << record.dump(2) << "\n";
}

int describeEffect(Session& session, const DescribeOptions& options) {
    const CatalogEntry* entry = session.findEffect(options.query);
    if (!entry) return kExitError;
    if (options.json) printJson(*entry);
    else printTable(*entry);
    return kExitOk;
}

}  // namespace

Command addDescribeCommand(CLI::App& app) {
    auto options = std::make_shared<DescribeOptions>();
    auto* cli = app.add_subcommand("describe", "show the parameters of an effect");
    cli->add_option("EFFECT", options->query, "GUID, display name or folder name")->required();
    cli->add_flag("--json", options->json,
                  "print the registrar's record as JSON; its \"preset\" member is a --params file with every default");
    return {cli, [options](const Options& global) {
                return withSession(global, [&](Session& session) { return describeEffect(session, *options); });
            }};
}

}  // namespace qorfx
