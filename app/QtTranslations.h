// Qt's own texts in Japanese: the standard dialogs (files, fonts), their buttons and the
// context menus of the editor and the rename field, beside the program's Japanese menus.
#pragma once

class QCoreApplication;

// Installs Qt's Japanese translations (qtbase_ja from Qt's translations folder, package
// qt6-translations-l10n) into application. Key names stay as Qt writes them in English
// ("Ctrl+Down", not "Ctrl+↓"): they show in the program's menus as the README lists them.
// False when the translations are not installed; Qt's texts then stay in English.
bool InstallQtTranslations(QCoreApplication& application);
