#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVersionNumber>
#include <optional>

/** One release an update feed offers. */
struct UpdateRelease {
    /** The version releases are ordered by ("sparkle:version"). */
    QVersionNumber version;
    /** The version as the feed shows it to users; the version's own text when it gives none. */
    QString displayVersion;
    /** Where to get it: the item's link, else its enclosure; only http and https addresses. */
    QUrl link;
};

/**
 * An update feed: an RSS appcast in Sparkle's form. Each item gives its version as the
 * "sparkle:version" element or as that attribute of its enclosure, optionally a
 * "sparkle:shortVersionString", a link and an enclosure URL. Items whose enclosure names another
 * operating system ("sparkle:os") are skipped.
 */
struct UpdateFeed {
    /** The newest release for this system in xml; nothing with error set when there is none. */
    static UpdateFeed read(const QByteArray& xml);

    std::optional<UpdateRelease> newest;
    /** Why no release was found: malformed XML or no usable item. */
    QString error;
};
