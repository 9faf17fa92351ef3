#include "settings/HxHistoryMenu.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

using settings::THxHistoryFileMenu;
using settings::THxHistoryMenu;
using settings::THxIniFile2;
using namespace settings_test;

namespace {

using Strings = std::vector<std::string>;

std::vector<std::string> VisibleCaptions(const THxHistoryMenu& menu) {
    std::vector<std::string> captions;
    for (const auto& item : menu.MenuItems()) {
        if (item.Visible) captions.push_back(item.Caption);
    }
    return captions;
}

std::string PathNumber(int i) { return "/docs/file" + std::to_string(i) + ".trm"; }

}  // namespace

TEST(HxHistoryMenu, NewestFirstAndReAddMovesTheOldSpellingToTheTop) {
    THxHistoryMenu menu;
    EXPECT_EQ(menu.MaxCount(), 32);
    EXPECT_EQ(menu.VisibleCount(), 8);
    menu.Add("/a/One.trm", "one");
    menu.Add("/a/two.trm", "two");
    menu.Add("/a/three.trm", "three");
    EXPECT_EQ(menu.DataList(), (Strings{"/a/three.trm", "/a/two.trm", "/a/One.trm"}));
    EXPECT_EQ(menu.CaptionList(), (Strings{"three", "two", "one"}));

    menu.Add("/A/ONE.TRM", "ignored caption");
    EXPECT_EQ(menu.DataList(), (Strings{"/a/One.trm", "/a/three.trm", "/a/two.trm"}));
    EXPECT_EQ(menu.CaptionList(), (Strings{"one", "three", "two"}));
    EXPECT_EQ(VisibleCaptions(menu), (Strings{"&1 one", "&2 three", "&3 two"}));

    // Only ASCII letters fold; other characters must match exactly.
    menu.Add("/a/ＯＮＥ.trm", "wide");
    menu.Add("/a/ｏｎｅ.trm", "wide lower");
    EXPECT_EQ(menu.Count(), 5);

    menu.MoveToTop(4);
    EXPECT_EQ(menu.DataList().front(), "/a/two.trm");
    menu.Delete(0);
    EXPECT_EQ(menu.DataList(), (Strings{"/a/ｏｎｅ.trm", "/a/ＯＮＥ.trm", "/a/One.trm", "/a/three.trm"}));
    menu.Delete(4);
    EXPECT_EQ(menu.Count(), 4) << "an index past the end removes nothing";
    menu.Clear();
    EXPECT_EQ(menu.Count(), 0);
    EXPECT_EQ(menu.CaptionList().size(), 0u);
    EXPECT_EQ(menu.VisibleItemCount(), 0);
}

TEST(HxHistoryMenu, The33rdFileDropsTheOldestAndMaxCountCuts) {
    THxHistoryFileMenu menu;
    for (int i = 1; i <= 33; ++i) menu.AddFile(PathNumber(i));
    ASSERT_EQ(menu.Count(), 32);
    EXPECT_EQ(menu.DataList().front(), PathNumber(33));
    EXPECT_EQ(menu.DataList().back(), PathNumber(2));
    EXPECT_EQ(menu.CaptionList().back(), PathNumber(2));

    menu.SetMaxCount(3);
    EXPECT_EQ(menu.Count(), 32) << "the new maximum applies only when asked";
    menu.ApplyMaxCount();
    EXPECT_EQ(menu.DataList(), (Strings{PathNumber(33), PathNumber(32), PathNumber(31)}));
    menu.SetMaxCount(-4);
    EXPECT_EQ(menu.MaxCount(), 32);
}

TEST(HxHistoryMenu, SixteenItemsShowUpToVisibleCountWithNumberedCaptions) {
    THxHistoryFileMenu menu;
    int updates = 0;
    menu.OnMenuUpdated = [&] { ++updates; };
    for (int i = 32; i >= 1; --i) menu.AddFile(PathNumber(i));
    EXPECT_EQ(updates, 32);
    EXPECT_EQ(menu.VisibleItemCount(), 8);
    EXPECT_EQ(menu.MenuItems()[0].Caption, "&1 " + PathNumber(1));
    EXPECT_EQ(menu.MenuItems()[7].Caption, "&8 " + PathNumber(8));
    EXPECT_FALSE(menu.MenuItems()[8].Visible);

    menu.SetVisibleCount(16);
    EXPECT_EQ(menu.VisibleItemCount(), 16);
    EXPECT_EQ(menu.MenuItems()[9].Caption, "&10 " + PathNumber(10));
    EXPECT_EQ(menu.MenuItems()[15].Caption, "&16 " + PathNumber(16));

    for (int rejected : {17, -1}) {
        menu.SetVisibleCount(rejected);
        EXPECT_EQ(menu.VisibleCount(), 16);
    }
    menu.SetVisibleCount(0);
    EXPECT_EQ(menu.VisibleItemCount(), 0);
    EXPECT_EQ(menu.MenuItems()[9].Caption, "&10 " + PathNumber(10)) << "hidden items keep their caption";

    menu.SetVisibleCount(8);
    menu.Clear();
    menu.AddFile("/only.trm");
    EXPECT_EQ(VisibleCaptions(menu), (Strings{"&1 /only.trm"}));
}

TEST(HxHistoryMenu, ItemClickHandsTheEntryToTheOwner) {
    THxHistoryMenu menu;
    menu.ItemClick(0);  // no handler, no entries: nothing happens
    menu.Add("data0", "caption0");
    menu.Add("data1", "caption1");
    std::vector<std::string> clicked;
    menu.OnClick = [&](THxHistoryMenu& sender, const std::string& data) {
        EXPECT_EQ(&sender, &menu);
        clicked.push_back(data);
        // Opening a chosen file puts it on top again while its data is still in use.
        sender.Add(data, data);
    };
    menu.ItemClick(1);
    menu.ItemClick(2);
    menu.ItemClick(-1);
    menu.ItemClick(16);
    EXPECT_EQ(clicked, (Strings{"data0"}));
    EXPECT_EQ(menu.DataList(), (Strings{"data0", "data1"}));
}

TEST(HxHistoryMenu, ClickOnAMissingFileFollowsTheThreeFlags) {
    TempFolder folder;
    const std::string present = folder / "present.trm";
    const std::string missing = folder / "missing.trm";
    WriteFile(present, "x");

    THxHistoryFileMenu menu;
    std::vector<std::string> opened;
    std::vector<std::string> asked;
    bool answer = false;
    menu.OnClick = [&](THxHistoryMenu&, const std::string& data) { opened.push_back(data); };
    menu.AskRemove = [&](const std::string& text) {
        asked.push_back(text);
        return answer;
    };
    menu.AddFile(missing);
    menu.AddFile(present);

    menu.ItemClick(0);
    EXPECT_EQ(opened, (Strings{present}));

    menu.ItemClick(1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "ファイルが見つかりません。\r\n" + missing + "\r\n履歴から削除しますか？");
    EXPECT_EQ(menu.Count(), 2) << "No keeps the entry";

    answer = true;
    menu.ItemClick(1);
    EXPECT_EQ(menu.DataList(), (Strings{present}));
    EXPECT_EQ(opened.size(), 1u) << "a missing file is never opened";

    menu.AddFile(missing);
    menu.ConfirmRemove = false;
    menu.ItemClick(0);
    EXPECT_EQ(menu.DataList(), (Strings{present}));
    EXPECT_EQ(asked.size(), 2u);

    menu.AddFile(missing);
    menu.RemoveMissingOnClick = false;
    menu.ItemClick(0);
    EXPECT_EQ(opened.size(), 1u) << "SkipMissing keeps it from the owner";
    menu.SkipMissing = false;
    menu.ItemClick(0);
    EXPECT_EQ(opened, (Strings{present, missing}));
    EXPECT_EQ(menu.Count(), 2);
}

TEST(HxHistoryMenu, RemoveMissingDropsOnlyEntriesWhoseFileIsGone) {
    TempFolder folder;
    WriteFile(folder / "a.trm", "");
    WriteFile(folder / "c.trm", "");
    THxHistoryFileMenu menu;
    for (const char* name : {"a.trm", "b.trm", "c.trm", "d.trm"}) menu.AddFile(folder / name);
    menu.RemoveMissing();
    EXPECT_EQ(menu.DataList(), (Strings{folder / "c.trm", folder / "a.trm"}));
    EXPECT_EQ(VisibleCaptions(menu), (Strings{"&1 " + folder / "c.trm", "&2 " + folder / "a.trm"}));

    int updates = 0;
    menu.OnMenuUpdated = [&] { ++updates; };
    menu.RemoveMissing();
    EXPECT_EQ(menu.Count(), 2);
    EXPECT_EQ(updates, 0);
}

TEST(HxHistoryMenu, SavedAndLoadedWithTheStoredNames) {
    TempFolder folder;
    TestEnvironment test(folder);
    THxHistoryFileMenu saved;
    saved.AddFile("/b.trm");
    saved.AddFile("/a.trm");
    saved.SetVisibleCount(5);
    {
        THxIniFile2 store(test.environment);
        saved.SaveTo(store, "RecentFiles");
        store.Flush();
    }
    EXPECT_EQ(ReadFile(test.IniPath()),
              "[RecentFiles]\r\n"
              "Count=2\r\n"
              "Caption0=/a.trm\r\nData0=/a.trm\r\n"
              "Caption1=/b.trm\r\nData1=/b.trm\r\n"
              "MaxCount=32\r\nVisibleCount=5\r\n\r\n");

    // A shorter list takes the later entries with it: no forgotten path stays behind.
    saved.Clear();
    {
        THxIniFile2 store(test.environment);
        saved.SaveTo(store, "RecentFiles");
        store.Flush();
    }
    EXPECT_EQ(ReadFile(test.IniPath()), "[RecentFiles]\r\nCount=0\r\nMaxCount=32\r\nVisibleCount=5\r\n\r\n");
    THxHistoryFileMenu loaded;
    loaded.AddFile("/dropped.trm");
    {
        THxIniFile2 store(test.environment);
        loaded.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(loaded.Count(), 0);
    EXPECT_EQ(loaded.VisibleCount(), 5);
}

TEST(HxHistoryMenu, LoadToleratesCountsThatDisagreeWithTheEntries) {
    TempFolder folder;
    TestEnvironment test(folder);
    WriteFile(test.IniPath(),
              "[RecentFiles]\r\nCount=3\r\nCaption0=c0\r\nData0=d0\r\nCaption1=c1\r\nData1=d1\r\n"
              "MaxCount=-5\r\nVisibleCount=17\r\n");
    THxHistoryFileMenu menu;
    menu.SetVisibleCount(2);
    {
        THxIniFile2 store(test.environment);
        menu.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(menu.DataList(), (Strings{"d0", "d1", ""}));
    EXPECT_EQ(menu.CaptionList(), (Strings{"c0", "c1", ""}));
    EXPECT_EQ(menu.MaxCount(), 32) << "a negative maximum means the default";
    EXPECT_EQ(menu.VisibleCount(), 2) << "an out-of-range VisibleCount is ignored";
    EXPECT_EQ(VisibleCaptions(menu), (Strings{"&1 c0", "&2 c1"})) << "the loaded entries show at once";

    WriteFile(test.IniPath(),
              "[RecentFiles]\r\nCount=1\r\nCaption0=c0\r\nData0=d0\r\nCaption1=c1\r\nData1=d1\r\n"
              "MaxCount=2147483647\r\n");
    {
        THxIniFile2 store(test.environment);
        menu.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(menu.DataList(), (Strings{"d0"}));

    // Damaged counts cost no more than a bounded read.
    WriteFile(test.IniPath(), "[RecentFiles]\r\nCount=2147483647\r\nMaxCount=2147483647\r\n");
    {
        THxIniFile2 store(test.environment);
        menu.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(menu.Count(), 4096);

    WriteFile(test.IniPath(), "[RecentFiles]\r\nCount=5\r\nMaxCount=2\r\n");
    {
        THxIniFile2 store(test.environment);
        menu.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(menu.Count(), 2);
}

TEST(HxHistoryMenu, EntriesPastTheLimitAreRemovedWhenTheListIsWritten) {
    const std::string stale =
        "[RecentFiles]\r\nCount=5\r\n"
        "Caption0=c0\r\nData0=d0\r\nCaption1=c1\r\nData1=d1\r\nCaption2=c2\r\nData2=d2\r\n"
        "Caption3=c3\r\nData3=d3\r\nCaption4=c4\r\nData4=d4\r\nDATA9=far\r\nCaption3x=kept\r\nNote=kept\r\n"
        "MaxCount=3\r\n\r\n[Other]\r\nData7=kept\r\n";
    TempFolder folder;
    TestEnvironment test(folder);
    WriteFile(test.IniPath(), stale);
    THxHistoryFileMenu menu;
    {
        THxIniFile2 store(test.environment);
        menu.LoadFrom(store, "RecentFiles");
        menu.SaveTo(store, "RecentFiles");
        store.Flush();
    }
    EXPECT_EQ(ReadFile(test.IniPath()),
              "[RecentFiles]\r\nCount=3\r\n"
              "Caption0=c0\r\nData0=d0\r\nCaption1=c1\r\nData1=d1\r\nCaption2=c2\r\nData2=d2\r\n"
              "Caption3x=kept\r\nNote=kept\r\nMaxCount=3\r\nVisibleCount=8\r\n\r\n[Other]\r\nData7=kept\r\n\r\n");

    // The per-user key store alike, with the same names written and removed in one section.
    TempFolder keyFolder;
    TestEnvironment keys(keyFolder, 7);
    {
        THxIniFile2 store(keys.environment);
        store.OpenSection("RecentFiles", true);
        for (int i = 0; i < 5; ++i) {
            store.WriteString("Caption" + std::to_string(i), "c" + std::to_string(i));
            store.WriteString("Data" + std::to_string(i), "d" + std::to_string(i));
        }
        store.WriteString("DATA9", "far");
        store.WriteString("Caption3x", "kept");
        store.WriteString("Note", "kept");
        store.WriteInteger("Count", 5);
        store.WriteInteger("MaxCount", 3);
        store.Flush();
    }
    {
        THxIniFile2 store(keys.environment);
        menu.LoadFrom(store, "RecentFiles");
        EXPECT_EQ(menu.DataList(), (Strings{"d0", "d1", "d2"}));
        menu.Add("d9", "c9");
        menu.SaveTo(store, "RecentFiles");
        store.Flush();
    }
    THxIniFile2 store(keys.environment);
    store.OpenSection("RecentFiles", false);
    EXPECT_EQ(store.ReadInteger("Count", -1), 3);
    Strings read;
    for (const char* name : {"Caption0", "Data0", "Data2", "Caption3", "Data3", "Data4", "Data9", "Caption3x", "Note"}) {
        read.push_back(store.ReadString(name, "-"));
    }
    EXPECT_EQ(read, (Strings{"c9", "d9", "d1", "-", "-", "-", "-", "kept", "kept"}));
}

TEST(HxHistoryMenu, ThirtyTwoEntriesRoundTripThroughTheKeyStore) {
    TempFolder folder;
    TestEnvironment test(folder, 7);
    THxHistoryFileMenu saved;
    for (int i = 1; i <= 32; ++i) saved.AddFile(PathNumber(i));
    {
        THxIniFile2 store(test.environment);
        saved.SaveTo(store, "RecentFiles");
        store.Flush();
    }
    THxHistoryFileMenu loaded;
    {
        THxIniFile2 store(test.environment);
        loaded.LoadFrom(store, "RecentFiles");
    }
    EXPECT_EQ(loaded.DataList(), saved.DataList());
    EXPECT_EQ(loaded.CaptionList(), saved.CaptionList());
    EXPECT_EQ(loaded.VisibleItemCount(), 8);
    EXPECT_EQ(test.questions.size(), 1u);
}
