#include "settings/Preferences.h"

namespace settings {

namespace {

constexpr const char* kPreferencesSection = "Preferences";
constexpr const char* kRecentFilesSection = "RecentFiles";
constexpr std::int32_t kDefaultLeftTop = 128;

}  // namespace

void LoadPlacement(const THxIniFile2& store, const std::string& prefix, WindowPlacement& placement) {
    WindowBounds& bounds = placement.Bounds;
    bounds.Left = store.ReadInteger(prefix + ".Left", kDefaultLeftTop);
    bounds.Top = store.ReadInteger(prefix + ".Top", kDefaultLeftTop);
    bounds.Width = store.ReadInteger(prefix + ".Width", bounds.Width);
    bounds.Height = store.ReadInteger(prefix + ".Height", bounds.Height);
    placement.State = store.ReadInteger(prefix + ".State", placement.State);
}

void SavePlacement(THxIniFile2& store, const std::string& prefix, const WindowPlacement& placement,
                   const WindowBounds& normalBounds) {
    const WindowBounds& bounds = placement.State == wsMaximized ? normalBounds : placement.Bounds;
    store.WriteInteger(prefix + ".Left", bounds.Left);
    store.WriteInteger(prefix + ".Top", bounds.Top);
    store.WriteInteger(prefix + ".Width", bounds.Width);
    store.WriteInteger(prefix + ".Height", bounds.Height);
    store.WriteInteger(prefix + ".State", placement.State);
}

void LoadPreferences(const SettingsEnvironment& environment, Preferences& preferences, THxHistoryMenu& history) {
    THxIniFile2 store(environment);
    store.OpenSection(kPreferencesSection, false);
    LoadPlacement(store, "Form", preferences.Form);
    preferences.LeftPaneWidth = store.ReadInteger("LeftPaneWidth", preferences.LeftPaneWidth);
    preferences.WordWrap = store.ReadBool("WardWrap", true);
    preferences.FontName = store.ReadString("Font.Name", preferences.FontName);
    preferences.FontSize = store.ReadInteger("Font.Size", preferences.FontSize);
    preferences.TreeFontName = store.ReadString("TreeFont.Name", preferences.TreeFontName);
    preferences.TreeFontSize = store.ReadInteger("TreeFont.Size", preferences.TreeFontSize);
    preferences.EditingFileName = store.ReadString("EditingFileName", "");
    history.LoadFrom(store, kRecentFilesSection);
}

void SavePreferences(const SettingsEnvironment& environment, const Preferences& preferences,
                     const WindowBounds& normalBounds, const THxHistoryMenu& history) {
    THxIniFile2 store(environment);
    store.OpenSection(kPreferencesSection, true);
    SavePlacement(store, "Form", preferences.Form, normalBounds);
    store.WriteInteger("LeftPaneWidth", preferences.LeftPaneWidth);
    // The misspelt name is the stored layout; renaming it would lose users' settings.
    store.WriteBool("WardWrap", preferences.WordWrap);
    store.WriteString("Font.Name", preferences.FontName);
    store.WriteInteger("Font.Size", preferences.FontSize);
    store.WriteString("TreeFont.Name", preferences.TreeFontName);
    store.WriteInteger("TreeFont.Size", preferences.TreeFontSize);
    store.WriteString("EditingFileName", preferences.EditingFileName);
    history.SaveTo(store, kRecentFilesSection);
    store.Flush();
}

}  // namespace settings
