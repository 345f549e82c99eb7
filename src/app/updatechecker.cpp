#include "app/updatechecker.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QVersionNumber>

namespace {

constexpr int kTransferTimeoutMs = 30000;

}  // namespace

UpdateChecker::UpdateChecker(QString currentVersion, QObject* parent)
    : QObject(parent), currentVersion_(std::move(currentVersion)) {}

QUrl UpdateChecker::feedAddress() {
    const QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Plovik"));
    const QString stored = settings.value(QLatin1String(kFeedAddressKey)).toString().trimmed();
    return QUrl(stored.isEmpty() ? QString::fromLatin1(kDefaultFeedAddress) : stored);
}

void UpdateChecker::check() {
    check(feedAddress());
}

void UpdateChecker::check(const QUrl& feed) {
    if (isChecking())
        return;
    QNetworkRequest request(feed);
    request.setTransferTimeout(kTransferTimeoutMs);
    feedTooLarge_ = false;
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxFeedBytes && reply_) {
            feedTooLarge_ = true;
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::onReplyFinished);
}

void UpdateChecker::onReplyFinished() {
    QNetworkReply* reply = reply_;
    reply_.clear();
    reply->deleteLater();
    if (reply->error() == QNetworkReply::NoError) {
        emit finished(judge(reply->readAll()));
        return;
    }
    UpdateCheckResult result;
    result.currentVersion = currentVersion_;
    if (feedTooLarge_)
        result.error = QStringLiteral("The update feed is too large.");
    else if (reply->error() == QNetworkReply::OperationCanceledError)
        result.error = QStringLiteral("The update server did not answer in time.");
    else
        result.error = reply->errorString();
    emit finished(result);
}

UpdateCheckResult UpdateChecker::judge(const QByteArray& xml) const {
    UpdateCheckResult result;
    result.currentVersion = currentVersion_;
    const UpdateFeed feed = UpdateFeed::read(xml);
    if (!feed.newest) {
        result.error = feed.error;
        return result;
    }
    result.newest = feed.newest;
    const QVersionNumber current = QVersionNumber::fromString(currentVersion_).normalized();
    result.outcome = feed.newest->version > current ? UpdateCheckResult::Outcome::NewerAvailable
                                                    : UpdateCheckResult::Outcome::UpToDate;
    return result;
}
