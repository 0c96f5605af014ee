// The way between frei0r's values and the values the module asks for.

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/frei0r/Frei0rParam.h"

namespace qortest {

namespace {

using qorfx::ParamWidget;
using qorfrei0r::Frei0rParam;
using qorfrei0r::Frei0rValue;

qorfx::ParamAnnouncement announced(ParamWidget widget, std::vector<double> numbers, std::string text = {}) {
    qorfx::ParamAnnouncement param{widget, -1, 0, "p", "p", std::move(numbers), !text.empty(), text, 2, 0};
    return param;
}

double hostNumber(const Frei0rParam& param, double frei0r) {
    Frei0rValue value;
    param.read(&frei0r, value);
    return param.toHost(value).number;
}

}  // namespace

TEST(Frei0rParam, DefaultsSurviveTheWayToFrei0rAndBack) {
    struct Case {
        ParamWidget widget;
        std::vector<double> numbers;  // as announced: colour (default, min, max), others (min, max, default)
        int frei0rType;
        double hostDefault;
    };
    const Case cases[] = {
        {ParamWidget::Float, {-100, 100, 50}, F0R_PARAM_DOUBLE, 50},
        {ParamWidget::Int, {-360, 360, 90}, F0R_PARAM_DOUBLE, 90},
        {ParamWidget::Mult100, {0, 1, 0.7f}, F0R_PARAM_DOUBLE, 0.7f},
        {ParamWidget::CheckBox, {0, 1, 1}, F0R_PARAM_BOOL, 1},
        {ParamWidget::Color, {0x336699, 0, 0xFFFFFF}, F0R_PARAM_COLOR, 0x336699},
        {ParamWidget::Double, {0, 0, 0}, F0R_PARAM_DOUBLE, 0},
    };
    for (const Case& c : cases) {
        const Frei0rParam param(announced(c.widget, c.numbers));
        EXPECT_EQ(param.type(), c.frei0rType);
        EXPECT_NEAR(param.toHost(param.defaultValue()).number, c.hostDefault, 1e-6) << param.explanation();
    }
}

TEST(Frei0rParam, TheUnitRangeCoversTheAnnouncedRangeAndNothingBeyond) {
    const Frei0rParam amount(announced(ParamWidget::Float, {-100, 100, 50}));
    EXPECT_EQ(hostNumber(amount, 0.0), -100);
    EXPECT_EQ(hostNumber(amount, 1.0), 100);
    EXPECT_EQ(hostNumber(amount, 0.25), -50);
    EXPECT_EQ(hostNumber(amount, 4.0), 100);
    EXPECT_EQ(hostNumber(amount, -1.0), -100);
    EXPECT_EQ(hostNumber(amount, std::nan("")), -100);
    EXPECT_EQ(amount.explanation(), "p -100..100, default 50");

    const Frei0rParam toggle(announced(ParamWidget::CheckBox, {0, 1, 0}));
    EXPECT_EQ(hostNumber(toggle, 0.4), 0);
    EXPECT_EQ(hostNumber(toggle, 1.0), 1);
}

TEST(Frei0rParam, ColoursAndTextsKeepTheirValues) {
    const Frei0rParam colour(announced(ParamWidget::Color, {0, 0, 0xFFFFFF}));
    Frei0rValue value;
    const f0r_param_color_t orange{1.0f, 0.5f, 0.0f};
    colour.read(&orange, value);
    EXPECT_EQ(colour.toHost(value).number, 0xFF8000);

    const Frei0rParam curve(announced(ParamWidget::String, {}, "[]"));
    const char* given = R"([{"_time": 0, "_value": 1}])";
    curve.read(&given, value);
    EXPECT_EQ(curve.toHost(value).text, given);
    const char* back = nullptr;
    curve.write(value, &back);
    EXPECT_STREQ(back, given);
    EXPECT_EQ(curve.toHost(curve.defaultValue()).text, "[]");
}

}  // namespace qortest
