// The older settings file: an XML file at the INI file's path, read once at start-up and
// then replaced by an INI file (SavePreferences rewrites it, dropping every line, since XML
// text has no section header).
#pragma once

#include "settings/HxRegIni.h"
#include "settings/Preferences.h"

namespace settings {

// True when the first line of the file at IniFileName holds "xml" (lower case) within its
// first five characters, a UTF-8 byte-order mark not counted. Throws platform::FileError
// when the file cannot be read.
bool IsOldSettingsFile(const SettingsEnvironment& environment);

// Reads the window placement, pane width, word wrap and text font from the old file into
// preferences; whatever the file lacks keeps its current value. Nothing else is in it.
// Does nothing when the file is gone. XML errors are not caught.
void LoadOldPreferences(const SettingsEnvironment& environment, Preferences& preferences);

}  // namespace settings
