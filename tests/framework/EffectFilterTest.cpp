#include <vector>

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

using namespace tessel;

namespace {

// A filter that only counts its Transform calls.
class CountingFilter : public NLEEffectFilter {
public:
    using NLEEffectFilter::NLEEffectFilter;
    int calls = 0;
    int32_t Transform(uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t,
                      int32_t, int32_t) override {
        ++calls;
        return 7;
    }
};

NLEFilterParamsPtr param(const std::string& name, ParamType type, ParamValue value) {
    auto record = std::make_shared<NLEFilterParams>();
    record->SetName(name);
    record->SetAlias(name);
    record->SetType(toCode(type));
    record->SetDefault(value);
    record->SetCurrent(value);
    return record;
}

// Parameters at 0, 1, 2 and 4 (3 left empty on purpose); two names equal in their first 37
// characters.
NLEFilterInfoPtr description() {
    auto info = std::make_shared<NLEFilterInfo>();
    info->SetGUID("BED49B76-3BBB-46E6-8030-F00EAC42BF71");
    const std::string longName(40, 'x');
    info->SetParamAt(0, param("amount", ParamType::Float, ParamValue::ofFloat(50)));
    info->SetParamAt(1, param(longName + "first", ParamType::Int, ParamValue::ofInt(1)));
    info->SetParamAt(2, param(longName + "second", ParamType::Int, ParamValue::ofInt(2)));
    info->SetParamAt(4, param("path", ParamType::String, ParamValue::ofString("")));
    info->SetParamCount(5);
    return info;
}

// A filter that reads one parameter of each kind through its declaration table.
class DeclaredFilter : public CountingFilter {
public:
    explicit DeclaredFilter(NLEFilterInfoPtr info) : CountingFilter(std::move(info)) { kParams.setDefaults(*this); }
    void readAll() { readParams(*this, kParams); }

    static const ParamTable<DeclaredFilter> kParams;
    float amount;
    int32_t level;
    double scale;
    std::string path;
};

const ParamTable<DeclaredFilter> DeclaredFilter::kParams{{"amount", &DeclaredFilter::amount, 0.7f},
                                                         {"level", &DeclaredFilter::level, -3},
                                                         {"scale", &DeclaredFilter::scale, 0.1},
                                                         {"path", &DeclaredFilter::path}};

std::vector<std::string> diagnostics;
void collectDiagnostic(const char* message) { diagnostics.emplace_back(message); }

}  // namespace

TEST(DeclaredParams, StartAtTheirDefaultsAndReadOnlyTheKindTheyDeclare) {
    const auto& declared = DeclaredFilter::kParams.declarations();
    ASSERT_EQ(declared.size(), 4u);
    EXPECT_EQ(declared[1].name, "level");
    EXPECT_EQ(declared[1].kind, ParamKind::Int);
    EXPECT_EQ(declared[3].kind, ParamKind::Text);

    diagnostics.clear();
    setParamDiagnosticSink(collectDiagnostic);
    DeclaredFilter filter(description()), other(description());
    EXPECT_EQ(filter.amount, 0.7f);
    EXPECT_EQ(filter.scale, 0.1);
    filter.readAll();
    EXPECT_EQ(filter.amount, 50.0f) << "a value of the declared kind is read";
    EXPECT_EQ(filter.level, -3) << "a parameter the effect does not have keeps the default";
    EXPECT_TRUE(diagnostics.empty());

    // Values whose record type differs from the declared kind: members keep their values, and the
    // object reports once however often it reads them.
    filter.SetParameter("level", toCode(ParamType::Float), ParamValue::ofFloat(2.5f));
    filter.SetParameter("scale", toCode(ParamType::Float), ParamValue::ofFloat(2.5f));
    filter.SetParameter("path", toCode(ParamType::Int), ParamValue::ofInt(1));
    filter.readAll();
    filter.readAll();
    EXPECT_EQ(filter.level, -3);
    EXPECT_EQ(filter.scale, 0.1);
    EXPECT_EQ(filter.path, "");
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_NE(diagnostics[0].find("\"level\""), std::string::npos) << diagnostics[0];

    other.SetParameter("level", toCode(ParamType::Point), ParamValue::ofPoint(9, 4));
    other.readAll();
    EXPECT_EQ(other.level, 9) << "a point parameter is read as an integer";
    EXPECT_EQ(diagnostics.size(), 1u);
    setParamDiagnosticSink(nullptr);
}

TEST(EffectFilter, CopiesTheDescriptionsParametersUnderCutNamesAndSharesNoValues) {
    auto info = description();
    CountingFilter filter(info), other(info);
    ParamValue value;
    ASSERT_TRUE(filter.GetParam(std::string(37, 'x').c_str(), value));
    EXPECT_EQ(value.asInt(), 1) << "of two names equal in their first 37 characters, the lower index wins";
    EXPECT_FALSE(filter.GetParam((std::string(40, 'x') + "first").c_str(), value));
    EXPECT_STREQ(filter.GetGUID(), "BED49B76-3BBB-46E6-8030-F00EAC42BF71");

    filter.SetParameter("amount", toCode(ParamType::Float), ParamValue::ofFloat(-20));
    ASSERT_TRUE(filter.GetParam("amount", value));
    EXPECT_EQ(value.asFloat(), -20.0f);
    other.GetParam("amount", value);
    EXPECT_EQ(value.asFloat(), 50.0f) << "another instance keeps its own value";
    EXPECT_EQ(info->GetParamAt(0)->GetCurrent().asFloat(), 50.0f) << "the description keeps its own value";
}

TEST(EffectFilter, SetParameterKeepsTheRecordsTypeAndStripsFilePrefixFromText) {
    CountingFilter filter(description());
    filter.SetParameter("path", toCode(ParamType::Float), ParamValue::ofString("file:/a/file:/b"));
    filter.SetParameter("newText", toCode(ParamType::String), ParamValue::ofString("file:/x"));
    filter.SetParameter("newFloat", toCode(ParamType::Float), ParamValue::ofString("file:/x"));
    struct Expected {
        const char* name;
        ParamType type;
        const char* text;
    };
    for (const Expected& e : {Expected{"path", ParamType::String, "a/file:/b"},
                              Expected{"newText", ParamType::String, "x"},
                              Expected{"newFloat", ParamType::Float, "file:/x"}}) {
        uint32_t type = 0;
        ParamValue value;
        ASSERT_EQ(filter.GetParameter(e.name, &type, &value), 0) << e.name;
        EXPECT_EQ(type, toCode(e.type)) << e.name;
        EXPECT_EQ(value.text, e.text) << e.name;
    }
}

TEST(EffectFilter, UnknownNamesLeaveOutputsUntouched) {
    CountingFilter filter(description());
    uint32_t type = 99;
    ParamValue value = ParamValue::ofInt(5);
    EXPECT_EQ(filter.GetParameter("missing", &type, &value), 1);
    EXPECT_FALSE(filter.GetParam("missing", value));
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(value.asInt(), 5);
}

TEST(EffectFilter, TransformChannelsOnlyForFourChannels) {
    CountingFilter filter(description());
    EXPECT_EQ(filter.TransformChannels(nullptr, 0, 0, 0, nullptr, 0, 0, 0, nullptr, 0, 0, 0, 4, 4, 3), 1);
    EXPECT_EQ(filter.TransformChannels(nullptr, 0, 0, 0, nullptr, 0, 0, 0, nullptr, 0, 0, 0, 3, 4, 4), 1);
    EXPECT_EQ(filter.calls, 0);
    EXPECT_EQ(filter.TransformChannels(nullptr, 0, 0, 0, nullptr, 0, 0, 0, nullptr, 0, 0, 0, 4, 4, 4), 7);
    EXPECT_EQ(filter.calls, 1);
}

// A fresh filter runs at 25 frames a second over the whole frame and claims no capability.
TEST(EffectFilter, FreshContextAndStoredSettings) {
    CountingFilter filter(description());
    EXPECT_EQ(filter.GetFrameRateNumerator(), 25u);
    EXPECT_EQ(filter.GetFrameRateDenominator(), 1u);
    const auto roi = filter.GetROI();
    EXPECT_EQ(cv::Vec4f(roi.x, roi.y, roi.width, roi.height), cv::Vec4f(0, 0, 1, 1));
    EXPECT_FALSE(filter.QueryCapability());

    const float rect[] = {0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_EQ(filter.SetROI(rect) + filter.SetFrameRate(30000, 1001) + filter.SetCurrentTime(12) +
                  filter.SetTotalTime(99), 0);
    EXPECT_EQ(filter.GetROI().height, 0.4f);
    EXPECT_EQ(filter.GetFrameRateDenominator(), 1001u);
    EXPECT_EQ(filter.GetCurrentTime(), 12u);
    EXPECT_EQ(filter.GetTotalTime(), 99u);
}
