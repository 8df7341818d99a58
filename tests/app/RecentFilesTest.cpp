#include "app/RecentFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

class RecentList : public ::testing::Test {
protected:
    // A store that already holds the setup, as after the first run.
    void SetUp() override { store.values["AudioBufferBlocks"] = "42"; }

    RecentFiles::Entries Stored(RecentKind kind) {
        RecentFiles list(store, kind);
        RecentFiles::Entries entries;
        for (int i = 0; i < kRecentFileEntries; ++i)
            entries[static_cast<size_t>(i)] = store.values[list.ValueName(i)];
        return entries;
    }
    std::vector<std::string> Reports() const {
        std::vector<std::string> texts;
        for (const auto& e : errors.Errors()) texts.push_back(e.message + " | " + e.attemptedAction);
        return texts;
    }

    MemorySettingsStore store;
    RecordingErrorSink errors;
};

TEST(RecentPaths, DirectoriesAndMenuTexts) {
    EXPECT_EQ(DirectoryOf("/home/player/Organs/St Mary.organ"), "/home/player/Organs");
    EXPECT_EQ(DirectoryOf("/St Mary.organ"), "/");
    EXPECT_EQ(DirectoryOf("St Mary.organ"), "");
    EXPECT_EQ(RecentItemText(RecentKind::Organs, 0, "/o/A.organ"), "&1 /o/A.organ\tCtrl+N");
    EXPECT_EQ(RecentItemText(RecentKind::Combinations, 0, "/c/A.cmb"), "&1 /c/A.cmb\tCtrl+M");
    EXPECT_EQ(RecentItemText(RecentKind::Organs, 8, "/o/I.organ"), "&9 /o/I.organ");
    MemorySettingsStore store;
    RecentFiles organs(store, RecentKind::Organs);
    RecentFiles combinations(store, RecentKind::Combinations);
    EXPECT_EQ(organs.ValueName(0), "OrganMRUFile00");
    EXPECT_EQ(combinations.ValueName(8), "CombinationMRUFile08");
    EXPECT_STREQ(organs.LastPathValue(), "OrganLastPath");
    EXPECT_STREQ(combinations.LastPathValue(), "CombinationLastPath");
}

TEST_F(RecentList, KeepsNineDistinctPathsNewestFirst) {
    RecentFiles organs(store, RecentKind::Organs);
    for (char c = 'A'; c <= 'I'; ++c)
        ASSERT_TRUE(organs.Add(std::string("/o/") + c + ".organ"));
    EXPECT_EQ(Stored(RecentKind::Organs),
              (RecentFiles::Entries{"/o/I.organ", "/o/H.organ", "/o/G.organ", "/o/F.organ",
                                    "/o/E.organ", "/o/D.organ", "/o/C.organ", "/o/B.organ",
                                    "/o/A.organ"}));
    // The same file in other letters moves to the top in its new spelling.
    ASSERT_TRUE(organs.Add("/O/e.ORGAN"));
    EXPECT_EQ(Stored(RecentKind::Organs),
              (RecentFiles::Entries{"/O/e.ORGAN", "/o/I.organ", "/o/H.organ", "/o/G.organ",
                                    "/o/F.organ", "/o/D.organ", "/o/C.organ", "/o/B.organ",
                                    "/o/A.organ"}));
    // A tenth distinct path pushes the oldest out.
    ASSERT_TRUE(organs.Add("/p/J.organ"));
    EXPECT_EQ(Stored(RecentKind::Organs),
              (RecentFiles::Entries{"/p/J.organ", "/O/e.ORGAN", "/o/I.organ", "/o/H.organ",
                                    "/o/G.organ", "/o/F.organ", "/o/D.organ", "/o/C.organ",
                                    "/o/B.organ"}));
    EXPECT_EQ(store.values["OrganLastPath"], "/p");
    // The other list and its last path are untouched.
    EXPECT_EQ(store.values.count("CombinationMRUFile00"), 0u);
    EXPECT_EQ(store.values.count("CombinationLastPath"), 0u);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(RecentList, GapsStayInPlaceAndMoveDownWithTheList) {
    store.values["CombinationMRUFile00"] = "/c/A.cmb";
    store.values["CombinationMRUFile02"] = "/c/C.cmb";
    RecentFiles combinations(store, RecentKind::Combinations);
    EXPECT_EQ(combinations.Read(),
              (RecentFiles::Entries{"/c/A.cmb", "", "/c/C.cmb", "", "", "", "", "", ""}));
    ASSERT_TRUE(combinations.Add("/d/N.cmb"));
    EXPECT_EQ(combinations.Read(),
              (RecentFiles::Entries{"/d/N.cmb", "/c/A.cmb", "", "/c/C.cmb", "", "", "", "", ""}));
    EXPECT_EQ(store.values["CombinationLastPath"], "/d");
    // Removing the older copy closes up everything after it, gaps included.
    ASSERT_TRUE(combinations.Add("/c/a.cmb"));
    EXPECT_EQ(combinations.Read(),
              (RecentFiles::Entries{"/c/a.cmb", "/d/N.cmb", "", "/c/C.cmb", "", "", "", "", ""}));
}

TEST_F(RecentList, ARelativePathIsStoredInFull) {
    RecentFiles organs(store, RecentKind::Organs);
    ASSERT_TRUE(organs.Add("Organs/A.organ"));
    const std::string full = (std::filesystem::current_path() / "Organs/A.organ").string();
    EXPECT_EQ(store.values["OrganMRUFile00"], full);
    EXPECT_EQ(store.values["OrganLastPath"], (std::filesystem::current_path() / "Organs").string());
}

TEST_F(RecentList, NothingIsWrittenToAStoreWithoutTessalineValues) {
    store.values.clear();
    RecentFiles organs(store, RecentKind::Organs);
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    EXPECT_TRUE(store.values.empty());
    EXPECT_EQ(organs.Read(), RecentFiles::Entries{});
    store.failClose = true;
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    store.failOpen = true;
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{"Could not close settings store. | Saving recent file list."}));
}

TEST_F(RecentList, AFailingCloseIsReportedWithTheListsAction) {
    store.values["OrganMRUFile00"] = "/o/A.organ";
    store.failClose = true;
    EXPECT_EQ(RecentFiles(store, RecentKind::Organs).Read()[0], "/o/A.organ");
    RecentFiles(store, RecentKind::Combinations).Read();
    EXPECT_FALSE(RecentFiles(store, RecentKind::Organs).Add("/o/B.organ"));
    EXPECT_EQ(store.values["OrganMRUFile00"], "/o/B.organ");  // written before the close
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{
                  "Could not close settings store. | Reading Tessaline setup information.",
                  "Could not close settings store. | Reading recent file list.",
                  "Could not close settings store. | Saving recent file list."}));
}

TEST_F(RecentList, AnEntryToReopenMustBeStoredAndNotEmpty) {
    store.values["OrganMRUFile00"] = "/o/A.organ";
    store.values["OrganMRUFile01"] = "";
    store.values["CombinationMRUFile00"] = "/c/A.cmb";
    RecentFiles organs(store, RecentKind::Organs);
    RecentFiles combinations(store, RecentKind::Combinations);
    std::string path;
    EXPECT_TRUE(organs.Entry(0, path));
    EXPECT_EQ(path, "/o/A.organ");
    EXPECT_TRUE(combinations.Entry(0, path));
    EXPECT_EQ(path, "/c/A.cmb");
    EXPECT_TRUE(Reports().empty());

    EXPECT_FALSE(organs.Entry(1, path));
    EXPECT_FALSE(organs.Entry(9, path));
    EXPECT_FALSE(combinations.Entry(2, path));
    store.failClose = true;
    EXPECT_FALSE(organs.Entry(0, path));
    store.failOpen = true;
    EXPECT_FALSE(combinations.Entry(0, path));
    store.failOpen = store.failClose = false;
    store.values.clear();
    EXPECT_FALSE(organs.Entry(0, path));
    EXPECT_EQ(path, "");
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{
                  "Invalid entry in recent file list. | Loading Tessaline organ.",
                  "Could not read recent file list value. | Loading Tessaline organ.",
                  "Could not read recent file list value. | Loading Tessaline combination file.",
                  "Could not close settings store. | Loading Tessaline organ.",
                  "Could not open settings store. | Loading Tessaline combination file.",
                  "Could not read recent file list value - settings store not found. | Loading "
                  "Tessaline organ."}));
}

}  // namespace
}  // namespace tessaline
