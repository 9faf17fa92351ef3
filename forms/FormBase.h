// Every window of the program belongs to one application whose only task-bar entry is the
// main window. With Qt this is a matter of parenting: the first form made becomes the
// primary form; forms and message dialogs made after it are its transient children (no
// task-bar entry of their own, kept above it, minimised with it). Only a question asked
// before the main window exists gets its own entry. Qt windows minimise and restore
// themselves, so nothing else of the classic task-bar fix is needed here.
#pragma once

#include "forms/MessageDialogText.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QPushButton;

// The title of the application: caption of the error box and of dialogs of their own.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The primary form, or null while none exists: the parent of every form made after it.
QWidget* PrimaryForm();
// Records form as the primary form when there is none yet.
void AdoptForm(QWidget* form);

// Base of every form: THxVistaForm<QMainWindow> for the main window, THxVistaForm<QDialog>
// for the program's dialogs.
template <class TWidget>
class THxVistaForm : public TWidget {
public:
    explicit THxVistaForm(Qt::WindowFlags flags = {})
        : TWidget(PrimaryForm(), flags)
    {
        AdoptForm(this);
    }
};

// A message dialog: icon "Image", word-wrapped text "Message", a row of buttons named after
// their kinds. Owned by the primary form's window when there is one. Enter presses the
// default button, Esc the cancel button, and a button's underlined letter alone presses it.
class THxVistaMessageForm : public QDialog {
    Q_OBJECT
public:
    THxVistaMessageForm(const QString& message, forms::TMsgDlgButtons buttons);

    const QString& MessageText() const { return message_; }
    forms::TMsgDlgButtons Buttons() const { return buttons_; }
    QPushButton* Button(forms::TMsgDlgBtn kind) const;

    // The text Ctrl+C puts on the clipboard.
    QString CopyText() const;

protected:
    explicit THxVistaMessageForm(const QString& message, forms::TMsgDlgButtons buttons, QWidget* owner);
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Presses the button whose caption underlines the key's letter; false when none does.
    bool PressMnemonic(int key);

public slots:
    // The close box answers Cancel (2).
    void reject() override;

private:
    QString message_;
    forms::TMsgDlgButtons buttons_;
};

// A message dialog with its own task-bar entry: the question asked before the main window
// is on screen.
class THxVistaMessageFormTaskBar : public THxVistaMessageForm {
    Q_OBJECT
public:
    THxVistaMessageFormTaskBar(const QString& message, forms::TMsgDlgButtons buttons);
};

// Lays out a message dialog centred on the screen, not yet shown; the caller shows and
// destroys it.
std::unique_ptr<THxVistaMessageForm> CreateVistaMessageDialog(const QString& message,
                                                              forms::TMsgDlgType type,
                                                              forms::TMsgDlgButtons buttons,
                                                              bool taskbar = false);

// Shows a message dialog modally and returns the result of the button that closed it (the
// close box gives 2).
int VistaMessageDlg(const QString& message, forms::TMsgDlgType type,
                    forms::TMsgDlgButtons buttons, bool taskbar = false);

// Moves a window to the centre of the primary screen.
void CenterOnScreen(QWidget& window);

// How a built message dialog is run: by default exec(). Tests put in a runner that inspects
// the dialog and answers it with keys or clicks; it returns the dialog's result.
using TVistaMessageRunner = std::function<int(THxVistaMessageForm&)>;
TVistaMessageRunner SetVistaMessageRunner(TVistaMessageRunner runner);
// Runs a built dialog through the current runner.
int RunVistaMessageDialog(THxVistaMessageForm& dialog);
