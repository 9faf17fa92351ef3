#include "settings/HxRegIni.h"

#include "platform/executable_path.h"
#include "platform/file_io.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace settings {

using platform::EqualsIgnoringAsciiCase;

namespace {

constexpr const char* kApplicationKeyPrefix = "\\Software\\Quillworks\\";
constexpr const char* kHiveName = "HKEY_CURRENT_USER";

std::string WithArgument(std::string_view pattern, std::string_view argument) {
    std::string text(pattern);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

bool ContainsIgnoringAsciiCase(const std::vector<std::string>& names, std::string_view name) {
    for (const std::string& listed : names) {
        if (EqualsIgnoringAsciiCase(listed, name)) return true;
    }
    return false;
}

}  // namespace

SettingsEnvironment SettingsEnvironment::ForThisProgram(std::function<int(const FirstStartQuestion&)> ask,
                                                       std::function<void(const std::string& text)> warn) {
    return {platform::ExecutablePath(), platform::KeyStore::DefaultRoot(), std::move(ask), std::move(warn)};
}

std::string THxIniFile2::AppName(const SettingsEnvironment& environment) {
    return std::filesystem::path(environment.executablePath).stem().string();
}

std::string THxIniFile2::IniFileName(const SettingsEnvironment& environment) {
    return std::filesystem::path(environment.executablePath).replace_extension(".ini").string();
}

std::string THxIniFile2::ApplicationKey(const SettingsEnvironment& environment) {
    return kApplicationKeyPrefix + AppName(environment);
}

std::string THxIniFile2::KeyLocationText(const SettingsEnvironment& environment) {
    return kHiveName + ApplicationKey(environment);
}

std::string THxIniFile2::FirstStartQuestionText() {
    return "アプリケーションの設定をINIファイルに保存します。よろしいですか？\r\r"
           "INIファイルに保存した場合、アンインストールなどが容易になりますが、\r"
           "マルチユーザー環境では設定が共有されてしまいます。\r\r"
           "INIファイルを使用する場合は「はい」を、\r"
           "レジストリを使用する場合は「いいえ」を選択して下さい。";
}

std::string THxIniFile2::IniNotWritableText(const SettingsEnvironment& environment) {
    return WithArgument("ファイル %s を作成できません。\r\r", IniFileName(environment)) +
           "このプログラムのフォルダーには書き込めないため、設定をINIファイルに保存できません。\r"
           "「いいえ」を選択して、ユーザーごとの保存先に保存して下さい。";
}

bool THxIniFile2::DetectStyle(const SettingsEnvironment& environment, THxIniStyle& style) {
    const platform::KeyStore registry(environment.keyStoreRoot);
    if (registry.KeyExists(ApplicationKey(environment))) {
        style = isRegistry;
        return true;
    }
    if (platform::FileExists(IniFileName(environment))) {
        style = isIni;
        return true;
    }
    return false;
}

void THxIniFile2::PrepareStorage(const SettingsEnvironment& environment, THxIniStyle style) {
    if (style == isIni) {
        const std::string path = IniFileName(environment);
        if (!platform::FileExists(path)) platform::SafeReplaceFile(path, "");
        return;
    }
    const std::string key = ApplicationKey(environment);
    if (!platform::KeyStore(environment.keyStoreRoot).CreateKey(key)) {
        throw SettingsError(WithArgument("キー %s の作成に失敗しました", key));
    }
}

void THxIniFile2::ChangeStyle(const SettingsEnvironment& environment, THxIniStyle newStyle) {
    THxIniStyle current{};
    if (!DetectStyle(environment, current) || current == newStyle) return;

    bool deleted = true;
    if (current == isRegistry) {
        const platform::KeyStore registry(environment.keyStoreRoot);
        const std::string key = ApplicationKey(environment);
        if (registry.KeyExists(key)) deleted = registry.DeleteKey(key);
    } else {
        const std::string path = IniFileName(environment);
        if (platform::FileExists(path)) {
            std::error_code error;
            deleted = std::filesystem::remove(path, error) && !error;
        }
    }
    if (!deleted) throw SettingsError("古い形式の設定が削除できませんでした");
    PrepareStorage(environment, newStyle);
}

bool THxIniFile2::ChooseStorage(const SettingsEnvironment& environment, const StorageDialog& execute) {
    THxIniStyle detected{};
    std::optional<THxIniStyle> kind;
    if (DetectStyle(environment, detected)) kind = detected;
    if (!execute(KeyLocationText(environment), kind)) return false;
    // A kind left unset means nothing exists, and then there is nothing to change.
    if (!kind) return true;
    // The INI file is made before the key store is deleted, so that a folder that cannot
    // hold it leaves the settings where they are.
    const std::string iniPath = IniFileName(environment);
    const bool makesIniFile = detected == isRegistry && *kind == isIni && !platform::FileExists(iniPath);
    if (makesIniFile && !CreateIniFileOrWarn(environment)) return false;
    try {
        ChangeStyle(environment, *kind);
    } catch (const std::exception&) {
        std::error_code ignored;
        if (makesIniFile) std::filesystem::remove(iniPath, ignored);
        throw;
    }
    return true;
}

bool THxIniFile2::CreateIniFileOrWarn(const SettingsEnvironment& environment) {
    if (!environment.warnIniNotWritable) {
        PrepareStorage(environment, isIni);
        return true;
    }
    try {
        PrepareStorage(environment, isIni);
        return true;
    } catch (const platform::FileError&) {
        environment.warnIniNotWritable(IniNotWritableText(environment));
        return false;
    }
}

THxIniStyle THxIniFile2::AskFirstStart(const SettingsEnvironment& environment) {
    const FirstStartQuestion question{FirstStartQuestionText()};
    while (environment.askFirstStart(question) == kAnswerYes) {
        if (CreateIniFileOrWarn(environment)) return isIni;
    }
    return isRegistry;
}

THxIniFile2::THxIniFile2(const SettingsEnvironment& environment)
    : environment_(environment), appName_(AppName(environment)) {
    if (!DetectStyle(environment_, style_)) style_ = AskFirstStart(environment_);
    PrepareStorage(environment_, style_);
    if (style_ == isIni) {
        ini_ = IniImage::Parse(platform::ReadWholeFile(IniFileName(environment_)));
    } else {
        registry_.emplace(environment_.keyStoreRoot);
    }
}

THxIniFile2::~THxIniFile2() {
    try {
        StorePendingValues();
    } catch (const std::exception&) {
        // Only a save that already failed ends without Flush; its error has been raised.
    }
}

std::string THxIniFile2::KeyPath(const std::string& section) const {
    std::string path = kApplicationKeyPrefix + appName_;
    if (!section.empty()) path += "\\" + section;
    return path;
}

void THxIniFile2::OpenSection(const std::string& name, bool canCreate) {
    if (ini_) {
        sectionOpen_ = true;
        currentSection_ = name;
        return;
    }
    StorePendingValues();
    sectionOpen_ = registry_->OpenKey(KeyPath(name), canCreate);
    currentSection_ = sectionOpen_ ? name : std::string();
}

void THxIniFile2::RequireSection() const {
    if (!sectionOpen_) throw SettingsError("カレントセクションが設定されていません。");
}

std::optional<platform::KeyValue> THxIniFile2::ReadRegistryValue(const std::string& name) const {
    if (!sectionOpen_ || ContainsIgnoringAsciiCase(pendingRemovals_, name)) return std::nullopt;
    for (const platform::NamedKeyValue& pending : pendingValues_) {
        if (EqualsIgnoringAsciiCase(pending.name, name)) return pending.value;
    }
    const platform::ValueRead read = registry_->ReadValue(KeyPath(currentSection_), name);
    switch (read.status) {
        case platform::ValueReadStatus::Missing: return std::nullopt;
        case platform::ValueReadStatus::Found: return read.value;
        case platform::ValueReadStatus::Failed: break;
    }
    throw SettingsError(WithArgument("'%s' の取得に失敗しました", name));
}

void THxIniFile2::WriteRegistryValue(const std::string& name, const platform::KeyValue& value) {
    std::erase_if(pendingRemovals_, [&](const std::string& removed) { return EqualsIgnoringAsciiCase(removed, name); });
    for (platform::NamedKeyValue& pending : pendingValues_) {
        if (EqualsIgnoringAsciiCase(pending.name, name)) {
            pending.value = value;
            return;
        }
    }
    pendingValues_.push_back({name, value});
}

void THxIniFile2::StorePendingValues() {
    if (pendingValues_.empty() && pendingRemovals_.empty()) return;
    std::vector<platform::NamedKeyValue> values;
    values.swap(pendingValues_);
    std::vector<std::string> removals;
    removals.swap(pendingRemovals_);
    if (!registry_->WriteValues(KeyPath(currentSection_), values, removals)) {
        const std::string& name = values.empty() ? removals.front() : values.front().name;
        throw SettingsError(WithArgument("'%s' の設定に失敗しました", name));
    }
}

std::int32_t THxIniFile2::ReadInteger(const std::string& name, std::int32_t defaultValue) const {
    if (ini_) {
        const auto text = ini_->Find(currentSection_, name);
        if (!text) return defaultValue;
        return ParseIniInteger(*text).value_or(defaultValue);
    }
    const auto value = ReadRegistryValue(name);
    if (!value) return defaultValue;
    if (value->type != platform::KeyValueType::Dword) {
        throw SettingsError(WithArgument("'%s' のデータ型が不正です", name));
    }
    return static_cast<std::int32_t>(value->number);
}

std::string THxIniFile2::ReadString(const std::string& name, const std::string& defaultValue) const {
    if (ini_) return ini_->Find(currentSection_, name).value_or(defaultValue);
    const auto value = ReadRegistryValue(name);
    if (!value) return defaultValue;
    if (value->type == platform::KeyValueType::Dword) {
        throw SettingsError(WithArgument("'%s' のデータ型が不正です", name));
    }
    return value->text;
}

bool THxIniFile2::ReadBool(const std::string& name, bool defaultValue) const {
    return ReadInteger(name, defaultValue ? 1 : 0) != 0;
}

void THxIniFile2::WriteInteger(const std::string& name, std::int32_t value) {
    RequireSection();
    if (ini_) {
        ini_->Set(currentSection_, name, std::to_string(value));
    } else {
        WriteRegistryValue(name, {platform::KeyValueType::Dword, static_cast<std::uint32_t>(value), {}});
    }
}

void THxIniFile2::WriteString(const std::string& name, const std::string& value) {
    RequireSection();
    if (ini_) {
        ini_->Set(currentSection_, name, value);
    } else {
        WriteRegistryValue(name, {platform::KeyValueType::String, 0, value});
    }
}

void THxIniFile2::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

std::vector<std::string> THxIniFile2::ValueNames() const {
    if (!sectionOpen_) return {};
    if (ini_) return ini_->Names(currentSection_);
    const auto stored = registry_->ValueNames(KeyPath(currentSection_));
    if (!stored) throw SettingsError(WithArgument("'%s' の取得に失敗しました", currentSection_));
    std::vector<std::string> names;
    for (const std::string& name : *stored) {
        const bool written = std::any_of(pendingValues_.begin(), pendingValues_.end(), [&](const auto& value) {
            return EqualsIgnoringAsciiCase(value.name, name);
        });
        if (!written && !ContainsIgnoringAsciiCase(pendingRemovals_, name)) names.push_back(name);
    }
    for (const platform::NamedKeyValue& value : pendingValues_) names.push_back(value.name);
    return names;
}

void THxIniFile2::DeleteValue(const std::string& name) {
    RequireSection();
    if (ini_) {
        ini_->Remove(currentSection_, name);
        return;
    }
    std::erase_if(pendingValues_, [&](const auto& value) { return EqualsIgnoringAsciiCase(value.name, name); });
    if (!ContainsIgnoringAsciiCase(pendingRemovals_, name)) pendingRemovals_.push_back(name);
}

void THxIniFile2::Flush() {
    OpenSection("", false);
    if (ini_) platform::SafeReplaceFile(IniFileName(environment_), ini_->Format());
}

}  // namespace settings
