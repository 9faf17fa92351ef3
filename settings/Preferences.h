// The main window's remembered settings as plain data, and their reading and writing in
// the sections "Preferences" and "RecentFiles". The main window fills the record from its
// widgets before a save and applies it after a load.
#pragma once

#include "settings/HxHistoryMenu.h"
#include "settings/HxRegIni.h"

#include <cstdint>
#include <string>

namespace settings {

enum TWindowState : std::int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// Left and top of the outer window, width and height of its client area, in pixels.
struct WindowBounds {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    bool operator==(const WindowBounds&) const = default;
};

struct WindowPlacement {
    WindowBounds Bounds;
    std::int32_t State = wsNormal;

    bool operator==(const WindowPlacement&) const = default;
};

struct Preferences {
    WindowPlacement Form;
    std::int32_t LeftPaneWidth = 0;
    bool WordWrap = true;
    std::string FontName;
    std::int32_t FontSize = 0;
    std::string TreeFontName;
    std::int32_t TreeFontSize = 0;
    std::string EditingFileName;
};

// Reads prefix + ".Left", ".Top", ".Width", ".Height", ".State" of the open section. Left and
// top default to 128; the others to the placement's current values.
void LoadPlacement(const THxIniFile2& store, const std::string& prefix, WindowPlacement& placement);
// Writes the placement under prefix. A maximized window writes normalBounds, its bounds as
// they last were in the normal state, so that it comes back there when restored.
void SavePlacement(THxIniFile2& store, const std::string& prefix, const WindowPlacement& placement,
                   const WindowBounds& normalBounds);

// Reads both sections; values that are absent keep the record's current values (left and
// top 128, word wrap on, the document name empty). Constructs the store, so a first start
// asks where settings are to be kept. Never flushes.
void LoadPreferences(const SettingsEnvironment& environment, Preferences& preferences, THxHistoryMenu& history);
// Writes "Preferences" in its fixed order, then "RecentFiles", and flushes.
void SavePreferences(const SettingsEnvironment& environment, const Preferences& preferences,
                     const WindowBounds& normalBounds, const THxHistoryMenu& history);

}  // namespace settings
