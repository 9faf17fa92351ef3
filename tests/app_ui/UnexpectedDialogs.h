// Message dialogs that a test did not ask for are answered at once (Cancel) and recorded,
// so that an error box fails the test instead of waiting for a click.
#pragma once

#include "interchange/HxVista.h"

#include <QStringList>

class UnexpectedDialogs {
public:
    UnexpectedDialogs()
    {
        previous_ = SetVistaMessageRunner([this](THxVistaMessageForm& dialog) {
            messages_.append(dialog.MessageText());
            return 2;
        });
    }
    ~UnexpectedDialogs() { SetVistaMessageRunner(previous_); }
    UnexpectedDialogs(const UnexpectedDialogs&) = delete;
    UnexpectedDialogs& operator=(const UnexpectedDialogs&) = delete;

    const QStringList& Messages() const { return messages_; }

private:
    QStringList messages_;
    TVistaMessageRunner previous_;
};
