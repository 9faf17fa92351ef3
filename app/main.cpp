// Entry point: the application title and icon, the main window, the message loop.
#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "app/TerminationSignals.h"
#include "document/RecoveryStore.h"

#include <QApplication>
#include <QIcon>

namespace {

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    InstallQtTranslations(application);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    QApplication::setWindowIcon(ApplicationIcon());
    // Lets desktops match the window to its launcher entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quillworks.velmora"));
    TFormStartup startup{ProgramSettingsEnvironment(), application.arguments().mid(1),
                         document::RecoveryStore::DefaultFolder()};
    TForm1 form(std::move(startup));
    // Ended from outside (the session, kill, Ctrl+C in a terminal): keep the work, then exit.
    TTerminationSignals endings;
    QObject::connect(&endings, &TTerminationSignals::received, &form, [&](int signal) {
        form.EndFromOutside();
        QApplication::exit(128 + signal);
    });
    form.show();
    return application.exec();
}
