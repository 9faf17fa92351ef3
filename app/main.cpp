// Entry point: the application title and icon, the main window, the message loop.
#include "app/MainWindow.h"
#include "app/QtTranslations.h"

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
    TFormStartup startup{ProgramSettingsEnvironment(), application.arguments().mid(1)};
    TForm1 form(std::move(startup));
    form.show();
    return application.exec();
}
