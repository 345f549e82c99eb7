#include "app/directsavelocation.h"

#include <QTest>

#include "ui/qtestsuite.h"

class DirectSaveLocationTest : public QObject {
    Q_OBJECT
private slots:
    void aFileUriOfThisHostEndingInTheOfferedName_data() {
        QTest::addColumn<QByteArray>("uri");
        QTest::addColumn<QString>("path");
        QTest::newRow("no host") << QByteArray("file:///home/u/IMG_1.JPG")
                                 << QStringLiteral("/home/u/IMG_1.JPG");
        QTest::newRow("localhost") << QByteArray("file://localhost/home/u/IMG_1.JPG")
                                   << QStringLiteral("/home/u/IMG_1.JPG");
        QTest::newRow("this host, any case")
            << QByteArray("file://Desk/home/u/IMG_1.JPG") << QStringLiteral("/home/u/IMG_1.JPG");
        QTest::newRow("encoded, with a NUL and line break after")
            << QByteArray("file:///home/u/D%C3%A9j%C3%A0%20vu/IMG_1.JPG\r\n\0", 46)
            << QStringLiteral("/home/u/D\u00e9j\u00e0 vu/IMG_1.JPG");
        QTest::newRow("doubled separators")
            << QByteArray("file:////home//u/IMG_1.JPG") << QStringLiteral("/home/u/IMG_1.JPG");
        QTest::newRow("at the root")
            << QByteArray("file:///IMG_1.JPG") << QStringLiteral("/IMG_1.JPG");
    }
    void aFileUriOfThisHostEndingInTheOfferedName() {
        QFETCH(QByteArray, uri);
        QFETCH(QString, path);
        QCOMPARE(
            DirectSaveLocation::localPath(uri, QStringLiteral("IMG_1.JPG"), QStringLiteral("desk")),
            std::optional<QString>(path));
    }

    void anythingElseIsRefused_data() {
        QTest::addColumn<QByteArray>("uri");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another host") << QByteArray("file://server/home/u/IMG_1.JPG");
        QTest::newRow("another scheme") << QByteArray("sftp://desk/home/u/IMG_1.JPG");
        QTest::newRow("a bare path") << QByteArray("/home/u/IMG_1.JPG");
        QTest::newRow("another name") << QByteArray("file:///home/u/IMG_2.JPG");
        QTest::newRow("the name as a folder") << QByteArray("file:///home/u/IMG_1.JPG/");
        QTest::newRow("up a level") << QByteArray("file:///home/u/../../etc/IMG_1.JPG");
        QTest::newRow("up a level, encoded") << QByteArray("file:///home/u/%2E%2E/IMG_1.JPG");
        QTest::newRow("this level") << QByteArray("file:///home/./IMG_1.JPG");
        QTest::newRow("an encoded separator") << QByteArray("file:///home/u%2F..%2F/IMG_1.JPG");
        QTest::newRow("an encoded NUL") << QByteArray("file:///home/u%00/IMG_1.JPG");
        QTest::newRow("a query") << QByteArray("file:///home/u/IMG_1.JPG?x=1");
        QTest::newRow("a fragment") << QByteArray("file:///home/u/IMG_1.JPG#x");
        QTest::newRow("a user") << QByteArray("file://me@localhost/home/u/IMG_1.JPG");
        QTest::newRow("not a URI") << QByteArray("file:///home/u/IMG 1[.JPG");
    }
    void anythingElseIsRefused() {
        QFETCH(QByteArray, uri);
        QCOMPARE(
            DirectSaveLocation::localPath(uri, QStringLiteral("IMG_1.JPG"), QStringLiteral("desk")),
            std::optional<QString>());
    }
};

PLOVIK_QTEST(DirectSaveLocationTest)
#include "directsavelocation_test.moc"
