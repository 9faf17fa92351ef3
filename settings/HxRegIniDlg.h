// The storage dialog: where the program keeps its settings, the INI file beside the
// executable or the per-user key store, each with a short explanation.
#pragma once

#include "forms/FormBase.h"
#include "settings/HxRegIni.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QRadioButton;

class THxIniStyleDialog : public THxVistaForm<QDialog> {
    Q_OBJECT
public:
    // How the built dialog is run: by default exec(). Tests answer it directly.
    using Runner = std::function<int(THxIniStyleDialog&)>;

    THxIniStyleDialog();

    // Shows the key location and kind (neither option checked when unset) and lets the user
    // choose. True when confirmed with OK; kind is then the checked option (unchanged when
    // none is checked). Cancel leaves kind as it was.
    static bool Execute(QWidget* owner, const QString& keyText, std::optional<settings::THxIniStyle>& kind,
                        const Runner& run = {});

    QRadioButton* rdoIni = nullptr;
    QLabel* Label4 = nullptr;
    QRadioButton* rdoRegistry = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lblKeyPath = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;

    // A click on an explanation selects its option.
    void Label4Click();
    void Label5Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitToText();
};

// The settings environment of the running program: the first-start question and the
// warning about an unwritable folder are message dialogs; while no main window is on screen
// they have task-bar buttons of their own.
settings::SettingsEnvironment ProgramSettingsEnvironment();
