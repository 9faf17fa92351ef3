// Helpers of the main-window lifecycle tests: a temporary settings environment, recorded
// answers to the window's questions and file dialogs, and the general error display caught.
#pragma once

#include "app/MainWindow.h"
#include "forms/FormBase.h"

#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <string>

// A settings environment inside a temporary folder: the executable at bin/velmora, the key
// store at config/. The first-start question is recorded and answered with answer.
struct TempSettings {
    explicit TempSettings(const QString& folder, int answer = forms::mrYes)
        : answer(answer)
    {
        QDir(folder).mkpath(QStringLiteral("bin"));
        environment.executablePath = (folder + QStringLiteral("/bin/velmora")).toStdString();
        environment.keyStoreRoot = (folder + QStringLiteral("/config")).toStdString();
        environment.askFirstStart = [this](const settings::FirstStartQuestion& question) {
            questions.append(QString::fromStdString(question.text));
            return this->answer;
        };
    }
    TempSettings(const TempSettings&) = delete;
    TempSettings& operator=(const TempSettings&) = delete;

    QString IniPath() const { return QString::fromStdString(settings::THxIniFile2::IniFileName(environment)); }
    QString KeyFolder() const
    {
        return QString::fromStdString(environment.keyStoreRoot) + QStringLiteral("/Software/Quillworks/velmora");
    }
    TFormStartup Startup(const QStringList& arguments = {}) const { return {environment, arguments, recovery}; }

    settings::SettingsEnvironment environment;
    std::optional<std::string> recovery;  // the recovery folder, when a test wants copies
    int answer;
    QStringList questions;
};

// One message box the window asked.
struct AskedMessage {
    QString text;
    forms::TMsgDlgType type;
    forms::TMsgDlgButtons buttons;
};

// Answers the window's message boxes and file dialogs from queues and records them. An
// unexpected question is answered with Cancel; an unexpected file dialog is cancelled.
class Answers {
public:
    explicit Answers(TForm1& form)
    {
        form.MessageDlg = [this](const QString& text, forms::TMsgDlgType type,
                                 forms::TMsgDlgButtons buttons) {
            asked.push_back({text, type, buttons});
            if (messageAnswers.empty())
                return forms::mrCancel;
            const int answer = messageAnswers.front();
            messageAnswers.pop_front();
            return answer;
        };
        form.RunFileDialog = [this](QFileDialog& dialog) {
            dialogs.append(dialog.objectName());
            if (fileAnswers.empty())
                return int(QDialog::Rejected);
            const std::function<int(QFileDialog&)> answer = fileAnswers.front();
            fileAnswers.pop_front();
            return answer(dialog);
        };
    }

    // A file dialog answered by choosing path.
    static std::function<int(QFileDialog&)> Choose(const QString& path)
    {
        return [path](QFileDialog& dialog) {
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        };
    }

    std::deque<int> messageAnswers;
    std::deque<std::function<int(QFileDialog&)>> fileAnswers;
    std::vector<AskedMessage> asked;
    QStringList dialogs;
};

// The general error display's boxes, answered with OK and recorded.
class ShownErrors {
public:
    ShownErrors()
    {
        previous_ = SetVistaMessageRunner([this](THxVistaMessageForm& box) {
            messages.append(box.MessageText());
            return forms::mrOk;
        });
    }
    ~ShownErrors() { SetVistaMessageRunner(previous_); }
    ShownErrors(const ShownErrors&) = delete;
    ShownErrors& operator=(const ShownErrors&) = delete;

    QStringList messages;

private:
    TVistaMessageRunner previous_;
};

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// A written document with its time stamp replaced by a fixed one, for byte comparisons.
inline QByteArray WithoutStamp(QByteArray bytes)
{
    static const QRegularExpression stamp(QStringLiteral("modified=\"[0-9/: ]{19}\""));
    return QString::fromLatin1(bytes).replace(stamp, QStringLiteral("modified=\"STAMP\"")).toLatin1();
}
