#include "settings/Preferences.h"

#include "SettingsTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace settings;
using namespace settings_test;

TEST(Preferences, AFirstWrittenIniFileHasTheFixedLineOrder) {
    TempFolder folder;
    TestEnvironment test(folder);
    Preferences preferences = LaidOutPreferences();
    preferences.WordWrap = false;
    preferences.EditingFileName = "（ファイル名未設定）";
    THxHistoryFileMenu history;
    history.AddFile("/docs/b.trm");
    history.AddFile("/docs/a.trm");
    SavePreferences(test.environment, preferences, {}, history);
    EXPECT_EQ(ReadFile(test.IniPath()),
              "[Preferences]\r\n"
              "Form.Left=10\r\n"
              "Form.Top=20\r\n"
              "Form.Width=600\r\n"
              "Form.Height=400\r\n"
              "Form.State=0\r\n"
              "LeftPaneWidth=180\r\n"
              "WardWrap=0\r\n"
              "Font.Name=Noto Sans Mono CJK JP\r\n"
              "Font.Size=10\r\n"
              "TreeFont.Name=Noto Sans CJK JP\r\n"
              "TreeFont.Size=9\r\n"
              "EditingFileName=（ファイル名未設定）\r\n"
              "\r\n"
              "[RecentFiles]\r\n"
              "Count=2\r\n"
              "Caption0=/docs/a.trm\r\n"
              "Data0=/docs/a.trm\r\n"
              "Caption1=/docs/b.trm\r\n"
              "Data1=/docs/b.trm\r\n"
              "MaxCount=32\r\n"
              "VisibleCount=8\r\n"
              "\r\n");
    EXPECT_EQ(test.questions.size(), 1u);
}

TEST(Preferences, FirstLoadAsksAndKeepsTheCurrentValues) {
    TempFolder folder;
    TestEnvironment test(folder, 7);
    Preferences preferences = LaidOutPreferences();
    preferences.WordWrap = false;
    preferences.EditingFileName = "/old.trm";
    THxHistoryFileMenu history;
    LoadPreferences(test.environment, preferences, history);

    Preferences expected = LaidOutPreferences();
    expected.Form.Bounds.Left = 128;
    expected.Form.Bounds.Top = 128;
    EXPECT_EQ(preferences.Form.Bounds, expected.Form.Bounds);
    EXPECT_EQ(preferences.Form.State, wsNormal);
    EXPECT_EQ(preferences.LeftPaneWidth, 180);
    EXPECT_TRUE(preferences.WordWrap);
    EXPECT_EQ(preferences.FontName, expected.FontName);
    EXPECT_EQ(preferences.TreeFontSize, 9);
    EXPECT_EQ(preferences.EditingFileName, "");
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(test.questions.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(test.KeyFolder())) << "a load creates no section";
}

TEST(Preferences, RoundTripAndPlacementOfMaximizedAndMinimizedWindows) {
    TempFolder folder;
    TestEnvironment test(folder, 7);
    Preferences saved = LaidOutPreferences();
    saved.Form = {{0, 0, 1920, 1000}, wsMaximized};
    saved.FontName = "ＭＳ ゴシック";
    saved.EditingFileName = "/docs/メモ.trm";
    THxHistoryFileMenu history;
    history.AddFile("/docs/メモ.trm");
    SavePreferences(test.environment, saved, {300, 200, 800, 500}, history);

    Preferences loaded = LaidOutPreferences();
    THxHistoryFileMenu loadedHistory;
    LoadPreferences(test.environment, loaded, loadedHistory);
    EXPECT_EQ(loaded.Form.Bounds, (WindowBounds{300, 200, 800, 500})) << "the normal-state bounds";
    EXPECT_EQ(loaded.Form.State, wsMaximized);
    EXPECT_EQ(loaded.FontName, "ＭＳ ゴシック");
    EXPECT_EQ(loaded.EditingFileName, "/docs/メモ.trm");
    EXPECT_EQ(loadedHistory.DataList(), history.DataList());

    saved.Form = {{-32000, -32000, 640, 480}, wsMinimized};
    SavePreferences(test.environment, saved, {300, 200, 800, 500}, history);
    LoadPreferences(test.environment, loaded, loadedHistory);
    EXPECT_EQ(loaded.Form.Bounds, (WindowBounds{-32000, -32000, 640, 480}));
    EXPECT_EQ(loaded.Form.State, wsMinimized);
}
