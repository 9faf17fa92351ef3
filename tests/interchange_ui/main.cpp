// Runs the export dialog and text import tests in one program.
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
        TestTextFileInsert importTests;
        failed += QTest::qExec(&importTests, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
