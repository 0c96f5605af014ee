// The module as a host sees it: loaded with dlopen and driven only through its six entry points.

#include <gtest/gtest.h>

#include <cstring>

#include "module/LoadedModule.h"
#include "tools/qorfx/FrameContext.h"

using namespace qortest;
using qorfx::ParamWidget;

namespace {

constexpr const char* kGreenGuid = "BED49B76-3BBB-46E6-8030-F00EAC42BF71";
constexpr const char* kSharpenGuid = "616D7BAC-39DB-415A-9EEA-798678A43617";
constexpr const char* kNoClassGuid = "56A91214-616D-4C81-B857-EDC89D770CC2";
constexpr const char* kSkinGuid = "B6812345-039A-49CB-BEBB-339EACCD00F0";

std::string described(const std::string& guid, const std::string& extra = "") {
    return R"({"GUID": ")" + guid + R"(", "NAME": "Test )" + guid.substr(0, 4) + "\"" + extra + "}";
}

// A description that announces one parameter of every kind the registrar knows.
const char* kAllKinds = R"({"GUID": "616D7BAC-39DB-415A-9EEA-798678A43617", "NAME": "Kinds", "DYNAMIC": "1",
  "ALGORITHM_TYPE": "256", "PARAMS": [
  {"NAME": "f", "TYPE": "float", "MIN": -1.5, "MAX": 2.5, "DEFAULT": 0.5},
  {"NAME": "pct", "TYPE": "float", "MIN": 0, "MAX": 1, "DEFAULT": 0.25, "UIType": "Mult100"},
  {"NAME": "d", "TYPE": "double", "MIN": -10, "MAX": 1e10, "DEFAULT": 3.25},
  {"NAME": "i", "TYPE": "int", "MIN": -3, "MAX": 30, "DEFAULT": 7, "UIType": "NoShow"},
  {"NAME": "c", "TYPE": "int", "MIN": 0, "MAX": 16777215, "DEFAULT": 255, "UIType": "Color"},
  {"NAME": "box", "TYPE": "int", "MIN": 0, "MAX": 1, "DEFAULT": 1, "UIType": "CheckBox"},
  {"NAME": "nine", "TYPE": "int", "MIN": 1, "MAX": 9, "DEFAULT": 5, "UIType": "9Palaces"},
  {"NAME": "mosaic", "TYPE": "int", "MIN": 2, "MAX": 8, "DEFAULT": 4, "UIType": "ListMosaic"},
  {"NAME": "start", "TYPE": "int", "MIN": 10, "MAX": 20, "DEFAULT": 11, "UIType": "ColorStart"},
  {"NAME": "end", "TYPE": "int", "MIN": 30, "MAX": 40, "DEFAULT": 33, "UIType": "ColorEnd"},
  {"NAME": "text", "TYPE": "string", "DEFAULT": "ignored"},
  {"NAME": "mask", "TYPE": "string", "UIType": "ListMask"},
  {"NAME": "ptr", "TYPE": "pointer"},
  {"NAME": "pt", "TYPE": "point", "MIN": 0, "MAX": 100, "DEFAULT": 50}
]})";

}  // namespace

TEST(ModuleStartup, FillsTheInformationRecordAndAcquiresSuitesInOrder) {
    LoadedModule module(bundledEffectRoot());
    EXPECT_EQ(module.host().startup(), 0);
    const QORPluginInfo& info = module.host().info();
    EXPECT_EQ(std::vector<int32_t>({info.one1, info.one2, info.effectCount, info.zero}),
              std::vector<int32_t>({1, 1, 26, 0}));
    EXPECT_STREQ(info.name, "QOR CommonFx Plugin");
    EXPECT_STREQ(info.description, "KAV CommonFx Filters");
    ASSERT_NE(info.vendor, nullptr);
    EXPECT_NE(std::strchr(info.vendor, '.'), nullptr) << "a reverse-domain identifier";
    EXPECT_STREQ(info.empty, "");
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"Memory Allocator Suite", 1}, {"Image Buffer ALlocator Suite", 1}, {"Host Util Suite", 1},
        {"GPU Device Suite", 1}};
    EXPECT_EQ(module.host().suites().requested, expected);
    ASSERT_FALSE(module.host().util().pathKindsAsked.empty());
    EXPECT_EQ(module.host().util().pathKindsAsked.front(), 1);
}

TEST(ModuleStartup, MissingOrEmptyEffectFolderGivesNoEffects) {
    TempFolder empty;
    empty.folder("qor_effect/plugin/CommonFx");
    for (const std::string& root : {empty.path() + "/nowhere", empty.path()}) {
        LoadedModule module(root);
        EXPECT_EQ(module.host().startup(), 0) << root;
        EXPECT_EQ(module.host().info().effectCount, 0) << root;
    }
}

TEST(ModuleStartup, MalformedDescriptionsAreDroppedAndLogged) {
    TempFolder root;
    writeDescription(root, "a", described(kGreenGuid));
    writeDescription(root, "b", described(kSharpenGuid, R"(, "DYNAMIC": 1)"));
    writeDescription(root, "c", described(kNoClassGuid, R"(, "TEXTURES": ["x.png"])"));
    writeDescription(root, "d", R"({"GUID": "616D7BAC-39DB-415A-9EEA-798678A43617", "DYNAMIC": "one"})");
    writeDescription(root, "e", "{ this is not json");
    writeDescription(root, "f", described("00000000-0000-0000-0000-000000000000"));
    LoadedModule module(root.path());
    EXPECT_EQ(module.host().startup(), 0);
    EXPECT_EQ(module.host().info().effectCount, 1);
    int diagnostics = 0;
    for (const auto& message : module.host().util().messages) diagnostics += message.level == 2;
    EXPECT_EQ(diagnostics, 4) << "one diagnostic per malformed description, the one that is not JSON included";
}

// Beside the description of every kind, one whose DYNAMIC is "0" (no dynamic mark in its flags) and
// whose names are cut to 127 characters.
TEST(ModuleRegistration, EachKindGoesToItsOperationWithItsArgumentOrder) {
    TempFolder root;
    writeDescription(root, "kinds", kAllKinds);
    const std::string longName(200, 'n');
    writeDescription(root, "long", R"({"GUID": ")" + std::string(kGreenGuid) + R"(", "DYNAMIC": "0", "NAME": ")" +
                                       longName + R"(", "PARAMS": [{"NAME": ")" + longName + R"(", "TYPE": "int"}]})");
    LoadedModule module(root.path());
    module.startAndRegister();
    const auto& effects = module.registrar().effects;
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(module.registrar().unexpectedCalls, 0);
    const bool kindsFirst = effects[0].guid == kSharpenGuid;
    const auto& effect = effects[kindsFirst ? 0 : 1];
    const auto& plain = effects[kindsFirst ? 1 : 0];
    EXPECT_EQ(plain.flags, 0x1022u);
    EXPECT_EQ(plain.name, std::string(127, 'n'));
    EXPECT_EQ(plain.params.at(0).name, std::string(127, 'n'));
    EXPECT_EQ(effect.guid, kSharpenGuid);
    EXPECT_EQ(effect.name, "Kinds");
    EXPECT_EQ(effect.flags, 0x801022u);
    ASSERT_EQ(effect.params.size(), 14u);

    struct Expected {
        ParamWidget widget;
        std::vector<double> numbers;
        int32_t trailing;
    };
    const Expected expected[] = {
        {ParamWidget::Float, {-1.5, 2.5, 0.5}, 2},
        {ParamWidget::Mult100, {0.0, 1.0, 0.25}, 2},
        {ParamWidget::Double, {-10.0, 1e10, 3.25}, 2},
        {ParamWidget::Int, {-3, 30, 7}, 1},
        {ParamWidget::Color, {255, 0, 16777215}, 2},
        {ParamWidget::CheckBox, {0, 1, 1}, 2},
        {ParamWidget::NinePalaces, {1, 9, 5}, 0},
        {ParamWidget::ListMosaic, {2, 8, 4}, 0},
        {ParamWidget::ColorStart, {10, 20, 11}, 2},
        {ParamWidget::ColorEnd, {30, 40, 33}, 2},
        {ParamWidget::String, {}, 0},
        {ParamWidget::ListMask, {}, 0},
        {ParamWidget::String, {}, 0},
        {ParamWidget::Int, {0, 100, 50}, 2},
    };
    for (std::size_t i = 0; i < effect.params.size(); ++i) {
        const auto& param = effect.params[i];
        SCOPED_TRACE(param.name);
        EXPECT_EQ(param.widget, expected[i].widget);
        EXPECT_EQ(param.numbers, expected[i].numbers);
        EXPECT_EQ(param.trailing, expected[i].trailing);
        EXPECT_EQ(param.leading, -1);
        EXPECT_EQ(param.index, static_cast<int32_t>(i));
        EXPECT_EQ(param.name, param.name2);
    }
    EXPECT_EQ(effect.params[3].one, 1);
    EXPECT_TRUE(effect.params[10].hasText);
    EXPECT_EQ(effect.params[10].text, "") << "a string default is always empty";
    EXPECT_FALSE(effect.params[12].hasText) << "a pointer parameter is announced with a null text";
    EXPECT_EQ(effect.dependentEffects, std::vector<std::string>{kSkinGuid});
}

TEST(ModuleRegistration, DuplicateGuidsKeepBothIndicesAndCreateFromTheLater) {
    TempFolder root;
    writeDescription(root, "a", described(kGreenGuid, R"(, "PARAMS": [{"NAME": "first", "TYPE": "int"}])"));
    writeDescription(root, "b", described(kGreenGuid, R"(, "PARAMS": [{"NAME": "second", "TYPE": "int"}])"));
    LoadedModule module(root.path());
    module.startAndRegister();
    ASSERT_EQ(module.registrar().effects.size(), 2u);
    EXPECT_EQ(module.registrar().effects[0].guid, module.registrar().effects[1].guid);

    qorfx::EffectHandle effect = module.host().create(kGreenGuid, 0);
    ASSERT_TRUE(effect);
    qorfx::FrameContext context;
    effect->UpdateParameters(&context);
    std::set<std::string> asked;
    for (const auto& query : context.queries) asked.insert(query.name);
    const std::string later = module.registrar().effects[1].params.at(0).name;
    EXPECT_EQ(asked.count(later), 1u) << "creation uses the description registered last";
}

TEST(ModuleRegistration, ConfFolderRegistersWithoutTheBuiltinMark) {
    TempFolder root;
    root.write("dyn/effect.conf", R"({"GUID": "616D7BAC-39DB-415A-9EEA-798678A43617", "NAME": "Sharp", "DYNAMIC": "1",
        "ALGORITHM_TYPE": "256", "PARAMS": [{"NAME": "amount", "TYPE": "float", "MIN": -100, "MAX": 100, "DEFAULT": 50}]})");
    root.write("plain/effect.conf", R"({"GUID": "BED49B76-3BBB-46E6-8030-F00EAC42BF71"})");
    LoadedModule module(root.path());
    module.host().startup();
    auto& registrar = module.registrar();
    EXPECT_EQ(module.entry().registerFromConfPath((root.path() + "/dyn").c_str(), &registrar), 0);
    EXPECT_EQ(module.entry().registerFromConfPath((root.path() + "/plain").c_str(), &registrar), 0);
    ASSERT_EQ(registrar.effects.size(), 2u);
    EXPECT_EQ(registrar.effects[0].flags, 0x801002u);
    EXPECT_EQ(registrar.effects[0].params.at(0).widget, ParamWidget::Float);
    EXPECT_EQ(registrar.effects[0].dependentEffects, std::vector<std::string>{kSkinGuid});
    EXPECT_EQ(registrar.effects[1].flags, 0x1002u);
    EXPECT_TRUE(module.host().create(kGreenGuid, 0)) << "registered descriptions become creatable";
}

TEST(ModuleRegistration, ConfFolderFailuresReturnTwoAndLogThePath) {
    TempFolder root;
    const std::string file = root.write("fx/effect.conf", R"({"GUID": "BED49B76-3BBB-46E6-8030-F00EAC42BF71"})");
    root.folder("empty");
    root.write("bad/effect.conf", R"({"GUID": "BED49B76-3BBB-46E6-8030-F00EAC42BF71", "DYNAMIC": 1})");
    root.write("unknown/effect.conf", R"({"GUID": "00000000-0000-0000-0000-000000000000"})");
    LoadedModule module(root.path());
    module.host().startup();
    auto& registrar = module.registrar();
    EXPECT_EQ(module.entry().registerFromConfPath(nullptr, &registrar), 2);
    EXPECT_EQ(module.entry().registerFromConfPath(root.path().c_str(), nullptr), 2);
    for (const std::string& path : {file, root.path() + "/empty", root.path() + "/bad", root.path() + "/unknown"}) {
        SCOPED_TRACE(path);
        module.host().util().messages.clear();
        EXPECT_EQ(module.entry().registerFromConfPath(path.c_str(), &registrar), 2);
        bool logged = false;
        for (const auto& message : module.host().util().messages) {
            logged |= message.level == 4 && message.text == "Register CommonFx Effect Failed: " + path;
        }
        EXPECT_TRUE(logged);
    }
    EXPECT_TRUE(registrar.effects.empty());
}

// Registration past the count, creation of unknown, lower-case, cut or classless identifiers or with
// a non-zero flag, and release of an object the module did not make all fail without side effects.
TEST(ModuleEntryPoints, BadArgumentsFailAndStoreNothing) {
    struct Foreign : QOREffect {
        bool* destroyed;
        explicit Foreign(bool* flag) : destroyed(flag) {}
        ~Foreign() override { *destroyed = true; }
        int32_t Reserved1() override { return 0; }
        int32_t Reserved2() override { return 0; }
        int32_t UpdateParameters(QORRenderContext*) override { return 0; }
        int32_t Render(QORRenderContext*) override { return 0; }
        int32_t Reserved5() override { return 0; }
        int32_t Reserved6() override { return 0; }
        void ReleaseAiResources() override {}
        int32_t Reserved8() override { return 0; }
        int32_t Reserved9() override { return 0; }
    };
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    const auto count = static_cast<uint32_t>(module.host().info().effectCount);
    auto& registrar = module.registrar();
    ASSERT_EQ(registrar.effects.size(), count);
    EXPECT_EQ(module.entry().registerEffect(count, &registrar), 2);
    EXPECT_EQ(module.entry().registerEffect(0xFFFFFFFFu, &registrar), 2);
    EXPECT_EQ(registrar.effects.size(), count);

    QOREffect* sentinel = reinterpret_cast<QOREffect*>(0x1);
    QOREffect* effect = sentinel;
    for (const char* guid : {"00000000-0000-0000-0000-000000000000", "bed49b76-3bbb-46e6-8030-f00eac42bf71",
                             "BED49B76", kNoClassGuid, static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(module.entry().createEffect(guid, 0, &effect), 2) << (guid ? guid : "null");
    }
    EXPECT_EQ(module.entry().createEffect(kGreenGuid, 1, &effect), 2);
    EXPECT_EQ(effect, sentinel);
    EXPECT_EQ(module.entry().createEffect(kGreenGuid, 0, nullptr), 2);

    bool destroyed = false;
    Foreign foreign(&destroyed);
    module.entry().releaseEffect(&foreign);
    module.entry().releaseEffect(nullptr);
    EXPECT_FALSE(destroyed);
}

TEST(ModuleFrames, ParametersAreAskedByKindUnderCutNamesAtTheCurrentTime) {
    TempFolder root;
    const std::string longName = "averyveryverylongparameternamethatgoespast37";
    writeDescription(root, "p", described(kGreenGuid, R"(, "PARAMS": [
        {"NAME": "f", "TYPE": "float"}, {"NAME": "d", "TYPE": "double"}, {"NAME": "i", "TYPE": "int"},
        {"NAME": "s", "TYPE": "string"}, {"NAME": "ptr", "TYPE": "pointer"}, {"NAME": ")" + longName +
                                                        R"(", "TYPE": "int"}])"));
    LoadedModule module(root.path());
    module.startAndRegister();
    qorfx::EffectHandle effect = module.host().create(kGreenGuid, 0);
    ASSERT_TRUE(effect);
    qorfx::FrameContext context;
    context.currentTime = 1234567890123;
    EXPECT_EQ(effect->UpdateParameters(&context), 0);
    std::map<std::string, int32_t> kinds;
    for (const auto& query : context.queries) {
        kinds[query.name] = query.kind;
        EXPECT_EQ(query.time, context.currentTime);
    }
    const std::map<std::string, int32_t> expected = {{"f", 5}, {"d", 6},  {"i", 3}, {longName.substr(0, 37), 3},
                                                     {"s", 8}, {"ptr", 9}, {"skinProtect", 3}};
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(effect->UpdateParameters(nullptr), 0);
}

TEST(ModuleFrames, RendersThroughTheHostsBuffersAndReportsFailuresAsFour) {
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    qorfx::EffectHandle effect = module.host().create(kGreenGuid, 0);
    ASSERT_TRUE(effect);

    const cv::Mat picture = samplePicture("chelsea.png", 200);
    qorfx::MatImageBuffer input(picture.clone());
    qorfx::MatImageBuffer matte(cv::Mat(picture.size(), CV_8UC4, cv::Scalar(0, 90, 0, 0)));
    qorfx::MatImageBuffer output(cv::Mat::zeros(picture.size(), CV_8UC4));
    qorfx::FrameContext context;
    context.inputs = {&input};
    context.output = &output;
    EXPECT_EQ(effect->Render(&context), 4) << "the matte needs a second input";
    EXPECT_EQ(cv::countNonZero(output.picture().reshape(1)), 0);

    context.inputs = {&input, &matte};
    context.output = nullptr;
    EXPECT_EQ(effect->Render(&context), 4);
    EXPECT_EQ(effect->Render(nullptr), 4);

    context.output = &output;
    ASSERT_EQ(effect->Render(&context), 0);
    cv::Mat expected = picture.clone();
    expected.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) { p[3] = 90; });
    EXPECT_EQ(differingBytes(output.picture(), expected), 0) << "colours kept, alpha from the matte's green";
}

TEST(ModuleFrames, ValuesOfAnUnexpectedKindAreSkipped) {
    // A host that answers every question but stamps a kind the module cannot convert.
    struct OddKindContext : qorfx::FrameContext {
        int32_t GetParamValue(const char* name, int64_t time, QORParamValue* value) override {
            qorfx::FrameContext::GetParamValue(name, time, value);
            value->kind = 11;
            value->payload.f = -100.0f;
            return 0;
        }
    };
    LoadedModule module(bundledEffectRoot());
    module.startAndRegister();
    const cv::Mat picture = samplePicture("coffee.png", 220);

    auto render = [&](qorfx::FrameContext& context) {
        qorfx::EffectHandle effect = module.host().create(kSharpenGuid, 0);
        qorfx::MatImageBuffer input(picture.clone());
        qorfx::MatImageBuffer output(cv::Mat::zeros(picture.size(), CV_8UC4));
        context.inputs = {&input};
        context.output = &output;
        effect->UpdateParameters(&context);
        EXPECT_EQ(effect->Render(&context), 0);
        return output.picture().clone();
    };
    qorfx::FrameContext silent;
    OddKindContext odd;
    odd.values["amount"] = qorfx::HostValue::ofNumber(-100.0);
    EXPECT_EQ(differingBytes(render(silent), render(odd)), 0) << "the effect kept its own amount";
}
