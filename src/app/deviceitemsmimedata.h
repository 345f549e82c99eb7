#pragma once

#include <functional>
#include <optional>

#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

/**
 * What a drag of device items out of the file list offers: their files as a "text/uri-list",
 * made only when a drop target asks for it, by downloading the items into a staging folder of
 * their own under the cache (the drop target copies them from there). Staging folders of earlier
 * drags are removed once they are a day old. A drag that stays inside the window offers nothing to
 * the window's own drop handlers.
 */
class DeviceItemsMimeData : public QMimeData {
    Q_OBJECT
public:
    /** Downloads the items into folder; the local paths of those that arrived. */
    using Stage = std::function<QStringList(const QString& folder)>;

    explicit DeviceItemsMimeData(Stage stage);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    /** The staged files' URLs, downloading them on the first call. */
    QList<QUrl> stagedUrls() const;

    Stage stage_;
    mutable std::optional<QList<QUrl>> staged_;
    mutable bool staging_ = false;
};
