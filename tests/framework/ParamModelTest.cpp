#include <gtest/gtest.h>

#include "framework/NLEFilterInfo.h"
#include "framework/NLEFilterParams.h"
#include "framework/ParamValue.h"
#include "host/QORRenderContext.h"

using namespace tessel;

TEST(UITypeNames, MapExactNamesOnly) {
    EXPECT_EQ(uiTypeFromName("Color"), 1u);
    EXPECT_EQ(uiTypeFromName("color"), 0u);
    EXPECT_EQ(uiTypeFromName("CheckBox"), 2u);
    EXPECT_EQ(uiTypeFromName("9Palaces"), 3u);
    EXPECT_EQ(uiTypeFromName("NoShow"), 9u);
    EXPECT_EQ(uiTypeFromName("ListMosaic"), 21u);
    EXPECT_EQ(uiTypeFromName("Mult100"), 25u);
    EXPECT_EQ(uiTypeFromName("PointF"), 27u);
    EXPECT_EQ(uiTypeFromName(""), 0u);
    EXPECT_EQ(uiTypeFromName("Mult100 "), 0u);
}

TEST(HostValueConversion, KindsAskedForEachType) {
    const int32_t expected[] = {7, 6, 5, 4, 3, 8, 9, 12};
    for (uint32_t type = 1; type <= 8; ++type) EXPECT_EQ(hostKindForType(type), expected[type - 1]) << type;
}

TEST(HostValueConversion, PayloadsBecomeTypedValues) {
    QORParamValue host{};
    ParamValue value;

    host.kind = 3;
    host.payload.i = -42;
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 5u);
    EXPECT_EQ(value.asInt(), -42);

    host.kind = 5;
    host.payload.f = 0.25f;
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 3u);
    EXPECT_EQ(value.asFloat(), 0.25f);

    host.kind = 6;
    host.payload.d = 1e100;
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 2u);
    EXPECT_EQ(value.asDouble(), 1e100);

    host.kind = 7;
    host.payload.b = 1;
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 1u);
    EXPECT_TRUE(value.asBool());

    const std::string text = "curve";
    host.kind = 8;
    host.payload.text = text.c_str();
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 6u);
    EXPECT_EQ(value.text, "curve");
    EXPECT_NE(value.text.c_str(), text.c_str()) << "the text is copied, not borrowed";

    host.kind = 12;
    host.payload.point = {7, -9};
    ASSERT_EQ(paramValueFromHost(host, value), 0);
    EXPECT_EQ(value.kind, 8u);
    EXPECT_EQ(value.pointX(), 7);
    EXPECT_EQ(value.pointY(), -9);
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

TEST(ParamRecord, StringCurrentValueDropsTheFirstFilePrefixOnly) {
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
}

TEST(ParamRecord, CurrentValueReportsTheRecordsType) {
    NLEFilterParams param;
    param.SetType(toCode(ParamType::Float));
    param.SetCurrent(ParamValue::ofInt(3));
    EXPECT_EQ(param.GetCurrent().kind, 3u);
}

TEST(ParamRecord, CopyKeepsValuesButNotTheKeyframe) {
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
    EXPECT_EQ(copy->GetName(), "amount");
    EXPECT_EQ(copy->GetAlias(), "Amount");
    EXPECT_EQ(copy->GetUIType(), 25u);
    EXPECT_EQ(copy->GetKeyframe(), 1);
    EXPECT_EQ(copy->GetMin().asFloat(), -1.0f);
    EXPECT_EQ(copy->GetMax().asFloat(), 1.0f);
    EXPECT_EQ(copy->GetDefault().asFloat(), 0.5f);
    EXPECT_EQ(copy->GetCurrent().asFloat(), 0.75f);

    copy->SetCurrent(ParamValue::ofFloat(0.0f));
    EXPECT_EQ(param.GetCurrent().asFloat(), 0.75f) << "a copy shares nothing with its original";
}

TEST(ParamRecord, NameIsCutToTheCallersBuffer) {
    NLEFilterParams param;
    param.SetName("abcdefgh");
    char buffer[5];
    param.GetName(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abcd");
}

TEST(DescriptionRecord, ParametersByIndexWithGapsAndReplacement) {
    NLEFilterInfo info;
    auto first = std::make_shared<NLEFilterParams>();
    auto second = std::make_shared<NLEFilterParams>();
    info.SetParamAt(3, first);
    info.SetParamAt(3, second);
    EXPECT_EQ(info.GetParamAt(3), second);
    EXPECT_EQ(info.GetParamAt(0), nullptr);
    EXPECT_EQ(info.GetParamAt(-1), nullptr);

    info.SetTextureAt(1, "a.png");
    EXPECT_EQ(info.GetTextureAt(1), "a.png");
    EXPECT_EQ(info.GetTextureAt(0), "");
}
