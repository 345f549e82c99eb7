#include "app/updatechecker.h"

#include <QHostAddress>
#include <QLabel>
#include <QNetworkProxy>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/dialogscript.h"
#include "app/updatemessage.h"

namespace {

QByteArray feedOf(const QByteArray& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
           "<channel><title>Plovik</title>\n" +
           items + "</channel></rss>\n";
}

QByteArray itemOf(const QByteArray& version) {
    return "<item><title>Plovik</title><sparkle:version>" + version + "</sparkle:version></item>\n";
}

// An HTTP server on 127.0.0.1 that answers every request with one response.
class FeedServer : public QObject {
public:
    FeedServer() {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, &FeedServer::accept);
    }

    QUrl address() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server_.serverPort()));
    }

    QByteArray status = "200 OK";
    QByteArray body;

private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->setProperty("request",
                                    socket->property("request").toByteArray() + socket->readAll());
                if (!socket->property("request").toByteArray().contains("\r\n\r\n"))
                    return;
                socket->write("HTTP/1.1 " + status +
                              "\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer server_;
};

std::optional<UpdateCheckResult> check(const QUrl& feed, const QString& currentVersion) {
    UpdateChecker checker(currentVersion);
    std::optional<UpdateCheckResult> result;
    QObject::connect(&checker, &UpdateChecker::finished,
                     [&result](const UpdateCheckResult& found) { result = found; });
    checker.check(feed);
    // Nothing when the check never finished.
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 20000))
        return std::nullopt;
    return result;
}

}  // namespace

class UpdateCheckerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", configHome_.path().toUtf8());
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    void findsTheNewestReleaseForThisSystem() {
        FeedServer server;
        server.body = feedOf(
            "<item><title>Plovik 0.2</title><link>https://plovik.orvane.example/download</link>"
            "<enclosure url=\"https://plovik.orvane.example/plovik-0.2.0.tar.gz\" "
            "sparkle:version=\"0.2.0\" sparkle:shortVersionString=\"0.20\" length=\"9\" "
            "type=\"application/octet-stream\"/></item>\n" +
            itemOf("0.1.5") +
            "<item><enclosure url=\"https://plovik.orvane.example/plovik-0.9.0.msi\" "
            "sparkle:version=\"0.9.0\" sparkle:os=\"windows\"/></item>\n");
        const auto result = check(server.address(), QStringLiteral("0.1.0"));
        QVERIFY(result);
        QCOMPARE(result->outcome, UpdateCheckResult::Outcome::NewerAvailable);
        QVERIFY(result->newest);
        QCOMPARE(result->newest->version, QVersionNumber(0, 2));  // trailing zeros dropped
        QCOMPARE(result->newest->displayVersion, QStringLiteral("0.20"));
        QCOMPARE(result->newest->link,
                 QUrl(QStringLiteral("https://plovik.orvane.example/download")));
        QCOMPARE(result->currentVersion, QStringLiteral("0.1.0"));
    }

    void comparesVersionsByNumericComponents_data() {
        QTest::addColumn<QByteArray>("offered");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("newer");
        QTest::newRow("same") << QByteArray("0.1.0") << "0.1.0" << false;
        QTest::newRow("trailing zero") << QByteArray("0.1") << "0.1.0" << false;
        QTest::newRow("older") << QByteArray("0.0.9") << "0.1.0" << false;
        QTest::newRow("ten after nine") << QByteArray("0.10.0") << "0.9.0" << true;
        QTest::newRow("build number") << QByteArray("0.1.0.1") << "0.1.0" << true;
    }
    void comparesVersionsByNumericComponents() {
        QFETCH(QByteArray, offered);
        QFETCH(QString, current);
        QFETCH(bool, newer);
        FeedServer server;
        server.body = feedOf(itemOf(offered));
        const auto result = check(server.address(), current);
        QVERIFY(result);
        QCOMPARE(result->outcome, newer ? UpdateCheckResult::Outcome::NewerAvailable
                                        : UpdateCheckResult::Outcome::UpToDate);
    }

    void linksLeadOnlyToTheWeb() {
        const UpdateFeed feed = UpdateFeed::read(
            feedOf("<item><link>javascript:alert(1)</link>"
                   "<enclosure url=\"file:///etc/passwd\" sparkle:version=\"1.0\"/></item>"));
        QVERIFY(feed.newest);
        QVERIFY(feed.newest->link.isEmpty());
    }

    void badFeedsFailWithAReason_data() {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("cut short") << QByteArray("200 OK") << feedOf(itemOf("0.2.0")).left(120);
        QTest::newRow("not xml") << QByteArray("200 OK") << QByteArray("<html><p>moved</html>");
        QTest::newRow("no release") << QByteArray("200 OK") << feedOf("<item><title/></item>");
        QTest::newRow("empty") << QByteArray("200 OK") << QByteArray();
        QTest::newRow("not found") << QByteArray("404 Not Found") << feedOf(itemOf("0.2.0"));
    }
    void badFeedsFailWithAReason() {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        FeedServer server;
        server.status = status;
        server.body = body;
        const auto result = check(server.address(), QStringLiteral("0.1.0"));
        QVERIFY(result);
        QCOMPARE(result->outcome, UpdateCheckResult::Outcome::Failed);
        QVERIFY(!result->newest);
        QVERIFY(!result->error.isEmpty());
    }

    void anUnreachableServerFails() {
        QUrl closed;
        {
            FeedServer server;
            closed = server.address();
        }
        const auto result = check(closed, QStringLiteral("0.1.0"));
        QVERIFY(result);
        QCOMPARE(result->outcome, UpdateCheckResult::Outcome::Failed);
        QVERIFY(!result->error.isEmpty());
    }

    void feedAddressComesFromTheSettings() {
        QCOMPARE(UpdateChecker::feedAddress(),
                 QUrl(QString::fromLatin1(UpdateChecker::kDefaultFeedAddress)));
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik"))
            .setValue(QLatin1String(UpdateChecker::kFeedAddressKey),
                      QStringLiteral("http://127.0.0.1:1/feed.xml"));
        QCOMPARE(UpdateChecker::feedAddress(), QUrl(QStringLiteral("http://127.0.0.1:1/feed.xml")));
    }

    void messageOffersTheLinkAndShowsErrorsAsText() {
        UpdateCheckResult newer;
        newer.outcome = UpdateCheckResult::Outcome::NewerAvailable;
        newer.currentVersion = QStringLiteral("0.1.0");
        newer.newest = UpdateRelease{QVersionNumber(0, 2, 0), QStringLiteral("0.20"),
                                     QUrl(QStringLiteral("https://plovik.orvane.example/get"))};
        const UpdateMessage offer(newer);
        QVERIFY(offer.text().contains(QLatin1String("0.20")));
        QVERIFY(offer.text().contains(QLatin1String("href=\"https://plovik.orvane.example/get\"")));
        const auto* label = offer.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label && label->openExternalLinks());

        // A failure is told in the skinned error alert, its text shown as text.
        UpdateCheckResult failed;
        failed.error = QStringLiteral("<a href=\"file:///\">bad</a>");
        QString shown;
        DialogScript script;
        script.alert("btnCancel", false, [&shown] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* alert = qobject_cast<CAlertDialog*>(widget))
                    shown = alert->findChild<QLabel*>(QStringLiteral("message"))->text();
            }
        });
        UpdateMessage::show(failed, nullptr);
        QVERIFY(script.finished());
        QVERIFY(script.alerts.last().startsWith(QStringLiteral("Plovik could not check")));
        QVERIFY(shown.contains(QLatin1String("bad")));
        QVERIFY(!shown.contains(QLatin1String("<a href")));
    }

private:
    QTemporaryDir configHome_;
};

QTEST_MAIN(UpdateCheckerTest)
#include "updatechecker_test.moc"
