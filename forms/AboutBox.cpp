#include "forms/AboutBox.h"

#include "platform/executable_path.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QUrl>

std::unique_ptr<THxVistaMessageForm> CreateAboutBox(const forms::THxCVersionResourceRec& record)
{
    std::unique_ptr<THxVistaMessageForm> box =
        CreateVistaMessageDialog(QString::fromStdString(forms::MakeAboutText(record)),
                                 forms::TMsgDlgType::mtInformation,
                                 forms::ButtonBit(forms::TMsgDlgBtn::mbOK), false);
    box->setWindowTitle(ApplicationTitle() + QString::fromUtf8("について"));
    const QIcon icon = QApplication::windowIcon();
    if (auto* image = box->findChild<QLabel*>(QStringLiteral("Image")); image && !icon.isNull()) {
        image->setPixmap(icon.pixmap(image->size()));
    }
    return box;
}

void ShowAboutBox()
{
    forms::THxCVersionResourceRec record;
    forms::GetVersionResource(platform::ExecutablePath(), record);
    std::unique_ptr<THxVistaMessageForm> box = CreateAboutBox(record);
    CenterOnScreen(*box);
    RunVistaMessageDialog(*box);
}

void OpenHomePage()
{
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(forms::kHomePageAddress)));
}
