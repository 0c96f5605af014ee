// The frei0r entry points of one plug-in file. Every qor_<effect>.so is built from this file;
// the build names the effect it presents (its folder in the effect pack) and its plug-in type.

#include "plugins/frei0r/Frei0rApi.h"

#include "plugins/frei0r/EffectInstance.h"
#include "plugins/frei0r/EffectPlugin.h"

// Exported by name, the way frei0r hosts look them up; nothing else leaves the file.
#define F0R_EXPORT __attribute__((visibility("default")))

namespace {

qorfrei0r::EffectPlugin& plugin() {
    static qorfrei0r::EffectPlugin effect({QOR_FREI0R_EFFECT, QOR_FREI0R_FILE, QOR_FREI0R_TYPE, QOR_FREI0R_WINDOW != 0});
    return effect;
}

qorfrei0r::EffectInstance* instanceOf(f0r_instance_t instance) {
    return static_cast<qorfrei0r::EffectInstance*>(instance);
}

// No exception may cross into a C host: a failed call answers `fallback` or does nothing.
template <typename Result, typename Call>
Result guarded(Result fallback, Call call) {
    try {
        return call();
    } catch (...) {
        return fallback;
    }
}

template <typename Call>
void guarded(Call call) {
    try {
        call();
    } catch (...) {
    }
}

}  // namespace

extern "C" {

// frei0r hosts take a negative result as failure.
F0R_EXPORT int f0r_init() {
    return guarded(-1, [] { return plugin().init() ? 1 : -1; });
}

F0R_EXPORT void f0r_deinit() { guarded([] { plugin().deinit(); }); }

F0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    guarded([info] { plugin().pluginInfo(info); });
}

F0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    guarded([=] { plugin().paramInfo(info, param_index); });
}

F0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    return guarded<f0r_instance_t>(nullptr, [=] { return plugin().construct(width, height); });
}

F0R_EXPORT void f0r_destruct(f0r_instance_t instance) { delete instanceOf(instance); }

F0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance) guarded([=] { instanceOf(instance)->setParam(param, param_index); });
}

F0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance) instanceOf(instance)->getParam(param, param_index);
}

F0R_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
    if (instance) guarded([=] { instanceOf(instance)->update(time, inframe, nullptr, outframe); });
}

F0R_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1,
                            const uint32_t* inframe2, const uint32_t* inframe3, uint32_t* outframe) {
    if (instance) guarded([=] { instanceOf(instance)->update(time, inframe1, inframe2, outframe); });
}

}  // extern "C"
