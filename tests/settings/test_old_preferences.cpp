#include "settings/OldPreferences.h"

#include "SettingsTestSupport.h"
#include "platform/codepage.h"
#include "platform/file_io.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace settings;
using namespace settings_test;

TEST(OldPreferences, OldSettingsFileIsRecognisedByItsFirstLine) {
    TempFolder folder;
    TestEnvironment test(folder);
    const std::pair<const char*, bool> cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<velmora/>", true},
        {"  xml", true},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>", true},
        {"\xEF\xBB\xBF   xml", false},
        {"   xml", false},
        {"<?XML version=\"1.0\"?>", false},
        {"[Preferences]\r\nxml=1", false},
        {"\r\n<?xml version=\"1.0\"?>", false},
        {"", false},
    };
    for (const auto& [text, old] : cases) {
        WriteFile(test.IniPath(), text);
        EXPECT_EQ(IsOldSettingsFile(test.environment), old) << text;
    }
    std::filesystem::remove(test.IniPath());
    try {
        IsOldSettingsFile(test.environment);
        ADD_FAILURE() << "a missing file cannot be read";
    } catch (const platform::FileError& error) {
        EXPECT_EQ(std::string(error.what()), "ファイル " + test.IniPath() + " は開けません");
    }
}

TEST(OldPreferences, OldXmlSettingsAreReadAndRewrittenAsIni) {
    TempFolder folder;
    TestEnvironment test(folder);
    // A file from the Windows program: Shift_JIS without a declaration of its encoding,
    // "form" and "font" side by side at the top.
    WriteFile(test.IniPath(), platform::EncodeCp932("<?xml version=\"1.0\"?>\r\n"
                                                    "<form left=\"50\" top=\"60\" width=\"700\" height=\"500\" "
                                                    "state=\"2\" WardWrap=\"True\">\r\n"
                                                    "  <left size=\"222\"/>\r\n"
                                                    "</form>\r\n"
                                                    "<font size=\"11\"><name>ＭＳ ゴシック</name></font>\r\n")
                                  .bytes);
    ASSERT_TRUE(IsOldSettingsFile(test.environment));
    Preferences preferences = LaidOutPreferences();
    LoadOldPreferences(test.environment, preferences);
    EXPECT_EQ(preferences.Form.Bounds, (WindowBounds{50, 60, 700, 500}));
    EXPECT_EQ(preferences.Form.State, wsMaximized);
    EXPECT_EQ(preferences.LeftPaneWidth, 222);
    EXPECT_FALSE(preferences.WordWrap) << "only the exact text \"true\" is true";
    EXPECT_EQ(preferences.FontName, "ＭＳ ゴシック");
    EXPECT_EQ(preferences.FontSize, 11);
    EXPECT_EQ(preferences.TreeFontName, "Noto Sans CJK JP") << "the old file holds no tree font";

    THxHistoryFileMenu history;
    SavePreferences(test.environment, preferences, {50, 60, 700, 500}, history);
    EXPECT_EQ(ReadFile(test.IniPath()),
              "[Preferences]\r\n"
              "Form.Left=50\r\n"
              "Form.Top=60\r\n"
              "Form.Width=700\r\n"
              "Form.Height=500\r\n"
              "Form.State=2\r\n"
              "LeftPaneWidth=222\r\n"
              "WardWrap=0\r\n"
              "Font.Name=ＭＳ ゴシック\r\n"
              "Font.Size=11\r\n"
              "TreeFont.Name=Noto Sans CJK JP\r\n"
              "TreeFont.Size=9\r\n"
              "EditingFileName=\r\n"
              "\r\n"
              "[RecentFiles]\r\n"
              "Count=0\r\n"
              "MaxCount=32\r\n"
              "VisibleCount=8\r\n"
              "\r\n");
    EXPECT_FALSE(IsOldSettingsFile(test.environment));
    EXPECT_TRUE(test.questions.empty());
}

TEST(OldPreferences, OldXmlSettingsWithoutFormOnlySetTheFont) {
    TempFolder folder;
    TestEnvironment test(folder);
    WriteFile(test.IniPath(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<font size=\"14\"><name>Noto Serif CJK JP</name></font>");
    Preferences preferences = LaidOutPreferences();
    preferences.WordWrap = false;
    LoadOldPreferences(test.environment, preferences);
    EXPECT_EQ(preferences.Form.Bounds, LaidOutPreferences().Form.Bounds);
    EXPECT_EQ(preferences.LeftPaneWidth, 180);
    EXPECT_FALSE(preferences.WordWrap) << "word wrap stays as it was";
    EXPECT_EQ(preferences.FontName, "Noto Serif CJK JP");
    EXPECT_EQ(preferences.FontSize, 14);

    // With the key present as well, the save goes there and the XML file stays.
    std::filesystem::create_directories(test.KeyFolder());
    const std::string before = ReadFile(test.IniPath());
    SavePreferences(test.environment, preferences, {}, THxHistoryFileMenu());
    EXPECT_EQ(ReadFile(test.IniPath()), before);
    EXPECT_TRUE(IsOldSettingsFile(test.environment));
    EXPECT_TRUE(Exists(test.KeyFolder() + "/Preferences/values.txt"));

    std::filesystem::remove(test.IniPath());
    Preferences untouched = LaidOutPreferences();
    LoadOldPreferences(test.environment, untouched);
    EXPECT_EQ(untouched.FontName, LaidOutPreferences().FontName) << "a vanished file changes nothing";
}
