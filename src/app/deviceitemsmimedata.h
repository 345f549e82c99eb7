#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

class XdndDirectSave;

/**
 * What a drag of device items out of the file list offers: their files as a "text/uri-list",
 * made only when a drop target asks for it, by downloading the items into a staging folder of
 * their own under the cache (the drop target copies them from there). Staging folders of earlier
 * drags are removed once they are a day old. On X11 a drag of one item also offers XDND direct
 * save: a target that takes it names the file:// path it wants, and the item is downloaded right
 * there, answered "S" once it arrived, "E" when it did not, and "F" (the target falls back to the
 * uri-list) for a path that is not one of this computer with the offered name. A drag that stays
 * inside the window offers nothing to the window's own drop handlers.
 */
class DeviceItemsMimeData : public QMimeData {
    Q_OBJECT
public:
    /** Downloads the items into folder; the local paths of those that arrived. */
    using Stage = std::function<QStringList(const QString& folder)>;

    /** directSaveName: the one item's name as downloaded; empty offers no direct save. */
    explicit DeviceItemsMimeData(Stage stage, const QString& directSaveName = {});
    ~DeviceItemsMimeData() override;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    /** The staged files' URLs, downloading them on the first call. */
    QList<QUrl> stagedUrls() const;
    /** Downloads the item where the direct-save target asks; its answer. */
    QByteArray saveWhereAsked() const;

    Stage stage_;
    QString directSaveName_;
    std::unique_ptr<XdndDirectSave> directSave_;
    mutable bool nameOffered_ = false;
    mutable bool saving_ = false;
    mutable std::optional<QList<QUrl>> staged_;
    mutable bool staging_ = false;
};
