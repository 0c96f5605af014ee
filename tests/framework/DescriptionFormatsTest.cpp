#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "framework/ConfDescription.h"
#include "framework/DescriptionJson.h"
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
    EXPECT_EQ(buildDescriptionJson(json(), "F/"), nullptr);
    EXPECT_EQ(buildDescriptionJson(json::object(), "F/"), nullptr);
    EXPECT_EQ(buildDescriptionJson(json::array(), "F/"), nullptr);
    EXPECT_EQ(buildDescriptionJson(json{{"GUID", ""}}, "F/"), nullptr);
    EXPECT_EQ(buildDescriptionJson(json{{"NAME", "x"}}, "F/"), nullptr);
}

TEST(DescriptionJson, ReadsIdentityShadersAndNumbers) {
    const auto info = buildDescriptionJson(withGuid({{"NAME", "Matte"},
                                                     {"OPENGL", "a.frag"},
                                                     {"OPENGL_VERTEX", "a.vert"},
                                                     {"OPENCL", "k.cl"},
                                                     {"DYNAMIC", " 12abc"},
                                                     {"ENCRYPT", "-3"},
                                                     {"OPENGL_TYPE", "t"},
                                                     {"SUB_GUID", "s"},
                                                     {"FUNCTION", 3},
                                                     {"INNERROI", 1},
                                                     {"ALGORITHM_TYPE", "256"}}),
                                           "F/");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetGUID(), kGuid);
    EXPECT_EQ(info->GetName(), "Matte");
    EXPECT_EQ(info->GetOpenGLSource(), "F/a.frag");
    EXPECT_EQ(info->GetOpenGLVertexSource(), "F/a.vert");
    EXPECT_EQ(info->GetOpenCLSource(), "F/k.cl");
    EXPECT_EQ(info->HasOpenGL(), 1u);
    EXPECT_EQ(info->HasOpenGLVertex(), 1u);
    EXPECT_EQ(info->HasOpenCL(), 1u);
    EXPECT_EQ(info->GetDynamic(), 12);
    EXPECT_EQ(info->GetEncrypt(), -3);
    EXPECT_EQ(info->GetOpenGLType(), "t");
    EXPECT_EQ(info->GetSubGUID(), "s");
    EXPECT_EQ(info->GetFunction(), 3);
    EXPECT_EQ(info->GetInnerROI(), 1);
    EXPECT_EQ(info->GetIgnoreDefault(), 0);
    EXPECT_TRUE(info->GetDependentEffects().empty()) << "the registry, not this builder, applies ALGORITHM_TYPE";
}

TEST(DescriptionJson, TexturesByKind) {
    const auto info = buildDescriptionJson(
        withGuid({{"TEXTURES", json::array({{{"TYPE", "image"}, {"FILE", "a.png"}},
                                            json::object(),
                                            nullptr,
                                            {{"TYPE", "lut"}, {"FILE", "b.cube"}}})}}),
        "F/");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetTextureCount(), 2);
    EXPECT_EQ(info->GetTextureAt(0), "F/a.png");
    EXPECT_EQ(info->GetTextureAt(1), "lut|F/b.cube");
}

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

    const auto d = info->GetParamAt(0);
    EXPECT_EQ(d->GetType(), toCode(ParamType::Double));
    EXPECT_EQ(d->GetCurrent().asDouble(), 5.0);
    EXPECT_EQ(d->GetMax().asDouble(), 100.0);

    const auto f = info->GetParamAt(1);
    EXPECT_EQ(f->GetType(), toCode(ParamType::Float));
    EXPECT_EQ(f->GetUIType(), 25u);
    EXPECT_EQ(f->GetDefault().asFloat(), 1.0f);

    const auto i = info->GetParamAt(2);
    EXPECT_EQ(i->GetName(), "i");
    EXPECT_EQ(i->GetAlias(), "eye");
    EXPECT_EQ(i->GetUIType(), 0u);
    EXPECT_EQ(i->GetKeyframe(), 0);
    EXPECT_EQ(i->GetMin().asInt(), -5);
    EXPECT_EQ(i->GetCurrent().asInt(), 2);
    EXPECT_EQ(f->GetAlias(), "f");

    const auto p = info->GetParamAt(3);
    EXPECT_EQ(p->GetType(), toCode(ParamType::Int));
    EXPECT_EQ(p->GetDefault().asInt(), 3);
    EXPECT_EQ(p->GetMin().asInt(), 0) << "a missing MIN is 0, never a leftover of an earlier parameter";
    EXPECT_EQ(p->GetMax().asInt(), 0);

    const auto s = info->GetParamAt(4);
    EXPECT_EQ(s->GetType(), toCode(ParamType::String));
    EXPECT_EQ(s->GetDefault().text, "");
    EXPECT_EQ(s->GetCurrent().text, "");
    EXPECT_EQ(s->GetUIType(), 13u);

    const auto ptr = info->GetParamAt(5);
    EXPECT_EQ(ptr->GetType(), toCode(ParamType::Pointer));
    EXPECT_EQ(ptr->GetDefault().asPointer(), 0u);
}

TEST(DescriptionJson, ParamsGivenAsAnObjectAreTakenInKeyOrder) {
    const json params = {{"b", {{"NAME", "second"}, {"TYPE", "int"}}}, {"a", {{"NAME", "first"}, {"TYPE", "int"}}}};
    const auto info = buildDescriptionJson(withGuid({{"PARAMS", params}}), "F/");
    ASSERT_EQ(info->GetParamCount(), 2);
    EXPECT_EQ(info->GetParamAt(0)->GetName(), "first");
}

TEST(DescriptionJson, MalformedValuesRaise) {
    EXPECT_THROW(buildDescriptionJson(withGuid({{"FUNCTION", "3"}}), "F/"), json::type_error);
    EXPECT_THROW(buildDescriptionJson(json{{"GUID", 5}}, "F/"), json::type_error);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"NAME", 1}}), "F/"), json::type_error);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"DYNAMIC", 1}}), "F/"), json::type_error);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"DYNAMIC", "x1"}}), "F/"), std::invalid_argument);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"ENCRYPT", "99999999999"}}), "F/"), std::out_of_range);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"TEXTURES", json::array({"a.png"})}}), "F/"), json::type_error);
    EXPECT_THROW(buildDescriptionJson(withGuid({{"TEXTURES", json::array({{{"TYPE", "image"}}})}}), "F/"),
                 json::type_error);
    EXPECT_THROW(buildDescriptionJson(
                     withGuid({{"PARAMS", json::array({{{"NAME", "x"}, {"TYPE", "int"}, {"MIN", "0"}}})}}), "F/"),
                 json::type_error);
}

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
    EXPECT_EQ(info->GetName(), "blur.v2") << "without NAME, the OpenCL file name up to its last dot";
    EXPECT_EQ(info->GetDynamic(), 1);
    ASSERT_EQ(info->GetParamCount(), 4) << "bool and double are not .conf type words";
    EXPECT_EQ(info->GetParamAt(1)->GetName(), "i");
    EXPECT_EQ(info->GetParamAt(1)->GetUIType(), 0u) << ".conf has no widget kinds";
    EXPECT_EQ(info->GetParamAt(2)->GetType(), toCode(ParamType::Int));
    EXPECT_EQ(info->GetParamAt(2)->GetDefault().asInt(), 3);
    EXPECT_EQ(info->GetParamAt(3)->GetCurrent().text, "");
}

TEST(ConfDescription, SkinDetectionOnlyForExactly256) {
    EXPECT_EQ(buildConfDescription(withGuid({{"ALGORITHM_TYPE", "256"}}), "F/")->GetDependentEffects(),
              std::vector<std::string>{kSkinDetectionGuid});
    EXPECT_TRUE(buildConfDescription(withGuid({{"ALGORITHM_TYPE", "2560"}}), "F/")->GetDependentEffects().empty());
    EXPECT_TRUE(buildConfDescription(withGuid({{"ALGORITHM_TYPE", "25"}}), "F/")->GetDependentEffects().empty());
    EXPECT_EQ(buildConfDescription(withGuid({{"OPENCL", "noext"}}), "F/")->GetName(), "noext");
    EXPECT_EQ(buildConfDescription(withGuid({}), "F/")->GetName(), "");
}

TEST(ConfDescription, MalformedValuesRaise) {
    EXPECT_THROW(buildConfDescription(withGuid({{"DYNAMIC", 1}}), "F/"), json::type_error);
    EXPECT_THROW(buildConfDescription(withGuid({{"DYNAMIC", "abc"}}), "F/"), std::invalid_argument);
}

TEST(ConfDescription, ReaderTakesTheFolderFromThePath) {
    qortest::TempFolder temp;
    const std::string path = temp.write("fx/blur.conf", R"({"GUID": "G", "OPENCL": "k.cl"})");
    const auto info = readConfDescription(path);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetOpenCLSource(), temp.path() + "/fx/k.cl");

    EXPECT_EQ(readConfDescription(temp.path() + "/missing.conf"), nullptr);
    EXPECT_EQ(readConfDescription(temp.write("bad.conf", "{ not json")), nullptr);
}
