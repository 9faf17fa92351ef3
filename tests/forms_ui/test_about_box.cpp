// The About box shows the program's own version record; the home page opens in the browser.
#include "forms/AboutBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

namespace {

// Receives the address the desktop is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

QPixmap SquareIcon(QColor color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(color);
    return pixmap;
}

}  // namespace

class TestAboutBox : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }
    void aboutBoxShowsTheOwnRecord();
    void homePageOpensTheAddress();
};

void TestAboutBox::aboutBoxShowsTheOwnRecord()
{
    QApplication::setWindowIcon(QIcon(SquareIcon(Qt::magenta)));
    QString caption, message, label;
    QImage image;
    QStringList buttons;
    const TVistaMessageRunner previous = SetVistaMessageRunner([&](THxVistaMessageForm& box) {
        caption = box.windowTitle();
        message = box.MessageText();
        label = box.findChild<QLabel*>(QStringLiteral("Message"))->text();
        image = box.findChild<QLabel*>(QStringLiteral("Image"))->pixmap().toImage();
        for (QPushButton* button : box.findChildren<QPushButton*>()) buttons << button->objectName();
        return 1;
    });
    ShowAboutBox();
    SetVistaMessageRunner(previous);

    QCOMPARE(caption, QStringLiteral("ヴェルモラについて"));
    QCOMPARE(message, QStringLiteral("ヴェルモラ version1.70\rCopyright (C) 2026 Quillworks\r"
                                     "https://quillworks.example/velmora/"));
    QCOMPARE(label.split(QLatin1Char('\n')).size(), 3);
    QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(16, 16), QColor(Qt::magenta));

    // A record with comments and no icon of the application's own: the information icon stays.
    QApplication::setWindowIcon(QIcon());
    forms::THxCVersionResourceRec record;
    record.Comments = "試作 ";
    record.ProductName = "X";
    auto box = CreateAboutBox(record);
    QCOMPARE(box->MessageText(),
             QStringLiteral("試作 X version\r\rhttps://quillworks.example/velmora/"));
    QVERIFY(!box->findChild<QLabel*>(QStringLiteral("Image"))->pixmap().isNull());
}

void TestAboutBox::homePageOpensTheAddress()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    OpenHomePage();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://quillworks.example/velmora/"))});
}

QTEST_MAIN(TestAboutBox)
#include "test_about_box.moc"
