#include "settings/HxRegIni.h"

#include "SettingsTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using settings::isIni;
using settings::isRegistry;
using settings::SettingsError;
using settings::THxIniFile2;
using settings::THxIniStyle;
using namespace settings_test;
namespace fs = std::filesystem;

namespace {

constexpr int kAnswerNo = 7;

// The message of the exception that action raises, or "" when it raises none.
template <typename Action>
std::string MessageOf(Action&& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(HxRegIni, NamesDeriveFromTheExecutable) {
    settings::SettingsEnvironment environment{"/opt/tools.d/velmora.bin", "/home/u/.config", {}};
    EXPECT_EQ(THxIniFile2::AppName(environment), "velmora");
    EXPECT_EQ(THxIniFile2::IniFileName(environment), "/opt/tools.d/velmora.ini");
    EXPECT_EQ(THxIniFile2::ApplicationKey(environment), "\\Software\\Quillworks\\velmora");
    EXPECT_EQ(THxIniFile2::KeyLocationText(environment), "HKEY_CURRENT_USER\\Software\\Quillworks\\velmora");
    environment.executablePath = "/usr/bin/velmora";
    EXPECT_EQ(THxIniFile2::AppName(environment), "velmora");
    EXPECT_EQ(THxIniFile2::IniFileName(environment), "/usr/bin/velmora.ini");
}

TEST(HxRegIni, DetectStyleWithNoneOneOrBothBackEnds) {
    TempFolder folder;
    TestEnvironment test(folder);
    THxIniStyle style = static_cast<THxIniStyle>(7);
    EXPECT_FALSE(THxIniFile2::DetectStyle(test.environment, style));
    EXPECT_EQ(style, 7) << "left unset when nothing is found";

    WriteFile(test.IniPath(), "[Preferences]\r\nFont.Size=9\r\n\r\n");
    EXPECT_TRUE(THxIniFile2::DetectStyle(test.environment, style));
    EXPECT_EQ(style, isIni);

    fs::remove(test.IniPath());
    fs::create_directories(test.KeyFolder());
    EXPECT_TRUE(THxIniFile2::DetectStyle(test.environment, style));
    EXPECT_EQ(style, isRegistry);

    // Both: the key store wins and the INI file is neither read nor touched.
    WriteFile(test.IniPath(), "[Preferences]\r\nFont.Size=9\r\n\r\n");
    EXPECT_TRUE(THxIniFile2::DetectStyle(test.environment, style));
    EXPECT_EQ(style, isRegistry);
    {
        THxIniFile2 store(test.environment);
        EXPECT_EQ(store.Style(), isRegistry);
        store.OpenSection("Preferences", true);
        EXPECT_EQ(store.ReadInteger("Font.Size", 12), 12);
        store.WriteInteger("Font.Size", 10);
        store.Flush();
    }
    EXPECT_EQ(ReadFile(test.IniPath()), "[Preferences]\r\nFont.Size=9\r\n\r\n");
    EXPECT_TRUE(test.questions.empty());
}

TEST(HxRegIni, FirstStartAsksOnceAndYesCreatesAnEmptyIniFile) {
    TempFolder folder;
    TestEnvironment test(folder, settings::kAnswerYes);
    {
        THxIniFile2 store(test.environment);
        EXPECT_EQ(store.Style(), isIni);
    }
    ASSERT_EQ(test.questions.size(), 1u);
    EXPECT_EQ(test.questions[0].text,
              "アプリケーションの設定をINIファイルに保存します。よろしいですか？\r\r"
              "INIファイルに保存した場合、アンインストールなどが容易になりますが、\r"
              "マルチユーザー環境では設定が共有されてしまいます。\r\r"
              "INIファイルを使用する場合は「はい」を、\r"
              "レジストリを使用する場合は「いいえ」を選択して下さい。");
    EXPECT_TRUE(test.questions[0].confirmation);
    EXPECT_TRUE(test.questions[0].yesNoButtons);
    EXPECT_TRUE(test.questions[0].ownTaskbarButton);
    EXPECT_EQ(ReadFile(test.IniPath()), "");
    EXPECT_FALSE(Exists(test.environment.keyStoreRoot));

    THxIniFile2 again(test.environment);
    EXPECT_EQ(again.Style(), isIni);
    EXPECT_EQ(test.questions.size(), 1u) << "the next start asks nothing";

    // Another executable name has settings of its own and asks again.
    test.environment.executablePath = folder / "bin/velmora-copy";
    THxIniFile2 other(test.environment);
    EXPECT_EQ(test.questions.size(), 2u);
    EXPECT_TRUE(Exists(folder / "bin/velmora-copy.ini"));
}

TEST(HxRegIni, FirstStartAnsweredNoCreatesTheEmptyApplicationKey) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);
    {
        THxIniFile2 store(test.environment);
        EXPECT_EQ(store.Style(), isRegistry);
    }
    EXPECT_TRUE(fs::is_directory(test.KeyFolder()));
    EXPECT_TRUE(fs::is_empty(test.KeyFolder()));
    EXPECT_FALSE(Exists(test.IniPath()));
    THxIniFile2 again(test.environment);
    EXPECT_EQ(test.questions.size(), 1u);
}

TEST(HxRegIni, RegistryReadsOfAnUnwrittenSectionGiveDefaultsAndCreateNothing) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);
    THxIniFile2 store(test.environment);
    store.OpenSection("Preferences", false);
    EXPECT_FALSE(store.SectionOpen());
    EXPECT_EQ(store.CurrentSection(), "");
    EXPECT_EQ(store.ReadInteger("Form.Left", 128), 128);
    EXPECT_EQ(store.ReadString("Font.Name", "Noto"), "Noto");
    EXPECT_TRUE(store.ReadBool("WardWrap", true));
    EXPECT_FALSE(Exists(test.KeyFolder() + "/Preferences"));
    EXPECT_EQ(MessageOf([&] { store.WriteInteger("Form.Left", 1); }), "カレントセクションが設定されていません。");
    EXPECT_FALSE(Exists(test.KeyFolder() + "/Preferences"));
}

TEST(HxRegIni, RegistryValuesRoundTripWithTheirTypes) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);
    {
        THxIniFile2 store(test.environment);
        store.OpenSection("Preferences", true);
        store.WriteInteger("Form.Left", -20);
        store.WriteBool("WardWrap", false);
        store.WriteString("Font.Name", "ＭＳ ゴシック");
        EXPECT_EQ(store.ReadInteger("form.left", 0), -20) << "a written value reads back at once";
        store.Flush();
        EXPECT_TRUE(store.SectionOpen());
        EXPECT_EQ(store.CurrentSection(), "") << "after Flush the application key itself is open";
        store.WriteString("AtTheTop", "x");
    }
    EXPECT_EQ(ReadFile(test.KeyFolder() + "/Preferences/values.txt"),
              "# type<TAB>name<TAB>data\n"
              "REG_DWORD\tForm.Left\t4294967276\n"
              "REG_DWORD\tWardWrap\t0\n"
              "REG_SZ\tFont.Name\tＭＳ ゴシック\n");
    EXPECT_EQ(ReadFile(test.KeyFolder() + "/values.txt"), "# type<TAB>name<TAB>data\nREG_SZ\tAtTheTop\tx\n");

    WriteFile(test.KeyFolder() + "/Preferences/values.txt",
              ReadFile(test.KeyFolder() + "/Preferences/values.txt") + "REG_EXPAND_SZ\tPath\t%HOME%/x\n");
    THxIniFile2 store(test.environment);
    store.OpenSection("preferences", false);
    EXPECT_EQ(store.ReadInteger("FORM.LEFT", 0), -20);
    EXPECT_FALSE(store.ReadBool("WardWrap", true));
    EXPECT_EQ(store.ReadString("Font.Name", ""), "ＭＳ ゴシック");
    EXPECT_EQ(store.ReadString("Path", ""), "%HOME%/x");
    EXPECT_EQ(MessageOf([&] { store.ReadString("Form.Left", ""); }), "'Form.Left' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { store.ReadInteger("Font.Name", 0); }), "'Font.Name' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { store.ReadBool("Path", false); }), "'Path' のデータ型が不正です");
}

TEST(HxRegIni, IniTextIsParsedAndRewrittenByteExactlyAtFlushOnly) {
    TempFolder folder;
    TestEnvironment test(folder);
    const std::string original =
        "\xEF\xBB\xBF"
        "stray line before any section\r\n"
        "orphan=1\r\n"
        "  [ Preferences ]  \r\n"
        "; a comment\r\n"
        "\tForm.Left  =  0x1F \r\n"
        "\r\n"
        "Form.Top=abc\n"
        "just some text\r"
        "Font.Name = ＭＳ ゴシック\r\n"
        "Empty=\r\n"
        "Hex1=$ff\r\n"
        "Hex2=0X10\r\n"
        "Neg=-$10\r\n"
        "Big=2147483648\r\n"
        "Min=-2147483648\r\n"
        "AllBits=$FFFFFFFF\r\n"
        "[RecentFiles]\r\n"
        "Count=0\r\n"
        "[preferences]\r\n"
        "Later=1\r\n";
    WriteFile(test.IniPath(), original);
    {
        THxIniFile2 discarded(test.environment);
        discarded.OpenSection("Preferences", true);
        discarded.WriteInteger("Form.Left", 1);
    }
    EXPECT_EQ(ReadFile(test.IniPath()), original) << "destroying a store writes nothing";

    THxIniFile2 store(test.environment);
    EXPECT_EQ(store.ReadInteger("orphan", -1), -1) << "lines before the first section are dropped";
    store.OpenSection("PREFERENCES", false);
    EXPECT_EQ(store.ReadInteger("form.left", 0), 31);
    EXPECT_EQ(store.ReadInteger("Form.Top", 128), 128);
    EXPECT_EQ(store.ReadString("Form.Top", ""), "abc");
    EXPECT_EQ(store.ReadString("Font.Name", ""), "ＭＳ ゴシック");
    EXPECT_EQ(store.ReadString("Empty", "default"), "");
    EXPECT_EQ(store.ReadInteger("Empty", 5), 5);
    EXPECT_EQ(store.ReadInteger("Hex1", 0), 255);
    EXPECT_EQ(store.ReadInteger("Hex2", 0), 16);
    EXPECT_EQ(store.ReadInteger("Neg", 0), -16);
    EXPECT_EQ(store.ReadInteger("Big", 7), 7);
    EXPECT_EQ(store.ReadInteger("Min", 0), INT32_MIN);
    EXPECT_EQ(store.ReadInteger("AllBits", 0), -1);
    EXPECT_EQ(store.ReadInteger("Later", 0), 1) << "a repeated header continues its section";
    EXPECT_EQ(store.ReadString("just some text", "no"), "no");
    EXPECT_TRUE(store.ReadBool("Hex1", false));
    EXPECT_FALSE(store.ReadBool("Form.Top", false));

    store.OpenSection("preferences", true);
    store.WriteInteger("FORM.LEFT", 40);
    store.WriteString("New", "value with\r\nline break");
    store.OpenSection("Third", true);
    store.WriteBool("Flag", true);
    EXPECT_EQ(ReadFile(test.IniPath()), original) << "nothing reaches the file before Flush";
    store.Flush();
    EXPECT_TRUE(store.SectionOpen());
    EXPECT_EQ(store.CurrentSection(), "");
    EXPECT_EQ(ReadFile(test.IniPath()),
              "[Preferences]\r\n"
              "Form.Left=40\r\n"
              "Form.Top=abc\r\n"
              "just some text\r\n"
              "Font.Name=ＭＳ ゴシック\r\n"
              "Empty=\r\n"
              "Hex1=$ff\r\n"
              "Hex2=0X10\r\n"
              "Neg=-$10\r\n"
              "Big=2147483648\r\n"
              "Min=-2147483648\r\n"
              "AllBits=$FFFFFFFF\r\n"
              "Later=1\r\n"
              "New=value with  line break\r\n"
              "\r\n"
              "[RecentFiles]\r\n"
              "Count=0\r\n"
              "\r\n"
              "[Third]\r\n"
              "Flag=1\r\n"
              "\r\n");
}

TEST(HxRegIni, WritesNeedAnOpenSection) {
    TempFolder folder;
    TestEnvironment test(folder);
    THxIniFile2 store(test.environment);
    EXPECT_FALSE(store.SectionOpen());
    EXPECT_EQ(store.ReadString("Anything", "d"), "d");
    EXPECT_EQ(MessageOf([&] { store.WriteString("A", "1"); }), "カレントセクションが設定されていません。");
    EXPECT_EQ(MessageOf([&] { store.WriteBool("B", true); }), "カレントセクションが設定されていません。");
    store.Flush();
    EXPECT_EQ(ReadFile(test.IniPath()), "");
}

TEST(HxRegIni, FailuresOfTheBackEndsCarryTheirMessages) {
    TempFolder folder;
    {
        // The key store's root is a file, so the application key cannot be created.
        TestEnvironment test(folder, kAnswerNo);
        WriteFile(test.environment.keyStoreRoot, "");
        EXPECT_EQ(MessageOf([&] { THxIniFile2 store(test.environment); }),
                  "キー \\Software\\Quillworks\\velmora の作成に失敗しました");
        fs::remove(test.environment.keyStoreRoot);
    }
    {
        // The executable's folder is missing, so the empty INI file cannot be created.
        TestEnvironment test(folder, settings::kAnswerYes);
        test.environment.executablePath = folder / "missing/velmora";
        const std::string message = MessageOf([&] { THxIniFile2 store(test.environment); });
        EXPECT_EQ(message, "ファイル " + folder / "missing/velmora.ini" + " を作成できません");
    }
}

TEST(HxRegIni, UnreadableOrUnwritableFilesCarryTheirMessages) {
    TempFolder folder;
    TestEnvironment ini(folder);
    WriteFile(ini.IniPath(), "[S]\r\nA=1\r\n\r\n");
    TempFolder registryFolder;
    TestEnvironment registry(registryFolder, kAnswerNo);
    {
        THxIniFile2 store(registry.environment);
        store.OpenSection("S", true);
        store.WriteInteger("A", 1);
    }
    OpenToOthers(folder.Path());
    OpenToOthers(registryFolder.Path());
    fs::permissions(ini.IniPath(), fs::perms::none);
    fs::permissions(registry.KeyFolder() + "/S/values.txt", fs::perms::none);
    fs::permissions(registry.KeyFolder() + "/S", fs::perms::owner_read | fs::perms::owner_exec |
                                                       fs::perms::others_read | fs::perms::others_exec);

    const std::string iniPath = ini.IniPath();
    const int result = RunUnprivileged([&] {
        int failures = 0;
        if (MessageOf([&] { THxIniFile2 store(ini.environment); }) != "ファイル " + iniPath + " は開けません") {
            failures |= 1;
        }
        THxIniFile2 store(registry.environment);
        store.OpenSection("S", false);
        if (MessageOf([&] { store.ReadInteger("A", 0); }) != "'A' の取得に失敗しました") failures |= 2;
        // Values of a section are stored together when the section is left.
        store.WriteInteger("B", 0);
        store.WriteInteger("C", 0);
        if (MessageOf([&] { store.Flush(); }) != "'B' の設定に失敗しました") failures |= 4;
        return failures;
    });
    EXPECT_EQ(result, 0);

    // A settings file made read-only is not replaced at Flush.
    fs::permissions(ini.IniPath(), fs::perms::owner_read | fs::perms::others_read);
    const int flushResult = RunUnprivileged([&] {
        THxIniFile2 store(ini.environment);
        store.OpenSection("S", true);
        store.WriteInteger("A", 2);
        return MessageOf([&] { store.Flush(); }) == "ファイル " + iniPath + " を作成できません" ? 0 : 1;
    });
    EXPECT_EQ(flushResult, 0);
    fs::permissions(ini.IniPath(), fs::perms::owner_read);
    EXPECT_EQ(ReadFile(ini.IniPath()), "[S]\r\nA=1\r\n\r\n");
}

TEST(HxRegIni, ChangeStyleSwitchesBothWaysAndOtherwiseDoesNothing) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);

    THxIniFile2::ChangeStyle(test.environment, isIni);
    EXPECT_FALSE(Exists(test.IniPath())) << "nothing present: nothing is created";
    EXPECT_FALSE(Exists(test.environment.keyStoreRoot));

    {
        THxIniFile2 store(test.environment);
        store.OpenSection("Preferences", true);
        store.WriteInteger("A", 1);
        store.OpenSection("RecentFiles", true);
        store.WriteInteger("Count", 0);
    }
    THxIniFile2::ChangeStyle(test.environment, isRegistry);
    EXPECT_TRUE(Exists(test.KeyFolder() + "/Preferences/values.txt")) << "same kind: nothing deleted";
    EXPECT_FALSE(Exists(test.IniPath()));

    THxIniFile2::ChangeStyle(test.environment, isIni);
    EXPECT_FALSE(Exists(test.KeyFolder()));
    EXPECT_EQ(ReadFile(test.IniPath()), "");

    WriteFile(test.IniPath(), "[Preferences]\r\nA=1\r\n\r\n");
    THxIniFile2::ChangeStyle(test.environment, isIni);
    EXPECT_EQ(ReadFile(test.IniPath()), "[Preferences]\r\nA=1\r\n\r\n");

    THxIniFile2::ChangeStyle(test.environment, isRegistry);
    EXPECT_FALSE(Exists(test.IniPath()));
    EXPECT_TRUE(fs::is_directory(test.KeyFolder()));
    EXPECT_TRUE(fs::is_empty(test.KeyFolder()));
    EXPECT_TRUE(test.questions.size() == 1u);

    // With both gone, the next store asks again.
    fs::remove_all(test.KeyFolder());
    THxIniFile2::ChangeStyle(test.environment, isIni);
    THxIniFile2 store(test.environment);
    EXPECT_EQ(test.questions.size(), 2u);
}

TEST(HxRegIni, ChangeStyleThatCannotDeleteTheOldBackEndPreparesNothing) {
    TempFolder folder;
    TestEnvironment test(folder);
    WriteFile(test.IniPath(), "[Preferences]\r\nA=1\r\n\r\n");
    OpenToOthers(folder.Path());
    fs::permissions(folder / "bin", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    const int result = RunUnprivileged([&] {
        return MessageOf([&] { THxIniFile2::ChangeStyle(test.environment, isRegistry); }) ==
                       "古い形式の設定が削除できませんでした"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(test.IniPath()), "[Preferences]\r\nA=1\r\n\r\n");
    EXPECT_FALSE(Exists(test.environment.keyStoreRoot));
}

TEST(HxRegIni, ChooseStorageShowsTheKindInForceAndCarriesOutTheChoice) {
    TempFolder folder;
    TestEnvironment test(folder);
    std::vector<std::string> shownTexts;
    std::vector<std::optional<THxIniStyle>> shownKinds;
    auto dialog = [&](std::optional<THxIniStyle> choose, bool confirm) {
        return [&, choose, confirm](const std::string& text, std::optional<THxIniStyle>& kind) {
            shownTexts.push_back(text);
            shownKinds.push_back(kind);
            if (confirm && choose) kind = choose;
            return confirm;
        };
    };

    EXPECT_TRUE(THxIniFile2::ChooseStorage(test.environment, dialog(std::nullopt, true)));
    EXPECT_FALSE(shownKinds.back().has_value()) << "nothing in force: neither option checked";
    EXPECT_FALSE(Exists(test.IniPath()));

    WriteFile(test.IniPath(), "[S]\r\nA=1\r\n\r\n");
    EXPECT_FALSE(THxIniFile2::ChooseStorage(test.environment, dialog(isRegistry, false)));
    EXPECT_EQ(shownKinds.back(), isIni);
    EXPECT_EQ(shownTexts.back(), "HKEY_CURRENT_USER\\Software\\Quillworks\\velmora");
    EXPECT_TRUE(Exists(test.IniPath())) << "cancel changes nothing";

    EXPECT_TRUE(THxIniFile2::ChooseStorage(test.environment, dialog(isIni, true)));
    EXPECT_EQ(ReadFile(test.IniPath()), "[S]\r\nA=1\r\n\r\n");

    EXPECT_TRUE(THxIniFile2::ChooseStorage(test.environment, dialog(isRegistry, true)));
    EXPECT_FALSE(Exists(test.IniPath()));
    EXPECT_TRUE(fs::is_directory(test.KeyFolder()));
    EXPECT_TRUE(test.questions.empty());
}

TEST(HxRegIni, AFullDiskLeavesTheSettingsFilesAsTheyWere) {
    TempFolder folder;
    TestEnvironment ini(folder);
    const std::string iniText = "[Preferences]\r\nFont.Name=Noto\r\n\r\n";
    WriteFile(ini.IniPath(), iniText);
    const int iniResult = RunWithFileSizeLimit(16, [&] {
        THxIniFile2 store(ini.environment);
        store.OpenSection("Preferences", true);
        store.WriteString("EditingFileName", std::string(200, 'x'));
        return MessageOf([&] { store.Flush(); }) == "ファイル " + ini.IniPath() + " を作成できません" ? 0 : 1;
    });
    EXPECT_EQ(iniResult, 0);
    EXPECT_EQ(ReadFile(ini.IniPath()), iniText);

    TempFolder registryFolder;
    TestEnvironment registry(registryFolder, kAnswerNo);
    {
        THxIniFile2 store(registry.environment);
        store.OpenSection("Preferences", true);
        store.WriteString("Font.Name", "Noto");
    }
    const std::string valuesPath = registry.KeyFolder() + "/Preferences/values.txt";
    const std::string valuesText = ReadFile(valuesPath);
    const int registryResult = RunWithFileSizeLimit(16, [&] {
        THxIniFile2 store(registry.environment);
        store.OpenSection("Preferences", true);
        store.WriteString("EditingFileName", std::string(200, 'x'));
        return MessageOf([&] { store.Flush(); }) == "'EditingFileName' の設定に失敗しました" ? 0 : 1;
    });
    EXPECT_EQ(registryResult, 0);
    EXPECT_EQ(ReadFile(valuesPath), valuesText);

    // No temporary file is left behind beside either.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "bin"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(registry.KeyFolder() + "/Preferences"), fs::directory_iterator()), 1);
}
