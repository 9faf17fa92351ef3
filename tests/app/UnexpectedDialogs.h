// Message dialogs that a test did not ask for are answered at once (Cancel) and recorded,
// so that an error box fails the test instead of waiting for a click.
#pragma once

#include "forms/FormBase.h"

#include <QObject>
#include <QStringList>
#include <QtTest>

#include <memory>

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

// Base of the window tests: every test function runs with its own UnexpectedDialogs, and a
// dialog it did not expect fails it. Qt Test runs these inherited slots for each derived class.
class WindowTestCase : public QObject {
    Q_OBJECT

protected:
    // The messages shown so far in this test; a fresh watch starts after the call.
    QStringList TakeShownMessages()
    {
        const QStringList shown = dialogs_->Messages();
        dialogs_ = std::make_unique<UnexpectedDialogs>();
        return shown;
    }

private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }
    void init() { dialogs_ = std::make_unique<UnexpectedDialogs>(); }
    void cleanup()
    {
        const QStringList shown = dialogs_->Messages();
        dialogs_.reset();
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QLatin1Char('|'))));
    }

private:
    std::unique_ptr<UnexpectedDialogs> dialogs_;
};
