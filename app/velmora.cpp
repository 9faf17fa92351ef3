// Entry point: the application title, the main window, the message loop.
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    TForm1 form;
    form.show();
    return application.exec();
}
