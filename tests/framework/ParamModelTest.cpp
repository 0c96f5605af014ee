#include <gtest/gtest.h>

#include "framework/Frame.h"
#include "framework/NLEFilterParams.h"
#include "framework/ParamValue.h"
#include "host/QORRenderContext.h"

using namespace tessel;

namespace {

// Converts a host value of `kind` whose payload `fill` writes; the conversion must succeed.
template <class Fill>
ParamValue converted(int32_t kind, Fill fill) {
    QORParamValue host{};
    host.kind = kind;
    fill(host.payload);
    ParamValue value;
    EXPECT_EQ(paramValueFromHost(host, value), 0) << kind;
    return value;
}

}  // namespace

TEST(UITypeNames, MapExactNamesOnly) {
    const std::pair<const char*, uint32_t> names[] = {{"Color", 1},    {"color", 0},      {"CheckBox", 2},
                                                      {"9Palaces", 3}, {"NoShow", 9},     {"ListMosaic", 21},
                                                      {"Mult100", 25}, {"PointF", 27},    {"", 0},
                                                      {"Mult100 ", 0}};
    for (const auto& [name, type] : names) EXPECT_EQ(uiTypeFromName(name), type) << '"' << name << '"';
}

TEST(HostValueConversion, PayloadsBecomeTypedValues) {
    const ParamValue i = converted(3, [](auto& p) { p.i = -42; });
    EXPECT_EQ(i.kind, 5u);
    EXPECT_EQ(i.asInt(), -42);
    const ParamValue f = converted(5, [](auto& p) { p.f = 0.25f; });
    EXPECT_EQ(f.kind, 3u);
    EXPECT_EQ(f.asFloat(), 0.25f);
    const ParamValue d = converted(6, [](auto& p) { p.d = 1e100; });
    EXPECT_EQ(d.kind, 2u);
    EXPECT_EQ(d.asDouble(), 1e100);
    const ParamValue b = converted(7, [](auto& p) { p.b = 1; });
    EXPECT_EQ(b.kind, 1u);
    EXPECT_TRUE(b.asBool());
    const std::string curve = "curve";
    const ParamValue text = converted(8, [&](auto& p) { p.text = curve.c_str(); });
    EXPECT_EQ(text.kind, 6u);
    EXPECT_EQ(text.text, "curve");
    EXPECT_NE(text.text.c_str(), curve.c_str()) << "the text is copied, not borrowed";
    const ParamValue point = converted(12, [](auto& p) { p.point = {7, -9}; });
    EXPECT_EQ(point.kind, 8u);
    EXPECT_EQ(point.pointX(), 7);
    EXPECT_EQ(point.pointY(), -9);
}

TEST(HostValueConversion, KindsWithoutTypeLeaveTheValueAlone) {
    QORParamValue host{};
    host.payload.i = 5;
    for (const int32_t kind : {-1, 0, 1, 2, 4, 10, 11, 13, 100}) {
        ParamValue value = ParamValue::ofInt(77);
        host.kind = kind;
        EXPECT_EQ(paramValueFromHost(host, value), 1) << kind;
        EXPECT_EQ(value.asInt(), 77) << kind;
        EXPECT_EQ(value.kind, 5u) << kind;
    }
}

// A text record drops the first "file:/" wherever it stands; a record of another type keeps the
// text and reports its own type.
TEST(ParamRecord, CurrentValueTakesTheRecordsTypeAndTextDropsTheFirstFilePrefix) {
    NLEFilterParams text;
    text.SetType(toCode(ParamType::String));
    text.SetCurrent(ParamValue::ofString("file://media/a.png"));
    EXPECT_EQ(text.GetCurrent().text, "/media/a.png");
    text.SetCurrent(ParamValue::ofString("x file:/a file:/b"));
    EXPECT_EQ(text.GetCurrent().text, "x a file:/b");

    NLEFilterParams number;
    number.SetType(toCode(ParamType::Float));
    number.SetCurrent(ParamValue::ofString("file:/a"));
    EXPECT_EQ(number.GetCurrent().text, "file:/a");
    number.SetCurrent(ParamValue::ofInt(3));
    EXPECT_EQ(number.GetCurrent().kind, 3u);
}

TEST(ParamRecord, CopyKeepsValuesButNotTheKeyframeAndNamesAreCutToTheCallersBuffer) {
    NLEFilterParams param;
    param.SetName("amount");
    param.SetAlias("Amount");
    param.SetType(toCode(ParamType::Float));
    param.SetUIType(25);
    param.SetKeyframe(0);
    param.SetMinMax(ParamValue::ofFloat(-1), ParamValue::ofFloat(1));
    param.SetDefault(ParamValue::ofFloat(0.5f));
    param.SetCurrent(ParamValue::ofFloat(0.75f));
    const auto copy = param.Copy();
    EXPECT_EQ(copy->GetName() + copy->GetAlias(), "amountAmount");
    EXPECT_EQ(copy->GetUIType(), 25u);
    EXPECT_EQ(copy->GetKeyframe(), 1);
    const float values[] = {copy->GetMin().asFloat(), copy->GetMax().asFloat(), copy->GetDefault().asFloat(),
                            copy->GetCurrent().asFloat()};
    EXPECT_EQ(std::vector<float>(values, values + 4), (std::vector<float>{-1.0f, 1.0f, 0.5f, 0.75f}));
    copy->SetCurrent(ParamValue::ofFloat(0.0f));
    EXPECT_EQ(param.GetCurrent().asFloat(), 0.75f) << "a copy shares nothing with its original";

    char buffer[5];
    param.GetName(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "amou");
}

// The one check every effect makes before touching a buffer.
TEST(FrameValidity, NeedsAPointerPositiveSizesAndRowsHoldingTheWidth) {
    uint8_t pixels[4 * 4 * 3] = {};
    EXPECT_TRUE((Frame{pixels, 4, 3, 16}.isValid()));
    for (const Frame& bad : {Frame{nullptr, 4, 3, 16}, Frame{pixels, 0, 3, 16}, Frame{pixels, -4, 3, 16},
                             Frame{pixels, 4, 0, 16}, Frame{pixels, 4, -3, 16}, Frame{pixels, 4, 3, 15},
                             Frame{pixels, 0x40000000, 1, 0}}) {
        EXPECT_FALSE(bad.isValid()) << bad.width << "x" << bad.height << " stride " << bad.stride;
    }
    EXPECT_TRUE((Frame{pixels, 4, 3, 16}.covers(Frame{pixels, 4, 3, 16})));
    EXPECT_FALSE((Frame{pixels, 4, 3, 16}.covers(Frame{pixels, 5, 3, 20})));
    EXPECT_FALSE((Frame{pixels, 4, 3, 16}.covers(Frame{pixels, 4, 4, 16})));
}
