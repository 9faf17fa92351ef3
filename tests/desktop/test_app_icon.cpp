// The application icon is compiled into the program: every size is there, at its size.
#include <QIcon>
#include <QImage>
#include <QTest>

class TestAppIcon : public QObject {
    Q_OBJECT

private slots:
    void everySizeLoadsAtItsSize() {
        QIcon icon;
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QString path = QStringLiteral(":/icons/velmora-%1.png").arg(size);
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
            icon.addFile(path);
        }
        const QList<QSize> sizes = icon.availableSizes();
        QCOMPARE(sizes.size(), 6);
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
    }
};

QTEST_MAIN(TestAppIcon)
#include "test_app_icon.moc"
