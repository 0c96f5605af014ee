#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "framework/DescriptionDiscovery.h"
#include "support/TestSupport.h"

using namespace tessel;

namespace {

using Found = std::tuple<_EffectFileType, std::string, std::string>;

std::vector<Found> walk(const std::string& root, bool* result = nullptr) {
    std::vector<Found> found;
    const bool walked = walkEffectDescriptions(root.c_str(), [&](_EffectFileType kind, std::string file,
                                                                 std::string folder) {
        found.emplace_back(kind, file, folder);
    });
    if (result) *result = walked;
    return found;
}

}  // namespace

TEST(DescriptionWalk, MissingRootGivesFalseAndNoCalls) {
    qortest::TempFolder temp;
    bool result = true;
    EXPECT_TRUE(walk(temp.path() + "/nothing", &result).empty());
    EXPECT_FALSE(result);
}

TEST(DescriptionWalk, RootThatIsAFileGivesTrueAndNoCalls) {
    qortest::TempFolder temp;
    bool result = false;
    EXPECT_TRUE(walk(temp.write("file.json", "{}"), &result).empty());
    EXPECT_TRUE(result);
}

TEST(DescriptionWalk, NestedFoldersReportChildrenBeforeParents) {
    qortest::TempFolder temp;
    temp.write("A/description.json", "{}");
    temp.write("A/B/x.conf", "{}");
    const auto found = walk(temp.path());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(std::get<0>(found[0]), _EffectFileType::Conf);
    EXPECT_EQ(std::get<1>(found[0]), temp.path() + "/A/B/x.conf");
    EXPECT_EQ(std::get<2>(found[0]), temp.path() + "/A/B/");
    EXPECT_EQ(std::get<0>(found[1]), _EffectFileType::DescriptionJson);
    EXPECT_EQ(std::get<2>(found[1]), temp.path() + "/A/");
}

TEST(DescriptionWalk, OneDescriptionPerFolderByPriority) {
    qortest::TempFolder temp;
    temp.write("all/filter.xml", "");
    temp.write("all/x.conf", "{}");
    temp.write("all/description.json", "{}");
    temp.write("xmlconf/filter.xml", "");
    temp.write("xmlconf/y.conf", "{}");
    temp.write("xml/filter.xml", "");
    temp.write("other/Description.json", "{}");
    temp.write("other/z.conf.bak", "{}");
    temp.write("empty/readme.txt", "");

    std::map<std::string, _EffectFileType> kinds;
    for (const auto& [kind, file, folder] : walk(temp.path())) {
        kinds[std::filesystem::path(folder).parent_path().filename().string()] = kind;
    }
    EXPECT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds["all"], _EffectFileType::DescriptionJson);
    EXPECT_EQ(kinds["xmlconf"], _EffectFileType::Conf);
    EXPECT_EQ(kinds["xml"], _EffectFileType::FilterXml);
    EXPECT_EQ(kinds.count("other"), 0u) << "names are compared exactly; z.conf.bak's extension is .bak";
}

TEST(DescriptionWalk, AFolderThatCannotBeReadIsSkippedAndTheWalkGoesOn) {
    qortest::TempFolder temp;
    temp.write("a/description.json", "{}");
    temp.write("broken/description.json", "{}");
    std::filesystem::create_symlink("loop", temp.path() + "/broken/loop");
    temp.write("c/description.json", "{}");
    std::set<std::string> folders;
    for (const auto& found : walk(temp.path())) folders.insert(std::get<2>(found));
    EXPECT_EQ(folders.count(temp.path() + "/a/"), 1u);
    EXPECT_EQ(folders.count(temp.path() + "/c/"), 1u);
    EXPECT_EQ(folders.count(temp.path() + "/broken/"), 0u) << "an entry whose status cannot be read ends its folder";
}

TEST(DescriptionWalk, UnreadableFolderIsSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    qortest::TempFolder temp;
    temp.write("locked/description.json", "{}");
    temp.write("open/description.json", "{}");
    std::filesystem::permissions(temp.path() + "/locked", std::filesystem::perms::none);
    const auto found = walk(temp.path());
    std::filesystem::permissions(temp.path() + "/locked", std::filesystem::perms::owner_all);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(std::get<2>(found[0]), temp.path() + "/open/");
}

TEST(DescriptionWalk, ALinkBackToAnAncestorIsNotFollowedForever) {
    qortest::TempFolder temp;
    temp.write("fx/description.json", "{}");
    std::filesystem::create_directory_symlink("..", temp.path() + "/fx/up");
    const auto found = walk(temp.path());
    EXPECT_EQ(found.size(), 1u);
}

TEST(ConfFolderLoader, ReadsTheConfOfOneFolderOnly) {
    qortest::TempFolder temp;
    temp.write("fx/effect.conf", R"({"GUID": "A", "NAME": "Blur"})");
    temp.write("fx/sub/other.conf", R"({"GUID": "B"})");
    const auto info = loadConfFromFolder((temp.path() + "/fx").c_str());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetGUID(), "A");

    temp.write("nested/sub/only.conf", R"({"GUID": "C"})");
    EXPECT_EQ(loadConfFromFolder((temp.path() + "/nested").c_str()), nullptr);
    EXPECT_EQ(loadConfFromFolder((temp.path() + "/fx/effect.conf").c_str()), nullptr) << "a file is not a folder";
    EXPECT_EQ(loadConfFromFolder((temp.path() + "/missing").c_str()), nullptr);
    EXPECT_EQ(loadConfFromFolder(nullptr), nullptr);
}

TEST(ConfFolderLoader, AnyNameContainingConfIsACandidate) {
    qortest::TempFolder temp;
    temp.write("fx/effect.conf.json", R"({"GUID": "A"})");
    const auto info = loadConfFromFolder((temp.path() + "/fx").c_str());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetGUID(), "A");
    temp.write("bad/x.conf", "{ nope");
    EXPECT_EQ(loadConfFromFolder((temp.path() + "/bad").c_str()), nullptr);
}
