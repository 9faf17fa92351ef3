#include "platform/key_store.h"
#include "platform/executable_path.h"

#include "SettingsTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using platform::KeyStore;
using platform::KeyValue;
using platform::KeyValueType;
using platform::ValueReadStatus;
using namespace settings_test;

namespace {

KeyValue Dword(std::uint32_t number) { return {KeyValueType::Dword, number, {}}; }
KeyValue Text(std::string text) { return {KeyValueType::String, 0, std::move(text)}; }

}  // namespace

TEST(KeyStore, KeysAreFoldersThatExistExactlyWhenCreated) {
    TempFolder folder;
    const KeyStore store(folder / "config");
    EXPECT_FALSE(store.KeyExists("\\Software\\Quillworks\\velmora"));
    EXPECT_FALSE(store.OpenKey("\\Software\\Quillworks\\velmora", false));
    EXPECT_FALSE(Exists(folder / "config")) << "opening without create must create nothing";

    EXPECT_TRUE(store.OpenKey("\\Software\\Quillworks\\velmora\\Preferences", true));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "config/Software/Quillworks/velmora/Preferences"));
    EXPECT_TRUE(store.KeyExists("Software/Quillworks/velmora"));
    EXPECT_TRUE(store.KeyExists("\\SOFTWARE\\quillworks\\VELMORA\\preferences")) << "key names ignore case";
    EXPECT_TRUE(store.CreateKey("\\software\\QUILLWORKS\\velmora\\RecentFiles"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "config/Software/Quillworks/velmora/RecentFiles"))
        << "an existing parent is reused in its own spelling";
}

TEST(KeyStore, ValuesAreTypedAndKeptInOneReadableFilePerKey) {
    TempFolder folder;
    const KeyStore store(folder.Path());
    ASSERT_TRUE(store.CreateKey("\\App\\Preferences"));
    EXPECT_EQ(store.ReadValue("\\App\\Preferences", "Form.Left").status, ValueReadStatus::Missing);

    EXPECT_TRUE(store.WriteValues("\\App\\Preferences", {{"Form.Left", Dword(128)}}));
    EXPECT_TRUE(store.WriteValues("\\App\\Preferences", {{"Font.Name", Text("first")},
                                                          {"Odd\tname", Text("line1\r\nline2\\end\x01")},
                                                          {"font.name", Text("ＭＳ ゴシック")}}));
    EXPECT_TRUE(store.WriteValues("\\App\\Preferences", {{"FORM.LEFT", Dword(0xFFFFFFFFu)}}));

    EXPECT_EQ(ReadFile(folder / "App/Preferences/values.txt"),
              "# type<TAB>name<TAB>data\n"
              "REG_DWORD\tForm.Left\t4294967295\n"
              "REG_SZ\tFont.Name\tＭＳ ゴシック\n"
              "REG_SZ\tOdd\\tname\tline1\\r\\nline2\\\\end\\x01\n");

    const auto left = store.ReadValue("\\App\\Preferences", "form.left");
    ASSERT_EQ(left.status, ValueReadStatus::Found);
    EXPECT_EQ(left.value.type, KeyValueType::Dword);
    EXPECT_EQ(left.value.number, 0xFFFFFFFFu);
    const auto odd = store.ReadValue("\\App\\Preferences", "Odd\tname");
    ASSERT_EQ(odd.status, ValueReadStatus::Found);
    EXPECT_EQ(odd.value.text, "line1\r\nline2\\end\x01");
}

TEST(KeyStore, ExpandStringsReadUnexpandedAndDamagedLinesAreSkipped) {
    TempFolder folder;
    const KeyStore store(folder.Path());
    ASSERT_TRUE(store.CreateKey("K"));
    WriteFile(folder / "K/values.txt",
              "REG_EXPAND_SZ\tPath\t%HOME%\\\\x\r\n"
              "REG_DWORD\tBad\t12x\n"
              "REG_DWORD\tTooBig\t4294967296\n"
              "REG_BINARY\tBlob\t00\n"
              "REG_SZ\tBroken\tends in \\\n"
              "no tabs at all\n"
              "REG_DWORD\tGood\t7");
    const auto path = store.ReadValue("K", "Path");
    ASSERT_EQ(path.status, ValueReadStatus::Found);
    EXPECT_EQ(path.value.type, KeyValueType::ExpandString);
    EXPECT_EQ(path.value.text, "%HOME%\\x");
    for (const char* name : {"Bad", "TooBig", "Blob", "Broken"}) {
        EXPECT_EQ(store.ReadValue("K", name).status, ValueReadStatus::Missing) << name;
    }
    EXPECT_EQ(store.ReadValue("K", "Good").value.number, 7u);
}

TEST(KeyStore, WritesNeedAnExistingKeyAndDeleteRemovesEverythingBelow) {
    TempFolder folder;
    const KeyStore store(folder.Path());
    EXPECT_FALSE(store.WriteValues("\\Missing", {{"A", Dword(1)}}));
    EXPECT_FALSE(store.DeleteKey("\\Missing"));

    ASSERT_TRUE(store.CreateKey("\\App\\Preferences"));
    ASSERT_TRUE(store.CreateKey("\\App\\RecentFiles"));
    ASSERT_TRUE(store.WriteValues("\\App\\Preferences", {{"A", Dword(1)}}));
    ASSERT_TRUE(store.WriteValues("\\App", {{"B", Text("b")}}));
    EXPECT_TRUE(store.DeleteKey("\\app"));
    EXPECT_FALSE(store.KeyExists("\\App"));
    EXPECT_FALSE(Exists(folder / "App"));
    EXPECT_TRUE(store.KeyExists("")) << "the root stays";
}

TEST(KeyStore, RefusesPathsThatLeaveTheRootOrHitTheValuesFile) {
    TempFolder folder;
    const KeyStore store(folder / "root");
    ASSERT_TRUE(store.CreateKey("Inside"));
    for (const char* path : {"..\\outside", "Inside\\..\\..\\outside", ".", "Inside\\values.txt", "Inside\\VALUES.TXT"}) {
        EXPECT_FALSE(store.CreateKey(path)) << path;
        EXPECT_FALSE(store.KeyExists(path)) << path;
        EXPECT_FALSE(store.DeleteKey(path)) << path;
    }
    EXPECT_FALSE(Exists(folder / "outside"));
    EXPECT_TRUE(store.KeyExists("Inside"));
}

TEST(KeyStore, UnreadableValuesAndRefusedChangesAreFailures) {
    TempFolder folder;
    const KeyStore store(folder.Path());
    ASSERT_TRUE(store.CreateKey("\\App\\Locked"));
    ASSERT_TRUE(store.WriteValues("\\App\\Locked", {{"A", Dword(1)}}));
    OpenToOthers(folder.Path());
    namespace fs = std::filesystem;
    fs::permissions(folder / "App/Locked/values.txt", fs::perms::none);
    const auto readAndSearch = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(folder / "App/Locked", readAndSearch);

    const int result = RunUnprivileged([&] {
        int failures = 0;
        if (store.ReadValue("\\App\\Locked", "A").status != ValueReadStatus::Failed) failures |= 1;
        if (store.WriteValues("\\App\\Locked", {{"B", Dword(2)}})) failures |= 2;
        if (store.DeleteKey("\\App")) failures |= 4;
        return failures;
    });
    EXPECT_EQ(result, 0);
    fs::permissions(folder / "App/Locked/values.txt", fs::perms::owner_read);
    EXPECT_EQ(store.ReadValue("\\App\\Locked", "A").value.number, 1u) << "a refused write leaves the value";
}

TEST(KeyStore, DefaultRootAndExecutablePathComeFromTheProcess) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(KeyStore::DefaultRoot(), "/somewhere/config");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    EXPECT_EQ(KeyStore::DefaultRoot(), std::string(home != nullptr ? home : "") + "/.config");
    if (saved != nullptr) {
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_TRUE(std::filesystem::equivalent(platform::ExecutablePath(), "/proc/self/exe"));
}
