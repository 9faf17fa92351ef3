// Entry point: the application title, the main window, the message loop.
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    TFormStartup startup{ProgramSettingsEnvironment(), application.arguments().mid(1)};
    TForm1 form(std::move(startup));
    form.show();
    return application.exec();
}
