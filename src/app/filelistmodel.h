#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QImage>
#include <QString>
#include <array>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

class ListviewDataSource;

/**
 * The file list's rows as a Qt model: a thin adapter over a ListviewDataSource. Its row count is
 * the one given at the last reset; texts, icons and the folder flag are asked of the data source
 * when first needed and cached per row until the next reset, together with the row's thumbnail.
 * Without a data source it has no rows. GUI thread only.
 */
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        /** bool: whether the row is a folder (column 0). */
        IsFolderRole = Qt::UserRole + 1,
        /** QImage: the row's thumbnail, null until one was set; never asks the data source. */
        ThumbnailRole,
    };
    static constexpr int kColumnCount = 4;
    /**
     * Thumbnails kept at most (100 KB each at the largest), so that scrolling through a large
     * folder of photos does not keep one for every row; the one farthest from the row that just
     * got one goes, and is asked for again (from the thumbnail cache) when painted.
     */
    static constexpr std::size_t kThumbnailsKept = 400;

    explicit FileListModel(QObject* parent = nullptr);

    /** Changing the data source drops every row; reset shows its items. */
    void setDataSource(ListviewDataSource* dataSource);
    ListviewDataSource* dataSource() const { return dataSource_; }

    /** Drops every cached row (thumbnails too) and shows rowCount rows. */
    void reset(int rowCount);
    /**
     * The data source's texts, icons and folder flags of rows changed: asked again when next
     * needed. A row's thumbnail stays; one without is asked for again.
     */
    void rowsChanged(const std::vector<int>& rows);
    /**
     * The data source's rows moved, row r to newRowOf[r]: cached rows, the selection and the
     * current item move with them. Rows without a thumbnail are asked for one again.
     */
    void rowsMoved(const std::vector<int>& newRowOf);

    /** True the first time it is asked for a row since the last reset. */
    bool takeThumbnailRequest(int row);
    /**
     * Keeps row's thumbnail until the next reset (or until kThumbnailsKept others are newer and
     * nearer) and repaints that row only.
     */
    void setThumbnail(int row, const QImage& thumbnail);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Items are dragged out as the data source's drag data, copied, never moved.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    struct Row {
        std::array<std::optional<QString>, kColumnCount> texts;
        std::optional<QIcon> icon;
        std::optional<bool> folder;
        QImage thumbnail;
        bool thumbnailRequested = false;
    };

    Row& cachedRow(int row) const;
    /** Drops thumbnails beyond kThumbnailsKept, farthest from row first. */
    void dropFarThumbnails(int row);

    ListviewDataSource* dataSource_ = nullptr;
    int rowCount_ = 0;
    mutable std::unordered_map<int, Row> rows_;
    std::set<int> thumbnailRows_;  // the rows holding a thumbnail
};
