// THxIniFile2: the program's settings, as sections of named values, kept either in an INI
// file beside the executable or in the per-user key store that stands in for the registry.
// The back end in force is whichever exists, the key store first; on the very first start
// the user is asked which to create. A store object lives for one load or one save.
#pragma once

#include "platform/key_store.h"
#include "settings/IniImage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace settings {

enum THxIniStyle : std::uint8_t { isIni = 0, isRegistry = 1 };

// The answer to the first-start question that selects the INI file (modal result Yes).
constexpr int kAnswerYes = 6;

// The first-start question and how it is to be shown: a confirmation box with the buttons
// Yes and No that gets a task-bar button of its own, since no main window exists yet.
// Line breaks in the text are single CR characters.
struct FirstStartQuestion {
    std::string text;
    bool confirmation = true;
    bool yesNoButtons = true;
    bool ownTaskbarButton = true;
};

// Where the settings live and how the user is asked. Tests point it at a temporary folder.
struct SettingsEnvironment {
    std::string executablePath;  // the INI file and the application name derive from it
    std::string keyStoreRoot;    // the folder that stands in for HKEY_CURRENT_USER
    // Shows the first-start question and returns the modal result of the pressed button.
    std::function<int(const FirstStartQuestion&)> askFirstStart;
    // Tells the user (a warning with OK, a task-bar button of its own) that the INI file
    // cannot be created beside the executable; the INI choice is then refused. Without it,
    // that failure is raised as an error.
    std::function<void(const std::string& text)> warnIniNotWritable = nullptr;

    // The running executable and the user's configuration folder.
    static SettingsEnvironment ForThisProgram(std::function<int(const FirstStartQuestion&)> ask,
                                              std::function<void(const std::string& text)> warn = {});
};

// A settings failure; what() is the message for the user.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class THxIniFile2 {
public:
    // The storage dialog: shows the key location and the kind in force (nothing when no back
    // end exists), lets the user change the kind and returns true when confirmed with OK.
    using StorageDialog = std::function<bool(const std::string& keyLocation, std::optional<THxIniStyle>& kind)>;

    // The executable's file name without folder and extension.
    static std::string AppName(const SettingsEnvironment& environment);
    // The executable's path with its extension replaced by ".ini".
    static std::string IniFileName(const SettingsEnvironment& environment);
    // "\Software\Quillworks\" and AppName: the application key in the key store.
    static std::string ApplicationKey(const SettingsEnvironment& environment);
    // "HKEY_CURRENT_USER\Software\Quillworks\" and AppName, as shown to the user.
    static std::string KeyLocationText(const SettingsEnvironment& environment);
    static std::string FirstStartQuestionText();
    // Why the INI choice is refused: the file cannot be created in the executable's folder.
    static std::string IniNotWritableText(const SettingsEnvironment& environment);

    // True when a back end exists; style is then the one in force (the key store wins).
    // When nothing exists, style is left as it was.
    static bool DetectStyle(const SettingsEnvironment& environment, THxIniStyle& style);
    // Creates an empty back end of that kind when it is missing.
    static void PrepareStorage(const SettingsEnvironment& environment, THxIniStyle style);
    // Deletes the back end in force and prepares the new one; copies no values. Does nothing
    // when nothing exists or the new kind is already in force.
    static void ChangeStyle(const SettingsEnvironment& environment, THxIniStyle newStyle);
    // Lets the user choose the back end through the dialog and carries the choice out.
    // True when a choice was confirmed; the caller then saves its settings anew. Moving to
    // an INI file that cannot be created is refused with the warning and changes nothing.
    static bool ChooseStorage(const SettingsEnvironment& environment, const StorageDialog& execute);

    // Detects the back end, asking the first-start question when none exists, and opens it.
    explicit THxIniFile2(const SettingsEnvironment& environment);
    // Writes the key store values still held for the open section (failures cannot be
    // reported here; a save ends with Flush, which reports them). Never writes the INI file.
    ~THxIniFile2();
    THxIniFile2(const THxIniFile2&) = delete;
    THxIniFile2& operator=(const THxIniFile2&) = delete;

    THxIniStyle Style() const { return style_; }
    bool SectionOpen() const { return sectionOpen_; }
    const std::string& CurrentSection() const { return currentSection_; }

    // Selects the section for the reads and writes that follow; canCreate creates a missing
    // section key (key store). An INI section comes into being at its first write.
    // Key store values written to the section left behind are stored first.
    void OpenSection(const std::string& name, bool canCreate);

    std::int32_t ReadInteger(const std::string& name, std::int32_t defaultValue) const;
    std::string ReadString(const std::string& name, const std::string& defaultValue) const;
    bool ReadBool(const std::string& name, bool defaultValue) const;

    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteString(const std::string& name, const std::string& value);
    void WriteBool(const std::string& name, bool value);

    // The names of the open section's values, nothing written or removed left out (none
    // when no section is open).
    std::vector<std::string> ValueNames() const;
    // Removes the value from the open section; a value that is not there is no error.
    void DeleteValue(const std::string& name);

    // Ends the section work: stores the key store values of the open section or, for an INI
    // store, rewrites the file from memory. Nothing reaches the INI file before this.
    void Flush();

private:
    // Asks until the answer can be carried out: Yes is refused while the INI file cannot be
    // created, and then the question comes again.
    static THxIniStyle AskFirstStart(const SettingsEnvironment& environment);
    // Creates the INI file when it is missing; false (after the warning) when that fails.
    static bool CreateIniFileOrWarn(const SettingsEnvironment& environment);

    std::string KeyPath(const std::string& section) const;
    void RequireSection() const;
    std::optional<platform::KeyValue> ReadRegistryValue(const std::string& name) const;
    void WriteRegistryValue(const std::string& name, const platform::KeyValue& value);
    void StorePendingValues();

    SettingsEnvironment environment_;
    THxIniStyle style_ = isIni;
    std::string appName_;
    std::optional<IniImage> ini_;
    std::optional<platform::KeyStore> registry_;
    // Values written to the open key and not yet stored: a key's values file is replaced
    // (and synced) once per section instead of once per value.
    std::vector<platform::NamedKeyValue> pendingValues_;
    // Values removed from the open key and not yet stored, stored with pendingValues_.
    std::vector<std::string> pendingRemovals_;
    bool sectionOpen_ = false;
    std::string currentSection_;
};

}  // namespace settings
