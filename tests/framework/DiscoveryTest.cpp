#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
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

// The folders (as reported, with their trailing slash) in which the walk found a description.
std::set<std::string> foldersFound(const std::string& root) {
    std::set<std::string> folders;
    for (const auto& found : walk(root)) folders.insert(std::get<2>(found));
    return folders;
}

}  // namespace

TEST(DescriptionWalk, AMissingRootGivesFalseAndARootThatIsAFileTrueWithoutCalls) {
    qortest::TempFolder temp;
    bool result = true;
    EXPECT_TRUE(walk(temp.path() + "/nothing", &result).empty());
    EXPECT_FALSE(result);
    EXPECT_TRUE(walk(temp.write("file.json", "{}"), &result).empty());
    EXPECT_TRUE(result);
}

// One description per folder: description.json before a .conf before filter.xml; names are compared
// exactly, and z.conf.bak's extension is .bak. Nested folders are reported before their parents.
TEST(DescriptionWalk, OneDescriptionPerFolderByPriorityChildrenFirst) {
    qortest::TempFolder temp;
    for (const char* file : {"all/filter.xml", "all/x.conf", "all/description.json", "all/sub/filter.xml",
                             "all/sub/y.conf", "xml/filter.xml", "xml/z.conf.bak", "other/Description.json",
                             "empty/readme.txt"}) {
        temp.write(file, "{}");
    }
    std::vector<Found> found = walk(temp.path());
    for (auto& [kind, file, folder] : found) {
        file = file.substr(temp.path().size());
        folder = folder.substr(temp.path().size());
    }
    const auto position = [&](const std::string& folder) {
        return std::find_if(found.begin(), found.end(), [&](const Found& f) { return std::get<2>(f) == folder; });
    };
    EXPECT_EQ(std::set<Found>(found.begin(), found.end()),
              (std::set<Found>{{_EffectFileType::DescriptionJson, "/all/description.json", "/all/"},
                               {_EffectFileType::Conf, "/all/sub/y.conf", "/all/sub/"},
                               {_EffectFileType::FilterXml, "/xml/filter.xml", "/xml/"}}));
    EXPECT_LT(position("/all/sub/"), position("/all/"));
}

// An entry whose status cannot be read (a link to itself) ends its folder; a link back to an
// ancestor is not followed forever; the walk goes on with the other folders.
TEST(DescriptionWalk, BrokenAndLoopingLinksAreSkippedAndTheWalkGoesOn) {
    qortest::TempFolder temp;
    for (const char* folder : {"a", "broken", "c"}) temp.write(std::string(folder) + "/description.json", "{}");
    std::filesystem::create_symlink("loop", temp.path() + "/broken/loop");
    std::filesystem::create_directory_symlink("..", temp.path() + "/c/up");
    EXPECT_EQ(foldersFound(temp.path()), (std::set<std::string>{temp.path() + "/a/", temp.path() + "/c/"}));
}

TEST(DescriptionWalk, UnreadableFolderIsSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    qortest::TempFolder temp;
    temp.write("locked/description.json", "{}");
    temp.write("open/description.json", "{}");
    std::filesystem::permissions(temp.path() + "/locked", std::filesystem::perms::none);
    const auto folders = foldersFound(temp.path());
    std::filesystem::permissions(temp.path() + "/locked", std::filesystem::perms::owner_all);
    EXPECT_EQ(folders, std::set<std::string>{temp.path() + "/open/"});
}

// Any name containing "conf" is a candidate, in the folder itself only.
TEST(ConfFolderLoader, ReadsTheConfOfOneFolderOnly) {
    qortest::TempFolder temp;
    temp.write("fx/effect.conf", R"({"GUID": "A", "NAME": "Blur"})");
    temp.write("fx/sub/other.conf", R"({"GUID": "B"})");
    temp.write("json/effect.conf.json", R"({"GUID": "C"})");
    temp.write("nested/sub/only.conf", R"({"GUID": "D"})");
    temp.write("bad/x.conf", "{ nope");
    const auto load = [&](const std::string& folder) { return loadConfFromFolder((temp.path() + folder).c_str()); };
    ASSERT_NE(load("/fx"), nullptr);
    EXPECT_EQ(load("/fx")->GetGUID(), "A");
    ASSERT_NE(load("/json"), nullptr);
    EXPECT_EQ(load("/json")->GetGUID(), "C");
    for (const char* folder : {"/nested", "/fx/effect.conf", "/missing", "/bad"}) {
        EXPECT_EQ(load(folder), nullptr) << folder;
    }
    EXPECT_EQ(loadConfFromFolder(nullptr), nullptr);
}

// Folders are visited in the Windows listing order (letters compared upper-cased), never in the
// order the file system happens to deliver: here creation order, byte order and listing order all
// differ.
TEST(DescriptionWalk, VisitsFoldersInNameOrderWhateverTheCreationOrder) {
    qortest::TempFolder temp;
    for (const char* folder : {"Zeta", "_under", "beta", "Alpha", "a1"}) {
        temp.write(std::string(folder) + "/description.json", "{}");
    }
    std::vector<std::string> order;
    for (const auto& found : walk(temp.path())) order.push_back(std::get<2>(found).substr(temp.path().size()));
    EXPECT_EQ(order, (std::vector<std::string>{"/a1/", "/Alpha/", "/beta/", "/Zeta/", "/_under/"}));

    // The single-folder loader takes the last candidate in the same order.
    temp.write("conf/B.conf", R"({"GUID": "B"})");
    temp.write("conf/a.conf", R"({"GUID": "A"})");
    const auto loaded = loadConfFromFolder((temp.path() + "/conf").c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetGUID(), "B");
}
