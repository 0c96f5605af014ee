// What a frei0r host learns before rendering: which plug-ins start, their type and colour model,
// and every parameter with its range and default in the explanation.

#include <gtest/gtest.h>

#include <cstdio>

#include "PluginFiles.h"
#include "StderrCapture.h"

namespace qortest {

TEST(Frei0rPlugins, EveryEffectOfThePackHasAPluginThatStartsExactlyWhenTheModuleCreatesIt) {
    ASSERT_FALSE(creatableEffects().empty());
    for (const std::string& folder : pluginFolders()) {
        PluginFile plugin(folder);
        ASSERT_TRUE(plugin.isOpen() && plugin.init && plugin.update2) << pluginPath(folder);
        StderrCapture capture;
        const int result = plugin.init();
        if (creatableEffects().count(folder)) {
            EXPECT_GE(result, 0) << folder << ": " << capture.text();
            plugin.deinit();
        } else {
            EXPECT_LT(result, 0) << folder;
            EXPECT_NE(capture.text().find(folder), std::string::npos) << "names the effect: " << capture.text();
        }
    }
    EXPECT_FALSE(moduleLoaded()) << "the module is shut down after the last plug-in lets go";
}

TEST(Frei0rPlugins, ListEveryAnnouncedParameterWithItsRangeAndDefault) {
    for (const auto& [folder, announced] : creatableEffects()) {
        PluginFile plugin(folder);
        f0r_plugin_info_t info{};
        plugin.pluginInfo(&info);  // hosts such as MLT ask before f0r_init
        EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
        EXPECT_TRUE(info.plugin_type == F0R_PLUGIN_TYPE_FILTER || info.plugin_type == F0R_PLUGIN_TYPE_MIXER2);
        EXPECT_EQ(info.name, announced.name);
        ASSERT_EQ(info.num_params, static_cast<int>(announced.params.size())) << folder;
        for (int i = 0; i < info.num_params; ++i) {
            const qorfx::ParamAnnouncement& param = announced.params[static_cast<std::size_t>(i)];
            f0r_param_info_t paramInfo{};
            plugin.paramInfo(&paramInfo, i);
            EXPECT_EQ(paramInfo.name, param.name) << folder;
            char range[64];
            std::snprintf(range, sizeof range, "%g..%g, default", param.minimum(), param.maximum());
            const std::string explanation = paramInfo.explanation;
            const bool ranged = paramInfo.type == F0R_PARAM_DOUBLE;
            EXPECT_NE(explanation.find(ranged ? range : "default"), std::string::npos) << folder << ": " << explanation;
        }
    }
    EXPECT_FALSE(moduleLoaded()) << "metadata starts the module only for as long as it takes";
}

}  // namespace qortest
