#pragma once
// One parameter of an effect as a frei0r host sees it, and the way back to the value the module
// asks for.
//
// frei0r numbers are doubles in 0..1: a number parameter maps that range linearly onto the
// announced MIN..MAX (clamped, so a host's overshoot cannot leave the range); switches are
// bools; a packed 0xRRGGBB colour is a frei0r colour; texts stay texts.

#include <string>

#include "plugins/frei0r/Frei0rApi.h"
#include "plugins/frei0r/ModuleSession.h"

#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qorfrei0r {

// A value in frei0r's terms; which member counts depends on the parameter's frei0r type.
struct Frei0rValue {
    double number = 0.0;
    f0r_param_color_t colour{0.0f, 0.0f, 0.0f};
    std::string text;
};

class QOR_FREI0R_API Frei0rParam {
public:
    explicit Frei0rParam(const qorfx::ParamAnnouncement& announced);

    const std::string& name() const { return name_; }
    int type() const { return type_; }
    // What the value means, with its real range and default ("amount -100..100, default 50").
    const std::string& explanation() const { return explanation_; }
    const Frei0rValue& defaultValue() const { return default_; }

    // Stores what a host passes to f0r_set_param_value (a pointer to the frei0r value).
    void read(const void* hostValue, Frei0rValue& value) const;
    // Fills what a host passes to f0r_get_param_value.
    void write(const Frei0rValue& value, void* hostValue) const;
    // The value as the module's render context hands it out.
    qorfx::HostValue toHost(const Frei0rValue& value) const;

private:
    Frei0rValue fromHost(double number) const;

    std::string name_;
    int type_ = F0R_PARAM_DOUBLE;
    double minimum_ = 0.0;
    double maximum_ = 0.0;
    Frei0rValue default_;
    std::string explanation_;
};

}  // namespace qorfrei0r
