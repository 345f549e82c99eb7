#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "app/updatefeed.h"

class QNetworkReply;

/** What an update check found. */
struct UpdateCheckResult {
    enum class Outcome { UpToDate, NewerAvailable, Failed };

    Outcome outcome = Outcome::Failed;
    /** The running program's version. */
    QString currentVersion;
    /** The newest release offered; set unless the check failed. */
    std::optional<UpdateRelease> newest;
    /** Why the check failed, for the user. */
    QString error;
};

/**
 * Checks for a newer release of the program: fetches the update feed (UpdateFeed) and compares
 * its newest release with the running version, by numeric components. Checks run only when asked;
 * each ends with one finished signal, on the thread the checker lives on.
 */
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    /** The settings value (QSettings("Orvane", "Plovik")) that holds the feed's address. */
    static constexpr char kFeedAddressKey[] = "UpdateFeedURL";
    static constexpr char kDefaultFeedAddress[] = "https://plovik.orvane.example/appcast.xml";
    /** Larger feeds are refused rather than held in memory. */
    static constexpr qint64 kMaxFeedBytes = 1024 * 1024;

    /** currentVersion: the dotted version the feed's releases are compared with. */
    explicit UpdateChecker(QString currentVersion, QObject* parent = nullptr);

    /** The feed address from the settings, or kDefaultFeedAddress when none is stored. */
    static QUrl feedAddress();

    /** Checks against the feed at feedAddress(). */
    void check();
    /** Checks against the feed at feed. Ignored while a check runs. */
    void check(const QUrl& feed);
    bool isChecking() const { return !reply_.isNull(); }

signals:
    void finished(const UpdateCheckResult& result);

private:
    void onReplyFinished();
    UpdateCheckResult judge(const QByteArray& xml) const;

    QString currentVersion_;
    QNetworkAccessManager network_;
    QPointer<QNetworkReply> reply_;
    bool feedTooLarge_ = false;
};
