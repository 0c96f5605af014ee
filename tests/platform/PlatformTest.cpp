#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include "platform/DynamicLibrary.h"
#include "platform/FolderListing.h"
#include "platform/MemoryProbe.h"
#include "platform/TextConversion.h"
#include "support/TestSupport.h"

using namespace platform;

TEST(TextConversion, RoundTripsEveryPlane) {
    const std::string text = "ascii \xC3\xA9t\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x8E\xAC";  // été 漢字 🎬
    const std::wstring wide = utf8ToWide(text);
    EXPECT_EQ(wide.size(), 14u);
    EXPECT_EQ(wide.back(), static_cast<wchar_t>(0x1F3AC));
    EXPECT_EQ(wideToUtf8(wide), text);
    EXPECT_EQ(utf8ToWide(""), L"");
    EXPECT_EQ(wideToUtf8(L""), "");
}

TEST(TextConversion, MalformedSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(utf8ToWide("a\xFF" "b"), (std::wstring{L'a', 0xFFFD, L'b'}));
    EXPECT_EQ(utf8ToWide("\xC3"), std::wstring(1, 0xFFFD)) << "a sequence cut short";
    EXPECT_EQ(utf8ToWide("\xC0\xAF"), std::wstring(1, 0xFFFD)) << "an overlong encoding";
}

TEST(FolderListing, ListsEntriesWithoutDotsAndKnowsFolders) {
    qortest::TempFolder temp;
    temp.write("file.conf", "{}");
    temp.folder("sub");
    const auto entries = listFolder(utf8ToWide(temp.path()));
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2u);
    for (const auto& entry : *entries) EXPECT_EQ(entry.isDirectory, entry.name == L"sub");
    EXPECT_FALSE(listFolder(utf8ToWide(temp.path() + "/missing")).has_value());
}

TEST(MemoryProbe, TellsMappedFromUnmappedAndReadOnlyMemory) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<uint8_t*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                                             -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_READ), 0);
    ASSERT_EQ(mprotect(pages + 2 * page, page, PROT_NONE), 0);

    EXPECT_TRUE(isReadable(pages, page));
    EXPECT_TRUE(isWritable(pages, page));
    EXPECT_TRUE(isReadable(pages, 2 * page));
    EXPECT_FALSE(isWritable(pages, 2 * page)) << "the second page is read-only";
    EXPECT_FALSE(isReadable(pages + page, 2 * page)) << "the third page has no access";
    EXPECT_FALSE(isReadable(nullptr, 4));
    EXPECT_TRUE(isReadable(nullptr, 0));
    munmap(pages, 3 * page);
    EXPECT_FALSE(isReadable(pages, 1)) << "unmapped memory";
}

TEST(DynamicLibrary, LoadsTheModuleAndExplainsFailures) {
    DynamicLibrary module;
    ASSERT_TRUE(module.open(QOR_MODULE_PATH)) << module.error();
    EXPECT_NE(module.symbol("StartupQOR"), nullptr);
    EXPECT_EQ(module.symbol("NoSuchEntryPoint"), nullptr);

    DynamicLibrary missing;
    EXPECT_FALSE(missing.open("/nonexistent/qorAiFilterPlugin.qor"));
    EXPECT_FALSE(missing.error().empty());
    EXPECT_EQ(missing.symbol("StartupQOR"), nullptr);
}
