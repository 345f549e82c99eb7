#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>

#include "app/platformfiletypes.h"
#include "thumbs/thumbcreator.h"
#include "thumbs/thumbnailcache.h"

class CImageWellUI;
class QLabel;
class QProgressBar;
class QWidget;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The inspector panel beside the file list ("fileInspector"): the picture, pixel size (and a
 * video's duration beside it), name, type, dates and size of the one selected item. An image file's picture is its thumbnail from
 * the user's thumbnail cache; one that is not cached yet is made on a thread of its own while the
 * panel shows the type icon and the share of the file read, and appears once made. Only the
 * latest selection's thumbnail is ever shown: a newer show or clear ends the read of the earlier
 * request early and makes its answer count for nothing. Controls missing from the panel are skipped.
 *
 * GUI thread only; it never waits for a device. The node's file information must already be
 * known (a listed node's is), and reading the file happens on the creator's threads, which its
 * destructor ends early and joins.
 */
class FileInspector : public QObject {
    Q_OBJECT
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    /** Fills the controls found below panel; the panel starts empty. */
    explicit FileInspector(QWidget* panel, QObject* parent = nullptr);
    ~FileInspector() override;

    /** Shows node (isFolder as the list knows it); a hidden panel is emptied instead. */
    void show(const NodePointer& node, bool isFolder);
    /** Empties the panel: the background picture and no texts. */
    void clear();

    const NodePointer& shownNode() const { return shown_; }

private:
    void showPicture(const NodePointer& node, bool isFolder);
    void showTexts(ZelboLib::FileSystemNode& node, bool isFolder);
    void setTextsVisible(bool visible);
    void requestThumbnail(const NodePointer& node);
    /** Ends the read of the request underway early, if any; its answer is dropped. */
    void cancelRead();
    /** The percentage of the file read for the request of token. */
    void showReadProgress(std::uint64_t token, std::int64_t total, std::int64_t done);
    void thumbnailMade(std::uint64_t token, const NodePointer& node);
    /** Shows thumbnail and the source size and duration the cache holds for node. */
    void showThumbnail(const RgbaImage& thumbnail, const ZelboLib::FileSystemNode& node);
    void showProgress(bool busy);

    QWidget* panel_;
    CImageWellUI* picture_;
    QProgressBar* progress_;
    QLabel* dimensions_;
    QLabel* name_;
    QLabel* type_;
    QLabel* created_;
    QLabel* modified_;
    QLabel* size_;

    PlatformFileTypes fileTypes_;
    NodePointer shown_;
    // Raised by every show and clear; an answer that carries an older one is dropped.
    std::uint64_t token_ = 0;
    // The cancel flag of the thumbnail awaited from the creator; null while none is.
    std::shared_ptr<std::atomic<bool>> readCancelled_;

    ThumbnailCache cache_;
    // Declared last: destroyed first, it ends and joins its threads while the rest still lives.
    ThumbCreator creator_{cache_};
};
