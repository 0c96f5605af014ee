#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "framework/ConfDescription.h"
#include "framework/DescriptionJson.h"
#include "framework/DescriptionParams.h"
#include "support/TestSupport.h"

using namespace tessel;
using nlohmann::json;

namespace {

constexpr const char* kGuid = "BED49B76-3BBB-46E6-8030-F00EAC42BF71";

json withGuid(json root) {
    root["GUID"] = kGuid;
    return root;
}

}  // namespace

TEST(DescriptionJson, DescribesNothingWithoutAGuid) {
    for (const json& root : {json(), json::object(), json::array(), json{{"GUID", ""}}, json{{"NAME", "x"}}}) {
        EXPECT_EQ(buildDescriptionJson(root, "F/"), nullptr) << root;
    }
}

// Shader files are taken relative to the folder; numbers given as text are read up to their first
// non-digit.
TEST(DescriptionJson, ReadsIdentityShadersAndNumbers) {
    const auto info = buildDescriptionJson(
        withGuid({{"NAME", "Matte"}, {"OPENGL", "a.frag"}, {"OPENGL_VERTEX", "a.vert"}, {"OPENCL", "k.cl"},
                  {"DYNAMIC", " 12abc"}, {"ENCRYPT", "-3"}, {"OPENGL_TYPE", "t"}, {"SUB_GUID", "s"}, {"FUNCTION", 3},
                  {"INNERROI", 1}, {"ALGORITHM_TYPE", "256"}}),
        "F/");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetGUID() + " " + info->GetName() + " " + info->GetOpenGLType() + " " + info->GetSubGUID(),
              std::string(kGuid) + " Matte t s");
    EXPECT_EQ(info->GetOpenGLSource() + " " + info->GetOpenGLVertexSource() + " " + info->GetOpenCLSource(),
              "F/a.frag F/a.vert F/k.cl");
    EXPECT_EQ((std::vector<uint32_t>{info->HasOpenGL(), info->HasOpenGLVertex(), info->HasOpenCL()}),
              (std::vector<uint32_t>{1, 1, 1}));
    const int numbers[] = {info->GetDynamic(), info->GetEncrypt(), info->GetFunction(), info->GetInnerROI(),
                           info->GetIgnoreDefault()};
    EXPECT_EQ(std::vector<int>(numbers, numbers + 5), (std::vector<int>{12, -3, 3, 1, 0}));
    EXPECT_TRUE(info->GetDependentEffects().empty()) << "the registry, not this builder, applies ALGORITHM_TYPE";
}

TEST(DescriptionJson, TexturesByKind) {
    const json textures = json::array({{{"TYPE", "image"}, {"FILE", "a.png"}}, json::object(), nullptr,
                                       {{"TYPE", "lut"}, {"FILE", "b.cube"}}});
    const auto info = buildDescriptionJson(withGuid({{"TEXTURES", textures}}), "F/");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetTextureCount(), 2);
    EXPECT_EQ(info->GetTextureAt(0), "F/a.png");
    EXPECT_EQ(info->GetTextureAt(1), "lut|F/b.cube");
}

// Unknown type words ("bool") and entries that are not objects are skipped; a point is an int.
TEST(DescriptionJson, ParametersOfEveryTypeWord) {
    const json params = json::array({
        {{"NAME", "d"}, {"TYPE", "double"}, {"MIN", 0}, {"MAX", 100}, {"DEFAULT", 5}},
        {{"NAME", "f"}, {"TYPE", "float"}, {"MIN", 0}, {"MAX", 1}, {"DEFAULT", true}, {"UIType", "Mult100"}},
        {{"NAME", "skip"}, {"TYPE", "bool"}},
        {{"NAME", "i"}, {"ALIAS", "eye"}, {"TYPE", "int"}, {"MIN", -5}, {"MAX", 5}, {"DEFAULT", 2},
         {"UIType", "mult100"}, {"KEYFRAME", 0}},
        "not an object",
        {{"NAME", "p"}, {"TYPE", "point"}, {"DEFAULT", 3}},
        {{"NAME", "s"}, {"TYPE", "string"}, {"DEFAULT", "ignored"}, {"UIType", "ListMask"}},
        {{"NAME", "ptr"}, {"TYPE", "pointer"}, {"DEFAULT", 9}},
    });
    const auto info = buildDescriptionJson(withGuid({{"PARAMS", params}}), "F/");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->GetParamCount(), 6);
    const auto at = [&](int index) { return info->GetParamAt(index); };
    const ParamType types[] = {ParamType::Double, ParamType::Float, ParamType::Int,
                               ParamType::Int,    ParamType::String, ParamType::Pointer};
    for (int index = 0; index < 6; ++index) EXPECT_EQ(at(index)->GetType(), toCode(types[index])) << index;
    EXPECT_EQ(at(0)->GetCurrent().asDouble(), 5.0);
    EXPECT_EQ(at(0)->GetMax().asDouble(), 100.0);
    EXPECT_EQ(at(1)->GetUIType(), 25u);
    EXPECT_EQ(at(1)->GetDefault().asFloat(), 1.0f);
    EXPECT_EQ(at(1)->GetAlias(), "f") << "the alias defaults to the name";
    EXPECT_EQ(at(2)->GetName() + " " + at(2)->GetAlias(), "i eye");
    EXPECT_EQ(at(2)->GetUIType(), 0u) << "widget names are compared exactly";
    EXPECT_EQ(at(2)->GetKeyframe(), 0);
    EXPECT_EQ(at(2)->GetMin().asInt(), -5);
    EXPECT_EQ(at(2)->GetCurrent().asInt(), 2);
    EXPECT_EQ(at(3)->GetDefault().asInt(), 3);
    EXPECT_EQ(at(3)->GetMin().asInt(), 0) << "a missing MIN is 0, never a leftover of an earlier parameter";
    EXPECT_EQ(at(3)->GetMax().asInt(), 0);
    EXPECT_EQ(at(4)->GetDefault().text + at(4)->GetCurrent().text, "") << "a string default is always empty";
    EXPECT_EQ(at(4)->GetUIType(), 13u);
    EXPECT_EQ(at(5)->GetDefault().asPointer(), 0u);
}

TEST(DescriptionJson, ParamsGivenAsAnObjectAreTakenInKeyOrder) {
    const json params = {{"b", {{"NAME", "second"}, {"TYPE", "int"}}}, {"a", {{"NAME", "first"}, {"TYPE", "int"}}}};
    const auto info = buildDescriptionJson(withGuid({{"PARAMS", params}}), "F/");
    ASSERT_EQ(info->GetParamCount(), 2);
    EXPECT_EQ(info->GetParamAt(0)->GetName(), "first");
}

TEST(DescriptionJson, MalformedValuesRaise) {
    const auto build = [](const json& root) { return buildDescriptionJson(root, "F/"); };
    for (const json& root :
         {withGuid({{"FUNCTION", "3"}}), json{{"GUID", 5}}, withGuid({{"NAME", 1}}), withGuid({{"DYNAMIC", 1}}),
          withGuid({{"TEXTURES", json::array({"a.png"})}}),
          withGuid({{"TEXTURES", json::array({{{"TYPE", "image"}}})}}),
          withGuid({{"PARAMS", json::array({{{"NAME", "x"}, {"TYPE", "int"}, {"MIN", "0"}}})}})}) {
        EXPECT_THROW(build(root), json::type_error) << root;
    }
    EXPECT_THROW(build(withGuid({{"DYNAMIC", "x1"}})), std::invalid_argument);
    EXPECT_THROW(build(withGuid({{"ENCRYPT", "99999999999"}})), std::out_of_range);
}

// Converting a double outside the int range to int is undefined; such numbers saturate.
TEST(DescriptionJson, IntegersBeyondTheIntRangeSaturate) {
    const json params = json::array({{{"TYPE", "int"}, {"MIN", -1e300}, {"MAX", 1e300}, {"DEFAULT", 2.9},
                                      {"KEYFRAME", 3e9}}});
    const auto info = buildDescriptionJson(withGuid({{"FUNCTION", 1e300}, {"INNERROI", -3e9}, {"PARAMS", params}}), "F/");
    EXPECT_EQ(info->GetFunction(), INT32_MAX);
    EXPECT_EQ(info->GetInnerROI(), INT32_MIN);
    const auto param = info->GetParamAt(0);
    EXPECT_EQ(param->GetMin().asInt(), INT32_MIN);
    EXPECT_EQ(param->GetMax().asInt(), INT32_MAX);
    EXPECT_EQ(param->GetDefault().asInt(), 2);
    EXPECT_EQ(param->GetKeyframe(), INT32_MAX);
}

// No widget kinds, no bool or double type words, and without NAME the OpenCL file name up to its
// last dot.
TEST(ConfDescription, BuildsTheSmallerFormat) {
    EXPECT_EQ(buildConfDescription(json::object(), "F/"), nullptr);
    EXPECT_EQ(buildConfDescription(json{{"GUID", ""}}, "F/"), nullptr);
    const json params = json::array({{{"NAME", "f"}, {"TYPE", "float"}, {"MIN", 0}, {"MAX", 2}, {"DEFAULT", 1}},
                                     {{"NAME", "b"}, {"TYPE", "bool"}},
                                     {{"NAME", "d"}, {"TYPE", "double"}},
                                     {{"NAME", "i"}, {"TYPE", "int"}, {"DEFAULT", 4}, {"UIType", "Color"}},
                                     {{"NAME", "p"}, {"TYPE", "point"}, {"DEFAULT", 3}},
                                     {{"NAME", "s"}, {"TYPE", "string"}, {"DEFAULT", "x"}}});
    const auto info = buildConfDescription(withGuid({{"OPENCL", "blur.v2.cl"}, {"DYNAMIC", "1"}, {"PARAMS", params}}),
                                           "F/");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetOpenCLSource(), "F/blur.v2.cl");
    EXPECT_EQ(info->HasOpenCL(), 1u);
    EXPECT_EQ(info->GetName(), "blur.v2");
    EXPECT_EQ(info->GetDynamic(), 1);
    ASSERT_EQ(info->GetParamCount(), 4);
    EXPECT_EQ(info->GetParamAt(1)->GetName(), "i");
    EXPECT_EQ(info->GetParamAt(1)->GetUIType(), 0u);
    EXPECT_EQ(info->GetParamAt(2)->GetType(), toCode(ParamType::Int));
    EXPECT_EQ(info->GetParamAt(2)->GetDefault().asInt(), 3);
    EXPECT_EQ(info->GetParamAt(3)->GetCurrent().text, "");
    EXPECT_EQ(buildConfDescription(withGuid({{"OPENCL", "noext"}}), "F/")->GetName(), "noext");
    EXPECT_EQ(buildConfDescription(withGuid({}), "F/")->GetName(), "");
    EXPECT_THROW(buildConfDescription(withGuid({{"DYNAMIC", 1}}), "F/"), json::type_error);
    EXPECT_THROW(buildConfDescription(withGuid({{"DYNAMIC", "abc"}}), "F/"), std::invalid_argument);
}

TEST(ConfDescription, SkinDetectionOnlyForExactly256) {
    EXPECT_EQ(buildConfDescription(withGuid({{"ALGORITHM_TYPE", "256"}}), "F/")->GetDependentEffects(),
              std::vector<std::string>{kSkinDetectionGuid});
    for (const char* type : {"2560", "25"}) {
        EXPECT_TRUE(buildConfDescription(withGuid({{"ALGORITHM_TYPE", type}}), "F/")->GetDependentEffects().empty());
    }
}

TEST(ConfDescription, ReaderTakesTheFolderFromThePath) {
    qortest::TempFolder temp;
    const auto info = readConfDescription(temp.write("fx/blur.conf", R"({"GUID": "G", "OPENCL": "k.cl"})"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetOpenCLSource(), temp.path() + "/fx/k.cl");
    EXPECT_EQ(readConfDescription(temp.path() + "/missing.conf"), nullptr);
    EXPECT_EQ(readConfDescription(temp.write("bad.conf", "{ not json")), nullptr);
}

TEST(DescriptionFiles, NumberBeyondDoubleRangeIsNoJson) {
    // The JSON library reports such a number with an out-of-range error, not a parse error; the
    // readers must still fail quietly, or one bad file ends the start-up walk.
    qortest::TempFolder temp;
    json root;
    EXPECT_FALSE(readJsonFile(temp.write("description.json", R"({"GUID": 1e616})"), root));
    EXPECT_TRUE(root.is_null());
    EXPECT_EQ(readConfDescription(temp.write("fx.conf", R"({"GUID": "G", "PARAMS": [{"MIN": -1e400}]})")), nullptr);
}
