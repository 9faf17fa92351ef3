// Runs the export dialog, About box and import tests, and their commands in the main
// window, in one program.
#include <QApplication>
#include <QtTest>

#include "TestClasses.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    int failed = 0;
    {
        TestExportDialog exportTests;
        failed += QTest::qExec(&exportTests, argc, argv);
    }
    {
        TestAboutAndImport aboutTests;
        failed += QTest::qExec(&aboutTests, argc, argv);
    }
    {
        TestMainWindowWiring wiringTests;
        failed += QTest::qExec(&wiringTests, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
