// The way between frei0r's values and the values the module asks for.

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/frei0r/Frei0rParam.h"

namespace qortest {

using qorfx::ParamWidget;

TEST(Frei0rParam, MapsFrei0rValuesOntoTheAnnouncedRangeAndDefault) {
    struct Case {
        ParamWidget widget;
        std::vector<double> announced;  // colour (default, min, max), the others (min, max, default)
        int type;
        double given;  // frei0r value; NaN: leave the default
        double host;
    };
    const double keep = std::nan("");
    const Case cases[] = {
        {ParamWidget::Float, {-100, 100, 50}, F0R_PARAM_DOUBLE, keep, 50},
        {ParamWidget::Float, {-100, 100, 50}, F0R_PARAM_DOUBLE, 0.25, -50},
        {ParamWidget::Float, {-100, 100, 50}, F0R_PARAM_DOUBLE, 4.0, 100},    // held to the range
        {ParamWidget::Float, {-100, 100, 50}, F0R_PARAM_DOUBLE, -1.0, -100},
        {ParamWidget::Int, {-360, 360, 90}, F0R_PARAM_DOUBLE, keep, 90},
        {ParamWidget::Mult100, {0, 1, 0.7f}, F0R_PARAM_DOUBLE, keep, 0.7f},
        {ParamWidget::Double, {0, 0, 0}, F0R_PARAM_DOUBLE, 0.6, 0},           // a fixed value stays fixed
        {ParamWidget::CheckBox, {0, 1, 1}, F0R_PARAM_BOOL, keep, 1},
        {ParamWidget::CheckBox, {0, 1, 1}, F0R_PARAM_BOOL, 0.4, 0},
        {ParamWidget::Color, {0x336699, 0, 0xFFFFFF}, F0R_PARAM_COLOR, keep, 0x336699},
    };
    for (const Case& c : cases) {
        const qorfrei0r::Frei0rParam param({c.widget, -1, 0, "p", "p", c.announced, false, {}, 2, 0});
        qorfrei0r::Frei0rValue value = param.defaultValue();
        if (!std::isnan(c.given)) param.read(&c.given, value);
        EXPECT_EQ(param.type(), c.type);
        EXPECT_NEAR(param.toHost(value).number, c.host, 1e-6) << param.explanation() << " given " << c.given;
    }
}

TEST(Frei0rParam, ColoursPackAndTextsPassUnchanged) {
    const qorfrei0r::Frei0rParam colour({ParamWidget::Color, -1, 0, "c", "c", {0, 0, 0xFFFFFF}, false, {}, 2, 0});
    qorfrei0r::Frei0rValue value;
    const f0r_param_color_t orange{1.0f, 0.5f, 0.0f};
    colour.read(&orange, value);
    EXPECT_EQ(colour.toHost(value).number, 0xFF8000);

    const qorfrei0r::Frei0rParam curve({ParamWidget::String, -1, 0, "t", "t", {}, true, "[]", 2, 0});
    EXPECT_EQ(curve.toHost(curve.defaultValue()).text, "[]");
    const char* given = R"([{"_time": 0, "_value": 1}])";
    curve.read(&given, value);
    const char* back = nullptr;
    curve.write(value, &back);
    EXPECT_STREQ(back, given);
}

}  // namespace qortest
