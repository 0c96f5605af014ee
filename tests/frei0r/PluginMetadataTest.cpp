// What a frei0r host learns before rendering: which plug-ins load, their type and colour model,
// and every parameter with its range and default in the explanation.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "PluginFiles.h"
#include "StderrCapture.h"

namespace qortest {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Frei0rPlugins, EveryEffectOfThePackHasAPluginThatStartsExactlyWhenTheModuleCreatesIt) {
    const auto& creatable = creatableEffects();
    ASSERT_FALSE(creatable.empty());
    for (const std::string& folder : pluginFolders()) {
        ASSERT_TRUE(std::filesystem::exists(pluginPath(folder))) << folder;
        PluginFile plugin(folder);
        ASSERT_TRUE(plugin.isOpen() && plugin.init && plugin.update2) << folder;
        StderrCapture capture;
        const int result = plugin.init();
        if (creatable.count(folder)) {
            EXPECT_GE(result, 0) << folder << ": " << capture.text();
        } else {
            EXPECT_LT(result, 0) << folder;
            EXPECT_TRUE(contains(capture.text(), folder)) << "the failure names the effect: " << capture.text();
        }
        if (result >= 0) plugin.deinit();
    }
    EXPECT_FALSE(moduleLoaded()) << "the module is shut down after the last plug-in lets go";
}

TEST(Frei0rPlugins, ListEveryAnnouncedParameterWithItsRangeAndDefault) {
    for (const auto& [folder, announced] : creatableEffects()) {
        PluginFile plugin(folder);
        ASSERT_TRUE(plugin.isOpen()) << folder;
        // Hosts such as MLT ask for metadata without f0r_init.
        f0r_plugin_info_t info{};
        plugin.pluginInfo(&info);
        EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
        EXPECT_TRUE(info.plugin_type == F0R_PLUGIN_TYPE_FILTER || info.plugin_type == F0R_PLUGIN_TYPE_MIXER2);
        EXPECT_EQ(info.name, announced.name);
        ASSERT_EQ(info.num_params, static_cast<int>(announced.params.size())) << folder;
        for (int i = 0; i < info.num_params; ++i) {
            const qorfx::ParamAnnouncement& param = announced.params[static_cast<std::size_t>(i)];
            f0r_param_info_t paramInfo{};
            plugin.paramInfo(&paramInfo, i);
            ASSERT_NE(paramInfo.explanation, nullptr);
            const std::string explanation = paramInfo.explanation;
            EXPECT_EQ(paramInfo.name, param.name) << folder;
            EXPECT_TRUE(contains(explanation, "default")) << explanation;
            if (paramInfo.type == F0R_PARAM_DOUBLE) {
                EXPECT_TRUE(contains(explanation, number(param.minimum()) + ".." + number(param.maximum())))
                    << folder << ": " << explanation;
            }
        }
    }
    EXPECT_FALSE(moduleLoaded()) << "metadata starts the module only for as long as it takes";
}

}  // namespace qortest
