// Entry point. Until the main window lands, the program shows a window that says so.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェルモラ"));
    QLabel window(QStringLiteral("ヴェルモラ: メインウィンドウはまだありません。"));
    window.setWindowTitle(QStringLiteral("ヴェルモラ"));
    window.setMinimumSize(578, 312);
    window.setAlignment(Qt::AlignCenter);
    window.show();
    return application.exec();
}
