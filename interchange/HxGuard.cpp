#include "interchange/HxGuard.h"

#include "interchange/HxVista.h"

#include <QApplication>

void ShowApplicationError(const QString& message) noexcept
{
    try {
        const QString shown =
            QString::fromStdString(interchange::ErrorDisplayMessage(message.toStdString()));
        std::unique_ptr<THxVistaMessageForm> box = CreateVistaMessageDialog(
            shown, interchange::TMsgDlgType::mtError, interchange::ButtonBit(interchange::TMsgDlgBtn::mbOK));
        box->setWindowTitle(ApplicationTitle());
        RunVistaMessageDialog(*box);
    } catch (...) {
        // Nothing is left to report with; the program goes on as it would after the box.
        QApplication::beep();
    }
}

QString UnknownErrorMessage()
{
    return QStringLiteral("予期しないエラーが発生しました");
}
