// What the main window starts from: where its settings live and the command line.
#pragma once

#include "settings/HxRegIni.h"

#include <QStringList>

#include <optional>
#include <string>

struct TFormStartup {
    // None: the window neither reads nor writes settings (a window made for a test or a
    // screenshot).
    std::optional<settings::SettingsEnvironment> settings;
    // The command-line arguments after the program's name; the first may name a document.
    QStringList arguments;
    // Where recovery copies of unsaved work are kept; none: no copies (a test's window).
    std::optional<std::string> recoveryFolder;
};
