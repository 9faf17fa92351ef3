// An executable's folder that the user may not write to: the INI choice is refused with a
// warning, at the first start and in the storage choice, and nothing else changes.
#include "settings/HxRegIni.h"

#include "SettingsTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using settings::isIni;
using settings::isRegistry;
using settings::THxIniFile2;
using settings::THxIniStyle;
using namespace settings_test;
namespace fs = std::filesystem;

namespace {

constexpr int kAnswerNo = 7;

void MakeReadOnly(const std::string& folder) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

std::string ExpectedWarning(const std::string& iniPath) {
    return "ファイル " + iniPath + " を作成できません。\r\r"
           "このプログラムのフォルダーには書き込めないため、設定をINIファイルに保存できません。\r"
           "「いいえ」を選択して、ユーザーごとの保存先に保存して下さい。";
}

}  // namespace

TEST(IniNotWritable, FirstStartRefusesYesWarnsAndAsksAgainUntilNo) {
    TempFolder folder;
    TestEnvironment test(folder);
    OpenToOthers(folder.Path());
    MakeReadOnly(folder / "bin");
    const std::string iniPath = test.IniPath();
    // The child reports the sequence through its exit code: one bit per expectation.
    const int result = RunUnprivileged([&] {
        std::vector<std::string> events;
        int answersGiven = 0;
        test.environment.askFirstStart = [&](const settings::FirstStartQuestion& question) {
            events.push_back(question.text == THxIniFile2::FirstStartQuestionText() && question.ownTaskbarButton
                                 ? "question"
                                 : "wrong question");
            return ++answersGiven < 3 ? settings::kAnswerYes : kAnswerNo;
        };
        test.environment.warnIniNotWritable = [&](const std::string& text) {
            events.push_back(text == ExpectedWarning(iniPath) ? "warning" : "wrong warning: " + text);
        };
        const THxIniFile2 store(test.environment);
        const std::vector<std::string> expected{"question", "warning", "question", "warning", "question"};
        int failures = 0;
        if (events != expected) failures |= 1;
        if (store.Style() != isRegistry) failures |= 2;
        return failures;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Exists(iniPath));
    EXPECT_TRUE(fs::is_directory(test.KeyFolder()));
}

TEST(IniNotWritable, ChoosingTheIniFileInAReadOnlyFolderKeepsTheKeyStore) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);
    {
        THxIniFile2 store(test.environment);
        store.OpenSection("Preferences", true);
        store.WriteInteger("A", 1);
        store.Flush();
    }
    const std::string valuesFile = test.KeyFolder() + "/Preferences/values.txt";
    const std::string valuesBefore = ReadFile(valuesFile);
    OpenToOthers(folder.Path());
    MakeReadOnly(folder / "bin");
    const std::string iniPath = test.IniPath();

    const int result = RunUnprivileged([&] {
        std::vector<std::string> warnings;
        test.environment.warnIniNotWritable = [&](const std::string& text) { warnings.push_back(text); };
        const bool chosen = THxIniFile2::ChooseStorage(
            test.environment, [](const std::string&, std::optional<THxIniStyle>& kind) {
                kind = isIni;
                return true;
            });
        int failures = 0;
        if (chosen) failures |= 1;
        if (warnings != std::vector<std::string>{ExpectedWarning(iniPath)}) failures |= 2;
        return failures;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Exists(iniPath));
    EXPECT_EQ(ReadFile(valuesFile), valuesBefore);
    THxIniStyle style{};
    EXPECT_TRUE(THxIniFile2::DetectStyle(test.environment, style));
    EXPECT_EQ(style, isRegistry);
}

TEST(IniNotWritable, AKeyStoreThatCannotBeDeletedTakesBackTheNewIniFile) {
    TempFolder folder;
    TestEnvironment test(folder, kAnswerNo);
    { THxIniFile2 store(test.environment); }
    OpenToOthers(folder.Path());
    // The key store's parent refuses the deletion; the executable's folder is writable.
    MakeReadOnly(test.environment.keyStoreRoot + "/Software/Quillworks");
    const std::string iniPath = test.IniPath();
    const int result = RunUnprivileged([&] {
        test.environment.warnIniNotWritable = [](const std::string&) {};
        try {
            THxIniFile2::ChooseStorage(test.environment, [](const std::string&, std::optional<THxIniStyle>& kind) {
                kind = isIni;
                return true;
            });
        } catch (const std::exception& error) {
            return std::string(error.what()) == "古い形式の設定が削除できませんでした" ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Exists(iniPath));
    EXPECT_TRUE(fs::is_directory(test.KeyFolder()));
}
