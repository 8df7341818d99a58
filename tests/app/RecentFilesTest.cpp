#include <gtest/gtest.h>

#include <filesystem>

#include "app/RecentFiles.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

using Entries = RecentFiles::Entries;

class RecentList : public ::testing::Test {
protected:
    // A store that already holds the setup, as after the first run.
    void SetUp() override { store.values["AudioBufferBlocks"] = "42"; }

    MemorySettingsStore store;
    RecordingErrorSink errors;
    RecentFiles organs{store, RecentKind::Organs};
    RecentFiles combinations{store, RecentKind::Combinations};
};

TEST_F(RecentList, KeepsNineDistinctPathsNewestFirst) {
    for (char c = 'A'; c <= 'I'; ++c) ASSERT_TRUE(organs.Add(std::string("/o/") + c + ".organ"));
    // The same file in other letters moves to the top in its new spelling;
    // a tenth distinct path then pushes the oldest out.
    ASSERT_TRUE(organs.Add("/O/e.ORGAN"));
    ASSERT_TRUE(organs.Add("/p/J.organ"));
    EXPECT_EQ(organs.Read(),
              (Entries{"/p/J.organ", "/O/e.ORGAN", "/o/I.organ", "/o/H.organ", "/o/G.organ",
                       "/o/F.organ", "/o/D.organ", "/o/C.organ", "/o/B.organ"}));
    EXPECT_EQ(store.values["OrganMRUFile00"], "/p/J.organ");
    EXPECT_EQ(store.values["OrganLastPath"], "/p");
    EXPECT_EQ(store.values.count("CombinationLastPath"), 0u);
    // A relative path is stored in full.
    ASSERT_TRUE(organs.Add("Organs/A.organ"));
    EXPECT_EQ(store.values["OrganMRUFile00"],
              (std::filesystem::current_path() / "Organs/A.organ").string());
    EXPECT_EQ(DirectoryOf("/St Mary.organ"), "/");
    EXPECT_EQ(DirectoryOf("St Mary.organ"), "");
}

TEST_F(RecentList, GapsStayInPlaceAndMoveDownWithTheList) {
    store.values["CombinationMRUFile00"] = "/c/A.cmb";
    store.values["CombinationMRUFile02"] = "/c/C.cmb";
    ASSERT_TRUE(combinations.Add("/d/N.cmb"));
    EXPECT_EQ(combinations.Read(), (Entries{"/d/N.cmb", "/c/A.cmb", "", "/c/C.cmb"}));
    EXPECT_EQ(store.values["CombinationLastPath"], "/d");
    // Removing the older copy closes up everything after it, gaps included.
    ASSERT_TRUE(combinations.Add("/c/a.cmb"));
    EXPECT_EQ(combinations.Read(), (Entries{"/c/a.cmb", "/d/N.cmb", "", "/c/C.cmb"}));
}

TEST_F(RecentList, NothingIsWrittenToAStoreWithoutTessalineValues) {
    store.values.clear();
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    EXPECT_TRUE(store.values.empty());
    store.failClose = true;
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{"Could not close settings store."});
    EXPECT_EQ(errors.Errors()[0].attemptedAction, "Saving recent file list.");
}

TEST_F(RecentList, AnEntryToReopenMustBeStoredAndNotEmpty) {
    store.values["OrganMRUFile00"] = "/o/A.organ";
    store.values["OrganMRUFile01"] = "";
    std::string path;
    EXPECT_TRUE(organs.Entry(0, path));
    EXPECT_EQ(path, "/o/A.organ");
    EXPECT_FALSE(organs.Entry(1, path));
    EXPECT_FALSE(combinations.Entry(2, path));
    store.values.clear();
    EXPECT_FALSE(organs.Entry(0, path));
    EXPECT_EQ(errors.Messages(),
              (std::vector<std::string>{
                  "Invalid entry in recent file list.", "Could not read recent file list value.",
                  "Could not read recent file list value - settings store not found."}));
    EXPECT_EQ(errors.Errors()[1].attemptedAction, "Loading Tessaline combination file.");
    EXPECT_EQ(errors.Errors()[2].attemptedAction, "Loading Tessaline organ.");
}

}  // namespace
}  // namespace tessaline
