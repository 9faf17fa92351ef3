#include "interchange/HxCommon.h"

#include "platform/executable_path.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QUrl>

std::unique_ptr<THxVistaMessageForm> CreateAboutBox(const interchange::THxCVersionResourceRec& record)
{
    std::unique_ptr<THxVistaMessageForm> box =
        CreateVistaMessageDialog(QString::fromStdString(interchange::MakeAboutText(record)),
                                 interchange::TMsgDlgType::mtInformation,
                                 interchange::ButtonBit(interchange::TMsgDlgBtn::mbOK), false);
    box->setWindowTitle(ApplicationTitle() + QString::fromUtf8("について"));
    const QIcon icon = QApplication::windowIcon();
    if (auto* image = box->findChild<QLabel*>(QStringLiteral("Image")); image && !icon.isNull()) {
        image->setPixmap(icon.pixmap(image->size()));
    }
    return box;
}

void ShowAboutBox()
{
    interchange::THxCVersionResourceRec record;
    interchange::GetVersionResource(platform::ExecutablePath(), record);
    std::unique_ptr<THxVistaMessageForm> box = CreateAboutBox(record);
    CenterOnScreen(*box);
    RunVistaMessageDialog(*box);
}

void OpenHomePage()
{
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(interchange::kHomePageAddress)));
}
