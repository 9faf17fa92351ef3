#include "forms/ErrorGuard.h"

#include "forms/FormBase.h"

#include <QApplication>

void ShowApplicationError(const QString& message) noexcept
{
    try {
        const QString shown =
            QString::fromStdString(forms::ErrorDisplayMessage(message.toStdString()));
        std::unique_ptr<THxVistaMessageForm> box = CreateVistaMessageDialog(
            shown, forms::TMsgDlgType::mtError, forms::ButtonBit(forms::TMsgDlgBtn::mbOK));
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
