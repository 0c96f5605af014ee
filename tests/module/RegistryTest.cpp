#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"
#include "plugins/qorCommonFxPlugin/ParameterRegistration.h"
#include "module/LoadedModule.h"
#include "support/TestSupport.h"
#include "tools/qorfx/HostRegistrar.h"

using namespace tessel;
using namespace tessel::qorCommonFxPlugin;

namespace {

constexpr const char* kGreenGuid = "BED49B76-3BBB-46E6-8030-F00EAC42BF71";

NLEFilterInfoPtr descriptionOfType(int32_t type) {
    auto info = std::make_shared<NLEFilterInfo>();
    info->SetGUID(kGreenGuid);
    info->SetAlgorithmType(type);
    return info;
}

// Registers the description file `json` through the start-up callback.
void found(EffectRegistry& registry, const qortest::TempFolder& temp, const std::string& json) {
    const std::string file = temp.write("fx/description.json", json);
    registry.onDescriptionFound(_EffectFileType::DescriptionJson, file, temp.path() + "/fx/");
}

// A numeric value of a description record, read as its record type stores it.
double numberOf(const ParamValue& value, uint32_t type) {
    if (type == toCode(ParamType::Float)) return value.asFloat();
    if (type == toCode(ParamType::Double)) return value.asDouble();
    return value.asInt();
}

// Registers every bundled description through the start-up callback.
void registerBundledPack(EffectRegistry& registry) {
    const std::string pack = qortest::bundledEffectRoot() + "/qor_effect/plugin/CommonFx";
    for (const auto& folder : std::filesystem::directory_iterator(pack)) {
        const std::string file = folder.path().string() + "/description.json";
        registry.onDescriptionFound(_EffectFileType::DescriptionJson, file, folder.path().string() + "/");
    }
}

}  // namespace

TEST(Declarations, AgreeWithEveryBundledDescription) {
    EffectRegistry registry;
    registerBundledPack(registry);
    ASSERT_EQ(registry.count(), 26u);
    for (std::size_t i = 0; i < registry.count(); ++i) {
        const NLEFilterInfo& info = *registry.at(i);
        SCOPED_TRACE(info.GetName());
        const auto* declared = EffectRegistry::declaredParameters(info.GetAlgorithmType());
        if (!declared) continue;
        std::map<std::string, NLEFilterParamsPtr> described;
        for (int32_t p = 0; p < info.GetParamCount(); ++p) {
            if (const auto param = info.GetParamAt(p)) described[param->GetName()] = param;
        }
        std::set<std::string> describedNames, declaredNames;
        for (const auto& entry : described) describedNames.insert(entry.first);
        for (const auto& declaration : *declared) declaredNames.insert(declaration.name);
        EXPECT_EQ(describedNames, declaredNames);
        for (const auto& declaration : *declared) {
            if (!described.count(declaration.name)) continue;
            SCOPED_TRACE(declaration.name);
            const NLEFilterParamsPtr& param = described[declaration.name];
            const uint32_t type = param->GetType();
            EXPECT_TRUE(kindAccepts(declaration.kind, type))
                << "read as " << kindName(declaration.kind) << ", described with type " << type;
            if (declaration.kind == ParamKind::Text) continue;
            const double minimum = numberOf(param->GetMin(), type), maximum = numberOf(param->GetMax(), type);
            EXPECT_LE(minimum, declaration.defaultValue);
            EXPECT_LE(declaration.defaultValue, maximum);
            EXPECT_LE(minimum, numberOf(param->GetDefault(), type));
            EXPECT_LE(numberOf(param->GetDefault(), type), maximum);
        }
    }
}

TEST(BuiltinTable, KnowsExactlyTheTwentySixEffects) {
    EXPECT_EQ(BuiltinEffectTypes.size(), 26u);
    EXPECT_EQ(EffectRegistry::builtinTypeOf(kGreenGuid), 9);
    EXPECT_EQ(EffectRegistry::builtinTypeOf("bed49b76-3bbb-46e6-8030-f00eac42bf71"), 0);
    EXPECT_EQ(EffectRegistry::builtinTypeOf("0252B095-6200-4D5D-A77C-59624C2D45AA"), 100);
    EXPECT_EQ(EffectRegistry::builtinTypeOf("44F9F2EE-5EFD-4C8B-8E99-AA411DB56B36"), 100);
    EXPECT_EQ(EffectRegistry::builtinTypeOf(""), 0);
    EXPECT_EQ(EffectRegistry::builtinTypeOf(nullptr), 0);
}

TEST(Registry, SkinDetectionDependencyOnlyForTheText256) {
    qortest::TempFolder temp;
    EffectRegistry registry;
    for (const char* value : {R"("256")", R"("2560")", R"("25")", "256", "null"}) {
        found(registry, temp, std::string(R"({"GUID": "BED49B76-3BBB-46E6-8030-F00EAC42BF71", "ALGORITHM_TYPE": )") +
                                  value + "}");
    }
    ASSERT_EQ(registry.count(), 5u);
    EXPECT_EQ(registry.at(0)->GetDependentEffects(), std::vector<std::string>{"B6812345-039A-49CB-BEBB-339EACCD00F0"});
    for (std::size_t i = 1; i < 5; ++i) EXPECT_TRUE(registry.at(i)->GetDependentEffects().empty()) << i;
}

TEST(Factory, BuildsClassesOnlyForTypesThatHaveOne) {
    EXPECT_NE(dynamic_cast<NLEGreenChannelControl*>(EffectRegistry::createFilter(descriptionOfType(9)).get()), nullptr);
    for (const int32_t type : {0, 3, 88, 110, 111, 200, -1}) {
        EXPECT_EQ(EffectRegistry::createFilter(descriptionOfType(type)), nullptr) << type;
    }
    EXPECT_EQ(EffectRegistry::createFilter(nullptr), nullptr);
}

TEST(Registration, UnannouncedParametersStillTakeTheirIndex) {
    NLEFilterInfo info;
    info.SetGUID(kGreenGuid);
    info.SetName("Matte");
    auto make = [](const char* name, ParamType type) {
        auto param = std::make_shared<NLEFilterParams>();
        param->SetName(name);
        param->SetType(toCode(type));
        return param;
    };
    info.SetParamAt(0, make("first", ParamType::Int));
    info.SetParamAt(1, make("flag", ParamType::Bool));
    info.SetParamAt(2, make("where", ParamType::Point));
    info.SetParamAt(3, make("reserved", ParamType::Reserved));
    info.SetParamAt(5, make("last", ParamType::Float));
    info.SetParamCount(6);
    info.SetBuiltin(1);

    qorfx::HostRegistrar registrar;
    registerDescription(registrar, info);
    ASSERT_EQ(registrar.effects.size(), 1u);
    const auto& params = registrar.effects[0].params;
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].index, 0);
    EXPECT_EQ(params[1].name, "last");
    EXPECT_EQ(params[1].index, 5);
    EXPECT_EQ(registrar.effects[0].flags, 0x1022u);
}
